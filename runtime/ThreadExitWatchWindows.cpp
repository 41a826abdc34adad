#include "ThreadExitWatch.h"

namespace varnoke::thread_exit_watch
{
// JUCE's message queue on Windows is a hidden window, which belongs to the
// thread that made it and cannot move to another, so nothing may take over
// from the message thread there: the watch never reports an end.
void watchCallingThread() {}

bool watchedThreadHasEnded() noexcept
{
    return false;
}

void stopWatching() {}
}  // namespace varnoke::thread_exit_watch
