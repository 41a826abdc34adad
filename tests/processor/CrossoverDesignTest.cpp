#include "CrossoverDesign.h"
#include "VarnokeAudioProcessor.h"
#include "support/BitPatterns.h"
#include "support/Formatting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
// The worked design values, rounded to ten significant digits.
struct WorkedDesign
{
    double sampleRate;
    const char* a1;
    const char* a2;
    const char* lowPassB1;
    const char* lowPassB0;
    const char* highPassB1;
    const char* highPassB0;
};

const WorkedDesign workedDesigns[] = {
    {44100.0, "-1.635955846", "0.6441259013", "0.004085027468", "0.002042513734", "-1.640040874", "0.8200204369"},
    {48000.0, "-1.661174649", "0.6681727913", "0.003499070924", "0.001749535462", "-1.66467372", "0.8323368602"},
};

class CrossoverDesignTest : public ::testing::TestWithParam<WorkedDesign>
{
};

TEST_P(CrossoverDesignTest, MatchesTheWorkedValues)
{
    const WorkedDesign& expected = GetParam();
    const CrossoverSections sections = designCrossover(expected.sampleRate);

    EXPECT_EQ(expected.a1, significant(sections.allPass.a1, 10));
    EXPECT_EQ(expected.a2, significant(sections.allPass.a2, 10));
    EXPECT_EQ(expected.lowPassB1, significant(sections.lowPass.b1, 10));
    EXPECT_EQ(expected.lowPassB0, significant(sections.lowPass.b0, 10));
    EXPECT_EQ(expected.highPassB1, significant(sections.highPass.b1, 10));
    EXPECT_EQ(expected.highPassB0, significant(sections.highPass.b0, 10));
}

TEST_P(CrossoverDesignTest, SetsShareTheirDenominatorAndDeriveTheirNumeratorsBitForBit)
{
    const CrossoverSections s = designCrossover(GetParam().sampleRate);

    for (const BiquadCoeffs* set : {&s.lowPass, &s.highPass})
    {
        EXPECT_SAME_BITS(s.allPass.a1, set->a1);
        EXPECT_SAME_BITS(s.allPass.a2, set->a2);
    }

    EXPECT_SAME_BITS(s.allPass.a2, s.allPass.b0);
    EXPECT_SAME_BITS(s.allPass.a1, s.allPass.b1);
    EXPECT_SAME_BITS(1.0, s.allPass.b2);

    EXPECT_SAME_BITS(s.lowPass.b1 * 0.5, s.lowPass.b0);
    EXPECT_SAME_BITS(s.lowPass.b1 * 0.5, s.lowPass.b2);

    EXPECT_SAME_BITS(s.highPass.b1 * -0.5, s.highPass.b0);
    EXPECT_SAME_BITS(s.highPass.b1 * -0.5, s.highPass.b2);
}

INSTANTIATE_TEST_SUITE_P(WorkedRates, CrossoverDesignTest, ::testing::ValuesIn(workedDesigns),
                         [](const auto& info)
                         { return "At" + std::to_string(static_cast<int>(info.param.sampleRate)); });

// The worked single-precision intermediates (sine, cosine and alpha, each
// identified by its ten-digit value) carried through the double-precision
// steps must give every coefficient bit for bit.
struct WorkedIntermediates
{
    double sampleRate;
    double s;
    double c;
    double alpha;
};

TEST(CrossoverDesign, RoundsEachIntermediateWhereTheDesignPutsIt)
{
    const WorkedIntermediates cases[] = {
        {44100.0, 0.09956785291, 0.9950307608, 0.2164518535},
        {48000.0, 0.09150162339, 0.9958049059, 0.1989165694},
    };
    for (const WorkedIntermediates& worked : cases)
    {
        SCOPED_TRACE(worked.sampleRate);
        const double s = static_cast<float>(worked.s);
        const double c = static_cast<float>(worked.c);
        const double alpha = static_cast<float>(worked.alpha);
        EXPECT_SAME_BITS(static_cast<float>(alpha), static_cast<float>(s / 0.46000000834465027));

        const double n = 1.0 / (alpha + 1.0);
        const CrossoverSections sections = designCrossover(worked.sampleRate);
        EXPECT_SAME_BITS((c * -2.0) * n, sections.allPass.a1);
        EXPECT_SAME_BITS((1.0 - alpha) * n, sections.allPass.a2);
        EXPECT_SAME_BITS((1.0 - c) * n, sections.lowPass.b1);
        EXPECT_SAME_BITS(-((c + 1.0) * n), sections.highPass.b1);
    }
}

// The design at 1401 Hz and above is the one hosts have always heard: these
// are its coefficients as they always were, a1, a2 and the two numerators that
// are not derived from them.
TEST(CrossoverDesign, StaysAsItWasFrom1401HzUp)
{
    struct PinnedDesign
    {
        double sampleRate;
        std::uint64_t a1, a2, lowPassB1, highPassB1;
    };
    const PinnedDesign pinned[] = {
        {1401.0, 0x3fffd83df1b9a0cfULL, 0x3fefb08656694bccULL, 0x3fffd8408e77235bULL, 0xbec4e5ec145a8cdfULL},
        {1500.0, 0x3ff58ea7807c7a9fULL, 0x3fd827c6d6dd1c80ULL, 0x3ff5cc4c9b19e0dfULL, 0xbf8ed28d4eb32055ULL},
        {2000.0, 0x3fdb45aaf824e5bcULL, 0xbfd19a14a5490c79ULL, 0x3fe26ae594b6f651ULL, 0xbfc3204062920dccULL},
        {1000000.0, 0xbfffb25643952384ULL, 0x3fef64d4a4f8d76eULL, 0x3ee40ee74832bc2aULL, 0xbfffb2604b08c79eULL},
    };
    for (const PinnedDesign& expected : pinned)
    {
        SCOPED_TRACE(expected.sampleRate);
        const CrossoverSections sections = designCrossover(expected.sampleRate);
        EXPECT_EQ(expected.a1, bitsOf(sections.allPass.a1));
        EXPECT_EQ(expected.a2, bitsOf(sections.allPass.a2));
        EXPECT_EQ(expected.lowPassB1, bitsOf(sections.lowPass.b1));
        EXPECT_EQ(expected.highPassB1, bitsOf(sections.highPass.b1));
    }
}

// Where the 700 Hz corner would reach Nyquist (1400 Hz and below), every rate
// gets the sections of 1401 Hz, which are stable: both poles inside the unit
// circle. At 1000 and 1300 Hz the output used to reach infinity within a few
// samples.
TEST(CrossoverDesign, RatesBelow1401HzGetTheStableDesignOf1401Hz)
{
    const CrossoverSections lowest = designCrossover(1401.0);
    for (const double rate : {1400.9, 1400.0, 1399.9, 1300.0, 1000.0, 700.0, 350.0, 8.0, 1.0, 1e-30})
    {
        SCOPED_TRACE(rate);
        const CrossoverSections sections = designCrossover(rate);
        const BiquadCoeffs& denominator = sections.allPass;
        EXPECT_LT(std::fabs(denominator.a2), 1.0);
        EXPECT_LT(std::fabs(denominator.a1), 1.0 + denominator.a2);

        for (const auto member :
             {&CrossoverSections::allPass, &CrossoverSections::lowPass, &CrossoverSections::highPass})
        {
            const BiquadCoeffs& actual = sections.*member;
            const BiquadCoeffs& expected = lowest.*member;
            EXPECT_SAME_BITS(expected.a1, actual.a1);
            EXPECT_SAME_BITS(expected.a2, actual.a2);
            EXPECT_SAME_BITS(expected.b0, actual.b0);
            EXPECT_SAME_BITS(expected.b1, actual.b1);
            EXPECT_SAME_BITS(expected.b2, actual.b2);
        }
    }
}

// The processor plays a rate that is no real rate as 44100 Hz, whoever calls
// it: zero, negative, NaN, infinite, and positive but under one hertz (a
// subnormal rate used to make every output sample NaN).
TEST(PrepareToPlay, RatesThatAreNoRealRateArePlayedAs44100)
{
    const CrossoverSections expected = designCrossover(44100.0);
    for (const double rate : {0.0, -48000.0, std::nan(""), HUGE_VAL, -HUGE_VAL, 1.401298464324817e-45, 0.5})
    {
        SCOPED_TRACE(rate);
        VarnokeAudioProcessor processor;
        processor.prepareToPlay(rate, 512);
        const CrossoverSections& actual = processor.getToneShaper().getSections();
        EXPECT_SAME_BITS(expected.allPass.a1, actual.allPass.a1);
        EXPECT_SAME_BITS(expected.allPass.a2, actual.allPass.a2);
        EXPECT_SAME_BITS(expected.lowPass.b1, actual.lowPass.b1);
        EXPECT_SAME_BITS(expected.highPass.b1, actual.highPass.b1);
    }
}

TEST(PrepareToPlay, DesignsTheSectionsAndSetsTheSmoothers)
{
    for (const double rate : {22050.0, 44100.0, 48000.0, 96000.0, 192000.0})
    {
        VarnokeAudioProcessor processor;
        processor.prepareToPlay(rate, 512);
        const CrossoverSections expected = designCrossover(rate);

        const varnoke::ToneShaper& shaper = processor.getToneShaper();
        EXPECT_SAME_BITS(expected.allPass.b0, shaper.getSections().allPass.b0);
        EXPECT_SAME_BITS(expected.lowPass.b1, shaper.getSections().lowPass.b1);
        EXPECT_SAME_BITS(expected.highPass.b2, shaper.getSections().highPass.b2);
        EXPECT_SAME_BITS(0.0003, shaper.getSmoothStep());
        EXPECT_SAME_BITS(0.9997, shaper.getSmoothKeep());
    }
}

TEST(PrepareToPlay, IsRepeatableAndIgnoresBlockSizeAndParameters)
{
    VarnokeAudioProcessor reference;
    reference.prepareToPlay(44100.0, 512);

    VarnokeAudioProcessor other;
    other.setParameter(VarnokeAudioProcessor::lowContourIndex, 0.9f);
    other.setParameter(VarnokeAudioProcessor::cvIndex, 0.7f);
    other.prepareToPlay(44100.0, 7);
    other.prepareToPlay(44100.0, 4096);

    const auto sameSet = [](const BiquadCoeffs& a, const BiquadCoeffs& b)
    {
        EXPECT_SAME_BITS(a.a1, b.a1);
        EXPECT_SAME_BITS(a.a2, b.a2);
        EXPECT_SAME_BITS(a.b0, b.b0);
        EXPECT_SAME_BITS(a.b1, b.b1);
        EXPECT_SAME_BITS(a.b2, b.b2);
    };
    const CrossoverSections& expected = reference.getToneShaper().getSections();
    const CrossoverSections& actual = other.getToneShaper().getSections();
    sameSet(expected.allPass, actual.allPass);
    sameSet(expected.lowPass, actual.lowPass);
    sameSet(expected.highPass, actual.highPass);
}

TEST(PrepareToPlay, EndsWithTheRefreshCall)
{
    VarnokeAudioProcessor processor;
    EXPECT_SAME_BITS(0.0, processor.getOutputGain());

    processor.prepareToPlay(48000.0, 256);

    EXPECT_SAME_BITS(0.0, processor.getLowGain());
    EXPECT_SAME_BITS(0.0, processor.getHighGain());
    EXPECT_SAME_BITS(0.0, processor.getCvDepth());
    EXPECT_SAME_BITS(1.0, processor.getOutputGain());
}
}  // namespace
