// Varnoke.vst3 loaded through JUCE's own VST3 hosting, as a VST3 host loads it,
// compared with the VST 2.4 plug-in: identity, buses, parameters, sound, state
// and the editor.

#include "FormatTestSupport.h"
#include "ProductIdentity.h"
#include "RgbImage.h"
#include "X11HostWindow.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <pluginterfaces/base/ipluginbase.h>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>

namespace varnoke::test
{
namespace
{
const juce::String bundlePath = VARNOKE_VST3_BUNDLE;

std::string hexOf(const char* bytes, std::size_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < size; ++i)
    {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

std::vector<unsigned char> bytesOf(const juce::MemoryBlock& block)
{
    const auto* data = static_cast<const unsigned char*>(block.getData());
    return {data, data + block.getSize()};
}

class Vst3PluginTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        format.findAllTypesForFile(types, bundlePath);
        ASSERT_EQ(1, types.size()) << "no plug-in found in " << bundlePath;
    }

    std::unique_ptr<juce::AudioPluginInstance> createInstance(double sampleRate = 48000.0, int blockSize = 512)
    {
        juce::String error;
        auto instance = format.createInstanceFromDescription(*types[0], sampleRate, blockSize, error);
        EXPECT_NE(nullptr, instance) << error;
        return instance;
    }

    static void setKnobs(juce::AudioPluginInstance& instance, const KnobSettings& knobs)
    {
        auto parameters = instance.getParameters();
        parameters[0]->setValue(knobs.lowContour);
        parameters[1]->setValue(knobs.process);
        parameters[2]->setValue(knobs.output);
    }

    static StereoSignal render(juce::AudioPluginInstance& instance, const StereoSignal& input, double sampleRate,
                               int blockSize)
    {
        instance.prepareToPlay(sampleRate, blockSize);
        StereoSignal output{input.left, input.right};
        juce::MidiBuffer midi;
        forEachBlock(input.left.size(), blockSize,
                     [&](std::size_t start, int frames)
                     {
                         float* channels[] = {output.left.data() + start, output.right.data() + start};
                         juce::AudioBuffer<float> buffer(channels, 2, frames);
                         instance.processBlock(buffer, midi);
                     });
        instance.releaseResources();
        return output;
    }

    // The plug-in's own component state, as the host stores it in a project.
    static std::vector<unsigned char> componentState(juce::AudioPluginInstance& instance)
    {
        juce::MemoryBlock state;
        instance.getStateInformation(state);
        const auto xml = juce::AudioProcessor::getXmlFromBinary(state.getData(), static_cast<int>(state.getSize()));
        if (xml == nullptr || xml->getChildByName("IComponent") == nullptr)
            return {};
        juce::MemoryBlock component;
        component.fromBase64Encoding(xml->getChildByName("IComponent")->getAllSubText());
        return bytesOf(component);
    }

    // Hands the plug-in component state as a host restoring a project does.
    static void restoreComponentState(juce::AudioPluginInstance& instance, const std::vector<unsigned char>& bytes)
    {
        juce::XmlElement xml("VST3PluginState");
        xml.createNewChildElement("IComponent")
            ->addTextElement(juce::MemoryBlock(bytes.data(), bytes.size()).toBase64Encoding());
        juce::MemoryBlock state;
        juce::AudioProcessor::copyXmlToBinary(xml, state);
        instance.setStateInformation(state.getData(), static_cast<int>(state.getSize()));
    }

    static KnobSettings knobsOf(juce::AudioPluginInstance& instance)
    {
        auto parameters = instance.getParameters();
        return {parameters[0]->getValue(), parameters[1]->getValue(), parameters[2]->getValue()};
    }

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    Vst2Reference vst2;
};

TEST_F(Vst3PluginTest, ScanShowsVarnokeByOstrelundAsAStereoEffect)
{
    const auto& description = *types[0];
    EXPECT_EQ("Varnoke", description.name.toStdString());
    EXPECT_EQ("Ostrelund", description.manufacturerName.toStdString());
    EXPECT_EQ("1.0.0", description.version.toStdString());
    EXPECT_EQ("Fx", description.category.toStdString());
    EXPECT_EQ("VST3", description.pluginFormatName.toStdString());
    EXPECT_FALSE(description.isInstrument);
    EXPECT_EQ(2, description.numInputChannels);
    EXPECT_EQ(2, description.numOutputChannels);
}

// Hosts store projects under the class ID: it is Varnoke's own and never the
// one JUCE would derive from the VST 2 ID.
TEST_F(Vst3PluginTest, TheFactoryAnnouncesTheFixedClassIds)
{
    const auto library =
        std::filesystem::path(VARNOKE_VST3_BUNDLE) / "Contents" / VARNOKE_VST3_ARCHITECTURE / "Varnoke.so";
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, handle) << dlerror();
    auto moduleEntry = reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry"));
    auto moduleExit = reinterpret_cast<bool (*)()>(dlsym(handle, "ModuleExit"));
    auto getFactory = reinterpret_cast<Steinberg::IPluginFactory* (*)()>(dlsym(handle, "GetPluginFactory"));
    ASSERT_TRUE(moduleEntry != nullptr && moduleExit != nullptr && getFactory != nullptr);
    ASSERT_TRUE(moduleEntry(handle));

    auto* factory = getFactory();
    ASSERT_NE(nullptr, factory);
    Steinberg::PFactoryInfo factoryInfo;
    ASSERT_EQ(Steinberg::kResultOk, factory->getFactoryInfo(&factoryInfo));
    EXPECT_STREQ("Ostrelund", factoryInfo.vendor);

    std::map<std::string, std::string> classes;
    for (Steinberg::int32 i = 0; i < factory->countClasses(); ++i)
    {
        Steinberg::PClassInfo info;
        ASSERT_EQ(Steinberg::kResultOk, factory->getClassInfo(i, &info));
        EXPECT_STREQ("Varnoke", info.name);
        classes[info.category] = hexOf(info.cid, sizeof(info.cid));
    }
    EXPECT_EQ((std::map<std::string, std::string>{{"Audio Module Class", product::vst3ComponentClassId},
                                                  {"Component Controller Class", product::vst3ControllerClassId}}),
              classes);
    factory->release();
    moduleExit();
    dlclose(handle);
}

TEST_F(Vst3PluginTest, AcceptsStereoAndMonoOnlyTheSameOnBothSides)
{
    auto instance = createInstance();
    ASSERT_NE(nullptr, instance);
    const auto layout = [](juce::AudioChannelSet in, juce::AudioChannelSet out)
    {
        juce::AudioProcessor::BusesLayout buses;
        buses.inputBuses.add(in);
        buses.outputBuses.add(out);
        return buses;
    };
    using Set = juce::AudioChannelSet;
    EXPECT_TRUE(instance->checkBusesLayoutSupported(layout(Set::stereo(), Set::stereo())));
    EXPECT_TRUE(instance->checkBusesLayoutSupported(layout(Set::mono(), Set::mono())));
    EXPECT_FALSE(instance->checkBusesLayoutSupported(layout(Set::mono(), Set::stereo())));
    EXPECT_FALSE(instance->checkBusesLayoutSupported(layout(Set::stereo(), Set::mono())));
    EXPECT_FALSE(instance->checkBusesLayoutSupported(layout(Set::create5point1(), Set::create5point1())));
    EXPECT_FALSE(instance->acceptsMidi());
    EXPECT_FALSE(instance->producesMidi());
    EXPECT_EQ(0, instance->getLatencySamples());
    EXPECT_EQ(0.0, instance->getTailLengthSeconds());
}

// The three knobs, and JUCE's bypass switch, which VST3 hosts expect of every
// effect; the two hidden values stay hidden.
TEST_F(Vst3PluginTest, ShowsTheThreeKnobsWithTheirDefaults)
{
    auto instance = createInstance();
    ASSERT_NE(nullptr, instance);
    std::vector<std::string> shown;
    for (auto* parameter : instance->getParameters())
        shown.push_back(parameter->getName(64).toStdString() + " default " +
                        std::to_string(parameter->getDefaultValue()) + " now " + std::to_string(parameter->getValue()) +
                        (parameter->isAutomatable() ? " automatable" : ""));
    EXPECT_EQ((std::vector<std::string>{
                  "Low Contour default 0.000000 now 0.000000 automatable",
                  "Process default 0.000000 now 0.000000 automatable",
                  "Output default 0.500000 now 0.500000 automatable",
                  "Bypass default 0.000000 now 0.000000 automatable",
                  "Factory Presets default 0.000000 now 0.000000 automatable",
              }),
              shown);
}

// JUCE's hosting lists the factory presets as the plug-in's programs; choosing
// one moves the three knobs to its positions.
TEST_F(Vst3PluginTest, ListsTheFactoryPresetsAsProgramsAndSelectsThem)
{
    auto instance = createInstance();
    ASSERT_NE(nullptr, instance);
    const std::vector<std::string> names = {"Flat", "Warm low end", "Presence", "Bright", "Smile", "Loudness"};
    ASSERT_EQ(static_cast<int>(names.size()), instance->getNumPrograms());
    for (int program = 0; program < instance->getNumPrograms(); ++program)
        EXPECT_EQ(names[static_cast<std::size_t>(program)], instance->getProgramName(program).toStdString());

    instance->setCurrentProgram(3);  // Bright
    juce::MessageManager::getInstance()->runDispatchLoopUntil(50);
    const auto& parameters = instance->getParameters();
    ASSERT_GE(parameters.size(), 3);
    EXPECT_EQ(0.0f, parameters[0]->getValue());
    EXPECT_EQ(0.4f, parameters[1]->getValue());
    EXPECT_EQ(0.25f, parameters[2]->getValue());
}

TEST_F(Vst3PluginTest, SoundsLikeTheVst2PluginAtEverySettingAndRate)
{
    const auto input = noiseSignal(6000, 21);
    for (const double sampleRate : {44100.0, 96000.0})
        for (const auto& knobs : knobSettingsToCompare())
        {
            SCOPED_TRACE(::testing::PrintToString(knobs) + " at " + std::to_string(sampleRate));
            auto instance = createInstance(sampleRate, 128);
            ASSERT_NE(nullptr, instance);
            setKnobs(*instance, knobs);
            EXPECT_TRUE(
                sameBits(vst2.render(knobs, input, sampleRate, 512), render(*instance, input, sampleRate, 128)));
        }
}

// The component state is the VST 2 chunk, followed only by the record of
// JUCE's bypass switch; either plug-in restores what the other saved.
TEST_F(Vst3PluginTest, StateIsTheVst2ChunkAndCrossesFormats)
{
    for (const auto& knobs : knobSettingsToCompare())
    {
        SCOPED_TRACE(::testing::PrintToString(knobs));
        auto saving = createInstance();
        ASSERT_NE(nullptr, saving);
        setKnobs(*saving, knobs);
        const auto state = componentState(*saving);
        const auto chunk = vst2.chunkFor(knobs);
        ASSERT_GE(state.size(), chunk.size());
        EXPECT_EQ(chunk,
                  std::vector<unsigned char>(state.begin(), state.begin() + static_cast<std::ptrdiff_t>(chunk.size())));
        const std::string trailer(state.begin() + static_cast<std::ptrdiff_t>(chunk.size()), state.end());
        EXPECT_EQ("JUCEPrivateData", trailer.substr(trailer.size() - 15));

        const auto restoredInVst2 = vst2.settingsAfterRestoring(
            std::vector<unsigned char>(state.begin(), state.begin() + static_cast<std::ptrdiff_t>(chunk.size())));
        EXPECT_EQ(bitsOf(knobs.process), bitsOf(restoredInVst2.process));

        // A VST 2 chunk as the component state of a fresh instance.
        auto loading = createInstance();
        ASSERT_NE(nullptr, loading);
        restoreComponentState(*loading, chunk);
        const auto loaded = knobsOf(*loading);
        EXPECT_EQ(bitsOf(knobs.lowContour), bitsOf(loaded.lowContour));
        EXPECT_EQ(bitsOf(knobs.process), bitsOf(loaded.process));
        EXPECT_EQ(bitsOf(knobs.output), bitsOf(loaded.output));
        const auto input = noiseSignal(2048, 4);
        EXPECT_TRUE(sameBits(vst2.render(knobs, input, 48000.0, 512), render(*loading, input, 48000.0, 512)));
        EXPECT_EQ(state, componentState(*loading));
    }
}

TEST_F(Vst3PluginTest, UnusableStateChangesNothing)
{
    const KnobSettings knobs{0.25f, 0.75f, 0.6f};
    const auto chunk = vst2.chunkFor(knobs);
    auto truncated = chunk;
    truncated.resize(chunk.size() / 2);
    auto wrongMagic = chunk;
    wrongMagic[0] ^= 0xff;
    const std::vector<std::pair<const char*, std::vector<unsigned char>>> unusable{
        {"nothing", {}},
        {"half a chunk", truncated},
        {"a chunk with another magic", wrongMagic},
        {"text", {'n', 'o', 't', ' ', 'a', ' ', 's', 't', 'a', 't', 'e'}},
    };
    for (const auto& [what, bytes] : unusable)
    {
        SCOPED_TRACE(what);
        auto instance = createInstance();
        ASSERT_NE(nullptr, instance);
        restoreComponentState(*instance, chunk);
        const auto before = componentState(*instance);
        restoreComponentState(*instance, bytes);
        EXPECT_EQ(before, componentState(*instance));
        const auto after = knobsOf(*instance);
        EXPECT_EQ(bitsOf(knobs.process), bitsOf(after.process));
    }
}

TEST_F(Vst3PluginTest, CreatingAndDestroyingInstancesKeepsMemoryFlat)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine; its leak checker covers this build";
#endif
    const auto cycle = [this]
    {
        auto instance = createInstance();
        ASSERT_NE(nullptr, instance);
        setKnobs(*instance, {0.5f, 0.5f, 0.5f});
        render(*instance, noiseSignal(512, 2), 48000.0, 512);
    };
    for (int i = 0; i < 10; ++i)
        cycle();
    const long settled = residentKilobytes();
    for (int i = 0; i < 60; ++i)
        cycle();
    EXPECT_LT(residentKilobytes() - settled, 2048) << "kilobytes after 60 more instances";
}
}  // namespace
}  // namespace varnoke::test
