#include "FxPreset.h"
#include "ProductIdentity.h"
#include "RenderError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace varnoke;

namespace
{
using namespace varnoke::render;
using varnoke::product::fourCharacterCode;
using Bytes = std::vector<unsigned char>;

const Bytes stateChunk = {'V', 'C', '2', '!', 3, 0, 0, 0, '<', 'a', '>', 0};

FxPreset varnokePreset(FxPreset::Kind kind)
{
    FxPreset preset;
    preset.kind = kind;
    preset.pluginId = fourCharacterCode("Plug");
    preset.pluginVersion = 100;
    preset.programName = "Warm";
    preset.chunk = stateChunk;
    return preset;
}

std::int32_t bigEndianAt(const Bytes& bytes, size_t offset)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(bytes[offset]) << 24) | (bytes[offset + 1] << 16) |
                                     (bytes[offset + 2] << 8) | bytes[offset + 3]);
}

TEST(FxPreset, ProgramFileHasTheStandardLayout)
{
    const Bytes file = writeFxPreset(varnokePreset(FxPreset::Kind::program), 3, 0);
    ASSERT_EQ(60u + stateChunk.size(), file.size());
    EXPECT_EQ(0, std::memcmp(file.data(), "CcnK", 4));
    EXPECT_EQ(static_cast<std::int32_t>(file.size() - 8), bigEndianAt(file, 4));
    EXPECT_EQ(0, std::memcmp(file.data() + 8, "FPCh", 4));
    EXPECT_EQ(1, bigEndianAt(file, 12));
    EXPECT_EQ(0, std::memcmp(file.data() + 16, "Plug", 4));
    EXPECT_EQ(100, bigEndianAt(file, 20));
    EXPECT_EQ(3, bigEndianAt(file, 24));
    EXPECT_STREQ("Warm", reinterpret_cast<const char*>(file.data() + 28));
    EXPECT_EQ(static_cast<std::int32_t>(stateChunk.size()), bigEndianAt(file, 56));
    EXPECT_EQ(stateChunk, Bytes(file.begin() + 60, file.end()));
}

TEST(FxPreset, BankFileHasTheStandardLayout)
{
    const Bytes file = writeFxPreset(varnokePreset(FxPreset::Kind::bank), 3, 0);
    ASSERT_EQ(160u + stateChunk.size(), file.size());
    EXPECT_EQ(0, std::memcmp(file.data() + 8, "FBCh", 4));
    EXPECT_EQ(0, bigEndianAt(file, 24));  // the number of programs
    EXPECT_EQ(static_cast<std::int32_t>(stateChunk.size()), bigEndianAt(file, 156));
    EXPECT_EQ(stateChunk, Bytes(file.begin() + 160, file.end()));
}

TEST(FxPreset, RoundTripsBothKinds)
{
    for (const auto kind : {FxPreset::Kind::program, FxPreset::Kind::bank})
    {
        FxPreset read;
        ASSERT_NO_THROW(read = readFxPreset(writeFxPreset(varnokePreset(kind), 3, 0)));
        EXPECT_EQ(kind, read.kind);
        EXPECT_EQ(fourCharacterCode("Plug"), read.pluginId);
        EXPECT_EQ(100, read.pluginVersion);
        EXPECT_TRUE(read.hasChunk());
        EXPECT_EQ(stateChunk, read.chunk);
        if (kind == FxPreset::Kind::program)
        {
            EXPECT_EQ("Warm", read.programName);
        }
    }
}

// A program in the form that lists its parameter values.
Bytes parameterListFile(std::initializer_list<float> values)
{
    Bytes file = {'C', 'c', 'n', 'K', 0,   0,   0, 0, 'F', 'x', 'C', 'k', 0, 0,
                  0,   1,   'P', 'l', 'u', 'g', 0, 0, 0,   100, 0,   0,   0, static_cast<unsigned char>(values.size())};
    file.resize(file.size() + 28, 0);
    for (const float value : values)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int shift = 24; shift >= 0; shift -= 8)
            file.push_back(static_cast<unsigned char>(bits >> shift));
    }
    const auto size = static_cast<std::uint32_t>(file.size() - 8);
    file[7] = static_cast<unsigned char>(size);
    return file;
}

TEST(FxPreset, ReadsTheParameterListForm)
{
    FxPreset read;
    ASSERT_NO_THROW(read = readFxPreset(parameterListFile({0.25f, 0.75f})));
    EXPECT_FALSE(read.hasChunk());
    EXPECT_EQ((std::vector<float>{0.25f, 0.75f}), read.parameters);
}

TEST(FxPreset, RefusesMalformedFiles)
{
    const Bytes good = writeFxPreset(varnokePreset(FxPreset::Kind::program), 3, 0);
    Bytes wrongMagic = good;
    wrongMagic[0] = 'X';
    Bytes unknownType = good;
    std::memcpy(unknownType.data() + 8, "ABCD", 4);
    Bytes sizeTooLarge = good;
    sizeTooLarge[4] = 0x7f;
    Bytes chunkTooLarge = good;
    chunkTooLarge[56] = 0x10;
    const Bytes truncated(good.begin(), good.begin() + 40);

    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"wrong container", wrongMagic},
        {"unknown preset type", unknownType},
        {"size field beyond the file", sizeTooLarge},
        {"chunk beyond the file", chunkTooLarge},
        {"truncated header", truncated},
        {"parameter of NaN", parameterListFile({0.5f, std::nanf("")})},
        {"parameter of infinity", parameterListFile({INFINITY, 0.5f})},
        {"parameter of minus infinity", parameterListFile({0.5f, 0.5f, -INFINITY})},
    };
    for (const auto& [name, bytes] : cases)
    {
        std::string error;
        try
        {
            readFxPreset(bytes);
            ADD_FAILURE() << name << " was read";
        }
        catch (const RenderError& refusal)
        {
            error = refusal.what();
        }
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_EQ(std::string::npos, error.find('\n')) << name;
    }
}
}  // namespace
