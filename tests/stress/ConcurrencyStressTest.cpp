// Host threads automating and reading parameters and saving and restoring the
// state, while the audio thread processes and the host's UI thread opens,
// idles and closes the editor. Run under ThreadSanitizer by scripts/sanitize.sh.

#include "EditorKnobs.h"
#include "EffectHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <iostream>
#include <random>
#include <thread>
#include <vector>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
using varnoke::test::dispatch;
using varnoke::test::Op;
using namespace std::chrono_literals;

constexpr auto stressDuration = 3s;
constexpr int blockFrames = 256;

struct Counters
{
    std::atomic<long> blocks{0};
    std::atomic<long> parameterWrites{0};
    std::atomic<long> parameterReads{0};
    std::atomic<long> stateRoundTrips{0};
    std::atomic<long> editorCycles{0};
};

void audioThread(AEffect* effect, const std::atomic<bool>& stop, Counters& counters)
{
    std::vector<float> left(blockFrames), right(blockFrames);
    float* channels[] = {left.data(), right.data()};
    float phase = 0.0f;
    while (!stop.load())
    {
        for (int i = 0; i < blockFrames; ++i, phase += 0.0625f)
        {
            left[static_cast<std::size_t>(i)] = 0.5f * std::sin(phase);
            right[static_cast<std::size_t>(i)] = 0.5f * std::cos(phase);
        }
        effect->processReplacing(effect, channels, channels, blockFrames);
        ++counters.blocks;
    }
}

void automationThread(AEffect* effect, unsigned seed, const std::atomic<bool>& stop, Counters& counters)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> index(0, 2);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    while (!stop.load())
    {
        effect->setParameter(effect, index(random), value(random));
        ++counters.parameterWrites;
        const float read = effect->getParameter(effect, index(random));
        EXPECT_TRUE(read >= 0.0f && read <= 1.0f) << read;
        ++counters.parameterReads;
    }
}

// The host's saving and loading: it keeps its chunk calls on one thread, as it
// must, since a chunk stays valid only until the next chunk call.
void stateThread(AEffect* effect, const std::atomic<bool>& stop, Counters& counters)
{
    while (!stop.load())
    {
        void* data = nullptr;
        const VstIntPtr size = dispatch(effect, Op::getChunk, 0, 0, &data);
        ASSERT_GT(size, 9);
        std::vector<char> saved(static_cast<const char*>(data), static_cast<const char*>(data) + size);
        dispatch(effect, Op::setChunk, 0, size, saved.data());
        ++counters.stateRoundTrips;
    }
}

// The host's UI thread idles the editor until its knobs show the parameters.
bool idleUntilKnobsShowParameters(AEffect* effect)
{
    for (int attempt = 0; attempt < 200; ++attempt)
    {
        dispatch(effect, Op::editIdle);
        const auto knobs = varnoke::test::knobValues(effect);
        if (knobs && *knobs == varnoke::test::expectedKnobValues(effect))
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(ConcurrencyStress, HostThreadsAudioThreadAndEditorTogether)
{
    varnoke::test::HostWindow hostWindow;
    AEffect* effect = varnoke::test::createPlugin();  // this thread is now JUCE's message thread
    ASSERT_NE(nullptr, effect);
    dispatch(effect, Op::open);
    dispatch(effect, Op::setSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effect, Op::setBlockSize, 0, blockFrames);
    dispatch(effect, Op::mainsChanged, 0, 1);

    Counters counters;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    threads.emplace_back(audioThread, effect, std::cref(stop), std::ref(counters));
    threads.emplace_back(automationThread, effect, 1u, std::cref(stop), std::ref(counters));
    threads.emplace_back(automationThread, effect, 2u, std::cref(stop), std::ref(counters));
    threads.emplace_back(stateThread, effect, std::cref(stop), std::ref(counters));

    // The UI thread: open, idle a few times, close; without a display the
    // editor is only built for its size and deleted.
    const auto started = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - started < stressDuration)
    {
        if (hostWindow.isAvailable())
        {
            ASSERT_EQ(1, dispatch(effect, Op::editOpen, 0, 0, hostWindow.handle()));
        }
        else
        {
            ASSERT_NE(0, dispatch(effect, Op::editGetRect, 0, 0, nullptr));
        }
        for (int idle = 0; idle < 3; ++idle)
        {
            dispatch(effect, Op::editIdle);
            std::this_thread::sleep_for(2ms);
        }
        dispatch(effect, Op::editClose);
        ++counters.editorCycles;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // The editor stays open while the host threads do their last writes.
    if (hostWindow.isAvailable())
    {
        ASSERT_EQ(1, dispatch(effect, Op::editOpen, 0, 0, hostWindow.handle()));
    }
    std::this_thread::sleep_for(100ms);
    stop = true;
    for (auto& thread : threads)
        thread.join();

    std::cout << "stress: " << seconds << " s, " << counters.blocks << " blocks of " << blockFrames << ", "
              << counters.parameterWrites << " parameter writes, " << counters.parameterReads << " reads, "
              << counters.stateRoundTrips << " state save/restores, " << counters.editorCycles
              << " editor open/close cycles\n";
    EXPECT_GT(counters.blocks.load(), 0);
    EXPECT_GT(counters.parameterWrites.load(), 0);
    EXPECT_GT(counters.stateRoundTrips.load(), 0);
    EXPECT_GT(counters.editorCycles.load(), 0);

    if (hostWindow.isAvailable())
    {
        EXPECT_TRUE(idleUntilKnobsShowParameters(effect)) << "the knobs must end at the last values set";

        // A last automation write from another thread reaches the open editor too.
        std::thread(
            [effect]
            {
                effect->setParameter(effect, 0, 0.125f);
                effect->setParameter(effect, 1, 0.625f);
                effect->setParameter(effect, 2, 0.875f);
            })
            .join();
        EXPECT_TRUE(idleUntilKnobsShowParameters(effect));
        EXPECT_EQ((std::array<double, 3>{1.25, 6.25, 8.75}),
                  varnoke::test::knobValues(effect).value_or(std::array<double, 3>{}));
    }

    dispatch(effect, Op::close);
}
}  // namespace
