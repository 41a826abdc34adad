#pragma once

#include "HostParameterTable.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace varnoke::core
{
// One factory preset: a starting point every format offers (LV2 presets, VST3
// programs, the VST 2 .fxp files, varnoke-render --preset-name). A preset sets
// the three host parameters and nothing else; the saved state keeps its form.
struct FactoryPreset
{
    const char* name;  // as users see it; at most 27 characters (a .fxp program name)
    const char* slug;  // the name in URIs: lower case, words joined by "_"
    // The positions in the order of hostParameters (Low Contour, Process, Output).
    std::array<float, numHostParameters> positions;
};

// Low Contour and Process lift their band (below or above 700 Hz) by
// 20 log10(1 + 5 x) dB; Output 0.5 leaves the level as it is, and every
// 0.05 below it takes a little off where a boost would raise the peaks.
inline constexpr std::array<FactoryPreset, 6> factoryPresets{{
    // The defaults: the signal passes unchanged.
    {"Flat", "flat", {0.0f, 0.0f, 0.5f}},
    // +6.0 dB below 700 Hz, the output 3.1 dB down.
    {"Warm low end", "warm_low_end", {0.2f, 0.0f, 0.35f}},
    // +3.5 dB above 700 Hz, the output 1.9 dB down.
    {"Presence", "presence", {0.0f, 0.1f, 0.4f}},
    // +9.5 dB above 700 Hz, the output 6.0 dB down.
    {"Bright", "bright", {0.0f, 0.4f, 0.25f}},
    // Both bands +6.0 dB: the mids around 700 Hz stay back; the output 4.4 dB down.
    {"Smile", "smile", {0.2f, 0.2f, 0.3f}},
    // For quiet listening: +8.0 dB lows and +3.5 dB highs at the same output.
    {"Loudness", "loudness", {0.3f, 0.1f, 0.5f}},
}};

inline constexpr int numFactoryPresets = static_cast<int>(factoryPresets.size());

// The preset of that exact name, or null.
constexpr const FactoryPreset* findFactoryPreset(std::string_view name) noexcept
{
    for (const FactoryPreset& preset : factoryPresets)
        if (name == preset.name)
            return &preset;
    return nullptr;
}

namespace factory_preset_checks
{
constexpr bool firstIsTheDefaults()
{
    for (std::size_t i = 0; i < hostParameters.size(); ++i)
        if (factoryPresets[0].positions[i] != hostParameters[i].defaultValue)
            return false;
    return true;
}

constexpr bool positionsAreInRange()
{
    for (const FactoryPreset& preset : factoryPresets)
        for (std::size_t i = 0; i < hostParameters.size(); ++i)
            if (!(preset.positions[i] >= hostParameters[i].minimum && preset.positions[i] <= hostParameters[i].maximum))
                return false;
    return true;
}

constexpr bool namesFitAProgramName()
{
    for (const FactoryPreset& preset : factoryPresets)
        if (std::string_view(preset.name).size() > 27 || std::string_view(preset.name).empty())
            return false;
    return true;
}
}  // namespace factory_preset_checks

static_assert(factory_preset_checks::firstIsTheDefaults(), "the first preset, Flat, is the defaults");
static_assert(factory_preset_checks::positionsAreInRange(), "every position lies in its parameter's range");
static_assert(factory_preset_checks::namesFitAProgramName(), "a .fxp program name holds 27 characters");
}  // namespace varnoke::core
