#include "FloatWavHeader.h"

namespace varnoke::render
{
namespace
{
constexpr std::uint16_t ieeeFloatFormat = 3;
constexpr std::uint16_t bitsPerSample = 32;
constexpr std::uint32_t junkOrDs64Size = 28;
constexpr std::uint32_t formatSize = 18;
constexpr std::uint32_t factSize = 4;
constexpr std::uint32_t sizeUnknownHere = 0xffffffff;  // RF64: the ds64 chunk has it

// WAV fields are little-endian.
class LittleEndianWriter
{
public:
    void tag(const char (&code)[5]) { bytes.insert(bytes.end(), code, code + 4); }
    void u16(std::uint16_t value) { integer(value, 2); }
    void u32(std::uint32_t value) { integer(value, 4); }
    void u64(std::uint64_t value) { integer(value, 8); }

    std::vector<unsigned char> bytes;

private:
    void integer(std::uint64_t value, int count)
    {
        for (int i = 0; i < count; ++i)
            bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
};
}  // namespace

std::vector<unsigned char> makeFloatWavHeader(int channels, double sampleRate, std::uint64_t frames)
{
    const auto blockAlign = static_cast<std::uint16_t>(channels * (bitsPerSample / 8));
    const std::uint64_t dataSize = frames * blockAlign;
    const std::uint64_t riffSize =
        floatWavHeaderSize - 8 + dataSize;  // data is whole frames of 4-byte samples: no padding
    const bool rf64 = riffSize > 0xffffffffu;

    LittleEndianWriter out;
    out.tag(rf64 ? "RF64" : "RIFF");
    out.u32(rf64 ? sizeUnknownHere : static_cast<std::uint32_t>(riffSize));
    out.tag("WAVE");

    out.tag(rf64 ? "ds64" : "JUNK");
    out.u32(junkOrDs64Size);
    out.u64(rf64 ? riffSize : 0);
    out.u64(rf64 ? dataSize : 0);
    out.u64(rf64 ? frames : 0);
    out.u32(0);  // no table of other chunk sizes

    out.tag("fmt ");
    out.u32(formatSize);
    out.u16(ieeeFloatFormat);
    out.u16(static_cast<std::uint16_t>(channels));
    out.u32(static_cast<std::uint32_t>(sampleRate));
    out.u32(static_cast<std::uint32_t>(static_cast<double>(blockAlign) * sampleRate));
    out.u16(blockAlign);
    out.u16(bitsPerSample);
    out.u16(0);  // cbSize: no further format bytes

    out.tag("fact");
    out.u32(factSize);
    out.u32(rf64 ? sizeUnknownHere : static_cast<std::uint32_t>(frames));

    out.tag("data");
    out.u32(rf64 ? sizeUnknownHere : static_cast<std::uint32_t>(dataSize));
    return out.bytes;
}
}  // namespace varnoke::render
