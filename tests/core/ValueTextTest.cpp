// The value texts VST3 and LV2 hosts show, and the positions hosts read back
// from typed text.

#include "ValueText.h"
#include "ToneShaper.h"
#include "support/BitPatterns.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <vector>

namespace varnoke::test
{
namespace
{
using core::ValueScale;

struct TextCase
{
    ValueScale scale;
    float position;
    const char* text;
};

// Band boost 20 log10(1 + 5 p), output gain 20 log10(2 p).
const TextCase textCases[] = {
    {ValueScale::bandBoostDb, 0.0f, "0.0 dB"},
    {ValueScale::bandBoostDb, 0.01f, "+0.4 dB"},
    {ValueScale::bandBoostDb, 0.2f, "+6.0 dB"},
    {ValueScale::bandBoostDb, 0.4f, "+9.5 dB"},
    {ValueScale::bandBoostDb, 0.5f, "+10.9 dB"},
    {ValueScale::bandBoostDb, 0.7f, "+13.1 dB"},
    {ValueScale::bandBoostDb, 1.0f, "+15.6 dB"},
    {ValueScale::outputGainDb, 0.0f, "-inf dB"},
    {ValueScale::outputGainDb, 0.0000001f, "-134.0 dB"},
    {ValueScale::outputGainDb, 0.25f, "-6.0 dB"},
    {ValueScale::outputGainDb, 0.4f, "-1.9 dB"},
    {ValueScale::outputGainDb, 0.5f, "0.0 dB"},
    {ValueScale::outputGainDb, 0.499f, "0.0 dB"},  // -0.017 dB: no "-0.0"
    {ValueScale::outputGainDb, 0.6f, "+1.6 dB"},
    {ValueScale::outputGainDb, 1.0f, "+6.0 dB"},
    // Positions a host may send outside the range read as the nearest end.
    {ValueScale::outputGainDb, -0.5f, "-inf dB"},
    {ValueScale::outputGainDb, 2.0f, "+6.0 dB"},
    {ValueScale::outputGainDb, std::numeric_limits<float>::quiet_NaN(), "-inf dB"},
    {ValueScale::bandBoostDb, 7.0f, "+15.6 dB"},
};

TEST(ValueText, ShowsTheGainInDecibels)
{
    for (const auto& c : textCases)
    {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(c.text, core::valueText(c.scale, c.position));
    }
}

TEST(ValueText, WritesAPointInALocaleWithADecimalComma)
{
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no de_DE.UTF-8 locale (LOCPATH)";
    EXPECT_EQ("+10.9 dB", core::valueText(ValueScale::bandBoostDb, 0.5f));
    EXPECT_EQ(0.25f, core::positionForText(ValueScale::outputGainDb, "-6.0206 dB").value_or(-1.0f));
    std::setlocale(LC_NUMERIC, previous.c_str());
}

// What a host gets for typed text, and that every text the plug-in shows
// reads back as a position showing the same text.
TEST(ValueText, ReadsTypedTextBackAsAPosition)
{
    struct ParseCase
    {
        ValueScale scale;
        const char* text;
        std::optional<float> position;
    };
    const ParseCase cases[] = {
        {ValueScale::outputGainDb, "-inf dB", 0.0f},
        {ValueScale::outputGainDb, "-inf", 0.0f},
        {ValueScale::outputGainDb, "0 dB", 0.5f},
        {ValueScale::outputGainDb, "  +0.0dB ", 0.5f},
        {ValueScale::outputGainDb, "0,0 DB", 0.5f},
        {ValueScale::outputGainDb, "+12 dB", 1.0f},   // beyond the range: the top
        {ValueScale::outputGainDb, "-400 dB", 0.0f},  // the bottom
        {ValueScale::bandBoostDb, "0 dB", 0.0f},
        {ValueScale::bandBoostDb, "-3 dB", 0.0f},  // no cut: the bottom
        {ValueScale::bandBoostDb, "+99 dB", 1.0f},
        {ValueScale::outputGainDb, "", std::nullopt},
        {ValueScale::outputGainDb, "dB", std::nullopt},
        {ValueScale::outputGainDb, "loud", std::nullopt},
        {ValueScale::outputGainDb, "3 dB louder", std::nullopt},
        {ValueScale::outputGainDb, "nan", std::nullopt},
        {ValueScale::outputGainDb, "inf", std::nullopt},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        const auto position = core::positionForText(c.scale, c.text);
        ASSERT_EQ(c.position.has_value(), position.has_value());
        if (c.position)
        {
            EXPECT_NEAR(*c.position, *position, 1e-6f);
        }
    }

    for (const auto scale : {ValueScale::bandBoostDb, ValueScale::outputGainDb})
        for (int step = 0; step <= 1000; ++step)
        {
            const std::string text = core::valueText(scale, static_cast<float>(step) / 1000.0f);
            const auto position = core::positionForText(scale, text);
            ASSERT_TRUE(position.has_value()) << text;
            EXPECT_EQ(text, core::valueText(scale, *position));
        }
}

// The figures describe what the signal path does: the band a knob boosts,
// measured on a sine well inside it with the other knobs at rest, leaves
// louder by the text's figure (within the sections' slope near the band
// edge and the DC tracker's; 0.2 dB).
TEST(ValueText, BoostIsWhatTheToneShaperDoesToItsBand)
{
    constexpr double rate = 48000.0;
    const auto measuredGainDb = [&](double frequency, const ToneShaper::Gains& gains)
    {
        ToneShaper shaper;
        shaper.prepare(rate);
        shaper.setGains(gains);
        constexpr int settle = 96000;
        constexpr int measured = 48000;
        std::vector<float> left(settle + measured), right(left.size());
        for (std::size_t i = 0; i < left.size(); ++i)
            left[i] = right[i] =
                static_cast<float>(0.25 * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / rate));
        double inEnergy = 0.0;
        for (int i = settle; i < settle + measured; ++i)
            inEnergy += static_cast<double>(left[static_cast<std::size_t>(i)]) * left[static_cast<std::size_t>(i)];
        shaper.process(left.data(), right.data(), static_cast<int>(left.size()));
        double outEnergy = 0.0;
        for (int i = settle; i < settle + measured; ++i)
            outEnergy += static_cast<double>(left[static_cast<std::size_t>(i)]) * left[static_cast<std::size_t>(i)];
        return 10.0 * std::log10(outEnergy / inEnergy);
    };

    for (const float position : {0.2f, 0.5f, 1.0f})
    {
        SCOPED_TRACE(position);
        const double bandGain = static_cast<double>(position * 10.0f) * 0.5;
        const double flat = measuredGainDb(20.0, {0.0, 0.0, 0.0, 1.0});
        EXPECT_NEAR(core::decibelsAt(ValueScale::bandBoostDb, position),
                    measuredGainDb(20.0, {bandGain, 0.0, 0.0, 1.0}) - flat, 0.2)
            << "Low Contour at 20 Hz";
        EXPECT_NEAR(core::decibelsAt(ValueScale::bandBoostDb, position),
                    measuredGainDb(20000.0, {0.0, bandGain, 0.0, 1.0}) - measuredGainDb(20000.0, {0.0, 0.0, 0.0, 1.0}),
                    0.2)
            << "Process at 20 kHz";
        EXPECT_NEAR(core::decibelsAt(ValueScale::outputGainDb, position),
                    measuredGainDb(1000.0, {0.0, 0.0, 0.0, static_cast<double>(position * 2.0f)}) -
                        measuredGainDb(1000.0, {0.0, 0.0, 0.0, 1.0}),
                    0.01)
            << "Output";
    }
}
}  // namespace
}  // namespace varnoke::test
