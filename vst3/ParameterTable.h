#pragma once

#include <pluginterfaces/vst/vsttypes.h>

#include <array>
#include <optional>
#include <string>

namespace varnoke::vst3
{
// One parameter as a VST3 host sees it, from the plug-in's description
// (core/HostParameterTable.h). The IDs are the ones release 1.0.0 announced:
// hosts store automation and projects under them.
struct ParameterRow
{
    Steinberg::Vst::ParamID id;
    int processorIndex;  // the processor's parameter index; bypassIndex for the bypass switch
    const char* title;
    const char* shortTitle;
    double defaultValue;
    Steinberg::int32 stepCount;
    Steinberg::int32 flags;
};

// The processor index of the bypass switch, which only the VST3 layer has.
constexpr int bypassIndex = -1;
constexpr std::size_t numParameters = 4;

// The host parameters in the order hosts list them: the three knobs, then bypass.
const std::array<ParameterRow, numParameters>& parameterRows() noexcept;

// The row for an ID, or null for an ID that is not Varnoke's.
const ParameterRow* findParameter(Steinberg::Vst::ParamID id) noexcept;

// The value as a host shows it, with its unit ("-inf dB", "+6.0 dB", "On").
std::string valueText(const ParameterRow& row, double normalized);

// A text a host passes back (with or without its unit) as a normalized value;
// nothing when it is not a value of this parameter.
std::optional<double> valueFromText(const ParameterRow& row, const std::string& text);
}  // namespace varnoke::vst3
