// The float WAV header, field by field, in both sizes of file.

#include "FloatWavHeader.h"

#include <gtest/gtest.h>

#include <string>

using namespace varnoke;

namespace
{
using varnoke::render::floatWavHeaderSize;
using varnoke::render::makeFloatWavHeader;
using Bytes = std::vector<unsigned char>;

std::uint64_t littleEndianAt(const Bytes& bytes, size_t offset, int size)
{
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | bytes[offset + static_cast<size_t>(i)];
    return value;
}

std::string tagAt(const Bytes& bytes, size_t offset)
{
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                       bytes.begin() + static_cast<std::ptrdiff_t>(offset + 4));
}

TEST(FloatWavHeader, HasTheFormatExtensionSizeAndAFactChunk)
{
    const Bytes header = makeFloatWavHeader(2, 48000.0, 1000);
    ASSERT_EQ(floatWavHeaderSize, header.size());
    EXPECT_EQ("RIFF", tagAt(header, 0));
    EXPECT_EQ(86u + 8000u, littleEndianAt(header, 4, 4));
    EXPECT_EQ("WAVE", tagAt(header, 8));
    EXPECT_EQ("JUNK", tagAt(header, 12));
    EXPECT_EQ(28u, littleEndianAt(header, 16, 4));
    EXPECT_EQ("fmt ", tagAt(header, 48));
    EXPECT_EQ(18u, littleEndianAt(header, 52, 4));
    EXPECT_EQ(3u, littleEndianAt(header, 56, 2));  // IEEE float
    EXPECT_EQ(2u, littleEndianAt(header, 58, 2));
    EXPECT_EQ(48000u, littleEndianAt(header, 60, 4));
    EXPECT_EQ(48000u * 8u, littleEndianAt(header, 64, 4));
    EXPECT_EQ(8u, littleEndianAt(header, 68, 2));
    EXPECT_EQ(32u, littleEndianAt(header, 70, 2));
    EXPECT_EQ(0u, littleEndianAt(header, 72, 2));  // cbSize
    EXPECT_EQ("fact", tagAt(header, 74));
    EXPECT_EQ(4u, littleEndianAt(header, 78, 4));
    EXPECT_EQ(1000u, littleEndianAt(header, 82, 4));
    EXPECT_EQ("data", tagAt(header, 86));
    EXPECT_EQ(8000u, littleEndianAt(header, 90, 4));
}

// Beyond 4 GiB the 32-bit sizes cannot hold the truth: the file becomes RF64
// and the ds64 chunk, in the JUNK chunk's place, carries the sizes.
TEST(FloatWavHeader, BecomesRf64WhenTheSizesOutgrow32Bits)
{
    struct Case
    {
        std::uint64_t frames;
        bool rf64;
    };
    const std::uint64_t largestPlain = (0xffffffffu - 86u) / 8u;
    for (const Case c : {Case{largestPlain, false}, Case{largestPlain + 1, true}, Case{std::uint64_t{1} << 34, true}})
    {
        SCOPED_TRACE(c.frames);
        const Bytes header = makeFloatWavHeader(2, 44100.0, c.frames);
        ASSERT_EQ(floatWavHeaderSize, header.size());
        const std::uint64_t dataSize = c.frames * 8;
        EXPECT_EQ(c.rf64 ? "RF64" : "RIFF", tagAt(header, 0));
        EXPECT_EQ(c.rf64 ? "ds64" : "JUNK", tagAt(header, 12));
        EXPECT_EQ(c.rf64 ? 0xffffffffu : 86u + dataSize, littleEndianAt(header, 4, 4));
        EXPECT_EQ(c.rf64 ? 86u + dataSize : 0u, littleEndianAt(header, 20, 8));
        EXPECT_EQ(c.rf64 ? dataSize : 0u, littleEndianAt(header, 28, 8));
        EXPECT_EQ(c.rf64 ? c.frames : 0u, littleEndianAt(header, 36, 8));
        EXPECT_EQ(c.rf64 ? 0xffffffffu : c.frames, littleEndianAt(header, 82, 4));
        EXPECT_EQ(c.rf64 ? 0xffffffffu : dataSize, littleEndianAt(header, 90, 4));
    }
}
}  // namespace
