// Bad values from hosts and files: NaN or infinite input samples, parameter
// values and restored attributes may spoil the output while they last, but
// once inputs and parameters are finite again the output is finite again
// within a second of audio, and it never holds a subnormal float.

#include "EffectHarness.h"
#include "StateChunkBytes.h"
#include "support/ForcedKernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
using varnoke::test::dispatch;
using varnoke::test::Op;

constexpr float sampleRate = 44100.0f;
constexpr int blockFrames = 512;
constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float settings[] = {0.3f, 0.6f, 0.5f};  // low contour, process, output

void restoreChunk(AEffect* effect, const std::string& text)
{
    auto chunk = stateChunkWithText(text);
    dispatch(effect, Op::setChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
}

void setSettings(AEffect* effect)
{
    for (int index = 0; index < 3; ++index)
        effect->setParameter(effect, index, settings[index]);
}

// What the host does wrong for a while: it may spoil the input block it is
// about to process, or the parameters.
struct BadValues
{
    const char* name;
    std::function<void(AEffect*, std::vector<float>& left, std::vector<float>& right)> applyPerBlock;
    // How the host makes the parameters finite again (the input is then finite anyway).
    std::function<void(AEffect*)> restore = setSettings;
    // Finite but enormous input leaves an enormous DC level, which the tracker
    // (a 0.9997 pole) takes seconds to follow back down; the output is finite
    // again at once, but not yet at its old level after a second.
    bool levelBackWithinASecond = true;
};

std::ostream& operator<<(std::ostream& stream, const BadValues& badValues)
{
    return stream << badValues.name;
}

void setParameterTo(AEffect* effect, int index, float value)
{
    effect->setParameter(effect, index, value);
}

const BadValues badValuesTable[] = {
    {"NanInputSample", [](AEffect*, auto& left, auto&) { left[100] = nan; }},
    {"InfiniteInputSamples",
     [](AEffect*, auto& left, auto& right)
     {
         left[0] = inf;
         right[7] = -inf;
     }},
    {"WholeBlocksOfNan",
     [](AEffect*, auto& left, auto& right)
     {
         left.assign(left.size(), nan);
         right.assign(right.size(), nan);
     }},
    {"LargestFloatInput",
     [](AEffect*, auto& left, auto& right)
     {
         left.assign(left.size(), std::numeric_limits<float>::max());
         right.assign(right.size(), -std::numeric_limits<float>::max());
     },
     setSettings, false},
    {"SubnormalInput",
     [](AEffect*, auto& left, auto& right)
     {
         left.assign(left.size(), std::numeric_limits<float>::denorm_min());
         right.assign(right.size(), -1e-40f);
     }},
    {"NanLowContour", [](AEffect* effect, auto&, auto&) { setParameterTo(effect, 0, nan); }},
    {"NanProcess", [](AEffect* effect, auto&, auto&) { setParameterTo(effect, 1, nan); }},
    {"NanOutput", [](AEffect* effect, auto&, auto&) { setParameterTo(effect, 2, nan); }},
    {"NanCv", [](AEffect* effect, auto&, auto&) { setParameterTo(effect, 3, nan); },
     [](AEffect* effect)
     {
         setParameterTo(effect, 3, 0.0f);
         setSettings(effect);
     }},
    {"InfiniteLowContour", [](AEffect* effect, auto&, auto&) { setParameterTo(effect, 0, inf); }},
    {"InfiniteProcess", [](AEffect* effect, auto&, auto&) { setParameterTo(effect, 1, -inf); }},
    {"InfiniteOutput", [](AEffect* effect, auto&, auto&) { setParameterTo(effect, 2, inf); }},
    {"HugeParameters",
     [](AEffect* effect, auto&, auto&)
     {
         setParameterTo(effect, 0, 3e38f);
         setParameterTo(effect, 1, 3e38f);
     }},
    {"NanAttributesInChunk", [](AEffect* effect, auto&, auto&)
     { restoreChunk(effect, R"(<pushState low_contour="nan" process="nan" output_g="nan"/>)"); }},
    {"InfiniteAttributesInChunk",
     [](AEffect* effect, auto&, auto&)
     { restoreChunk(effect, R"(<pushState low_contour="inf" process="-inf" output_g="1e999"/>)"); },
     [](AEffect* effect) { restoreChunk(effect, R"(<pushState low_contour="0.3" process="0.6" output_g="0.5"/>)"); }},
    {"OverflowingAttributesInChunk", [](AEffect* effect, auto&, auto&)
     { restoreChunk(effect, R"(<pushState low_contour="1e999" process="-1e999" output_g="1e39"/>)"); }},
};

// A switched-on instance; with a kernel named, that kernel runs (VARNOKE_KERNEL at switch-on).
class NonFiniteValuesFixture : public ::testing::Test
{
protected:
    void switchOn(const char* kernel = nullptr)
    {
        effect = varnoke::test::createPlugin();
        ASSERT_NE(nullptr, effect);
        dispatch(effect, Op::open);
        dispatch(effect, Op::setSampleRate, 0, 0, nullptr, sampleRate);
        dispatch(effect, Op::setBlockSize, 0, blockFrames);
        if (kernel != nullptr)
        {
            const ForcedKernel forced(kernel);
            dispatch(effect, Op::mainsChanged, 0, 1);
        }
        else
            dispatch(effect, Op::mainsChanged, 0, 1);
        setSettings(effect);
    }

    void TearDown() override
    {
        if (effect != nullptr)
            dispatch(effect, Op::close);
    }

    // Processes the given time of a two-tone test signal, spoiled by the
    // callback if there is one, and checks every output sample. Answers the
    // output's RMS over the finite samples and counts the non-finite ones.
    struct Result
    {
        long nonFinite = 0;
        double rms = 0.0;
    };
    Result process(double seconds, const std::function<void(std::vector<float>&, std::vector<float>&)>& spoil = {})
    {
        Result result;
        double sumOfSquares = 0.0;
        long finiteSamples = 0;
        const long blocks = std::lround(seconds * sampleRate / blockFrames);
        for (long block = 0; block < blocks; ++block)
        {
            std::vector<float> left(blockFrames), right(blockFrames), outLeft(blockFrames), outRight(blockFrames);
            for (int i = 0; i < blockFrames; ++i, ++frame)
            {
                const double t = static_cast<double>(frame) / sampleRate;
                left[static_cast<std::size_t>(i)] = static_cast<float>(0.4 * std::sin(2 * M_PI * 220.0 * t));
                right[static_cast<std::size_t>(i)] = static_cast<float>(0.4 * std::sin(2 * M_PI * 3000.0 * t));
            }
            if (spoil)
                spoil(left, right);

            float* inputs[] = {left.data(), right.data()};
            float* outputs[] = {outLeft.data(), outRight.data()};
            effect->processReplacing(effect, inputs, outputs, blockFrames);

            for (const auto* channel : {&outLeft, &outRight})
                for (const float sample : *channel)
                {
                    EXPECT_NE(FP_SUBNORMAL, std::fpclassify(sample)) << "block " << block;
                    if (!std::isfinite(sample))
                    {
                        ++result.nonFinite;
                        continue;
                    }
                    sumOfSquares += static_cast<double>(sample) * sample;
                    ++finiteSamples;
                }
        }
        result.rms = finiteSamples > 0 ? std::sqrt(sumOfSquares / static_cast<double>(finiteSamples)) : 0.0;
        return result;
    }

    void expectRecovery(const BadValues& bad);

    AEffect* effect = nullptr;
    long frame = 0;
};

void NonFiniteValuesFixture::expectRecovery(const BadValues& bad)
{
    const Result before = process(0.25);
    ASSERT_EQ(0, before.nonFinite);

    process(0.1, [&](auto& left, auto& right) { bad.applyPerBlock(effect, left, right); });

    bad.restore(effect);
    process(1.0);  // the plug-in may take up to a second to recover
    const Result after = process(0.5);
    EXPECT_EQ(0, after.nonFinite);
    // Recovered means sounding again, not silenced: the level is about what it was.
    EXPECT_GT(after.rms, 0.5 * before.rms);
    if (bad.levelBackWithinASecond)
    {
        EXPECT_LT(after.rms, 2.0 * before.rms);
    }
}

class NonFiniteValues : public NonFiniteValuesFixture, public ::testing::WithParamInterface<BadValues>
{
protected:
    void SetUp() override { switchOn(); }
};

TEST_P(NonFiniteValues, OutputIsFiniteAgainWithinASecondOnceValuesAreFinite)
{
    expectRecovery(GetParam());
}

INSTANTIATE_TEST_SUITE_P(HostsAndFiles, NonFiniteValues, ::testing::ValuesIn(badValuesTable),
                         [](const auto& info) { return std::string(info.param.name); });

// The same with each kernel this processor runs forced.
class NonFiniteValuesOnKernel : public NonFiniteValuesFixture,
                                public ::testing::WithParamInterface<std::tuple<BadValues, const char*>>
{
protected:
    void SetUp() override
    {
        const char* kernel = std::get<1>(GetParam());
        if (!processorRunsKernel(kernel))
        {
            GTEST_SKIP() << cannotRunKernel(kernel);
        }
        switchOn(kernel);
    }
};

TEST_P(NonFiniteValuesOnKernel, OutputIsFiniteAgainWithinASecondOnceValuesAreFinite)
{
    expectRecovery(std::get<0>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(HostsAndFiles, NonFiniteValuesOnKernel,
                         ::testing::Combine(::testing::ValuesIn(badValuesTable), ::testing::ValuesIn(kernelNames)),
                         [](const auto& info)
                         { return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param); });
}  // namespace

namespace
{
// A host rate that is no real rate is played at 44100 Hz: an infinite one used
// to design filters with both poles on the unit circle, whose output grew
// without bound, and a subnormal one made every output sample NaN.
class UnplayableSampleRate : public ::testing::TestWithParam<float>
{
};

TEST_P(UnplayableSampleRate, IsPlayedAt44100)
{
    AEffect* effect = varnoke::test::createPlugin();
    ASSERT_NE(nullptr, effect);
    dispatch(effect, Op::open);
    dispatch(effect, Op::setSampleRate, 0, 0, nullptr, GetParam());
    dispatch(effect, Op::mainsChanged, 0, 1);
    EXPECT_EQ(44100.0, varnoke::test::processorOf(effect).getSampleRate());

    std::vector<float> left(blockFrames, 0.5f), right(blockFrames, -0.5f);
    float* channels[] = {left.data(), right.data()};
    for (int block = 0; block < 200; ++block)
        effect->processReplacing(effect, channels, channels, blockFrames);
    EXPECT_TRUE(std::isfinite(left.back()) && std::isfinite(right.back()));
    dispatch(effect, Op::close);
}

INSTANTIATE_TEST_SUITE_P(HostRates, UnplayableSampleRate,
                         ::testing::Values(inf, -inf, nan, 0.0f, -48000.0f, std::numeric_limits<float>::denorm_min(),
                                           std::numeric_limits<float>::min(), 0.5f));
}  // namespace
