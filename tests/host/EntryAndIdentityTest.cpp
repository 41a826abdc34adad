// The library's export and the effect record a host receives.

#include "HostTestFixture.h"

#if !defined(_WIN32)
#include "support/CommandOutput.h"  // the export table is read with nm from Linux
#endif

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace varnoke::test
{
namespace
{
using EntryTest = HostTest;
using IdentityTest = HostTest;

#if !defined(_WIN32)
TEST(Export, DynamicSymbolTableHoldsOnlyTheEntry)
{
    const std::string symbols = commandOutput(std::string("nm -D --defined-only '") + VARNOKE_PLUGIN_PATH + "'");
    ASSERT_FALSE(symbols.empty());

    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < symbols.size())
    {
        const auto end = symbols.find('\n', start);
        const std::string line = symbols.substr(start, end - start);
        if (!line.empty())
            names.push_back(line.substr(line.find_last_of(' ') + 1));
        start = end == std::string::npos ? symbols.size() : end + 1;
    }
    EXPECT_EQ(std::vector<std::string>{"VSTPluginMain"}, names);
}
#endif

TEST_F(EntryTest, AsksTheHostVersionWithANullEffect)
{
    AEffect* effect = library->create(RecordingHost::callback);
    ASSERT_NE(nullptr, effect);
    live.push_back(effect);

    const auto calls = RecordingHost::calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(audioMasterVersion, calls.front().opcode);
    EXPECT_EQ(nullptr, calls.front().effect);
    EXPECT_EQ(1, RecordingHost::count(audioMasterVersion));
}

TEST_F(EntryTest, HostAnsweringVersionZeroGetsNull)
{
    RecordingHost::versionAnswer = 0;
    EXPECT_EQ(nullptr, library->create(RecordingHost::callback));
    EXPECT_EQ(1, RecordingHost::count(audioMasterVersion));

    // Nothing was left behind: a later host still gets a working instance.
    RecordingHost::versionAnswer = 2400;
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    EXPECT_EQ(3, effect->numParams);
}

TEST_F(EntryTest, NullCallbackGetsNull)
{
    EXPECT_EQ(nullptr, library->create(nullptr));
}

TEST_F(IdentityTest, EffectRecordFields)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);

    EXPECT_EQ(0x56737450, effect->magic);
    EXPECT_NE(nullptr, effect->dispatcher);
    EXPECT_NE(nullptr, effect->process);
    EXPECT_NE(nullptr, effect->setParameter);
    EXPECT_NE(nullptr, effect->getParameter);
    EXPECT_NE(nullptr, effect->processReplacing);
    EXPECT_NE(nullptr, effect->processDoubleReplacing);
    EXPECT_EQ(0, effect->numPrograms);
    EXPECT_EQ(3, effect->numParams);
    EXPECT_EQ(2, effect->numInputs);
    EXPECT_EQ(2, effect->numOutputs);
    EXPECT_EQ(0x231, effect->flags);
    EXPECT_EQ(0, effect->resvd1);
    EXPECT_EQ(0, effect->resvd2);
    EXPECT_EQ(0, effect->initialDelay);
    EXPECT_EQ(1.0f, effect->float1);  // ioRatio
    EXPECT_NE(nullptr, effect->object);
    EXPECT_EQ(nullptr, effect->user);
    EXPECT_EQ(0x506C7567, effect->uniqueID);
    EXPECT_EQ(100, effect->version);
}

// realQualities, offQualities and the reserved tail that hosts built on the
// original declarations read are all zero.
TEST_F(IdentityTest, ReservedBytesAreZero)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);

    const auto* bytes = reinterpret_cast<const unsigned char*>(effect);
    for (std::size_t i = 84; i < 92; ++i)
        EXPECT_EQ(0, bytes[i]) << "byte " << i;
    for (std::size_t i = sizeof(AEffect); i < originalEffectSize; ++i)
        EXPECT_EQ(0, bytes[i]) << "byte " << i;
}

TEST_F(IdentityTest, FlagsStayAfterOpenAndAcrossSwitching)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    dispatch(effect, effMainsChanged, 0, 1);
    dispatch(effect, effMainsChanged, 0, 0);
    EXPECT_EQ(0x231, effect->flags);
    EXPECT_EQ(2, effect->numInputs);
}
}  // namespace
}  // namespace varnoke::test
