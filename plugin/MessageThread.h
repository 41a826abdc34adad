#pragma once

#include <functional>

namespace varnoke
{
// Access to JUCE's message thread, which is the thread of the first
// VSTPluginMain in the process (normally the host's UI thread). The host
// drives it: nothing of JUCE's runs unless that thread calls effEditIdle.
namespace MessageThread
{
bool isCurrentThread() noexcept;

// Runs work on the calling thread while no other thread can run JUCE's
// messages: directly on the message thread, otherwise while holding JUCE's
// message-manager lock. Another thread waits for the lock at most
// timeoutMilliseconds (the message thread may never dispatch again, or may be
// waiting for the caller) and then gives up and answers false without running
// work.
bool runExclusively(const std::function<void()>& work, int timeoutMilliseconds = 250);

// Runs JUCE's pending messages, timers, repaints and X events, on the message
// thread only, for at most maxMilliseconds. Re-entrant calls return at once.
void dispatchPendingMessages(int maxMilliseconds = 20);
}  // namespace MessageThread
}  // namespace varnoke
