#pragma once

#include <functional>

namespace varnoke
{
// Access to JUCE's message thread. It starts as the thread of the first
// VSTPluginMain in the process (normally the host's UI thread), and the host
// drives it: nothing of JUCE's runs unless that thread calls effEditIdle.
//
// A host may create instances on a loader thread that then exits, or on a
// thread that never idles while its UI thread does. Then the thread that calls
// the editor opcodes and effEditIdle takes the role over (on Linux, where
// JUCE's queue can change threads): when the message thread has ended, any
// such caller; when it lives but has never dispatched, a caller that idles.
// Whatever acts as the message thread holds one process-wide role lock, so no
// two threads ever act as the message thread at once; JUCE's pending
// messages, timers and X events stay queued and carry over.
namespace message_thread
{
// JUCE's GUI layer came up on the calling thread, or is about to go down.
void guiLayerStarted();
void guiLayerStopping();

bool isCurrentThread() noexcept;

// Runs work on the calling thread while no other thread can run JUCE's
// messages: directly on the message thread (or on a thread that takes the role
// over), otherwise while holding JUCE's message-manager lock. Another thread
// waits for the lock at most timeoutMilliseconds (the message thread may never
// dispatch again, or may be waiting for the caller) and then gives up and
// answers false without running work.
bool runExclusively(const std::function<void()>& work, int timeoutMilliseconds = 250);

// Runs JUCE's pending messages, timers, repaints and X events, on the message
// thread only, for at most maxMilliseconds. Re-entrant calls return at once.
// Afterwards it runs the work handed over with runOnMessageThreadWhenFree().
void dispatchPendingMessages(int maxMilliseconds = 20);

// True on the message thread while a dispatch runs past its time: work that
// would make JUCE queue more (such as host notifications, which a host may
// answer by reopening an editor) waits for a later call then.
bool isDispatchOverdue() noexcept;

// Hands work that must run on the message thread, outside any of JUCE's or
// the plug-in's message-thread work (deleting GUI objects), to the message
// thread: it runs at the end of the next dispatch, or at the next
// runHandedOverWork() there.
void runOnMessageThreadWhenFree(std::function<void()> work);

// Runs the handed-over work now if the caller is the message thread and is
// not inside other message-thread work; otherwise does nothing.
void runHandedOverWork();

// Makes the calling thread JUCE's message thread if nothing else is acting as
// the message thread now, however the role stood. Only for the last GUI user
// going away, when no other instance is left to be served.
bool takeOverForLastUser(int timeoutMilliseconds = 250);
}  // namespace message_thread
}  // namespace varnoke
