// Parameters through the record's entry points and the state chunk.

#include "HostTestFixture.h"

#include "support/BitPatterns.h"

#include <cstring>

namespace varnoke::test
{
namespace
{
using ParameterTest = HostTest;
using ChunkTest = HostTest;

const unsigned char defaultChunk[64] = {0x56, 0x43, 0x32, 0x21, 0x37, 0x00, 0x00, 0x00, 0x3c, 0x70, 0x75, 0x73, 0x68,
                                        0x53, 0x74, 0x61, 0x74, 0x65, 0x20, 0x6c, 0x6f, 0x77, 0x5f, 0x63, 0x6f, 0x6e,
                                        0x74, 0x6f, 0x75, 0x72, 0x3d, 0x22, 0x30, 0x22, 0x20, 0x70, 0x72, 0x6f, 0x63,
                                        0x65, 0x73, 0x73, 0x3d, 0x22, 0x30, 0x22, 0x20, 0x6f, 0x75, 0x74, 0x70, 0x75,
                                        0x74, 0x5f, 0x67, 0x3d, 0x22, 0x30, 0x2e, 0x35, 0x22, 0x2f, 0x3e, 0x00};

std::vector<unsigned char> getChunk(AEffect* effect, int index = 0)
{
    void* data = nullptr;
    const VstIntPtr size = dispatch(effect, effGetChunk, index, 0, &data);
    if (size <= 0 || data == nullptr)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return {bytes, bytes + size};
}

std::vector<std::uint32_t> parameterBits(AEffect* effect)
{
    std::vector<std::uint32_t> bits;
    for (int index = 0; index < 5; ++index)
        bits.push_back(bitsOf(effect->getParameter(effect, index)));
    return bits;
}

TEST_F(ParameterTest, DefaultsAndWritesThroughTheEntryPoints)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    EXPECT_EQ((std::vector<std::uint32_t>{bitsOf(0.0f), bitsOf(0.0f), bitsOf(0.5f), bitsOf(0.0f), bitsOf(0.0f)}),
              parameterBits(effect));

    struct WriteCase
    {
        int index;
        float written;
        float readBack;
    };
    const WriteCase cases[] = {
        {0, 0.3f, 0.3f},  {1, 1.0f, 1.0f}, {2, 0.75f, 0.75f}, {3, 0.25f, 0.25f}, {4, 0.5f, 0.0f},
        {4, 0.51f, 1.0f}, {1, 2.0f, 2.0f}, {0, -0.5f, -0.5f}, {5, 0.9f, 0.0f},   {-1, 0.9f, 0.0f},
    };
    for (const auto& c : cases)
    {
        effect->setParameter(effect, c.index, c.written);
        EXPECT_SAME_BITS(c.readBack, effect->getParameter(effect, c.index)) << "index " << c.index;
    }
}

TEST_F(ChunkTest, NewInstanceHandsOutTheDefaultBytes)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    const std::vector<unsigned char> expected(std::begin(defaultChunk), std::end(defaultChunk));
    EXPECT_EQ(expected, getChunk(effect, 0));
    EXPECT_EQ(expected, getChunk(effect, 1));  // the program chunk is the same bytes
    EXPECT_EQ(expected, getChunk(effect, 0));  // and a second call hands out a fresh block
    EXPECT_EQ(0, dispatch(effect, effGetChunk, 0, 0, nullptr));
}

TEST_F(ChunkTest, RoundTripRestoresTheSameFloats)
{
    AEffect* source = openInstance();
    AEffect* target = openInstance();
    ASSERT_NE(nullptr, source);
    ASSERT_NE(nullptr, target);
    source->setParameter(source, 0, 0.1f);
    source->setParameter(source, 1, 0.7f);
    source->setParameter(source, 2, 0.123456789f);
    source->setParameter(source, 3, 0.4f);  // not part of the state

    auto chunk = getChunk(source);
    ASSERT_FALSE(chunk.empty());
    EXPECT_EQ(0, dispatch(target, effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()));

    for (int index = 0; index < 3; ++index)
        EXPECT_SAME_BITS(source->getParameter(source, index), target->getParameter(target, index)) << index;
    EXPECT_SAME_BITS(0.0f, target->getParameter(target, 3));

    // Through the program chunk as well.
    target->setParameter(target, 0, 0.9f);
    EXPECT_EQ(0, dispatch(target, effSetChunk, 1, static_cast<VstIntPtr>(chunk.size()), chunk.data()));
    EXPECT_SAME_BITS(0.1f, target->getParameter(target, 0));
}

TEST_F(ChunkTest, UnusableChunksChangeNothing)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    effect->setParameter(effect, 0, 0.25f);
    effect->setParameter(effect, 1, 0.5f);
    effect->setParameter(effect, 2, 0.75f);
    const auto before = parameterBits(effect);

    std::vector<unsigned char> wrongMagic(std::begin(defaultChunk), std::end(defaultChunk));
    wrongMagic[0] = 0x57;
    std::vector<unsigned char> zeroLength(std::begin(defaultChunk), std::end(defaultChunk));
    std::memset(zeroLength.data() + 4, 0, 4);
    std::vector<unsigned char> header(std::begin(defaultChunk), std::begin(defaultChunk) + 8);

    struct ChunkCase
    {
        const char* name;
        VstIntPtr size;
        void* data;
    };
    const ChunkCase cases[] = {
        {"size 0", 0, const_cast<unsigned char*>(defaultChunk)},
        {"negative size", -64, const_cast<unsigned char*>(defaultChunk)},
        {"null data", 64, nullptr},
        {"wrong magic", 64, wrongMagic.data()},
        {"zero length", 64, zeroLength.data()},
        {"header only", 8, header.data()},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(0, dispatch(effect, effSetChunk, 0, c.size, c.data)) << c.name;
        EXPECT_EQ(before, parameterBits(effect)) << c.name;
    }

    EXPECT_EQ(0, dispatch(effect, effSetChunk, 0, 64, const_cast<unsigned char*>(defaultChunk)));
    EXPECT_SAME_BITS(0.0f, effect->getParameter(effect, 0));
    EXPECT_SAME_BITS(0.5f, effect->getParameter(effect, 2));
}
}  // namespace
}  // namespace varnoke::test
