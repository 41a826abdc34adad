#include "ToneShaper.h"
#include "support/BitPatterns.h"
#include "support/ReferenceSignalPath.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>
#include <xmmintrin.h>

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
}  // namespace

// The kernel on its own, against the scalar model: random gains changed between
// blocks of every length around the kernel's inner runs, at several rates.
TEST(ToneShaper, AgreesBitForBitWithTheScalarModel)
{
    for (const double rate : {8000.0, 44100.0, 96000.0})
    {
        std::mt19937 random(7);
        std::uniform_real_distribution<double> gain(-1.0, 6.0);
        ToneShaper shaper;
        shaper.prepare(rate);
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

    const unsigned before = _mm_getcsr();
    shaper.process(left.data(), right.data(), 64);
    EXPECT_EQ(before, _mm_getcsr());
}
