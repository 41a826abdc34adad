#include "PlatformMessageQueue.h"

namespace juce
{
// JUCE's own single step of its Linux message loop; declared in no public header.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}  // namespace juce

namespace varnoke
{
void dispatchQueuedJuceWork(std::chrono::steady_clock::time_point deadline)
{
    while (juce::dispatchNextMessageOnSystemQueue(true))
        if (std::chrono::steady_clock::now() >= deadline)
            break;
}

bool juceMessageQueueCanChangeThreads() noexcept
{
    return true;
}
}  // namespace varnoke
