#include "VarnokeAudioProcessor.h"
#include "support/AllocationCounter.h"
#include "support/BitPatterns.h"
#include "support/Formatting.h"
#include "support/ReferenceSignalPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
// Runs one block of a stereo (or, with an empty right, mono) signal in place.
void processInPlace(VarnokeAudioProcessor& processor, std::vector<float>& left, std::vector<float>* right)
{
    float* channels[] = {left.data(), right != nullptr ? right->data() : nullptr};
    juce::AudioSampleBuffer buffer(channels, right != nullptr ? 2 : 1, static_cast<int>(left.size()));
    juce::MidiBuffer midi;
    processor.processBlock(buffer, midi);
}

std::vector<std::string> firstFour(const std::vector<float>& samples)
{
    std::vector<std::string> text;
    for (int i = 0; i < 4; ++i)
        text.push_back(decimals(samples[i], 7));
    return text;
}

TEST(BlockProcessing, ImpulseWithDefaults)
{
    VarnokeAudioProcessor processor;
    processor.prepareToPlay(44100.0, 512);

    std::vector<float> left(64, 0.0f), right(64, 0.0f);
    left[0] = 1.0f;
    processInPlace(processor, left, &right);

    EXPECT_EQ((std::vector<std::string>{"0.6439326", "-0.5822128", "-0.3672507", "-0.2257900"}), firstFour(left));
    // The first sample is the all-pass b0 less 0.0003 of it (the DC tracker's share).
    const double b0 = processor.getToneShaper().getSections().allPass.b0;
    EXPECT_SAME_BITS(static_cast<float>(b0 - (0.0003 * b0 + 0.9997 * 0.0)), left[0]);
    for (const float sample : right)
        EXPECT_SAME_BITS(0.0f, sample);
}

TEST(BlockProcessing, ImpulsesWithMidParameters)
{
    VarnokeAudioProcessor processor;
    processor.prepareToPlay(44100.0, 512);
    for (int index = 0; index < 4; ++index)
        processor.setParameter(index, 0.5f);

    std::vector<float> left(16, 0.0f), right(16, 0.0f);
    left[0] = 1.0f;
    right[0] = 0.5f;
    processInPlace(processor, left, &right);

    EXPECT_EQ((std::vector<std::string>{"0.6465781", "-0.5629818", "-0.3347818", "-0.1850183"}), firstFour(left));
    EXPECT_EQ((std::vector<std::string>{"0.3240576", "-0.2817708", "-0.1675751", "-0.0926303"}), firstFour(right));
}

TEST(BlockProcessing, SilenceAndNegativeZeroGivePositiveZero)
{
    VarnokeAudioProcessor processor;
    processor.prepareToPlay(44100.0, 512);
    std::vector<float> left(300, -0.0f), right(300, 0.0f);
    processInPlace(processor, left, &right);
    for (size_t i = 0; i < left.size(); ++i)
    {
        ASSERT_SAME_BITS(0.0f, left[i]) << i;
        ASSERT_SAME_BITS(0.0f, right[i]) << i;
    }
}

TEST(BlockProcessing, EmptyBlockChangesNothing)
{
    VarnokeAudioProcessor a, b;
    a.prepareToPlay(44100.0, 512);
    b.prepareToPlay(44100.0, 512);

    std::vector<float> empty;
    std::vector<float> emptyRight;
    processInPlace(a, empty, &emptyRight);

    std::vector<float> la(32, 0.25f), ra(32, -0.5f), lb = la, rb = ra;
    processInPlace(a, la, &ra);
    processInPlace(b, lb, &rb);
    for (size_t i = 0; i < la.size(); ++i)
    {
        EXPECT_SAME_BITS(lb[i], la[i]);
        EXPECT_SAME_BITS(rb[i], ra[i]);
    }
}

// Random audio, random block sizes, parameter changes (the level-dependent
// gain included) and a change of sample rate, against the scalar model.
TEST(BlockProcessing, AgreesBitForBitWithTheScalarModel)
{
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> sample(-1.2f, 1.2f);
    std::uniform_real_distribution<float> parameter(0.0f, 1.0f);
    std::uniform_int_distribution<int> blockLength(0, 700);

    VarnokeAudioProcessor processor;
    ReferenceSignalPath referenceLeft, referenceRight;
    double rate = 44100.0;
    processor.prepareToPlay(rate, 512);
    referenceLeft.prepare(rate);
    referenceRight.prepare(rate);

    for (int block = 0; block < 200; ++block)
    {
        if (block == 120)
        {
            rate = 96000.0;  // memories carry over, coefficients change
            processor.prepareToPlay(rate, 512);
            referenceLeft.prepare(rate);
            referenceRight.prepare(rate);
        }
        if (block % 7 == 0)
            processor.setParameter(static_cast<int>(random() % 4), parameter(random) * (block % 3 == 0 ? 3.0f : 1.0f));

        const ReferenceSignalPath::Gains gains{processor.getLowGain(), processor.getHighGain(), processor.getCvDepth(),
                                               processor.getOutputGain()};
        std::vector<float> left(static_cast<size_t>(blockLength(random))), right(left.size());
        for (size_t i = 0; i < left.size(); ++i)
        {
            left[i] = sample(random);
            right[i] = block % 5 == 0 ? 0.0f : sample(random);
        }
        std::vector<float> expectedLeft(left.size()), expectedRight(left.size());
        for (size_t i = 0; i < left.size(); ++i)
        {
            expectedLeft[i] = referenceLeft.process(left[i], gains);
            expectedRight[i] = referenceRight.process(right[i], gains);
        }

        processInPlace(processor, left, &right);
        for (size_t i = 0; i < left.size(); ++i)
        {
            ASSERT_SAME_BITS(expectedLeft[i], left[i]) << "block " << block << " sample " << i;
            ASSERT_SAME_BITS(expectedRight[i], right[i]) << "block " << block << " sample " << i;
        }
    }
}

TEST(BlockProcessing, LoudInputWithDeepLevelGainInvertsTheHighBand)
{
    VarnokeAudioProcessor processor;
    ReferenceSignalPath reference;
    processor.prepareToPlay(44100.0, 512);
    reference.prepare(44100.0);
    processor.setParameter(VarnokeAudioProcessor::cvIndex, 1.0f);  // depth 10: |x| = 0.5 aims at -4
    processor.setParameter(VarnokeAudioProcessor::processIndex, 1.0f);
    const ReferenceSignalPath::Gains gains{0.0, 5.0, 10.0, 1.0};

    std::vector<float> left(20000), right(20000, 0.0f);
    for (size_t i = 0; i < left.size(); ++i)
        left[i] = (i / 20) % 2 == 0 ? 0.5f : -0.5f;
    std::vector<float> expected(left.size());
    for (size_t i = 0; i < left.size(); ++i)
        expected[i] = reference.process(left[i], gains);

    processInPlace(processor, left, &right);
    for (size_t i = 0; i < left.size(); ++i)
        ASSERT_SAME_BITS(expected[i], left[i]) << i;
}

TEST(BlockProcessing, ConstantInputDecaysTowardZero)
{
    VarnokeAudioProcessor processor;
    processor.prepareToPlay(44100.0, 512);
    std::vector<float> left(44100, 0.5f), right(44100, 0.5f);
    processInPlace(processor, left, &right);
    EXPECT_GT(left[1000], 0.3f);  // 0.5 x 0.9997^1000 is about 0.37
    EXPECT_LT(std::abs(left.back()), 0.5f * std::pow(0.9997f, 40000.0f));
}

// A mono arrangement hands over a single channel: it runs on the channel-0
// state, and the channel-1 state is left exactly as it was.
TEST(BlockProcessing, MonoBufferUsesChannelZeroStateOnly)
{
    std::mt19937 random(99);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> input(1500);
    for (float& s : input)
        s = sample(random);

    VarnokeAudioProcessor mono, stereo, fresh;
    for (VarnokeAudioProcessor* p : {&mono, &stereo, &fresh})
    {
        p->prepareToPlay(48000.0, 512);
        p->setParameter(1, 0.6f);
    }

    std::vector<float> monoLeft = input;
    processInPlace(mono, monoLeft, nullptr);
    std::vector<float> stereoLeft = input, stereoRight(input.size(), 0.3f);
    processInPlace(stereo, stereoLeft, &stereoRight);
    for (size_t i = 0; i < input.size(); ++i)
        ASSERT_SAME_BITS(stereoLeft[i], monoLeft[i]) << i;

    // Back to stereo: channel 1 continues from a state the mono blocks never touched.
    std::vector<float> left(200, 0.1f), right = std::vector<float>(input.begin(), input.begin() + 200);
    std::vector<float> freshLeft = left, freshRight = right;
    processInPlace(mono, left, &right);
    processInPlace(fresh, freshLeft, &freshRight);
    for (size_t i = 0; i < right.size(); ++i)
        ASSERT_SAME_BITS(freshRight[i], right[i]) << i;
}

TEST(BlockProcessing, MonoBufferNeverTouchesAMissingChannel)
{
    VarnokeAudioProcessor processor;
    processor.setPlayConfigDetails(1, 1, 44100.0, 512);
    processor.prepareToPlay(44100.0, 512);

    std::vector<float> channel(256, 0.25f);
    std::vector<float> guard(256, 7.0f);
    float* channels[] = {channel.data(), guard.data()};
    juce::AudioSampleBuffer buffer(channels, 1, 256);
    juce::MidiBuffer midi;
    processor.processBlock(buffer, midi);

    EXPECT_NE(bitsOf(0.25f), bitsOf(channel[0]));
    for (const float g : guard)
        ASSERT_SAME_BITS(7.0f, g);
}

TEST(BlockProcessing, OutputChannelsBeyondTheInputsAreSilenced)
{
    VarnokeAudioProcessor processor;
    processor.setPlayConfigDetails(1, 2, 44100.0, 512);
    ASSERT_EQ(1, processor.getTotalNumInputChannels());
    ASSERT_EQ(2, processor.getTotalNumOutputChannels());
    processor.prepareToPlay(44100.0, 512);

    std::vector<float> left(128, 0.5f), right(128, 0.5f);
    processInPlace(processor, left, &right);
    EXPECT_NE(0.0f, left[0]);
    for (const float s : right)
        ASSERT_SAME_BITS(0.0f, s);
}

// After loud input, a long silence must not produce subnormal output, and the
// path is flushed rather than crawling through subnormal arithmetic.
TEST(BlockProcessing, DecayNeverYieldsSubnormalOutput)
{
    VarnokeAudioProcessor processor;
    processor.prepareToPlay(44100.0, 512);
    processor.setParameter(1, 0.8f);
    processor.setParameter(0, 0.8f);

    std::vector<float> left(4096), right(4096);
    for (size_t i = 0; i < left.size(); ++i)
        left[i] = right[i] = i % 2 == 0 ? 1.0f : 0.9f;
    processInPlace(processor, left, &right);

    int subnormals = 0;
    for (int block = 0; block < 25 * 44100 / 4096; ++block)
    {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        processInPlace(processor, left, &right);
        for (size_t i = 0; i < left.size(); ++i)
            subnormals += std::fpclassify(left[i]) == FP_SUBNORMAL || std::fpclassify(right[i]) == FP_SUBNORMAL;
    }
    EXPECT_EQ(0, subnormals);
    EXPECT_EQ(0.0f, left.back());
}
// The audio thread must never wait on the allocator: not in processing, not
// in the parameter writes that automation makes on the audio thread.
TEST(BlockProcessing, AllocatesNothing)
{
    VarnokeAudioProcessor processor;
    processor.prepareToPlay(44100.0, 512);
    std::vector<float> left(512, 0.5f), right(512, -0.25f);
    float* channels[] = {left.data(), right.data()};
    juce::AudioSampleBuffer stereo(channels, 2, 512);
    juce::AudioSampleBuffer mono(channels, 1, 512);
    juce::MidiBuffer midi;

    const std::size_t before = varnoke::test::allocationsOnThisThread();
    juce::MemoryBlock saved;
    processor.getStateInformation(saved);
    ASSERT_GT(varnoke::test::allocationsOnThisThread(), before) << "the allocation counter is not in effect";

    EXPECT_NO_ALLOCATION(processor.processBlock(stereo, midi));
    EXPECT_NO_ALLOCATION(processor.processBlock(mono, midi));
    EXPECT_NO_ALLOCATION(processor.setParameter(1, 0.7f));
    EXPECT_NO_ALLOCATION(processor.getParameter(1));
}
}  // namespace

namespace
{
// After a block with a NaN or infinite sample, a channel starts again from rest:
// from the next block on its output is what a fresh processor gives.
TEST(BlockProcessing, RecoversFromNonFiniteInput)
{
    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()})
    {
        VarnokeAudioProcessor hit, fresh;
        for (VarnokeAudioProcessor* p : {&hit, &fresh})
        {
            p->prepareToPlay(44100.0, 512);
            p->setParameter(0, 0.4f);
            p->setParameter(1, 0.7f);
        }

        std::vector<float> left(256, 0.3f), right(256, -0.2f);
        left[100] = bad;
        processInPlace(hit, left, &right);
        EXPECT_FALSE(std::isfinite(left[101]));

        std::mt19937 random(5);
        std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
        std::vector<float> nextLeft(512), nextRight(512);
        for (size_t i = 0; i < nextLeft.size(); ++i)
        {
            nextLeft[i] = sample(random);
            nextRight[i] = sample(random);
        }
        std::vector<float> freshLeft = nextLeft, freshRight = nextRight;
        processInPlace(hit, nextLeft, &nextRight);
        processInPlace(fresh, freshLeft, &freshRight);
        for (size_t i = 0; i < nextLeft.size(); ++i)
            ASSERT_SAME_BITS(freshLeft[i], nextLeft[i]) << bad << " sample " << i;

        // The other channel never saw the bad value and went on undisturbed.
        EXPECT_NE(bitsOf(freshRight[0]), bitsOf(nextRight[0]));
        EXPECT_TRUE(std::isfinite(nextRight[0]));
    }
}

TEST(BlockProcessing, RecoversOnceANonFiniteParameterIsFiniteAgain)
{
    VarnokeAudioProcessor processor;
    processor.prepareToPlay(48000.0, 512);
    std::vector<float> left(512, 0.25f), right(512, 0.25f);

    processor.setParameter(1, std::numeric_limits<float>::quiet_NaN());
    processInPlace(processor, left, &right);
    EXPECT_TRUE(std::isnan(left.back()));

    processor.setParameter(1, 0.5f);
    std::fill(left.begin(), left.end(), 0.25f);
    std::fill(right.begin(), right.end(), 0.25f);
    processInPlace(processor, left, &right);
    for (const float s : left)
        ASSERT_TRUE(std::isfinite(s));

    processor.setParameter(2, std::numeric_limits<float>::infinity());
    processInPlace(processor, left, &right);
    EXPECT_FALSE(std::isfinite(right.back()));
    processor.setParameter(2, 0.5f);
    std::fill(left.begin(), left.end(), 0.25f);
    std::fill(right.begin(), right.end(), 0.25f);
    processInPlace(processor, left, &right);
    for (const float s : right)
        ASSERT_TRUE(std::isfinite(s));
}

TEST(BlockProcessing, SubnormalInputGivesNoSubnormalOutput)
{
    VarnokeAudioProcessor processor;
    processor.prepareToPlay(44100.0, 512);
    std::vector<float> left(512, 1.0e-40f), right(512, -1.0e-42f);
    processInPlace(processor, left, &right);
    for (size_t i = 0; i < left.size(); ++i)
    {
        ASSERT_NE(FP_SUBNORMAL, std::fpclassify(left[i])) << i;
        ASSERT_NE(FP_SUBNORMAL, std::fpclassify(right[i])) << i;
    }
}
}  // namespace
