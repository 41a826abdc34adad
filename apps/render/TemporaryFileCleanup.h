#pragma once

#include <string>

namespace varnoke::render
{
// Named temporary files that a signal ending the process must not leave behind.
// The paths are kept in fixed storage, so that a signal handler can remove them
// with async-signal-safe calls only.
namespace cleanup
{
// Handles every signal whose default action ends the process: the handler
// removes the registered files, restores the previous action and raises the
// signal again, so the process still ends as the signal says (a core dump
// stays a core dump). Signals that are ignored (as under nohup) stay ignored.
void installSignalHandlers();

// How many paths can be registered at once: one for each output a run may be
// writing at the same time (a batch's jobs, a plot, a preset), with room to spare.
constexpr int maxPaths = 264;

// Registers a path to remove should a signal end the process. Returns a slot
// for unregisterPath, or -1 when the path cannot be kept (too long, or too many).
int registerPath(const std::string& path);
void unregisterPath(int slot);
}  // namespace cleanup
}  // namespace varnoke::render
