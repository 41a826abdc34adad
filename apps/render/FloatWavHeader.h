#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnoke::render
{
// The header of a WAV file of 32-bit floating-point samples in the standard
// form for a non-PCM format: a format chunk with its extension size (cbSize)
// and a fact chunk with the frame count. A JUNK chunk keeps room for the ds64
// chunk that takes its place when the file outgrows 4 GiB and becomes RF64.
// The audio data follows the header directly.
constexpr size_t floatWavHeaderSize = 94;

std::vector<unsigned char> makeFloatWavHeader(int channels, double sampleRate, std::uint64_t frames);
}  // namespace varnoke::render
