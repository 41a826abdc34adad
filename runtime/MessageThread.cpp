#include "MessageThread.h"

#include "PlatformMessageQueue.h"
#include "ThreadExitWatch.h"
#include "TimedRecursiveLock.h"

#include <juce_events/juce_events.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace varnoke::message_thread
{
namespace
{
using Clock = std::chrono::steady_clock;

// How long a thread waits for the role lock before it treats the message
// thread as unreachable: the holder may be stuck in a host callback.
constexpr std::chrono::milliseconds roleWaitLimit{250};

// Held by whichever thread runs message-thread work; recursive, since a host
// may call back into the plug-in from within that work.
TimedRecursiveLock& roleLock()
{
    static TimedRecursiveLock lock;
    return lock;
}

// What the current message thread has done since it got the role.
std::mutex stateMutex;
bool messageThreadHasActed = false;       // any message-thread work; guarded by stateMutex
bool messageThreadHasDispatched = false;  // an idle call; guarded by stateMutex

std::mutex handedOverMutex;
std::vector<std::function<void()>> handedOverWork;  // guarded by handedOverMutex

// Per thread: whether it calls effEditIdle, how deep it is in message-thread
// work, and its running dispatch.
thread_local bool threadIdles = false;
thread_local int roleDepth = 0;
thread_local bool dispatching = false;
thread_local Clock::time_point dispatchDeadline{};

struct RoleDepth
{
    RoleDepth() noexcept { ++roleDepth; }
    ~RoleDepth() { --roleDepth; }
    RoleDepth(const RoleDepth&) = delete;
    RoleDepth& operator=(const RoleDepth&) = delete;
};

// The message thread is not serving JUCE when it has ended, or has never done
// anything as the message thread, or, for a caller that idles, has never idled.
bool messageThreadMayBeReplaced(bool callerIdles)
{
    if (!juceMessageQueueCanChangeThreads())
        return false;
    if (thread_exit_watch::watchedThreadHasEnded())
        return true;
    const std::lock_guard<std::mutex> lock(stateMutex);
    return !messageThreadHasActed || (callerIdles && !messageThreadHasDispatched);
}

void noteMessageThreadWork(bool isDispatch)
{
    const std::lock_guard<std::mutex> lock(stateMutex);
    messageThreadHasActed = true;
    messageThreadHasDispatched = messageThreadHasDispatched || isDispatch;
}

void forgetMessageThreadWork()
{
    const std::lock_guard<std::mutex> lock(stateMutex);
    messageThreadHasActed = false;
    messageThreadHasDispatched = false;
}

// Makes the calling thread JUCE's message thread. The caller holds the role lock.
void becomeMessageThread(juce::MessageManager& messageManager)
{
    messageManager.setCurrentThreadAsMessageThread();
    thread_exit_watch::watchCallingThread();
    forgetMessageThreadWork();
}

// Takes the role over when the message thread is not serving JUCE (see
// above). The caller is not the message thread.
void takeOverIfUnserved(bool callerIdles)
{
    auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();
    if (messageManager == nullptr || !messageThreadMayBeReplaced(callerIdles))
        return;

    const TimedRecursiveLock::ScopedTry role(roleLock(), roleWaitLimit);
    if (!role.isLocked())
        return;
    // The message thread may have dispatched, or another caller taken over, meanwhile.
    if (!messageManager->isThisTheMessageThread() && messageThreadMayBeReplaced(callerIdles))
        becomeMessageThread(*messageManager);
}

// JUCE's lock waits until the message thread takes its request, which might be
// never; a watchdog aborts the wait after the timeout.
bool runHoldingJuceLock(const std::function<void()>& work, int timeoutMilliseconds)
{
    const juce::MessageManager::Lock lock;
    std::mutex watchdogMutex;
    std::condition_variable watchdogWake;
    bool waitFinished = false;

    std::thread watchdog(
        [&]
        {
            std::unique_lock<std::mutex> guard(watchdogMutex);
            if (!watchdogWake.wait_for(guard, std::chrono::milliseconds(timeoutMilliseconds),
                                       [&] { return waitFinished; }))
                lock.abort();
        });

    const bool gained = lock.tryEnter();
    {
        const std::lock_guard<std::mutex> guard(watchdogMutex);
        waitFinished = true;
    }
    watchdogWake.notify_one();
    watchdog.join();

    if (!gained)
        return false;

    work();
    lock.exit();
    return true;
}
}  // namespace

void guiLayerStarted()
{
    thread_exit_watch::watchCallingThread();
    forgetMessageThreadWork();
}

void guiLayerStopping()
{
    thread_exit_watch::stopWatching();
}

bool isCurrentThread() noexcept
{
    return juce::MessageManager::existsAndIsCurrentThread();
}

bool runExclusively(const std::function<void()>& work, int timeoutMilliseconds)
{
    if (juce::MessageManager::getInstanceWithoutCreating() == nullptr)
        return false;

    if (!isCurrentThread())
        takeOverIfUnserved(threadIdles);

    if (isCurrentThread())
    {
        const TimedRecursiveLock::ScopedTry role(roleLock(), std::chrono::milliseconds(timeoutMilliseconds));
        if (!role.isLocked())
            return false;
        if (isCurrentThread())
        {
            noteMessageThreadWork(false);
            const RoleDepth depth;
            work();
            return true;
        }
        // Another thread took the role over while this one waited.
    }

    return runHoldingJuceLock(work, timeoutMilliseconds);
}

void dispatchPendingMessages(int maxMilliseconds)
{
    threadIdles = true;
    if (dispatching)
        return;

    if (!isCurrentThread())
        takeOverIfUnserved(true);
    if (!isCurrentThread())
        return;

    {
        const TimedRecursiveLock::ScopedTry role(roleLock(), roleWaitLimit);
        if (!role.isLocked() || !isCurrentThread())
            return;
        noteMessageThreadWork(true);

        const RoleDepth depth;
        dispatching = true;
        dispatchDeadline = Clock::now() + std::chrono::milliseconds(maxMilliseconds);
        try
        {
            dispatchQueuedJuceWork(dispatchDeadline);
        }
        catch (...)
        {
            dispatching = false;
            throw;
        }
        dispatching = false;
    }

    runHandedOverWork();
}

bool isDispatchOverdue() noexcept
{
    return dispatching && Clock::now() >= dispatchDeadline && isCurrentThread();
}

void runOnMessageThreadWhenFree(std::function<void()> work)
{
    const std::lock_guard<std::mutex> lock(handedOverMutex);
    handedOverWork.push_back(std::move(work));
}

void runHandedOverWork()
{
    if (roleDepth != 0 || !isCurrentThread())
        return;

    const TimedRecursiveLock::ScopedTry role(roleLock(), roleWaitLimit);
    if (!role.isLocked() || !isCurrentThread())
        return;

    std::vector<std::function<void()>> work;
    {
        const std::lock_guard<std::mutex> lock(handedOverMutex);
        work.swap(handedOverWork);
    }
    const RoleDepth depth;
    for (auto& item : work)
        item();
}

bool takeOverForLastUser(int timeoutMilliseconds)
{
    auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();
    if (messageManager == nullptr || !juceMessageQueueCanChangeThreads())
        return false;

    const TimedRecursiveLock::ScopedTry role(roleLock(), std::chrono::milliseconds(timeoutMilliseconds));
    if (!role.isLocked())
        return false;
    if (!messageManager->isThisTheMessageThread())
        becomeMessageThread(*messageManager);
    return true;
}
}  // namespace varnoke::message_thread
