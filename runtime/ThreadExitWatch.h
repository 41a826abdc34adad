#pragma once

namespace varnoke
{
// Notices when one particular thread ends: the thread that JUCE's message loop
// belongs to. A host may create the plug-in on a loader thread that exits
// afterwards; then some other thread has to take over.
namespace thread_exit_watch
{
// Watches the calling thread from now on, instead of any thread watched before.
void watchCallingThread();

// True once the watched thread has ended.
bool watchedThreadHasEnded() noexcept;

// Stops watching (JUCE's GUI layer is going down). Nothing of the watch stays
// behind in the threads, so the library can be unloaded afterwards.
void stopWatching();
}  // namespace thread_exit_watch
}  // namespace varnoke
