#include "MessageThread.h"

#include "PlatformMessageQueue.h"

#include <juce_events/juce_events.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace varnoke::MessageThread
{
bool isCurrentThread() noexcept
{
    return juce::MessageManager::existsAndIsCurrentThread();
}

bool runExclusively(const std::function<void()>& work, int timeoutMilliseconds)
{
    if (juce::MessageManager::getInstanceWithoutCreating() == nullptr)
        return false;

    if (isCurrentThread())
    {
        work();
        return true;
    }

    // JUCE's lock waits until the message thread takes its request, which
    // might be never; a watchdog aborts the wait after the timeout.
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

void dispatchPendingMessages(int maxMilliseconds)
{
    static thread_local bool dispatching = false;
    if (dispatching || !isCurrentThread())
        return;

    dispatching = true;
    dispatchQueuedJuceWork(std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMilliseconds));
    dispatching = false;
}
}  // namespace varnoke::MessageThread
