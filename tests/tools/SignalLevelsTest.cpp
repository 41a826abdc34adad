// The levels of the summary line, and the check that refuses a rendering
// holding NaN or infinity, which rides on them.

#include "RenderJob.h"
#include "support/BitPatterns.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace
{
using varnoke::render::SignalLevels;

// Blocks of every length around the four running sums, in one or two channels,
// with one sample replaced.
TEST(SignalLevelsTest, AnyNonFiniteSampleMarksTheBlock)
{
    const float damages[] = {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                             INFINITY, -INFINITY};
    for (const int channels : {1, 2})
        for (const int frames : {1, 3, 4, 5, 8, 511})
            for (int channel = 0; channel < channels; ++channel)
                for (const int frame : {0, frames / 2, frames - 1})
                {
                    SCOPED_TRACE(testing::Message() << channels << " channels, " << frames << " frames, damage at "
                                                    << channel << "/" << frame);
                    std::vector<float> left(static_cast<size_t>(frames), 0.25f), right = left;
                    const float* pointers[] = {left.data(), right.data()};
                    EXPECT_TRUE(SignalLevels().add(pointers, channels, frames));
                    for (const float damage : damages)
                    {
                        (channel == 0 ? left : right)[static_cast<size_t>(frame)] = damage;
                        EXPECT_FALSE(SignalLevels().add(pointers, channels, frames)) << damage;
                    }
                }
}

// Full-scale floats far beyond 0 dBFS, in the largest block the tool renders,
// are still finite samples.
TEST(SignalLevelsTest, TheLargestFiniteSamplesAreFinite)
{
    std::vector<float> loudest(65536, FLT_MAX);
    loudest[7] = -FLT_MAX;
    const float* pointers[] = {loudest.data(), loudest.data()};
    SignalLevels levels;
    EXPECT_TRUE(levels.add(pointers, 2, 65536));
    EXPECT_SAME_BITS(FLT_MAX, levels.peak);
    EXPECT_TRUE(std::isfinite(levels.rmsDecibels()));
}

TEST(SignalLevelsTest, PeakAndRmsOverBlocks)
{
    const float first[] = {0.5f, -1.0f, 0.25f, 0.0f, 0.125f};
    const float second[] = {-0.5f, 0.5f};
    const float* one[] = {first};
    const float* two[] = {second};
    SignalLevels levels;
    EXPECT_TRUE(levels.add(one, 1, 5));
    EXPECT_TRUE(levels.add(two, 1, 2));
    EXPECT_SAME_BITS(1.0f, levels.peak);
    EXPECT_EQ(7.0, levels.count);
    EXPECT_EQ(0.25 + 1.0 + 0.0625 + 0.015625 + 0.25 + 0.25, levels.sumOfSquares);  // exact in binary
    EXPECT_EQ(0.0, levels.peakDecibels());
    EXPECT_EQ(-INFINITY, SignalLevels().rmsDecibels());
}
}  // namespace
