#pragma once

#include "HostParameterTable.h"

#include <optional>
#include <string>
#include <string_view>

// A parameter's position as VST3 and LV2 hosts show it: a value in dB with its
// unit, derived from the gains the processor computes from the position
// (VarnokeAudioProcessor::refreshDerivedGains):
//
//   Low Contour, Process: gain g = (position * 10, in single precision) * 0.5
//       on the low band (below 700 Hz) or the high band (above it). The
//       crossover's all-pass and low- or high-pass sections both pass their
//       band at unity, so the band leaves at 1 + g: a boost of
//       20 log10(1 + g) dB, from 0.0 dB to +15.6 dB (g = 5).
//   Output: gain g = position * 2 (single precision) on the whole output:
//       20 log10(g) dB, "-inf dB" at 0, 0.0 dB at 0.5, "+6.0 dB" at 1.
//
// Texts have one decimal, a '.' whatever the locale, an explicit sign on
// non-zero values and " dB" after them.
namespace varnoke::core
{
// The value in dB a position stands for (-infinity for a silent output).
// Positions outside the range, and NaN, read as the nearest end (NaN as the minimum).
double decibelsAt(ValueScale scale, float position) noexcept;

// The text for a position, e.g. "+10.9 dB", "0.0 dB", "-inf dB".
std::string valueText(ValueScale scale, float position);

// The position a text names: a number of dB (with '.' or ',', with or without
// "dB", any case, white space around it) or "-inf"; beyond the range it is the
// nearest end. Nothing for text that names no number.
std::optional<float> positionForText(ValueScale scale, std::string_view text);

// The unit the texts carry.
inline constexpr const char* valueUnit = "dB";
}  // namespace varnoke::core
