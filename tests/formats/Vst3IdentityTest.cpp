// What Varnoke.vst3 tells a VST3 host about itself, through the interfaces
// alone: the factory and its two classes, the parameters, the buses and the
// parameter texts. Saved projects and their automation refer to the class IDs
// and parameter IDs of release 1.0.0 (read off its build): they are pinned here.

#include "ProductIdentity.h"
#include "Vst3Host.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace varnoke::test::vst3
{
namespace
{
std::string hexOf(const char* bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < sizeof(TUID); ++i)
    {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

class Vst3IdentityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        module = Module::load(builtBundleLibrary(), whyNot);
        ASSERT_NE(nullptr, module) << whyNot;
        factory3 = FUnknownPtr<IPluginFactory3>(&module->factory());
        ASSERT_TRUE(factory3);
    }

    std::unique_ptr<Module> module;
    IPtr<IPluginFactory3> factory3;
};

TEST_F(Vst3IdentityTest, FactoryAnnouncesTheClassesOfRelease100)
{
    PFactoryInfo factoryInfo;
    ASSERT_EQ(kResultOk, factory3->getFactoryInfo(&factoryInfo));
    EXPECT_STREQ("Ostrelund", factoryInfo.vendor);
    EXPECT_EQ(PFactoryInfo::kUnicode, factoryInfo.flags);

    ASSERT_EQ(2, factory3->countClasses());
    const struct
    {
        const char* classId;
        const char* category;
    } expected[] = {{"ABCDEF019182FAEB4F73747256726E6B", kVstAudioEffectClass},
                    {"ABCDEF011234ABCD4F73747256726E6B", kVstComponentControllerClass}};
    for (int32 i = 0; i < 2; ++i)
    {
        SCOPED_TRACE(i);
        PClassInfo2 info;
        ASSERT_EQ(kResultOk, factory3->getClassInfo2(i, &info));
        EXPECT_EQ(expected[i].classId, hexOf(info.cid));
        EXPECT_STREQ(expected[i].category, info.category);
        EXPECT_STREQ("Varnoke", info.name);
        EXPECT_STREQ("Fx", info.subCategories);
        EXPECT_STREQ("Ostrelund", info.vendor);
        EXPECT_STREQ("1.0.0", info.version);
        EXPECT_EQ(PClassInfo::kManyInstances, info.cardinality);

        PClassInfoW unicode;
        ASSERT_EQ(kResultOk, factory3->getClassInfoUnicode(i, &unicode));
        EXPECT_EQ(expected[i].classId, hexOf(unicode.cid));
        EXPECT_EQ("Varnoke", toUtf8(reinterpret_cast<const Vst::TChar*>(unicode.name)));
    }
    EXPECT_EQ(product::vst3ComponentClassId, std::string(expected[0].classId));
    EXPECT_EQ(product::vst3ControllerClassId, std::string(expected[1].classId));
}

// Release 1.0.0 crashed on these indices.
TEST_F(Vst3IdentityTest, FactoryRefusesIndicesItHasNoClassFor)
{
    for (const int32 index : {-1, 2, 3, INT_MIN, INT_MAX})
    {
        SCOPED_TRACE(index);
        PClassInfo info;
        PClassInfo2 info2;
        PClassInfoW infoW;
        EXPECT_EQ(kInvalidArgument, factory3->getClassInfo(index, &info));
        EXPECT_EQ(kInvalidArgument, factory3->getClassInfo2(index, &info2));
        EXPECT_EQ(kInvalidArgument, factory3->getClassInfoUnicode(index, &infoW));
    }
    EXPECT_EQ(kInvalidArgument, factory3->getClassInfo(0, nullptr));
    EXPECT_EQ(kInvalidArgument, factory3->getFactoryInfo(nullptr));

    void* object = reinterpret_cast<void*>(1);
    const TUID unknownClass = {};
    EXPECT_NE(kResultOk, factory3->createInstance(unknownClass, Vst::IComponent::iid, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_NE(kResultOk, factory3->createInstance(nullptr, Vst::IComponent::iid, &object));
    const auto componentId = module->classIdOf(kVstAudioEffectClass);
    EXPECT_NE(kResultOk, factory3->createInstance(componentId.data(), nullptr, &object));
    EXPECT_NE(kResultOk, factory3->createInstance(componentId.data(), Vst::IComponent::iid, nullptr));
    // The component is no controller.
    EXPECT_EQ(kNoInterface, factory3->createInstance(componentId.data(), Vst::IEditController::iid, &object));
    EXPECT_EQ(nullptr, object);
}

TEST_F(Vst3IdentityTest, ParametersKeepTheIdsOfRelease100)
{
    Instance instance(*module);
    ASSERT_TRUE(instance.isComplete());
    auto& controller = instance.controller();
    const struct
    {
        Vst::ParamID id;
        const char* title;
        const char* shortTitle;
        double defaultValue;
        int32 stepCount;
        int32 flags;
    } expected[] = {
        {1044621542u, "Low Contour", "Low Cont", 0.0, 0, Vst::ParameterInfo::kCanAutomate},
        {1837964911u, "Process", "Process", 0.0, 0, Vst::ParameterInfo::kCanAutomate},
        {1141971201u, "Output", "Output", 0.5, 0, Vst::ParameterInfo::kCanAutomate},
        {1652125811u, "Bypass", "Bypass", 0.0, 1, Vst::ParameterInfo::kCanAutomate | Vst::ParameterInfo::kIsBypass},
        // The factory presets' program change, after the parameters of release 1.0.0.
        {0x5072676du, "Factory Presets", "Presets", 0.0, 5,
         Vst::ParameterInfo::kCanAutomate | Vst::ParameterInfo::kIsList | Vst::ParameterInfo::kIsProgramChange},
    };
    ASSERT_EQ(5, controller.getParameterCount());
    for (int32 i = 0; i < 5; ++i)
    {
        SCOPED_TRACE(i);
        Vst::ParameterInfo info;
        ASSERT_EQ(kResultOk, controller.getParameterInfo(i, info));
        EXPECT_EQ(expected[i].id, info.id);
        EXPECT_EQ(expected[i].title, toUtf8(info.title));
        EXPECT_EQ(expected[i].shortTitle, toUtf8(info.shortTitle));
        EXPECT_EQ(expected[i].defaultValue, info.defaultNormalizedValue);
        EXPECT_EQ(expected[i].stepCount, info.stepCount);
        EXPECT_EQ(expected[i].flags, info.flags);
        EXPECT_EQ(expected[i].defaultValue, controller.getParamNormalized(info.id));
    }
    Vst::ParameterInfo info;
    for (const int32 index : {-1, 5, INT_MIN})
        EXPECT_NE(kResultOk, controller.getParameterInfo(index, info)) << index;
}

TEST_F(Vst3IdentityTest, StereoOrMonoOnBothSidesAsInRelease100)
{
    Instance instance(*module);
    ASSERT_TRUE(instance.isComplete());
    auto& component = instance.component();
    auto& processor = instance.processor();
    ASSERT_EQ(1, component.getBusCount(Vst::kAudio, Vst::kInput));
    ASSERT_EQ(1, component.getBusCount(Vst::kAudio, Vst::kOutput));
    EXPECT_EQ(0, component.getBusCount(Vst::kEvent, Vst::kInput));
    Vst::BusInfo bus;
    ASSERT_EQ(kResultOk, component.getBusInfo(Vst::kAudio, Vst::kInput, 0, bus));
    EXPECT_EQ("Input", toUtf8(bus.name));
    EXPECT_EQ(2, bus.channelCount);
    EXPECT_EQ(Vst::kMain, bus.busType);
    EXPECT_EQ(static_cast<uint32>(Vst::BusInfo::kDefaultActive), bus.flags);
    ASSERT_EQ(kResultOk, component.getBusInfo(Vst::kAudio, Vst::kOutput, 0, bus));
    EXPECT_EQ("Output", toUtf8(bus.name));
    EXPECT_NE(kResultOk, component.getBusInfo(Vst::kAudio, Vst::kOutput, 1, bus));
    EXPECT_NE(kResultOk, component.getBusInfo(Vst::kAudio, Vst::kOutput, -1, bus));

    using namespace Vst::SpeakerArr;
    const struct
    {
        Vst::SpeakerArrangement in, out;
        bool accepted;
    } cases[] = {{kStereo, kStereo, true}, {kMono, kMono, true}, {kStereo, kMono, false},
                 {kMono, kStereo, false},  {k51, k51, false},    {kEmpty, kEmpty, false}};
    for (auto [in, out, accepted] : cases)
    {
        SCOPED_TRACE(std::to_string(in) + " " + std::to_string(out));
        EXPECT_EQ(accepted ? kResultTrue : kResultFalse, processor.setBusArrangements(&in, 1, &out, 1));
        if (accepted)
        {
            Vst::SpeakerArrangement now = 0;
            ASSERT_EQ(kResultTrue, processor.getBusArrangement(Vst::kOutput, 0, now));
            EXPECT_EQ(out, now);
        }
    }
    Vst::SpeakerArrangement arrangement = 0;
    EXPECT_NE(kResultTrue, processor.getBusArrangement(Vst::kInput, 1, arrangement));
    EXPECT_EQ(kResultTrue, processor.canProcessSampleSize(Vst::kSample32));
    EXPECT_EQ(kResultFalse, processor.canProcessSampleSize(Vst::kSample64));
    EXPECT_EQ(0u, processor.getLatencySamples());
    EXPECT_EQ(0u, processor.getTailSamples());
}

// Hosts show the values with their units and take typed values back.
TEST_F(Vst3IdentityTest, ParameterTextsCarryTheirUnitsAndParseBack)
{
    Instance instance(*module);
    ASSERT_TRUE(instance.isComplete());
    auto& controller = instance.controller();
    using namespace released_ids;
    const struct
    {
        Vst::ParamID id;
        double value;
        const char* text;
    } cases[] = {
        {output, 0.0, "-inf dB"},  {output, 0.5, "0.0 dB"},     {output, 1.0, "+6.0 dB"},
        {output, 0.25, "-6.0 dB"}, {lowContour, 0.0, "0.0 dB"}, {lowContour, 1.0, "+15.6 dB"},
        {process, 0.2, "+6.0 dB"}, {bypass, 0.0, "Off"},        {bypass, 1.0, "On"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        Vst::String128 text{};
        ASSERT_EQ(kResultOk, controller.getParamStringByValue(c.id, c.value, text));
        EXPECT_EQ(c.text, toUtf8(text));

        Vst::ParamValue parsed = -1.0;
        ASSERT_EQ(kResultOk, controller.getParamValueByString(c.id, text, parsed));
        Vst::String128 again{};
        controller.getParamStringByValue(c.id, parsed, again);
        EXPECT_EQ(c.text, toUtf8(again));
    }
    Vst::String128 garbage{'l', 'o', 'u', 'd'};
    Vst::ParamValue parsed = 0.0;
    EXPECT_NE(kResultOk, controller.getParamValueByString(output, garbage, parsed));
}
}  // namespace
}  // namespace varnoke::test::vst3
