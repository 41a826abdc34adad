// Varnoke.lv2's factory presets and version as LV2 hosts read them through
// lilv: every preset applies to the plug-in, has its label, and sets each
// control port to the preset's position; a preset loaded into an instance
// makes it sound as the VST 2.4 plug-in does at those positions.

#include "FormatTestSupport.h"
#include "Lv2Host.h"
#include "ProductIdentity.h"

#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/presets/presets.h>

#include <map>
#include <set>

namespace varnoke::test
{
namespace
{
const std::string pluginUri = product::lv2Uri;

// The bank as users see it, with the positions each sets.
const std::map<std::string, KnobSettings> expectedPresets = {
    {"Flat", {0.0f, 0.0f, 0.5f}},    {"Warm low end", {0.2f, 0.0f, 0.35f}}, {"Presence", {0.0f, 0.1f, 0.4f}},
    {"Bright", {0.0f, 0.4f, 0.25f}}, {"Smile", {0.2f, 0.2f, 0.3f}},         {"Loudness", {0.3f, 0.1f, 0.5f}},
};

class Lv2PresetsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plugin = host.findPlugin(pluginUri);
        ASSERT_NE(nullptr, plugin) << "no " << pluginUri << " next to " << VARNOKE_LV2_BUNDLE;
    }

    // Each preset's label and the state lilv reads for it, as hosts load one.
    std::map<std::string, LilvState*> loadPresets()
    {
        LilvWorld* world = host.getWorld();
        LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
        LilvNode* label = lilv_new_uri(world, LILV_NS_RDFS "label");
        LilvNodes* related = lilv_plugin_get_related(plugin, presetClass);
        std::map<std::string, LilvState*> presets;
        LILV_FOREACH(nodes, i, related)
        {
            const LilvNode* preset = lilv_nodes_get(related, i);
            lilv_world_load_resource(world, preset);
            LilvNode* name = lilv_world_get(world, preset, label, nullptr);
            EXPECT_NE(nullptr, name) << lilv_node_as_uri(preset) << " has no label";
            if (name == nullptr)
                continue;
            presets[lilv_node_as_string(name)] = lilv_state_new_from_world(world, host.mapFeature(), preset);
            lilv_node_free(name);
        }
        lilv_nodes_free(related);
        lilv_node_free(label);
        lilv_node_free(presetClass);
        return presets;
    }

    static void freePresets(std::map<std::string, LilvState*>& presets)
    {
        for (auto& [name, state] : presets)
            lilv_state_free(state);
        presets.clear();
    }

    Lv2Host host{VARNOKE_LV2_BUNDLE};
    const LilvPlugin* plugin = nullptr;
    Vst2Reference vst2;
};

struct PortValues
{
    std::map<std::string, float> bySymbol;
    std::set<std::string> badTypes;
};

void collectPortValue(const char* symbol, void* userData, const void* value, uint32_t size, uint32_t type)
{
    auto& values = *static_cast<PortValues*>(userData);
    (void)type;
    if (value == nullptr || (size != sizeof(float) && size != sizeof(double)))
    {
        values.badTypes.insert(symbol);
        return;
    }
    values.bySymbol[symbol] = size == sizeof(float) ? *static_cast<const float*>(value)
                                                    : static_cast<float>(*static_cast<const double*>(value));
}

TEST_F(Lv2PresetsTest, EveryPresetSetsTheThreeKnobsToItsPositions)
{
    auto presets = loadPresets();
    std::set<std::string> names;
    for (const auto& [name, state] : presets)
        names.insert(name);
    std::set<std::string> expectedNames;
    for (const auto& [name, knobs] : expectedPresets)
        expectedNames.insert(name);
    EXPECT_EQ(expectedNames, names);

    for (const auto& [name, state] : presets)
    {
        SCOPED_TRACE(name);
        ASSERT_NE(nullptr, state);
        PortValues values;
        lilv_state_emit_port_values(state, &collectPortValue, &values);
        EXPECT_TRUE(values.badTypes.empty());
        const auto expected = expectedPresets.find(name);
        ASSERT_NE(expectedPresets.end(), expected);
        const std::map<std::string, float> positions = {{"lowContour", expected->second.lowContour},
                                                        {"process", expected->second.process},
                                                        {"output", expected->second.output}};
        ASSERT_EQ(positions.size(), values.bySymbol.size());
        for (const auto& [symbol, position] : positions)
            EXPECT_SAME_BITS(position, values.bySymbol[symbol]) << symbol;
    }
    freePresets(presets);
}

// A host restores a preset by writing its values into the control ports.
TEST_F(Lv2PresetsTest, APresetLoadedSoundsLikeTheVst2PluginAtItsPositions)
{
    auto presets = loadPresets();
    const StereoSignal input = noiseSignal(4000, 31);
    for (const auto& [name, state] : presets)
    {
        SCOPED_TRACE(name);
        Lv2Instance instance(host, plugin, 48000.0, 512);
        ASSERT_TRUE(instance.isValid());
        PortValues values;
        lilv_state_emit_port_values(state, &collectPortValue, &values);
        for (const auto& [symbol, value] : values.bySymbol)
            instance.setControl(symbol, value);
        const KnobSettings& knobs = expectedPresets.at(name);
        EXPECT_TRUE(sameBits(vst2.render(knobs, input, 48000.0, 512), instance.render(input, 512)));
    }
    freePresets(presets);
}

// Hosts show the plug-in's version from lv2:minorVersion and lv2:microVersion
// (the major version is not part of an LV2 description).
TEST_F(Lv2PresetsTest, DescriptionCarriesTheProjectVersion)
{
    LilvWorld* world = host.getWorld();
    const std::pair<const char*, int> versions[] = {{LV2_CORE__minorVersion, product::versionMinor},
                                                    {LV2_CORE__microVersion, product::versionPatch}};
    for (const auto& [predicate, expected] : versions)
    {
        SCOPED_TRACE(predicate);
        LilvNode* property = lilv_new_uri(world, predicate);
        LilvNodes* values = lilv_plugin_get_value(plugin, property);
        ASSERT_EQ(1u, lilv_nodes_size(values));
        const LilvNode* value = lilv_nodes_get_first(values);
        EXPECT_TRUE(lilv_node_is_int(value));
        EXPECT_EQ(expected, lilv_node_as_int(value));
        lilv_nodes_free(values);
        lilv_node_free(property);
    }
}
}  // namespace
}  // namespace varnoke::test
