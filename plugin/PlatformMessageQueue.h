#pragma once

#include <chrono>

namespace varnoke
{
// Runs what JUCE has queued for the calling thread (its posted messages,
// timers and repaints, and on Linux its X events) until nothing is left or the
// deadline has passed. Only on JUCE's message thread.
void dispatchQueuedJuceWork(std::chrono::steady_clock::time_point deadline);
}  // namespace varnoke
