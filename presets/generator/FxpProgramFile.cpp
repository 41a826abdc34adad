#include "FxpProgramFile.h"

#include "ProductIdentity.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

namespace varnoke::presets
{
namespace
{
using product::fourCharacterCode;

constexpr std::size_t programNameSize = 28;

// A position as the plug-in's state writes it: the float widened to double,
// printed as C's "%.20g" with '.' (to_chars is independent of the locale).
std::string chunkNumber(float position)
{
    char digits[64];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, static_cast<double>(position), std::chars_format::general, 20);
    return std::string(digits, result.ptr);
}

void appendLittleEndian32(std::vector<unsigned char>& bytes, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<unsigned char>(value >> shift));
}

// Every integer of a preset file is big-endian.
void appendBigEndian32(std::vector<unsigned char>& bytes, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<unsigned char>(bits >> shift));
}
}  // namespace

std::vector<unsigned char> stateChunkFor(const core::FactoryPreset& preset)
{
    // The attribute names are the state's, in the order of the host parameters.
    const char* const attributes[] = {"low_contour", "process", "output_g"};
    static_assert(std::size(attributes) == core::numHostParameters, "one attribute per host parameter");

    std::string text = "<pushState";
    for (std::size_t index = 0; index < std::size(attributes); ++index)
        text += std::string(" ") + attributes[index] + "=\"" + chunkNumber(preset.positions[index]) + '"';
    text += "/>";

    std::vector<unsigned char> chunk = {'V', 'C', '2', '!'};
    appendLittleEndian32(chunk, static_cast<std::uint32_t>(text.size()));
    chunk.insert(chunk.end(), text.begin(), text.end());
    chunk.push_back(0);
    return chunk;
}

std::vector<unsigned char> fxpProgramFile(const core::FactoryPreset& preset)
{
    const std::vector<unsigned char> chunk = stateChunkFor(preset);

    std::vector<unsigned char> bytes;
    appendBigEndian32(bytes, fourCharacterCode("CcnK"));
    appendBigEndian32(bytes, 0);  // the size of the rest, filled in below
    appendBigEndian32(bytes, fourCharacterCode("FPCh"));
    appendBigEndian32(bytes, 1);  // the file format's version
    appendBigEndian32(bytes, product::vst2UniqueId);
    appendBigEndian32(bytes, product::vendorVersion);
    appendBigEndian32(bytes, core::numHostParameters);
    char name[programNameSize] = {};
    std::strncpy(name, preset.name, programNameSize - 1);
    bytes.insert(bytes.end(), name, name + programNameSize);
    appendBigEndian32(bytes, static_cast<std::int32_t>(chunk.size()));
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());

    const auto rest = static_cast<std::uint32_t>(bytes.size() - 8);
    for (int i = 0; i < 4; ++i)
        bytes[4 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(rest >> (24 - 8 * i));
    return bytes;
}
}  // namespace varnoke::presets
