#pragma once

#include "FactoryPresets.h"

#include <vector>

namespace varnoke::presets
{
// A factory preset as a VST 2 program file (.fxp): the opaque-chunk form
// ('FPCh'), since the VST 2.4 plug-in keeps its programs as chunks, holding
// the state chunk the plug-in itself saves for these positions. Hosts load it
// through effSetChunk; varnoke-render reads it with --preset.
std::vector<unsigned char> fxpProgramFile(const core::FactoryPreset& preset);

// The state chunk for the preset's positions, byte for byte what the plug-in
// writes: "VC2!", the text's length (32 bits, little-endian), the one-line
// element <pushState low_contour=".." process=".." output_g=".."/>, a zero byte.
std::vector<unsigned char> stateChunkFor(const core::FactoryPreset& preset);
}  // namespace varnoke::presets
