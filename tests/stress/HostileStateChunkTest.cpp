// Saved states crafted to hurt the XML parser: the plug-in must survive them
// and leave its settings as they were. Deep nesting overflowed the host's
// stack inside JUCE's recursive parser, a processing instruction followed by
// text inside an element made it loop forever, a numeric reference left open
// at the end made it read past the text, and document types bring
// entities that expand into text and elements. The chunk reader now turns
// all of them away.

#include "EffectHarness.h"
#include "StateChunkBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
using varnoke::test::dispatch;
using varnoke::test::Op;

std::string repeated(const std::string& text, int times)
{
    std::string result;
    for (int i = 0; i < times; ++i)
        result += text;
    return result;
}

// Ten entities, each ten times the one before: 10^10 characters expanded.
std::string entityExpansion()
{
    std::string text = R"(<!DOCTYPE s [<!ENTITY e0 "0123456789">)";
    for (int level = 1; level < 10; ++level)
        text +=
            "<!ENTITY e" + std::to_string(level) + " \"" + repeated("&e" + std::to_string(level - 1) + ";", 10) + "\">";
    return text + R"(]><pushState low_contour="&e9;" process="1" output_g="1"/>)";
}

const std::string fullState = R"(<pushState low_contour="1" process="1" output_g="1")";

// A state whose every value is 1, with this many more attributes of distinct names.
std::string withExtraAttributes(int count)
{
    std::string text = fullState;
    for (int i = 0; i < count; ++i)
        text += " n" + std::to_string(i) + "=\"\"";
    return text + "/>";
}

// A state whose every value is 1, with one more attribute of this many "&amp;".
std::string withReferences(int count)
{
    return fullState + " x=\"" + repeated("&amp;", count) + "\"/>";
}

// A state whose every value is 1, padded with spaces to this many bytes.
std::string paddedTo(std::size_t bytes)
{
    const std::string text = fullState + "/>";
    return text + std::string(bytes - text.size(), ' ');
}

struct HostileChunk
{
    const char* name;
    std::string text;
};

std::ostream& operator<<(std::ostream& stream, const HostileChunk& chunk)
{
    return stream << chunk.name;
}

const HostileChunk hostileChunks[] = {
    {"DeeplyNestedElements", repeated("<pushState low_contour=\"1\">", 200000)},
    {"DeeplyNestedInsideAValidState", "<pushState low_contour=\"1\" process=\"1\" output_g=\"1\">" +
                                          repeated("<a>", 200000) + repeated("</a>", 200000) + "</pushState>"},
    {"SelfReferencingEntity", R"(<!DOCTYPE s [<!ENTITY x "&x;">]><pushState low_contour="&x;" output_g="1"/>)"},
    {"MutuallyReferencingEntities",
     R"(<!DOCTYPE s [<!ENTITY x "&y;"><!ENTITY y "&x;">]><pushState low_contour="&x;" output_g="1"/>)"},
    {"EntityExpandingToItsOwnElement",
     R"(<!DOCTYPE s [<!ENTITY x "<b>&x;</b>">]><pushState low_contour="1" output_g="1">&x;</pushState>)"},
    {"ExponentialEntityExpansion", entityExpansion()},
    {"ExternalDocumentType", R"(<!DOCTYPE s SYSTEM "/etc/passwd"><pushState low_contour="&x;" output_g="1"/>)"},
    {"NestingBehindQuotedSlashes", repeated(R"(<pushState low_contour="/>">)", 100000)},
    {"NestingInsideAnEntityName", "<pushState low_contour=\"1\">&" + repeated("<a>", 100000) + ";</pushState>"},
    {"OpenNumericReferenceAtTheEnd", R"(<pushState low_contour="1" output_g="1">&#x31)"},
    {"OpenNumericReferenceInsideAnEntityName", R"(<pushState low_contour="1" output_g="1">&<a>&#x31;</pushState>)"},
    {"ProcessingInstructionBeforeText", R"(<pushState low_contour="1" output_g="1"><?x?>text</pushState>)"},
    // Work that grew with the square of the count: 320 000 references took
    // seconds, 640 000 distinct attribute names over a minute.
    {"EntityReferencesByTheHundredThousand", withReferences(320000)},
    {"AttributeNamesByTheHundredThousand", withExtraAttributes(640000)},
    {"JustTooLong", paddedTo(64 * 1024 + 1)},
    {"JustTooManyEntityReferences", withReferences(1025)},
    {"JustTooManyAttributes", withExtraAttributes(1022)},
};

class HostileStateChunk : public ::testing::TestWithParam<HostileChunk>
{
};

TEST_P(HostileStateChunk, IsIgnoredAndThePluginKeepsWorking)
{
    AEffect* effect = varnoke::test::createPlugin();
    ASSERT_NE(nullptr, effect);
    dispatch(effect, Op::open);
    effect->setParameter(effect, 0, 0.25f);
    effect->setParameter(effect, 1, 0.5f);
    effect->setParameter(effect, 2, 0.75f);

    auto chunk = stateChunkWithText(GetParam().text);
    dispatch(effect, Op::setChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());

    EXPECT_EQ(0.25f, effect->getParameter(effect, 0));
    EXPECT_EQ(0.5f, effect->getParameter(effect, 1));
    EXPECT_EQ(0.75f, effect->getParameter(effect, 2));

    // A well-formed state still restores afterwards.
    auto good = stateChunkWithText(R"(<pushState low_contour="1" process="0" output_g="0.5"/>)");
    dispatch(effect, Op::setChunk, 0, static_cast<VstIntPtr>(good.size()), good.data());
    EXPECT_EQ(1.0f, effect->getParameter(effect, 0));
    dispatch(effect, Op::close);
}

// Right at the reader's limits a state still restores: the limits are far
// above any state a host hands back.
TEST(StateChunkLimits, StatesAtTheLimitsStillRestore)
{
    for (const std::string& text : {paddedTo(64 * 1024), withReferences(1024), withExtraAttributes(1021)})
    {
        AEffect* effect = varnoke::test::createPlugin();
        ASSERT_NE(nullptr, effect);
        auto chunk = stateChunkWithText(text);
        dispatch(effect, Op::setChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
        for (int index = 0; index < 3; ++index)
            EXPECT_EQ(1.0f, effect->getParameter(effect, index)) << text.size() << " bytes, parameter " << index;
        dispatch(effect, Op::close);
    }
}

// Another plug-in's state, nested a few levels, is still read as before.
TEST(NestedStateChunk, ModeratelyNestedStateStillRestores)
{
    AEffect* effect = varnoke::test::createPlugin();
    ASSERT_NE(nullptr, effect);
    auto chunk = stateChunkWithText("<state low_contour=\"0.5\" process=\"0.25\" output_g=\"1\">" +
                                    repeated("<a x='>'>", 100) + repeated("</a>", 100) + "<b/><!-- c --></state>");
    dispatch(effect, Op::setChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
    EXPECT_EQ(0.5f, effect->getParameter(effect, 0));
    EXPECT_EQ(0.25f, effect->getParameter(effect, 1));
    EXPECT_EQ(1.0f, effect->getParameter(effect, 2));
    dispatch(effect, Op::close);
}

INSTANTIATE_TEST_SUITE_P(SavedStates, HostileStateChunk, ::testing::ValuesIn(hostileChunks),
                         [](const auto& info) { return std::string(info.param.name); });
}  // namespace

namespace
{
// A program name that is not UTF-8 made JUCE's decoding write past the string
// it built (found by the host-call fuzzer); such a name is ignored.
TEST(ProgramName, NotUtf8IsIgnored)
{
    AEffect* effect = varnoke::test::createPlugin();
    ASSERT_NE(nullptr, effect);
    for (const char* name : {"\xff", "abc\xf4", "\xe2\x82", "\xc0\x80", "Preset"})
    {
        std::string copy(name);
        dispatch(effect, Op::setProgramName, 0, 0, copy.data());
        char readBack[24] = "x";
        dispatch(effect, Op::getProgramName, 0, 0, readBack);
        EXPECT_STREQ("", readBack);
    }
    dispatch(effect, Op::close);
}
}  // namespace
