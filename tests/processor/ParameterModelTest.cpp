#include "VarnokeAudioProcessor.h"
#include "support/BitPatterns.h"

#include <gtest/gtest.h>

#include <limits>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
struct Gains
{
    double low, high, cv, output;
};

void expectGains(const Gains& expected, const VarnokeAudioProcessor& p)
{
    EXPECT_SAME_BITS(expected.low, p.getLowGain());
    EXPECT_SAME_BITS(expected.high, p.getHighGain());
    EXPECT_SAME_BITS(expected.cv, p.getCvDepth());
    EXPECT_SAME_BITS(expected.output, p.getOutputGain());
}

TEST(ParameterModel, StartsAtTheInitialValuesWithZeroGains)
{
    VarnokeAudioProcessor p;
    const float expected[] = {0.0f, 0.0f, 0.5f, 0.0f, 0.0f};
    for (int index = 0; index < 5; ++index)
        EXPECT_SAME_BITS(expected[index], p.getParameter(index)) << "index " << index;
    expectGains({0.0, 0.0, 0.0, 0.0}, p);
}

TEST(ParameterModel, RefreshCallRecomputesGainsAndStoresNothing)
{
    for (const float anyValue : {0.0f, 0.7f, -3.0f, std::numeric_limits<float>::quiet_NaN()})
    {
        VarnokeAudioProcessor p;
        p.setParameter(VarnokeAudioProcessor::refreshIndex, anyValue);
        expectGains({0.0, 0.0, 0.0, 1.0}, p);
        EXPECT_SAME_BITS(0.0f, p.getParameter(0));
        EXPECT_SAME_BITS(0.5f, p.getParameter(2));
    }
}

// Index, value, and the derived gains that every setParameter call recomputes.
struct DerivedCase
{
    int index;
    float value;
    Gains expected;
};

void PrintTo(const DerivedCase& c, std::ostream* os)
{
    *os << "setParameter(" << c.index << ", " << c.value << ")";
}

class DerivedGainsTest : public ::testing::TestWithParam<DerivedCase>
{
};

TEST_P(DerivedGainsTest, FollowTheParameterAtOnce)
{
    const DerivedCase& c = GetParam();
    VarnokeAudioProcessor p;
    p.setParameter(c.index, c.value);
    EXPECT_SAME_BITS(c.value, p.getParameter(c.index));
    expectGains(c.expected, p);
}

// 0.3f * 10 is formed in single precision: exactly 3, so the low gain is exactly
// 1.5 (0.3f widened and then multiplied by 5 would give slightly more).
INSTANTIATE_TEST_SUITE_P(
    Examples, DerivedGainsTest,
    ::testing::Values(DerivedCase{0, 0.3f, {1.5, 0.0, 0.0, 1.0}}, DerivedCase{1, 1.0f, {0.0, 5.0, 0.0, 1.0}},
                      DerivedCase{3, 0.25f, {0.0, 0.0, 2.5, 1.0}}, DerivedCase{2, 0.75f, {0.0, 0.0, 0.0, 1.5}},
                      DerivedCase{1, 2.0f, {0.0, 10.0, 0.0, 1.0}},  // never clamped
                      DerivedCase{0, -0.4f, {-2.0, 0.0, 0.0, 1.0}}, DerivedCase{2, 0.0f, {0.0, 0.0, 0.0, 0.0}}));

TEST(ParameterModel, SinglePrecisionProductIsWidenedThenHalved)
{
    VarnokeAudioProcessor p;
    p.setParameter(0, 0.3f);
    EXPECT_NE(bitsOf(static_cast<double>(0.3f) * 5.0), bitsOf(p.getLowGain()));
    const float process = 0.123456f;
    p.setParameter(1, process);
    EXPECT_SAME_BITS(static_cast<double>(process * 10.0f) * 0.5, p.getHighGain());
    p.setParameter(2, 0.3f);
    EXPECT_SAME_BITS(static_cast<double>(0.3f * 2.0f), p.getOutputGain());
}

TEST(ParameterModel, NoiseFloorIsASwitchAboveOneHalf)
{
    struct Step
    {
        float value;
        float expected;
    };
    const Step steps[] = {
        {0.5f, 0.0f}, {0.51f, 1.0f}, {0.2f, 0.0f}, {1.0f, 1.0f}, {std::numeric_limits<float>::quiet_NaN(), 0.0f},
        {7.0f, 1.0f}, {-1.0f, 0.0f}};
    VarnokeAudioProcessor p;
    for (const Step& step : steps)
    {
        p.setParameter(VarnokeAudioProcessor::noiseFloorIndex, step.value);
        EXPECT_SAME_BITS(step.expected, p.getParameter(VarnokeAudioProcessor::noiseFloorIndex)) << step.value;
        expectGains({0.0, 0.0, 0.0, 1.0}, p);  // no effect on the audio
    }
}

TEST(ParameterModel, ForeignIndicesAnswerNeutrallyAndStillRecompute)
{
    VarnokeAudioProcessor p;
    for (const int index : {5, -1, -2, 1000, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()})
    {
        EXPECT_EQ(juce::String("What"), p.getParameterName(index)) << index;
        EXPECT_SAME_BITS(0.0f, p.getParameter(index)) << index;
    }

    p.setParameter(9, 0.9f);
    expectGains({0.0, 0.0, 0.0, 1.0}, p);
    for (int index = 0; index < 5; ++index)
        EXPECT_SAME_BITS(index == 2 ? 0.5f : 0.0f, p.getParameter(index));
}

TEST(ParameterModel, NamesTextsAndLimits)
{
    VarnokeAudioProcessor p;
    const char* names[] = {"Low Contour", "Process", "Output", "CV", "Noise Floor"};
    for (int index = 0; index < 5; ++index)
    {
        EXPECT_EQ(juce::String(names[index]), p.getParameterName(index));
        EXPECT_EQ(juce::String(""), p.getParameterText(index));
        EXPECT_EQ(juce::String(""), p.getParameterText(index, 24));
    }
    EXPECT_EQ(juce::String("Low Con"), p.getParameterName(0, 7));
    EXPECT_EQ(juce::String("Low Contour"), p.getParameterName(0, 15));
    EXPECT_EQ(juce::String("Wh"), p.getParameterName(42, 2));
}

TEST(ProcessorAnswers, MatchTheHostInterface)
{
    VarnokeAudioProcessor p;
    juce::AudioProcessor& base = p;
    EXPECT_EQ(juce::String("Varnoke"), base.getName());
    EXPECT_EQ(3, p.getNumParameters());
    EXPECT_EQ(juce::String("1"), p.getInputChannelName(0));
    EXPECT_EQ(juce::String("2"), p.getInputChannelName(1));
    EXPECT_EQ(juce::String("2"), p.getOutputChannelName(1));
    EXPECT_EQ(juce::String("8"), p.getOutputChannelName(7));
    for (const int i : {0, 1, 5})
    {
        EXPECT_TRUE(p.isInputChannelStereoPair(i));
        EXPECT_TRUE(p.isOutputChannelStereoPair(i));
    }
    EXPECT_SAME_BITS(0.0, base.getTailLengthSeconds());
    EXPECT_FALSE(base.acceptsMidi());
    EXPECT_FALSE(base.producesMidi());
    EXPECT_TRUE(base.hasEditor());
    EXPECT_EQ(0, base.getNumPrograms());
    EXPECT_EQ(0, base.getCurrentProgram());
    base.setCurrentProgram(3);
    EXPECT_EQ(0, base.getCurrentProgram());
    EXPECT_EQ(juce::String(""), base.getProgramName(0));
    base.changeProgramName(0, "Mine");
    EXPECT_EQ(juce::String(""), base.getProgramName(0));
}
}  // namespace
