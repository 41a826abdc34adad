#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The LV2 state's one string property: the state chunk's bytes as release
// 1.0.0 (JUCE's LV2 wrapper) wrote them, so that states move freely between
// the releases: the byte count in decimal, a '.', and then the bytes six bits
// to a character, starting from the lowest bit of the first byte, in the
// alphabet ".A-Za-z0-9+" (not RFC 4648's base64).
namespace varnoke::lv2::state_text
{
// Larger than any chunk the state reader accepts, so nothing it could read is
// refused, and small enough that no text can make the plug-in allocate much.
constexpr std::size_t maximumBytes = 1 << 20;

std::string encode(const void* data, std::size_t size);

// The bytes a text holds, or nothing unless it is exactly one encoding: a byte
// count of 1 to maximumBytes with no sign, the '.', and exactly the characters
// for that many bytes, each of the alphabet. A zero byte ends the text; white
// space at its end is ignored. Nothing is allocated before the text has been
// checked.
std::optional<std::vector<unsigned char>> decode(std::string_view text);
}  // namespace varnoke::lv2::state_text
