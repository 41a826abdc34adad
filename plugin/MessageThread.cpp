#include "MessageThread.h"

#include <juce_events/juce_events.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace juce
{
// JUCE's own single step of its Linux message loop; declared in no public header.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}  // namespace juce

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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMilliseconds);
    while (juce::dispatchNextMessageOnSystemQueue(true))
        if (std::chrono::steady_clock::now() >= deadline)
            break;
    dispatching = false;
}
}  // namespace varnoke::MessageThread
