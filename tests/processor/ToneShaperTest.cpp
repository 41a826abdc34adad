#include "ToneShaper.h"
#include "PerKernelTest.h"
#include "ScopedFlushToZero.h"
#include "ShaperKernelChoice.h"
#include "support/BitPatterns.h"
#include "support/ReferenceSignalPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace varnoke;
using namespace varnoke::test;

using varnoke::ToneShaper;

namespace
{
std::vector<float> noise(std::mt19937& random, int frames, float level)
{
    std::uniform_real_distribution<float> sample(-level, level);
    std::vector<float> samples(static_cast<size_t>(frames));
    for (float& value : samples)
        value = sample(random);
    return samples;
}

// Random gains changed between blocks of every length around the SSE2
// kernel's inner runs, at several rates, against the scalar model; with
// kernel set, that kernel runs, else the one prepare() chooses.
void expectAgreementWithTheScalarModel(std::optional<ShaperKernel> kernel)
{
    for (const double rate : {8000.0, 44100.0, 96000.0})
    {
        std::mt19937 random(7);
        std::uniform_real_distribution<double> gain(-1.0, 6.0);
        ToneShaper shaper;
        shaper.prepare(rate);
        if (kernel)
        {
            ASSERT_TRUE(shaper.useKernel(*kernel));
        }
        ReferenceSignalPath referenceLeft, referenceRight;
        referenceLeft.prepare(rate);
        referenceRight.prepare(rate);

        for (const int frames : {0, 1, 31, 32, 33, 64, 65, 200, 1000})
        {
            const ToneShaper::Gains gains{gain(random), gain(random), gain(random) / 4.0, gain(random)};
            shaper.setGains(gains);
            const ReferenceSignalPath::Gains referenceGains{gains.low, gains.high, gains.cvDepth, gains.output};

            std::vector<float> left = noise(random, frames, 1.0f), right = noise(random, frames, 0.25f);
            std::vector<float> expectedLeft, expectedRight;
            for (int i = 0; i < frames; ++i)
            {
                expectedLeft.push_back(referenceLeft.process(left[static_cast<size_t>(i)], referenceGains));
                expectedRight.push_back(referenceRight.process(right[static_cast<size_t>(i)], referenceGains));
            }
            shaper.process(left.data(), right.data(), frames);

            for (int i = 0; i < frames; ++i)
            {
                ASSERT_SAME_BITS(expectedLeft[static_cast<size_t>(i)], left[static_cast<size_t>(i)])
                    << rate << " Hz, block of " << frames << ", frame " << i;
                ASSERT_SAME_BITS(expectedRight[static_cast<size_t>(i)], right[static_cast<size_t>(i)])
                    << rate << " Hz, block of " << frames << ", frame " << i;
            }
        }
    }
}
}  // namespace

// The kernel on its own, against the scalar model: random gains changed between
// blocks of every length around the kernel's inner runs, at several rates.
TEST(ToneShaper, AgreesBitForBitWithTheScalarModel)
{
    expectAgreementWithTheScalarModel(std::nullopt);
}

TEST(ToneShaper, ResetReturnsBothChannelsToRest)
{
    std::mt19937 random(3);
    const ToneShaper::Gains gains{1.5, 2.5, 0.0, 1.0};

    ToneShaper used;
    used.prepare(48000.0);
    used.setGains(gains);
    std::vector<float> left = noise(random, 500, 1.0f), right = noise(random, 500, 1.0f);
    used.process(left.data(), right.data(), 500);
    used.reset();

    ToneShaper fresh;
    fresh.prepare(48000.0);
    fresh.setGains(gains);

    std::vector<float> usedLeft = noise(random, 300, 1.0f), usedRight = noise(random, 300, 1.0f);
    std::vector<float> freshLeft = usedLeft, freshRight = usedRight;
    used.process(usedLeft.data(), usedRight.data(), 300);
    fresh.process(freshLeft.data(), freshRight.data(), 300);
    for (size_t i = 0; i < 300; ++i)
    {
        ASSERT_SAME_BITS(freshLeft[i], usedLeft[i]) << i;
        ASSERT_SAME_BITS(freshRight[i], usedRight[i]) << i;
    }
}

// The kernel flushes subnormals for its own work only: a host's floating-point
// mode is the same after the block as before.
TEST(ToneShaper, RestoresTheCallersFloatingPointMode)
{
    ToneShaper shaper;
    shaper.prepare(44100.0);
    std::vector<float> left(64, 0.5f), right(64, 0.5f);

    const auto before = ScopedFlushToZero::readMode();
    shaper.process(left.data(), right.data(), 64);
    EXPECT_EQ(before, ScopedFlushToZero::readMode());
}

namespace
{
// Each kernel, forced.
class EveryKernel : public PerKernelTest
{
};

TEST_P(EveryKernel, AgreesBitForBitWithTheScalarModel)
{
    expectAgreementWithTheScalarModel(GetParam());
}

// Without a right channel the left one runs alone, as the scalar model does,
// and whatever the right channel held comes back when it returns.
TEST_P(EveryKernel, RunsOneChannelAloneAndKeepsTheOthersMemories)
{
    std::mt19937 random(11);
    const ToneShaper::Gains gains{1.25, 3.5, 0.75, 0.5};
    const ReferenceSignalPath::Gains referenceGains{gains.low, gains.high, gains.cvDepth, gains.output};
    ToneShaper shaper;
    shaper.prepare(48000.0);
    ASSERT_TRUE(shaper.useKernel(GetParam()));
    shaper.setGains(gains);
    ReferenceSignalPath referenceLeft, referenceRight;
    referenceLeft.prepare(48000.0);
    referenceRight.prepare(48000.0);

    for (const bool stereo : {true, false, true})
    {
        std::vector<float> left = noise(random, 301, 1.0f), right = noise(random, 301, 1.0f);
        std::vector<float> expectedLeft, expectedRight;
        for (size_t i = 0; i < left.size(); ++i)
        {
            expectedLeft.push_back(referenceLeft.process(left[i], referenceGains));
            if (stereo)
                expectedRight.push_back(referenceRight.process(right[i], referenceGains));
        }
        shaper.process(left.data(), stereo ? right.data() : nullptr, 301);
        for (size_t i = 0; i < left.size(); ++i)
        {
            ASSERT_SAME_BITS(expectedLeft[i], left[i]) << (stereo ? "stereo" : "mono") << ", frame " << i;
            if (stereo)
            {
                ASSERT_SAME_BITS(expectedRight[i], right[i]) << "frame " << i;
            }
        }
    }
}

void expectSameMemories(const ShaperChannelState& expected, const ShaperChannelState& actual, const std::string& what)
{
    const auto values = [](const ShaperChannelState& s)
    {
        return std::vector<double>{s.cvGain,      s.dc,          s.allPass.x1,  s.allPass.x2, s.allPass.y1,
                                   s.allPass.y2,  s.lowPass.x1,  s.lowPass.x2,  s.lowPass.y1, s.lowPass.y2,
                                   s.highPass.x1, s.highPass.x2, s.highPass.y1, s.highPass.y2};
    };
    const std::vector<double> expectedValues = values(expected), actualValues = values(actual);
    for (size_t i = 0; i < expectedValues.size(); ++i)
        ASSERT_SAME_BITS(expectedValues[i], actualValues[i]) << what << ", memory " << i;
}

// The kernel function itself, its memories compared with the scalar model's
// after every block: a sum evaluated in another order shows there long before
// it changes a float output.
TEST_P(EveryKernel, KeepsTheScalarModelsMemoriesBitForBit)
{
    const ShaperKernelFunction run = shaperKernelFunction(GetParam());
    for (const double rate : {8000.0, 44100.0, 96000.0})
    {
        std::mt19937 random(13);
        std::uniform_real_distribution<double> gain(-1.0, 6.0);
        ShaperSettings settings;
        settings.sections = designCrossover(rate);
        settings.smoothStep = ToneShaper::smoothingStep;
        settings.smoothKeep = ToneShaper::smoothingKeep;
        ShaperChannelState leftState, rightState;
        ReferenceSignalPath referenceLeft, referenceRight;
        referenceLeft.prepare(rate);
        referenceRight.prepare(rate);

        for (const int frames : {1, 2, 3, 7, 64, 333})
        {
            const ReferenceSignalPath::Gains gains{gain(random), gain(random), gain(random) / 4.0, gain(random)};
            settings.lowGain = gains.low;
            settings.highGain = gains.high;
            settings.cvDepth = gains.cv;
            settings.outputGain = gains.output;
            std::vector<float> left = noise(random, frames, 1.0f), right = noise(random, frames, 0.5f);
            for (int i = 0; i < frames; ++i)
            {
                referenceLeft.process(left[static_cast<size_t>(i)], gains);
                referenceRight.process(right[static_cast<size_t>(i)], gains);
            }
            run(settings, leftState, rightState, left.data(), right.data(), frames);

            const std::string what = std::to_string(rate) + " Hz, block of " + std::to_string(frames);
            expectSameMemories(referenceLeft.memories(), leftState, what + ", left");
            expectSameMemories(referenceRight.memories(), rightState, what + ", right");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ToneShaper, EveryKernel, ::testing::ValuesIn(builtShaperKernels), kernelInstanceName);
}  // namespace
