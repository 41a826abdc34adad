#pragma once

#include <juce_events/juce_events.h>

#include <chrono>
#include <functional>
#include <thread>

namespace juce
{
// Runs what is ready on JUCE's message queue; defined in juce_events on Linux.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}  // namespace juce

namespace message_loop
{
// Runs every message that is pending now, as a host's idle call would.
inline void runPending()
{
    while (juce::dispatchNextMessageOnSystemQueue(true))
    {
    }
}

// Runs the message loop until done() or the time is up; answers done().
inline bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end)
    {
        runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

// Runs the message loop for a while, so that anything still scheduled gets its chance.
inline void runFor(std::chrono::milliseconds duration)
{
    runUntil([] { return false; }, duration);
}
}  // namespace message_loop
