#include "ThreadExitWatch.h"

#include <pthread.h>

#include <atomic>
#include <mutex>

namespace varnoke::thread_exit_watch
{
namespace
{
// A thread-specific key whose destructor runs when a thread that set it ends.
// Unlike a thread_local object with a destructor, a key keeps no reference to
// the library once it is deleted.
std::mutex watchMutex;
pthread_key_t exitKey;
bool keyExists = false;
pthread_t watchedThread;
std::atomic<bool> watchedThreadEnded{false};

void threadEnding(void*)
{
    const std::lock_guard<std::mutex> lock(watchMutex);
    if (keyExists && pthread_equal(pthread_self(), watchedThread) != 0)
        watchedThreadEnded = true;
}

// Any non-null value: the key's destructor only runs for threads that set one.
void* const watchedMarker = reinterpret_cast<void*>(&threadEnding);
}  // namespace

void watchCallingThread()
{
    const std::lock_guard<std::mutex> lock(watchMutex);
    if (!keyExists)
        keyExists = pthread_key_create(&exitKey, threadEnding) == 0;
    if (!keyExists)
        return;
    pthread_setspecific(exitKey, watchedMarker);
    watchedThread = pthread_self();
    watchedThreadEnded = false;
}

bool watchedThreadHasEnded() noexcept
{
    return watchedThreadEnded.load();
}

void stopWatching()
{
    const std::lock_guard<std::mutex> lock(watchMutex);
    if (keyExists)
        pthread_key_delete(exitKey);
    keyExists = false;
    watchedThreadEnded = false;
}
}  // namespace varnoke::thread_exit_watch
