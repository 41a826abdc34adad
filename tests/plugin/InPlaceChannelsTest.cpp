#include "InPlaceChannels.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Channels = varnoke::InPlaceChannels<2>;

// Stands in for the processor: adds 100 times (channel + 1) to every sample, so
// each output shows which channel's processing it went through.
struct MarkingProcessor
{
    void operator()(float* const* channels, int frames)
    {
        sliceLengths.push_back(frames);
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < frames; ++i)
                channels[channel][i] += 100.0f * static_cast<float>(channel + 1);
    }
    std::vector<int> sliceLengths;
};

std::vector<float> ramp(int frames, float start)
{
    std::vector<float> samples(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        samples[static_cast<std::size_t>(i)] = start + static_cast<float>(i);
    return samples;
}
}  // namespace

// How the host lays out its buffers, and what every output must hold afterwards.
TEST(InPlaceChannels, EveryChannelIsProcessedFromItsOwnInput)
{
    constexpr int frames = 8;
    struct Layout
    {
        const char* name;
        bool inputsAreOutputs;  // the host passes the same memory for input and output
        bool sharedOutputs;     // both outputs point at the same memory
        bool missingSecondInput;
    };
    const Layout layouts[] = {{"separate buffers", false, false, false},
                              {"inputs are the outputs", true, false, false},
                              {"outputs share memory", false, true, false},
                              {"outputs share the first input's memory", true, true, false},
                              {"second input missing", false, false, true}};

    for (const Layout& layout : layouts)
    {
        SCOPED_TRACE(layout.name);
        std::vector<float> in0 = ramp(frames, 1.0f), in1 = ramp(frames, 50.0f);
        std::vector<float> out0(frames, -1.0f), out1(frames, -1.0f);
        float* outputs[] = {layout.inputsAreOutputs ? in0.data() : out0.data(),
                            layout.inputsAreOutputs ? in1.data() : out1.data()};
        if (layout.sharedOutputs)
            outputs[1] = outputs[0];
        const float* inputs[] = {in0.data(), layout.missingSecondInput ? nullptr : in1.data()};

        // What each input holds before anything is written.
        const std::vector<float> expected0 = ramp(frames, 1.0f);
        const std::vector<float> expected1 =
            layout.missingSecondInput ? std::vector<float>(frames, 0.0f) : ramp(frames, 50.0f);

        Channels channels;
        channels.prepare(frames);
        MarkingProcessor processor;
        channels.process(inputs, 2, outputs, 2, frames, processor);

        for (int i = 0; i < frames; ++i)
        {
            const auto at = static_cast<std::size_t>(i);
            if (layout.sharedOutputs)
            {
                // The shared memory ends up holding the later channel's output.
                EXPECT_EQ(expected1[at] + 200.0f, outputs[0][i]) << i;
            }
            else
            {
                EXPECT_EQ(expected0[at] + 100.0f, outputs[0][i]) << i;
                EXPECT_EQ(expected1[at] + 200.0f, outputs[1][i]) << i;
            }
        }
    }
}

// With shared outputs the block goes through the scratch memory in slices,
// however large a block the host hands over; without, it goes in one piece.
TEST(InPlaceChannels, SharedOutputsAreProcessedInSlicesOfTheScratchMemory)
{
    Channels channels;
    channels.prepare(1 << 30);  // an absurd announced size gets bounded scratch memory
    ASSERT_EQ(Channels::maxScratchFrames, channels.getScratchFrames());

    const int frames = Channels::maxScratchFrames * 2 + 5;
    std::vector<float> in0 = ramp(frames, 0.0f), in1 = ramp(frames, 0.5f);
    std::vector<float> shared(static_cast<std::size_t>(frames));
    const float* inputs[] = {in0.data(), in1.data()};
    float* outputs[] = {shared.data(), shared.data()};

    MarkingProcessor processor;
    channels.process(inputs, 2, outputs, 2, frames, processor);
    EXPECT_EQ((std::vector<int>{Channels::maxScratchFrames, Channels::maxScratchFrames, 5}), processor.sliceLengths);
    for (const int i : {0, Channels::maxScratchFrames, frames - 1})
        EXPECT_EQ(in1[static_cast<std::size_t>(i)] + 200.0f, shared[static_cast<std::size_t>(i)]) << i;

    std::vector<float> separate(static_cast<std::size_t>(frames));
    float* separateOutputs[] = {shared.data(), separate.data()};
    MarkingProcessor wholeBlock;
    channels.process(inputs, 2, separateOutputs, 2, frames, wholeBlock);
    EXPECT_EQ(std::vector<int>{frames}, wholeBlock.sliceLengths);
}

TEST(InPlaceChannels, ProcessingAllocatesNothing)
{
    Channels channels;
    channels.prepare(64);
    std::vector<float> in0(64, 0.25f), in1(64, 0.5f), shared(64);
    const float* inputs[] = {in0.data(), in1.data()};
    float* outputs[] = {shared.data(), shared.data()};
    const auto nothing = [](float* const*, int) {};
    EXPECT_NO_ALLOCATION(channels.process(inputs, 2, outputs, 2, 64, nothing));
}
