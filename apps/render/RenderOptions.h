#pragma once

#include <optional>
#include <string>
#include <vector>

namespace varnoke::render
{
// The knob settings of one rendering, in the host's 0..1 units.
struct KnobSettings
{
    std::optional<float> lowContour;
    std::optional<float> process;
    std::optional<float> output;
};

struct RenderOptions
{
    std::vector<std::string> inputs;  // none: the built-in demo
    std::string output;               // empty: derived from the input's name
    int jobs = 0;                     // inputs rendered at once; 0: one per core
    KnobSettings knobs;
    bool bypass = false;
    int blockSize = 512;
    int bits = 32;
    std::string preset;
    std::optional<std::string> presetName;  // a factory preset, already merged into knobs
    bool listPresets = false;
    std::string savePreset;
    std::string plot;
    std::vector<KnobSettings> compare;
    bool info = false;
    std::string plugin;
    bool help = false;
};

// Parses the command line; throws RenderError with a one-line reason when it
// asks for something impossible.
RenderOptions parseRenderOptions(const std::vector<std::string>& arguments);

const char* renderUsage();

// The factory presets' names, one a line, as --list-presets prints them.
std::string factoryPresetList();
}  // namespace varnoke::render
