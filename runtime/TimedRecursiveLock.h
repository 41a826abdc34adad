#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace varnoke
{
// A recursive lock whose waits are bounded. Built on a mutex and a condition
// variable rather than std::recursive_timed_mutex, whose timed wait the thread
// sanitizer cannot follow (it then reports every unlock as a wrong one).
class TimedRecursiveLock
{
public:
    bool tryLockFor(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> guard(mutex);
        const auto caller = std::this_thread::get_id();
        if (depth > 0 && owner == caller)
        {
            ++depth;
            return true;
        }
        if (!released.wait_for(guard, limit, [this] { return depth == 0; }))
            return false;
        owner = caller;
        depth = 1;
        return true;
    }

    void unlock()
    {
        {
            const std::lock_guard<std::mutex> guard(mutex);
            if (--depth > 0)
                return;
            owner = {};
        }
        released.notify_all();
    }

    // Holds the lock for one scope if it could be had within the limit.
    class ScopedTry
    {
    public:
        ScopedTry(TimedRecursiveLock& lockToTry, std::chrono::milliseconds limit)
            : lock(lockToTry)
            , locked(lockToTry.tryLockFor(limit))
        {
        }
        ~ScopedTry()
        {
            if (locked)
                lock.unlock();
        }
        bool isLocked() const noexcept { return locked; }

        ScopedTry(const ScopedTry&) = delete;
        ScopedTry& operator=(const ScopedTry&) = delete;

    private:
        TimedRecursiveLock& lock;
        const bool locked;
    };

private:
    std::mutex mutex;
    std::condition_variable released;
    std::thread::id owner;
    int depth = 0;
};
}  // namespace varnoke
