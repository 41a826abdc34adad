#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnoke::test
{
// The plug-in's state envelope ("VC2!", little-endian text length, the text,
// a zero byte) around any text, for feeding hand-made chunks to a restore.
inline std::vector<unsigned char> stateChunkWithText(const std::string& text, bool terminator = true)
{
    std::vector<unsigned char> chunk{0x56, 0x43, 0x32, 0x21};
    const auto length = static_cast<std::uint32_t>(text.size());
    for (int shift = 0; shift < 32; shift += 8)
        chunk.push_back(static_cast<unsigned char>(length >> shift));
    chunk.insert(chunk.end(), text.begin(), text.end());
    if (terminator)
        chunk.push_back(0);
    return chunk;
}
}  // namespace varnoke::test
