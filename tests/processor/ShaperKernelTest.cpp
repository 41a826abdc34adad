// The kernels against each other where the scalar model has no say: values no
// host should send, the restart of a damaged channel, and a signal decaying
// through the subnormal range. Every kernel gives the two-lane kernel's bits.

#include "PerKernelTest.h"
#include "ShaperKernelChoice.h"
#include "ToneShaper.h"
#include "support/BitPatterns.h"
#include "support/ForcedKernel.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
constexpr int blockFrames = 256;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr float floatNan = std::numeric_limits<float>::quiet_NaN();
constexpr float floatInf = std::numeric_limits<float>::infinity();
const ToneShaper::Gains usualGains{2.5, 2.5, 0.5, 1.0};

// One block of a run: what the host sends, and the gains it sets first.
struct Block
{
    std::function<void(std::vector<float>& left, std::vector<float>& right)> spoil;
    ToneShaper::Gains gains = usualGains;
    double level = 0.5;  // of the noise before spoiling
};

struct HostileRun
{
    const char* name;
    std::vector<Block> blocks;
};

auto setSample(std::size_t index, float leftValue, float rightValue)
{
    return [=](std::vector<float>& left, std::vector<float>& right)
    {
        left[index] = leftValue;
        right[index] = rightValue;
    };
}

auto fill(float leftValue, float rightValue)
{
    return [=](std::vector<float>& left, std::vector<float>& right)
    {
        left.assign(left.size(), leftValue);
        right.assign(right.size(), rightValue);
    };
}

// Each run ends in ordinary blocks, so a kernel that restarted a channel
// differently would show it there too.
const Block ordinary{};

const HostileRun hostileRuns[] = {
    {"NanSample", {ordinary, {setSample(100, floatNan, 0.25f)}, ordinary, ordinary}},
    {"InfiniteSamples", {{setSample(0, floatInf, -floatInf)}, ordinary, ordinary}},
    {"NanAndInfinityTogether", {{setSample(7, floatNan, floatInf)}, {setSample(8, -floatInf, floatNan)}, ordinary}},
    {"LargestFloats", {{fill(FLT_MAX, -FLT_MAX)}, {fill(FLT_MAX, FLT_MAX)}, ordinary, ordinary}},
    {"SubnormalFloats", {{fill(std::numeric_limits<float>::denorm_min(), -1e-40f)}, ordinary}},
    {"NanGains",
     {{{}, {nan, 1.0, 0.5, 1.0}},
      {{}, {1.0, nan, 0.5, 1.0}},
      {{}, {1.0, 1.0, nan, 1.0}},
      {{}, {1.0, 1.0, 0.5, nan}},
      ordinary}},
    {"InfiniteGains", {{{}, {inf, -inf, 0.5, 1.0}}, {{}, {1.0, 1.0, inf, -inf}}, ordinary}},
    {"HugeGains", {{{}, {1e300, 1e300, 1e300, 1e300}}, {{}, {3e38, -3e38, 0.0, 3e38}}, ordinary}},
    {"SubnormalGains", {{{}, {4.9e-324, 2.2e-308, 1e-310, 4.9e-324}}, ordinary}},
    {"TinyDoublesThroughTheMix", {{{}, {1e-300, 1e-300, 0.5, 1e-10}, 1e-30}, {{}, usualGains, 1e-38}, ordinary}},
};

struct Output
{
    std::vector<float> left, right;
};

// Runs the blocks through one kernel at a rate, with or without a right channel.
Output process(ShaperKernel kernel, double rate, bool stereo, const std::vector<Block>& blocks)
{
    ToneShaper shaper;
    shaper.prepare(rate);
    EXPECT_TRUE(shaper.useKernel(kernel));
    std::mt19937 random(5);
    Output output;
    for (const Block& block : blocks)
    {
        std::uniform_real_distribution<float> sample(static_cast<float>(-block.level), static_cast<float>(block.level));
        std::vector<float> left(blockFrames), right(blockFrames);
        for (int i = 0; i < blockFrames; ++i)
        {
            left[static_cast<size_t>(i)] = sample(random);
            right[static_cast<size_t>(i)] = sample(random);
        }
        if (block.spoil)
            block.spoil(left, right);
        shaper.setGains(block.gains);
        shaper.process(left.data(), stereo ? right.data() : nullptr, blockFrames);
        output.left.insert(output.left.end(), left.begin(), left.end());
        if (stereo)
            output.right.insert(output.right.end(), right.begin(), right.end());
    }
    return output;
}

// Loud noise, then about a minute of silence: every memory decays to where
// plain arithmetic would reach subnormal numbers, which the kernels flush.
std::vector<Block> decayingSignal()
{
    std::vector<Block> blocks(20, Block{{}, usualGains, 1.0});
    const Block silence{fill(0.0f, 0.0f)};
    blocks.insert(blocks.end(), 44100 * 60 / blockFrames, silence);
    return blocks;
}

void expectNoSubnormals(const std::vector<float>& samples, const std::string& what)
{
    for (size_t i = 0; i < samples.size(); ++i)
        ASSERT_NE(FP_SUBNORMAL, std::fpclassify(samples[i])) << what << ", sample " << i;
}

// The two-lane kernel, which every processor of the family runs, flushes the
// decaying signal's subnormals to zero: in its output and in its memories.
TEST(PairKernel, FlushesSubnormalsWhileTheSignalDecays)
{
    const Output output = process(pairShaperKernel, 44100.0, true, decayingSignal());
    expectNoSubnormals(output.left, "left");
    expectNoSubnormals(output.right, "right");
    EXPECT_EQ(0.0f, output.left.back());
    EXPECT_EQ(0.0f, output.right.back());
}

#if defined(__x86_64__) || defined(_M_X64)
void expectSameBits(const std::vector<float>& expected, const std::vector<float>& actual, const std::string& what)
{
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_SAME_BITS(expected[i], actual[i]) << what << ", sample " << i;
}

class WideKernel : public PerKernelTest
{
};

TEST_P(WideKernel, GivesThePairKernelsBitsForHostileValues)
{
    for (const HostileRun& run : hostileRuns)
        for (const double rate : {22050.0, 44100.0, 192000.0})
            for (const bool stereo : {true, false})
            {
                const Output expected = process(pairShaperKernel, rate, stereo, run.blocks);
                const Output actual = process(GetParam(), rate, stereo, run.blocks);
                const std::string what =
                    std::string(run.name) + " at " + std::to_string(rate) + " Hz" + (stereo ? "" : ", left alone");
                expectSameBits(expected.left, actual.left, what + ", left");
                expectSameBits(expected.right, actual.right, what + ", right");
            }
}

// The decaying signal: the wide kernels flush alike.
TEST_P(WideKernel, GivesThePairKernelsBitsWhileTheSignalDecays)
{
    const std::vector<Block> blocks = decayingSignal();
    const Output expected = process(pairShaperKernel, 44100.0, true, blocks);
    const Output actual = process(GetParam(), 44100.0, true, blocks);
    expectSameBits(expected.left, actual.left, "left");
    expectSameBits(expected.right, actual.right, "right");
    expectNoSubnormals(actual.left, "left");
}

INSTANTIATE_TEST_SUITE_P(ShaperKernel, WideKernel, ::testing::Values(ShaperKernel::avx2, ShaperKernel::avx512),
                         kernelInstanceName);
#endif

// prepare() takes the widest kernel the processor runs, unless VARNOKE_KERNEL
// names another one it runs.
TEST(ShaperKernelChoice, TakesTheWidestUnlessTheEnvironmentNamesAnother)
{
    ShaperKernel widest = pairShaperKernel;
    for (const ShaperKernel kernel : builtShaperKernels)
        if (processorRuns(kernel))
            widest = kernel;
    {
        ToneShaper shaper;
        shaper.prepare(44100.0);
        EXPECT_EQ(widest, shaper.getKernel());
    }
    for (const char* name : kernelNames)
    {
        const ForcedKernel forced(name);
        ToneShaper shaper;
        shaper.prepare(44100.0);
        EXPECT_STREQ(processorRunsKernel(name) ? name : shaperKernelName(widest), shaperKernelName(shaper.getKernel()))
            << name;
    }
    for (const char* name : {"", "AVX2", "NEON", "sse2 ", otherFamilysKernelName})
    {
        const ForcedKernel forced(name);
        ToneShaper shaper;
        shaper.prepare(44100.0);
        EXPECT_EQ(widest, shaper.getKernel()) << '"' << name << '"';
    }
}

// The plug-in's reading of the processor agrees with the test's own.
TEST(ShaperKernelChoice, KnowsWhichKernelsThisProcessorRuns)
{
    for (const char* name : kernelNames)
    {
        const auto kernel = shaperKernelNamed(name);
        ASSERT_TRUE(kernel) << name;
        EXPECT_STREQ(name, shaperKernelName(*kernel));
        EXPECT_EQ(processorRunsKernel(name), processorRuns(*kernel)) << name;
        if (!processorRuns(*kernel))
        {
            ToneShaper shaper;
            shaper.prepare(44100.0);
            const ShaperKernel before = shaper.getKernel();
            EXPECT_FALSE(shaper.useKernel(*kernel)) << name;
            EXPECT_EQ(before, shaper.getKernel()) << name;
        }
    }
}
}  // namespace
