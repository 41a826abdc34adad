#pragma once

#include <string>
#include <sys/types.h>

namespace varnoke::render
{
// Why the file at path cannot be read as a preset or an audio input because of
// its kind (st_mode): a directory, or a device, pipe or socket, which may
// block a reader or never end. Empty for a regular file.
std::string refusalOfKind(const std::string& path, mode_t mode);

// The same for the file at path, after following symbolic links, told by
// stat alone: opening a FIFO that nobody writes to would wait for ever. Empty
// also when the file cannot be looked at; opening it then says why.
std::string refusalOfKindAt(const std::string& path);
}  // namespace varnoke::render
