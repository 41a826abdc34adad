#pragma once

#include <array>
#include <cstdint>

namespace varnoke::core
{
// How a parameter's position reads as a value with its unit in VST3 and LV2
// hosts (see ValueText.h). The VST 2.4 plug-in shows no value text.
enum class ValueScale
{
    bandBoostDb,   // the boost the parameter adds to its band, in dB
    outputGainDb,  // the gain on the whole output, in dB
};

// One host parameter, as every format layer announces it. Positions run from
// minimum to maximum; the processor receives them unchanged.
struct HostParameter
{
    const char* name;       // the full name hosts show
    const char* shortName;  // for narrow displays (VST3's short title)
    // The VST3 parameter ID release 1.0.0 announced (JUCE's VST3 wrapper
    // derived it from the string ID). Saved projects and their automation
    // refer to it: it never changes.
    std::uint32_t vst3Id;
    const char* lv2Symbol;  // the LV2 control port's symbol
    float minimum;
    float maximum;
    float defaultValue;
    ValueScale scale;
};

// The three host parameters, in the processor's index order
// (VarnokeAudioProcessor::lowContourIndex, processIndex, outputIndex). A
// fourth knob is a fourth row here and a case in the processor.
inline constexpr std::array<HostParameter, 3> hostParameters{{
    {"Low Contour", "Low Cont", 1044621542u, "lowContour", 0.0f, 1.0f, 0.0f, ValueScale::bandBoostDb},
    {"Process", "Process", 1837964911u, "process", 0.0f, 1.0f, 0.0f, ValueScale::bandBoostDb},
    {"Output", "Output", 1141971201u, "output", 0.0f, 1.0f, 0.5f, ValueScale::outputGainDb},
}};

inline constexpr int numHostParameters = static_cast<int>(hostParameters.size());

// The bypass switch JUCE's VST3 wrapper added in release 1.0.0 ('byps'):
// projects saved with it refer to this ID.
inline constexpr std::uint32_t vst3BypassId = 1652125811u;
inline constexpr const char* vst3BypassName = "Bypass";

// The row of a parameter index, or null for an index that names no host parameter.
constexpr const HostParameter* findHostParameter(int index) noexcept
{
    return index >= 0 && index < numHostParameters ? &hostParameters[static_cast<std::size_t>(index)] : nullptr;
}
}  // namespace varnoke::core
