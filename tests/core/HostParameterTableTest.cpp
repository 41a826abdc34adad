// The description every format layer reads: the IDs saved projects refer to,
// and the processor taking its names and defaults from it.

#include "HostParameterTable.h"
#include "VarnokeAudioProcessor.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace varnoke::test
{
namespace
{
// Read off release 1.0.0's Varnoke.vst3 (JUCE's VST3 wrapper) through
// IEditController::getParameterInfo: "Low Contour" 1044621542, "Process"
// 1837964911, "Output" 1141971201, "Bypass" 1652125811. Projects and their
// automation store these numbers; a changed row loses them.
TEST(HostParameterTable, KeepsTheVst3IdsOfRelease100)
{
    EXPECT_EQ(1044621542u, core::hostParameters[0].vst3Id);
    EXPECT_EQ(1837964911u, core::hostParameters[1].vst3Id);
    EXPECT_EQ(1141971201u, core::hostParameters[2].vst3Id);
    EXPECT_EQ(1652125811u, core::vst3BypassId);
}

TEST(HostParameterTable, NamesSymbolsRangesAndDefaultsAreThoseHostsKnow)
{
    struct Expected
    {
        const char* name;
        const char* shortName;
        const char* symbol;
        float defaultValue;
    };
    const Expected expected[] = {
        {"Low Contour", "Low Cont", "lowContour", 0.0f},
        {"Process", "Process", "process", 0.0f},
        {"Output", "Output", "output", 0.5f},
    };
    ASSERT_EQ(std::size(expected), core::hostParameters.size());
    for (std::size_t i = 0; i < std::size(expected); ++i)
    {
        const auto& row = core::hostParameters[i];
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(expected[i].name, row.name);
        EXPECT_STREQ(expected[i].shortName, row.shortName);
        EXPECT_STREQ(expected[i].symbol, row.lv2Symbol);
        EXPECT_EQ(0.0f, row.minimum);
        EXPECT_EQ(1.0f, row.maximum);
        EXPECT_EQ(expected[i].defaultValue, row.defaultValue);
    }
}

TEST(HostParameterTable, IdsAndSymbolsAreDistinct)
{
    std::set<std::uint32_t> ids{core::vst3BypassId};
    std::set<std::string> symbols;
    for (const auto& row : core::hostParameters)
    {
        EXPECT_TRUE(ids.insert(row.vst3Id).second) << row.name;
        EXPECT_TRUE(symbols.insert(row.lv2Symbol).second) << row.name;
    }
}

// The processor reads the table: the VST 2.4 plug-in's names and its starting
// values are the rows', in index order.
TEST(HostParameterTable, IsWhatTheProcessorAnnounces)
{
    VarnokeAudioProcessor processor;
    ASSERT_EQ(core::numHostParameters, processor.getNumParameters());
    for (int index = 0; index < core::numHostParameters; ++index)
    {
        const auto& row = core::hostParameters[static_cast<std::size_t>(index)];
        EXPECT_EQ(juce::String(row.name), processor.getParameterName(index));
        EXPECT_EQ(row.defaultValue, processor.getParameter(index));
        EXPECT_EQ(row.defaultValue, processor.getParameterDefaultValue(index));
        EXPECT_EQ(juce::String(), processor.getParameterText(index)) << "the VST 2 plug-in shows no value text";
    }
    EXPECT_EQ(nullptr, core::findHostParameter(-1));
    EXPECT_EQ(nullptr, core::findHostParameter(core::numHostParameters));
}
}  // namespace
}  // namespace varnoke::test
