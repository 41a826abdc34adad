// Varnoke.lv2 loaded through lilv as LV2 hosts load it, compared with the VST 2.4
// plug-in: the description hosts read, the sound, the state and the UI.

#include "FormatTestSupport.h"
#include "Lv2Host.h"
#include "Lv2StateText.h"
#include "ProductIdentity.h"

#include <juce_core/juce_core.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

namespace varnoke::test
{
namespace
{
const std::string pluginUri = product::lv2Uri;
const std::string stateKey = pluginUri + ":StateString";

class Lv2PluginTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plugin = host.findPlugin(pluginUri);
        ASSERT_NE(nullptr, plugin) << "no " << pluginUri << " next to " << VARNOKE_LV2_BUNDLE;
    }

    std::unique_ptr<Lv2Instance> instantiate(double sampleRate = 48000.0, int maximumBlockLength = 512)
    {
        auto instance = std::make_unique<Lv2Instance>(host, plugin, sampleRate, maximumBlockLength);
        EXPECT_TRUE(instance->isValid());
        return instance->isValid() ? std::move(instance) : nullptr;
    }

    static void setKnobs(Lv2Instance& instance, const KnobSettings& knobs)
    {
        instance.setControl("lowContour", knobs.lowContour);
        instance.setControl("process", knobs.process);
        instance.setControl("output", knobs.output);
    }

    std::string nodeText(const LilvNode* subject, const char* predicate)
    {
        LilvWorld* world = host.getWorld();
        LilvNode* property = lilv_new_uri(world, predicate);
        LilvNode* value = lilv_world_get(world, subject, property, nullptr);
        std::string text = value != nullptr ? lilv_node_as_string(value) : "";
        lilv_node_free(value);
        lilv_node_free(property);
        return text;
    }

    Lv2Host host{VARNOKE_LV2_BUNDLE};
    const LilvPlugin* plugin = nullptr;
    Vst2Reference vst2;
};

TEST_F(Lv2PluginTest, DescribesItselfAsVarnokeWithStereoAudioAndThreeParameters)
{
    LilvNode* name = lilv_plugin_get_name(plugin);
    EXPECT_STREQ("Varnoke", lilv_node_as_string(name));
    lilv_node_free(name);
    LilvNode* author = lilv_plugin_get_author_name(plugin);
    ASSERT_NE(nullptr, author);
    EXPECT_STREQ("Ostrelund", lilv_node_as_string(author));
    lilv_node_free(author);
    EXPECT_EQ(nullptr, lilv_plugin_get_author_email(plugin)) << "no address is better than a made-up one";

    LilvWorld* world = host.getWorld();
    LilvNode* audio = lilv_new_uri(world, LV2_CORE__AudioPort);
    LilvNode* input = lilv_new_uri(world, LV2_CORE__InputPort);
    LilvNode* output = lilv_new_uri(world, LV2_CORE__OutputPort);
    EXPECT_EQ(2u, lilv_plugin_get_num_ports_of_class(plugin, audio, input, nullptr));
    EXPECT_EQ(2u, lilv_plugin_get_num_ports_of_class(plugin, audio, output, nullptr));
    lilv_node_free(audio);
    lilv_node_free(input);
    lilv_node_free(output);

    // The knobs are control input ports, by the symbols, names and defaults
    // hosts show; the hidden values are not among them. Nothing but audio and
    // control ports, and no required feature, so every LV2 host can run it.
    LilvNode* control = lilv_new_uri(world, LV2_CORE__ControlPort);
    std::vector<std::string> described;
    const uint32_t count = lilv_plugin_get_num_ports(plugin);
    EXPECT_EQ(7u, count);
    for (uint32_t index = 0; index < count; ++index)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
        if (!lilv_port_is_a(plugin, port, control))
            continue;
        LilvNode *defaultValue = nullptr, *minimum = nullptr, *maximum = nullptr;
        lilv_port_get_range(plugin, port, &defaultValue, &minimum, &maximum);
        LilvNode* portName = lilv_port_get_name(plugin, port);
        described.push_back(std::to_string(index) + " " + lilv_node_as_string(lilv_port_get_symbol(plugin, port)) +
                            " \"" + lilv_node_as_string(portName) + "\" " + lilv_node_as_string(minimum) + ".." +
                            lilv_node_as_string(maximum) + " default " + lilv_node_as_string(defaultValue));
        lilv_node_free(portName);
        lilv_node_free(defaultValue);
        lilv_node_free(minimum);
        lilv_node_free(maximum);
    }
    lilv_node_free(control);
    EXPECT_EQ((std::vector<std::string>{
                  "4 lowContour \"Low Contour\" 0.0..1.0 default 0.0",
                  "5 process \"Process\" 0.0..1.0 default 0.0",
                  "6 output \"Output\" 0.0..1.0 default 0.5",
              }),
              described);
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(0u, lilv_nodes_size(required));
    lilv_nodes_free(required);
}

// The LV2 plug-in runs in blocks of 64 frames, the VST 2 plug-in in blocks of 512.
TEST_F(Lv2PluginTest, SoundsLikeTheVst2PluginAtEverySettingAndRate)
{
    const auto input = noiseSignal(6000, 7);
    for (const double sampleRate : {44100.0, 96000.0})
        for (const auto& knobs : knobSettingsToCompare())
        {
            SCOPED_TRACE(::testing::PrintToString(knobs) + " at " + std::to_string(sampleRate));
            auto instance = instantiate(sampleRate, 64);
            ASSERT_NE(nullptr, instance);
            setKnobs(*instance, knobs);
            EXPECT_TRUE(sameBits(vst2.render(knobs, input, sampleRate, 512), instance->render(input, 64)));
        }
}

TEST_F(Lv2PluginTest, AKnobMovedMidwayAppliesFromTheNextBlock)
{
    const auto input = noiseSignal(4096, 11);
    auto instance = instantiate();
    ASSERT_NE(nullptr, instance);
    const KnobSettings before{0.2f, 0.4f, 0.5f};
    setKnobs(*instance, before);
    auto firstHalf = instance->render(
        {{input.left.begin(), input.left.begin() + 2048}, {input.right.begin(), input.right.begin() + 2048}}, 256);
    instance->setControl("process", 0.9f);
    auto secondHalf = instance->render(
        {{input.left.begin() + 2048, input.left.end()}, {input.right.begin() + 2048, input.right.end()}}, 256);

    auto reference = vst2.instanceWith(before);
    ASSERT_NE(nullptr, reference);
    reference->start(48000.0, 2048);
    StereoSignal expected{input.left, input.right};
    forEachBlock(input.left.size(), 2048,
                 [&](std::size_t start, int frames)
                 {
                     if (start == 2048)
                         reference->setParameter(1, 0.9f);
                     std::vector<float> inLeft(input.left.begin() + static_cast<std::ptrdiff_t>(start),
                                               input.left.begin() + static_cast<std::ptrdiff_t>(start) + frames);
                     std::vector<float> inRight(input.right.begin() + static_cast<std::ptrdiff_t>(start),
                                                input.right.begin() + static_cast<std::ptrdiff_t>(start) + frames);
                     float* inputs[] = {inLeft.data(), inRight.data()};
                     float* outputs[] = {expected.left.data() + start, expected.right.data() + start};
                     reference->process(inputs, outputs, frames);
                 });
    firstHalf.left.insert(firstHalf.left.end(), secondHalf.left.begin(), secondHalf.left.end());
    firstHalf.right.insert(firstHalf.right.end(), secondHalf.right.begin(), secondHalf.right.end());
    EXPECT_TRUE(sameBits(expected, firstHalf));
}

// The state is the VST 2 plug-in's chunk, so a setting saved in one format restores in the other.
TEST_F(Lv2PluginTest, StateHoldsTheVst2ChunkAndRestoresIt)
{
    for (const auto& knobs : knobSettingsToCompare())
    {
        SCOPED_TRACE(::testing::PrintToString(knobs));
        auto saving = instantiate();
        ASSERT_NE(nullptr, saving);
        setKnobs(*saving, knobs);
        saving->render(noiseSignal(64, 1), 64);  // the knobs arrive with a run
        const auto saved = saving->saveState();
        ASSERT_EQ(1u, saved.size());
        ASSERT_EQ(stateKey, saved.begin()->first);
        const auto chunk = chunkOfLv2StateText(saved.begin()->second);
        EXPECT_EQ(vst2.chunkFor(knobs), chunk) << "the state is the VST 2 chunk, byte for byte";

        const auto restored = vst2.settingsAfterRestoring(chunk);
        EXPECT_EQ(bitsOf(knobs.lowContour), bitsOf(restored.lowContour));
        EXPECT_EQ(bitsOf(knobs.process), bitsOf(restored.process));
        EXPECT_EQ(bitsOf(knobs.output), bitsOf(restored.output));

        // A VST 2 chunk restored into a fresh LV2 instance: the same sound and the same state.
        auto loading = instantiate();
        ASSERT_NE(nullptr, loading);
        EXPECT_EQ(LV2_STATE_SUCCESS, loading->restoreState({{stateKey, lv2StateTextOf(vst2.chunkFor(knobs))}}));
        const auto input = noiseSignal(2048, 5);
        EXPECT_TRUE(sameBits(vst2.render(knobs, input, 48000.0, 512), loading->render(input, 512)));
        EXPECT_EQ(chunk, chunkOfLv2StateText(loading->saveState()[stateKey]));
    }
}

TEST_F(Lv2PluginTest, UnusableStateChangesNothing)
{
    const KnobSettings knobs{0.25f, 0.75f, 0.6f};
    auto chunk = vst2.chunkFor(knobs);
    auto truncated = chunk;
    truncated.resize(truncated.size() / 2);
    auto wrongMagic = chunk;
    wrongMagic[0] ^= 0xff;

    const std::vector<std::pair<const char*, std::map<std::string, std::string>>> unusable{
        {"no state at all", {}},
        {"an empty string", {{stateKey, ""}}},
        {"text that is no encoding", {{stateKey, "not a state"}}},
        {"half a chunk", {{stateKey, lv2StateTextOf(truncated)}}},
        {"a chunk with another magic", {{stateKey, lv2StateTextOf(wrongMagic)}}},
        {"a state under another key", {{pluginUri + ":Other", lv2StateTextOf(vst2.chunkFor({1.0f, 1.0f, 1.0f}))}}},
    };
    const auto input = noiseSignal(2048, 9);
    const auto expected = vst2.render(knobs, input, 48000.0, 512);
    for (const auto& [what, state] : unusable)
    {
        SCOPED_TRACE(what);
        auto instance = instantiate();
        ASSERT_NE(nullptr, instance);
        ASSERT_EQ(LV2_STATE_SUCCESS, instance->restoreState({{stateKey, lv2StateTextOf(chunk)}}));
        instance->restoreState(state);
        EXPECT_EQ(chunk, chunkOfLv2StateText(instance->saveState()[stateKey]));
        EXPECT_TRUE(sameBits(expected, instance->render(input, 512)));
    }
}

// What a host writes reaches the processor as it is.
TEST_F(Lv2PluginTest, ParameterValuesPassUnchanged)
{
    auto instance = instantiate();
    ASSERT_NE(nullptr, instance);
    const KnobSettings odd{0.1f, 0.33333334f, 0.99999994f};
    setKnobs(*instance, odd);
    instance->render(noiseSignal(64, 3), 64);
    EXPECT_EQ(vst2.chunkFor(odd), chunkOfLv2StateText(instance->saveState()[stateKey]));
}
}  // namespace
}  // namespace varnoke::test
