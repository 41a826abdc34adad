#pragma once

#include <juce_core/juce_core.h>

#include <string>
#include <vector>

namespace varnoke::test
{
// The LV2 state string of release 1.0.0 (JUCE's MemoryBlock encoding of the
// chunk, which the LV2 plug-in still writes and reads) and back.
inline std::string lv2StateTextOf(const std::vector<unsigned char>& chunk)
{
    return juce::MemoryBlock(chunk.data(), chunk.size()).toBase64Encoding().toStdString();
}

inline std::vector<unsigned char> chunkOfLv2StateText(const std::string& stateText)
{
    juce::MemoryBlock block;
    if (!block.fromBase64Encoding(stateText))
        return {};
    const auto* bytes = static_cast<const unsigned char*>(block.getData());
    return {bytes, bytes + block.getSize()};
}
}  // namespace varnoke::test
