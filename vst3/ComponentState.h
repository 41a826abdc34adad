#pragma once

#include <cstddef>
#include <optional>
#include <vector>

// The component state hosts store: the processor's chunk (the VST 2 plug-in's
// bytes) followed by the record of the bypass switch in the layout release
// 1.0.0 wrote, so either release opens the other's projects:
//
//   chunk | 8 zero bytes | record | record size (64-bit LE) | "JUCEPrivateData"
//
// where the record is a tree named "JUCEPrivateData" with one property
// "Bypass" (a bool), in JUCE's binary tree encoding.
namespace varnoke::vst3::component_state
{
struct Parts
{
    const unsigned char* chunk = nullptr;
    std::size_t chunkSize = 0;
    std::optional<bool> bypassed;  // nothing when the state carries no usable record
};

// Splits a saved state. Every size and count in the record is checked against
// the bytes that are there; only the root's properties are read (never its
// children, nor the insides of arrays), so any input is read in linear time
// and without allocation. A state without a usable record is all chunk: the
// chunk's own length field bounds it.
Parts split(const unsigned char* data, std::size_t size) noexcept;

// Appends the bypass record to a chunk.
void appendBypassRecord(std::vector<unsigned char>& state, bool bypassed);

// The most a state may hold; longer ones are not Varnoke's.
constexpr std::size_t maxStateBytes = 1 << 20;
}  // namespace varnoke::vst3::component_state
