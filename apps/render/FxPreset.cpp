#include "FxPreset.h"

#include "ProductIdentity.h"
#include "RenderError.h"

#include <cmath>
#include <cstring>

namespace varnoke::render
{
namespace
{
using product::fourCharacterCode;

constexpr std::int32_t containerMagic = fourCharacterCode("CcnK");
constexpr std::int32_t programChunkMagic = fourCharacterCode("FPCh");
constexpr std::int32_t bankChunkMagic = fourCharacterCode("FBCh");
constexpr std::int32_t programParametersMagic = fourCharacterCode("FxCk");
constexpr std::int32_t bankParametersMagic = fourCharacterCode("FxBk");
constexpr size_t programNameSize = 28;
constexpr size_t bankReservedSize = 128;

// All integers in preset files are big-endian.
class BigEndianWriter
{
public:
    void int32(std::int32_t value)
    {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<unsigned char>(bits >> shift));
    }
    void zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
    void raw(const void* data, size_t size)
    {
        const auto* begin = static_cast<const unsigned char*>(data);
        bytes.insert(bytes.end(), begin, begin + size);
    }
    void patchInt32(size_t offset, std::int32_t value)
    {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            bytes[offset + static_cast<size_t>(i)] = static_cast<unsigned char>(bits >> (24 - 8 * i));
    }

    std::vector<unsigned char> bytes;
};

class BigEndianReader
{
public:
    explicit BigEndianReader(const std::vector<unsigned char>& source)
        : bytes(source)
    {
    }

    bool int32(std::int32_t& value)
    {
        if (remaining() < 4)
            return false;
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i)
            bits = (bits << 8) | bytes[position++];
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    bool skip(size_t count)
    {
        if (remaining() < count)
            return false;
        position += count;
        return true;
    }
    bool take(size_t count, std::vector<unsigned char>& out)
    {
        if (remaining() < count)
            return false;
        out.assign(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                   bytes.begin() + static_cast<std::ptrdiff_t>(position + count));
        position += count;
        return true;
    }
    size_t remaining() const { return bytes.size() - position; }
    size_t offset() const { return position; }

private:
    const std::vector<unsigned char>& bytes;
    size_t position = 0;
};
}  // namespace

std::string fourCharacterText(std::int32_t code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const char c = static_cast<char>(static_cast<std::uint32_t>(code) >> shift);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

std::vector<unsigned char> writeFxPreset(const FxPreset& preset, std::int32_t numParameters, std::int32_t numPrograms)
{
    BigEndianWriter out;
    out.int32(containerMagic);
    out.int32(0);  // byte size of the rest, patched below
    const bool program = preset.kind == FxPreset::Kind::program;
    out.int32(program ? programChunkMagic : bankChunkMagic);
    out.int32(1);  // format version
    out.int32(preset.pluginId);
    out.int32(preset.pluginVersion);
    if (program)
    {
        out.int32(numParameters);
        char name[programNameSize] = {};
        std::strncpy(name, preset.programName.c_str(), programNameSize - 1);
        out.raw(name, programNameSize);
    }
    else
    {
        out.int32(numPrograms);
        out.zeros(bankReservedSize);
    }
    out.int32(static_cast<std::int32_t>(preset.chunk.size()));
    out.raw(preset.chunk.data(), preset.chunk.size());
    out.patchInt32(4, static_cast<std::int32_t>(out.bytes.size() - 8));
    return out.bytes;
}

bool startsLikeFxPreset(const std::vector<unsigned char>& head)
{
    BigEndianReader in(head);
    std::int32_t magic = 0;
    return in.int32(magic) && magic == containerMagic;
}

FxPreset readFxPreset(const std::vector<unsigned char>& bytes)
{
    BigEndianReader in(bytes);
    FxPreset preset;
    std::int32_t magic = 0, byteSize = 0, fxMagic = 0, version = 0;
    if (!startsLikeFxPreset(bytes) || !in.int32(magic))
        throw RenderError("not a VST preset file (no 'CcnK' header)");
    if (!in.int32(byteSize) || !in.int32(fxMagic) || !in.int32(version) || !in.int32(preset.pluginId) ||
        !in.int32(preset.pluginVersion))
        throw RenderError("truncated preset header");
    if (byteSize < 0 || static_cast<size_t>(byteSize) + 8 > bytes.size())
        throw RenderError("preset file is shorter than its header says");

    const auto requireData = [](bool present)
    {
        if (!present)
            throw RenderError("truncated preset data");
    };

    std::int32_t count = 0;
    if (fxMagic == programChunkMagic || fxMagic == programParametersMagic)
    {
        preset.kind = FxPreset::Kind::program;
        std::vector<unsigned char> name;
        requireData(in.int32(count) && in.take(programNameSize, name));
        preset.programName.assign(name.begin(), name.end());
        preset.programName = preset.programName.c_str();  // up to the first zero
        if (fxMagic == programParametersMagic)
        {
            requireData(count >= 0 && in.remaining() >= static_cast<size_t>(count) * 4);
            for (std::int32_t i = 0; i < count; ++i)
            {
                std::int32_t bits = 0;
                in.int32(bits);
                float value;
                std::memcpy(&value, &bits, sizeof value);
                if (!std::isfinite(value))
                    throw RenderError("damaged preset: parameter " + std::to_string(i) + " is not a finite number");
                preset.parameters.push_back(value);
            }
            return preset;
        }
    }
    else if (fxMagic == bankChunkMagic)
    {
        preset.kind = FxPreset::Kind::bank;
        requireData(in.int32(count) && in.skip(bankReservedSize));
    }
    else if (fxMagic == bankParametersMagic)
        throw RenderError(std::string("banks of parameter lists are not supported (") + product::name +
                          " saves its state as a chunk)");
    else
        throw RenderError("unknown preset type '" + fourCharacterText(fxMagic) + "'");

    std::int32_t chunkSize = 0;
    requireData(in.int32(chunkSize) && chunkSize >= 0 && in.take(static_cast<size_t>(chunkSize), preset.chunk));
    return preset;
}
}  // namespace varnoke::render
