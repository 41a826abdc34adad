#pragma once

#include "FxPreset.h"
#include "RenderOptions.h"

#include <optional>

namespace varnoke::render
{
// What every rendering of one run shares: the plug-in's settings and the
// host's block size and output format.
struct RenderSettings
{
    std::optional<FxPreset> preset;
    KnobSettings knobs;
    bool bypass = false;
    int blockSize = 512;
    int bits = 32;
};
}  // namespace varnoke::render
