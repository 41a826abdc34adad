// Varnoke.vst3's saved state as hosts store and restore it through their
// streams: the VST 2 chunk plus release 1.0.0's record of the bypass switch,
// states saved by 1.0.0, streams that give a few bytes per read, and hostile
// states that once crashed, hung or exhausted memory.

#include "FormatTestSupport.h"
#include "Vst3Host.h"

#include <climits>
#include <cstdint>

namespace varnoke::test::vst3
{
namespace
{
using namespace released_ids;
using Bytes = std::vector<unsigned char>;

// The component state release 1.0.0 saved for a fresh instance (read off its build).
const char* const release100DefaultState =
    "56433221370000003c707573685374617465206c6f775f636f6e746f75723d2230222070726f"
    "636573733d223022206f75747075745f673d22302e35222f3e000000000000000000"
    "4a554345507269766174654461746100010142797061737300010103001d00000000"
    "0000004a5543455072697661746544617461";

Bytes fromHex(const std::string& hex)
{
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

Bytes text(const std::string& value)
{
    return {value.begin(), value.end()};
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes littleEndian64(std::uint64_t value)
{
    Bytes bytes;
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    return bytes;
}

// A chunk followed by a bypass record of JUCE's layout with the given record bytes.
Bytes withRecord(const Bytes& chunk, const Bytes& record, std::uint64_t claimedSize)
{
    return chunk + Bytes(8, 0) + record + littleEndian64(claimedSize) + text("JUCEPrivateData");
}

Bytes bypassRecord(bool on)
{
    return text("JUCEPrivateData") + Bytes{0, 1, 1} + text("Bypass") +
           Bytes{0, 1, 1, static_cast<unsigned char>(on ? 2 : 3), 0};
}

class Vst3StateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        module = Module::load(builtBundleLibrary(), whyNot);
        ASSERT_NE(nullptr, module) << whyNot;
    }

    std::unique_ptr<Instance> instanceWith(const KnobSettings& knobs, bool bypassed = false)
    {
        auto instance = std::make_unique<Instance>(*module);
        EXPECT_TRUE(instance->isComplete());
        if (!instance->isComplete() || !instance->start(48000.0, 512))
            return nullptr;
        instance->setParameters({{lowContour, knobs.lowContour},
                                 {process, knobs.process},
                                 {output, knobs.output},
                                 {bypass, bypassed ? 1.0 : 0.0}});
        return instance;
    }

    static ::testing::AssertionResult savesKnobs(Instance& instance, const Bytes& chunk)
    {
        const auto state = instance.componentState();
        if (state.size() < chunk.size() || !std::equal(chunk.begin(), chunk.end(), state.begin()))
            return ::testing::AssertionFailure() << "the saved state does not begin with the chunk";
        return ::testing::AssertionSuccess();
    }

    std::unique_ptr<Module> module;
    Vst2Reference vst2;
};

TEST_F(Vst3StateTest, SavesTheVst2ChunkAndTheBypassRecordOfRelease100)
{
    for (const bool bypassed : {false, true})
        for (const auto& knobs : knobSettingsToCompare())
        {
            SCOPED_TRACE(::testing::PrintToString(knobs) + (bypassed ? " bypassed" : ""));
            auto instance = instanceWith(knobs, bypassed);
            ASSERT_NE(nullptr, instance);
            const auto chunk = vst2.chunkFor(knobs);
            EXPECT_EQ(withRecord(chunk, bypassRecord(bypassed), 29), instance->componentState());
        }
    auto fresh = instanceWith({0.0f, 0.0f, 0.5f});
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(fromHex(release100DefaultState), fresh->componentState());
}

TEST_F(Vst3StateTest, RestoresStatesOfRelease100AndBareChunks)
{
    const KnobSettings knobs{0.25f, 0.75f, 0.6f};
    const auto chunk = vst2.chunkFor(knobs);
    const auto input = noiseSignal(2048, 4);
    const auto expected = vst2.render(knobs, input, 48000.0, 512);
    for (const auto& [what, state] : std::vector<std::pair<const char*, Bytes>>{
             {"1.0.0's state", withRecord(chunk, bypassRecord(false), 29)},
             {"a bare VST 2 chunk", chunk},
         })
    {
        SCOPED_TRACE(what);
        auto instance = instanceWith({0.9f, 0.9f, 0.9f}, true);
        ASSERT_NE(nullptr, instance);
        instance->setParameters({{bypass, 0.0}});
        EXPECT_EQ(kResultOk, instance->restoreState(state));
        EXPECT_TRUE(sameBits(expected, instance->render(input, 512)));
        EXPECT_TRUE(savesKnobs(*instance, chunk));
    }

    // The bypass switch comes back with the state.
    auto instance = instanceWith(knobs);
    ASSERT_NE(nullptr, instance);
    ASSERT_EQ(kResultOk, instance->restoreState(withRecord(chunk, bypassRecord(true), 29)));
    EXPECT_TRUE(sameBits(input, instance->render(input, 512)));
}

// Release 1.0.0 returned kResultOk and restored nothing from a stream that
// announces its size (ISizeableStream) and gives at most 64 bytes per read.
TEST_F(Vst3StateTest, StreamsThatGiveAFewBytesPerReadRestoreEverything)
{
    const KnobSettings knobs{0.125f, 0.5f, 0.75f};
    auto saving = instanceWith(knobs, true);
    ASSERT_NE(nullptr, saving);
    const auto state = saving->componentState();
    for (const bool sizeable : {false, true})
        for (const int32 perRead : {64, 7, 1})
        {
            SCOPED_TRACE(std::to_string(perRead) + (sizeable ? " sizeable" : ""));
            auto loading = instanceWith({0.0f, 0.0f, 0.5f});
            ASSERT_NE(nullptr, loading);
            EXPECT_EQ(kResultOk, loading->restoreState(state, perRead, sizeable));
            EXPECT_EQ(state, loading->componentState());

            MemoryStream stream(state, perRead, sizeable);
            EXPECT_EQ(kResultOk, loading->controller().setComponentState(&stream));
            EXPECT_EQ(static_cast<double>(knobs.process), loading->controller().getParamNormalized(process));
            EXPECT_EQ(1.0, loading->controller().getParamNormalized(bypass));
        }
}

// Each of these crashed release 1.0.0, blocked setState for minutes or took
// gigabytes. A state whose chunk is intact restores its knobs whatever
// follows it; one with no usable chunk changes nothing and says so.
TEST_F(Vst3StateTest, HostileStatesAreReadWithinTheirBounds)
{
    const KnobSettings knobs{0.25f, 0.75f, 0.6f};
    const auto chunk = vst2.chunkFor(knobs);
    const auto intact = withRecord(chunk, bypassRecord(true), 29);

    auto flipped = intact;
    flipped[intact.size() - 15 - 8 + 5] ^= 0x10;  // one bit of the record size
    const Bytes maxInt{4, 0xff, 0xff, 0xff, 0x7f};
    const auto manyProperties = text("JUCEPrivateData") + Bytes{0} + maxInt + text("Bypass") + Bytes{0, 1, 2};
    const auto hugeArray = text("JUCEPrivateData") + Bytes{0, 1, 1} + text("Bypass") + Bytes{0, 2, 0xff, 7} + maxInt;
    Bytes deepNesting = text("JUCEPrivateData") + Bytes{0, 0, 1, 1};
    const Bytes oneLevelDeeper = text("n") + Bytes{0, 0, 1, 1};
    for (int depth = 0; depth < 100000; ++depth)
        deepNesting.insert(deepNesting.end(), oneLevelDeeper.begin(), oneLevelDeeper.end());

    const struct
    {
        const char* what;
        Bytes state;
        tresult result;
    } cases[] = {
        {"a flipped bit in the record size", flipped, kResultOk},
        {"a record size of 2^20", withRecord(chunk, bypassRecord(true), 1u << 20), kResultOk},
        {"a record size of 2^64-1", withRecord(chunk, bypassRecord(true), ~std::uint64_t{0}), kResultOk},
        {"INT_MAX properties", withRecord(chunk, manyProperties, manyProperties.size()), kResultOk},
        {"an array of INT_MAX elements", withRecord(chunk, hugeArray, hugeArray.size()), kResultOk},
        {"100000 nested trees", withRecord(chunk, deepNesting, deepNesting.size()), kResultOk},
        {"nothing", {}, kResultFalse},
        {"a record without a chunk", withRecord({}, bypassRecord(true), 29), kResultFalse},
        {"text", text("not a state"), kResultFalse},
        {"2 MiB of zeros", Bytes(2u << 20, 0), kResultFalse},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        auto instance = instanceWith({0.5f, 0.5f, 0.5f});
        ASSERT_NE(nullptr, instance);
        const auto before = instance->componentState();
        EXPECT_EQ(c.result, instance->restoreState(c.state));
        MemoryStream stream(c.state);
        EXPECT_EQ(c.result, instance->controller().setComponentState(&stream));
        if (c.result == kResultOk)
            EXPECT_TRUE(savesKnobs(*instance, chunk));
        else
            EXPECT_EQ(before, instance->componentState());
    }
}

// A value a host sets on the controller while it is not processing reaches
// the saved state (release 1.0.0 had one processor for both halves).
TEST_F(Vst3StateTest, ValuesSetOnTheControllerReachTheStateWithoutProcessing)
{
    Instance instance(*module);
    ASSERT_TRUE(instance.isComplete());
    const KnobSettings knobs{0.375f, 0.625f, 0.875f};
    instance.controller().setParamNormalized(lowContour, knobs.lowContour);
    instance.controller().setParamNormalized(process, knobs.process);
    instance.controller().setParamNormalized(output, knobs.output);
    EXPECT_TRUE(savesKnobs(instance, vst2.chunkFor(knobs)));
}
}  // namespace
}  // namespace varnoke::test::vst3
