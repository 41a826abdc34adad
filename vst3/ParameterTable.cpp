#include "ParameterTable.h"

#include "VarnokeAudioProcessor.h"

#include <pluginterfaces/vst/ivsteditcontroller.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace varnoke::vst3
{
namespace
{
using Info = Steinberg::Vst::ParameterInfo;
using Processor = VarnokeAudioProcessor;

// JUCE's wrapper derived the knobs' IDs from the parameter names "lowContour",
// "process" and "output", and gave its bypass switch 'byps'.
constexpr std::array<ParameterRow, numParameters> rows{{
    {0x3e43a8e6, Processor::lowContourIndex, "Low Contour", "Low Cont",
     Processor::hostParameterDefaults[Processor::lowContourIndex], 0, Info::kCanAutomate},
    {0x6d8d1e6f, Processor::processIndex, "Process", "Process",
     Processor::hostParameterDefaults[Processor::processIndex], 0, Info::kCanAutomate},
    {0x44111901, Processor::outputIndex, "Output", "Output", Processor::hostParameterDefaults[Processor::outputIndex],
     0, Info::kCanAutomate},
    {0x62797073, bypassIndex, "Bypass", "Bypass", 0.0, 1, Info::kCanAutomate | Info::kIsBypass},
}};

// The boost a knob adds to its band: its gain is five times the value, added
// to the unchanged signal.
double boostDecibels(double normalized)
{
    return 20.0 * std::log10(1.0 + 5.0 * normalized);
}

double boostFromDecibels(double decibels)
{
    return (std::pow(10.0, decibels / 20.0) - 1.0) / 5.0;
}

// The output gain is twice the value: 0.5 is unity.
double outputDecibels(double normalized)
{
    return 20.0 * std::log10(2.0 * normalized);
}

double outputFromDecibels(double decibels)
{
    return std::pow(10.0, decibels / 20.0) / 2.0;
}

std::string decibelText(double decibels)
{
    if (!(decibels > -1000.0))
        return "-inf dB";
    char text[32];
    // A value that rounds to zero shows no sign.
    if (std::fabs(decibels) < 0.05)
        return "0.0 dB";
    std::snprintf(text, sizeof(text), "%+.1f dB", decibels);
    return text;
}

std::string lowered(std::string text)
{
    for (auto& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    const auto end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

// A number of decibels, with or without "dB" after it; "-inf" too.
std::optional<double> parseDecibels(const std::string& text)
{
    auto value = lowered(trimmed(text));
    if (value.size() >= 2 && value.compare(value.size() - 2, 2, "db") == 0)
        value = trimmed(value.substr(0, value.size() - 2));
    if (value == "-inf" || value == "-infinity")
        return -HUGE_VAL;
    if (value.empty())
        return std::nullopt;
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != 0 || std::isnan(number))
        return std::nullopt;
    return number;
}

double clampNormalized(double value)
{
    return std::clamp(value, 0.0, 1.0);
}
}  // namespace

const std::array<ParameterRow, numParameters>& parameterRows() noexcept
{
    return rows;
}

const ParameterRow* findParameter(Steinberg::Vst::ParamID id) noexcept
{
    for (const auto& row : rows)
        if (row.id == id)
            return &row;
    return nullptr;
}

std::string valueText(const ParameterRow& row, double normalized)
{
    normalized = std::isnan(normalized) ? 0.0 : clampNormalized(normalized);
    switch (row.processorIndex)
    {
    case bypassIndex: return normalized >= 0.5 ? "On" : "Off";
    case VarnokeAudioProcessor::outputIndex: return decibelText(outputDecibels(normalized));
    default: return decibelText(boostDecibels(normalized));
    }
}

std::optional<double> valueFromText(const ParameterRow& row, const std::string& text)
{
    if (row.processorIndex == bypassIndex)
    {
        const auto word = lowered(trimmed(text));
        if (word == "on" || word == "1")
            return 1.0;
        if (word == "off" || word == "0")
            return 0.0;
        return std::nullopt;
    }

    const auto decibels = parseDecibels(text);
    if (!decibels)
        return std::nullopt;
    if (row.processorIndex == VarnokeAudioProcessor::outputIndex)
        return clampNormalized(outputFromDecibels(*decibels));
    return clampNormalized(boostFromDecibels(*decibels));
}
}  // namespace varnoke::vst3
