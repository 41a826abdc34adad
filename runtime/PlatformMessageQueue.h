#pragma once

#include <chrono>

namespace varnoke
{
// Runs what JUCE has queued for the calling thread (its posted messages,
// timers and repaints, and on Linux its X events) until nothing is left or the
// deadline has passed. Only on JUCE's message thread.
void dispatchQueuedJuceWork(std::chrono::steady_clock::time_point deadline);

// Whether another thread can take over JUCE's message queue: on Linux it is a
// socket and a list that any one thread at a time may serve; on Windows it is
// a hidden window that belongs to the thread that made it.
bool juceMessageQueueCanChangeThreads() noexcept;
}  // namespace varnoke
