// Varnoke.lv2 loaded through lilv the ways LV2 hosts load it (lv2apply with no
// features, Audacity with 8-byte block-length options, lilv's own state
// functions as Ardour, jalv and JUCE-based hosts use them) and the way a
// hostile host would (absurd block lengths, damaged state strings).

#include "FormatTestSupport.h"
#include "Lv2Host.h"
#include "Lv2StateText.h"
#include "ProductIdentity.h"

#include <juce_core/juce_core.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <climits>
#include <cstring>
#include <fstream>

namespace varnoke::test
{
namespace
{
const std::string pluginUri = product::lv2Uri;
const std::string stateKey = pluginUri + ":StateString";

class Lv2HostsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plugin = host.findPlugin(pluginUri);
        ASSERT_NE(nullptr, plugin) << "no " << pluginUri << " next to " << VARNOKE_LV2_BUNDLE;
    }

    static void setKnobs(Lv2Instance& instance, const KnobSettings& knobs)
    {
        instance.setControl("lowContour", knobs.lowContour);
        instance.setControl("process", knobs.process);
        instance.setControl("output", knobs.output);
    }

    // The instance renders what the VST 2.4 plug-in renders at these knobs.
    ::testing::AssertionResult soundsLikeVst2(Lv2Instance& instance, const KnobSettings& knobs, int blockSize = 256)
    {
        const auto input = noiseSignal(4096, 21);
        return sameBits(vst2.render(knobs, input, 48000.0, 512), instance.render(input, blockSize));
    }

    Lv2Host host{VARNOKE_LV2_BUNDLE};
    const LilvPlugin* plugin = nullptr;
    Vst2Reference vst2;
    const KnobSettings knobs{0.4f, 0.7f, 0.6f};
};

// lv2apply (lilv 0.24) instantiates with no features at all; release 1.0.0
// required a URID map, options and bounded block lengths, and lilv refused it.
TEST_F(Lv2HostsTest, RunsWithNoFeaturesAsLv2applyInstantiatesIt)
{
    Lv2Instance instance(host, plugin, 48000.0, Lv2HostFeatures::none());
    ASSERT_TRUE(instance.isValid());
    setKnobs(instance, knobs);
    EXPECT_TRUE(soundsLikeVst2(instance, knobs));
}

// Audacity 3.2 passes the block lengths as atom:Int with a size of 8, which
// release 1.0.0 took for no maximum block length (instantiate answered null).
TEST_F(Lv2HostsTest, RunsWithEightByteBlockLengthOptionsAsAudacityPassesThem)
{
    Lv2Instance instance(host, plugin, 48000.0, Lv2HostFeatures{true, 8, 1024, false});
    ASSERT_TRUE(instance.isValid());
    setKnobs(instance, knobs);
    EXPECT_TRUE(soundsLikeVst2(instance, knobs, 1024));
}

// A maximum block length that is negative, zero or absurd breaks the options'
// contract (a positive bound on every run). Release 1.0.0 crashed on -1,
// aborted on INT_MIN and INT_MAX, and touched 4 GB for 2^29. The plug-in keeps
// no buffer sized by the block length, so none of them matters.
TEST_F(Lv2HostsTest, SurvivesHostileMaximumBlockLengths)
{
#if defined(__SANITIZE_ADDRESS__)
    const bool measureMemory = false;  // AddressSanitizer's quarantine holds freed memory
#else
    const bool measureMemory = true;
#endif
    const std::int64_t lengths[] = {-1, 0, INT_MIN, INT_MAX, std::int64_t{1} << 29};
    for (const int size : {4, 8})
        for (const auto length : lengths)
        {
            SCOPED_TRACE(std::to_string(length) + " in " + std::to_string(size) + " bytes");
            const long before = residentKilobytes();
            Lv2Instance instance(host, plugin, 48000.0, Lv2HostFeatures{true, size, length, true});
            ASSERT_TRUE(instance.isValid());
            setKnobs(instance, knobs);
            EXPECT_TRUE(soundsLikeVst2(instance, knobs));
            if (measureMemory)
            {
                EXPECT_LT(residentKilobytes() - before, 32 * 1024) << "kilobytes for one instance";
            }
        }
}

namespace
{
// The host's port buffers, as lilv reads and writes them by symbol.
struct PortValues
{
    Lv2Instance& instance;
    LV2_URID floatType;
};

const void* portValue(const char* symbol, void* userData, uint32_t* size, uint32_t* type)
{
    auto& values = *static_cast<PortValues*>(userData);
    static thread_local float value;
    value = values.instance.control(symbol);
    *size = sizeof value;
    *type = values.floatType;
    return &value;
}

void setPortValue(const char* symbol, void* userData, const void* value, uint32_t size, uint32_t type)
{
    auto& values = *static_cast<PortValues*>(userData);
    if (size == sizeof(float) && type == values.floatType)
        values.instance.setControl(symbol, *static_cast<const float*>(value));
}
}  // namespace

// Ardour 7 showed all knobs at 0 after a session reload while the audio used
// the saved values. Hosts save and restore through lilv, which stores the
// control ports' values beside the plug-in's own state and sets them back
// into the host's port buffers on restore: the host's knobs show the restored
// values, and they agree with the restored sound.
TEST_F(Lv2HostsTest, StateRestoredThroughLilvPutsTheValuesOnTheHostsPorts)
{
    Lv2Instance saving(host, plugin, 48000.0, 512);
    ASSERT_TRUE(saving.isValid());
    setKnobs(saving, knobs);
    saving.render(noiseSignal(64, 1), 64);

    LilvWorld* world = host.getWorld();
    LV2_URID_Map* map = host.mapFeature();
    const LV2_URID floatType = host.map(LV2_ATOM__Float);
    PortValues savingPorts{saving, floatType};
    LV2_Feature mapFeature{LV2_URID__map, map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    LilvState* state =
        lilv_state_new_from_instance(plugin, saving.lilvInstance(), map, nullptr, nullptr, nullptr, nullptr, portValue,
                                     &savingPorts, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features);
    ASSERT_NE(nullptr, state);

    // Through Turtle and back, as a session file keeps it.
    char* text = lilv_state_to_string(world, map, host.unmapFeature(), state, "urn:varnoke-test:state", nullptr);
    ASSERT_NE(nullptr, text);
    EXPECT_NE(nullptr, std::strstr(text, "lowContour")) << "the port values are part of the state";
    LilvState* loaded = lilv_state_new_from_string(world, map, text);
    lilv_free(text);
    lilv_state_free(state);
    ASSERT_NE(nullptr, loaded);

    const KnobSettings other{0.9f, 0.1f, 0.2f};
    const auto restore = [&](Lv2Instance& loading)
    {
        PortValues ports{loading, floatType};
        lilv_state_restore(loaded, loading.lilvInstance(), setPortValue, &ports, 0, features);
        EXPECT_EQ(bitsOf(knobs.lowContour), bitsOf(loading.control("lowContour")));
        EXPECT_EQ(bitsOf(knobs.process), bitsOf(loading.control("process")));
        EXPECT_EQ(bitsOf(knobs.output), bitsOf(loading.control("output")));
    };
    {
        SCOPED_TRACE("restored into the instance that saved it, its knobs moved since");
        setKnobs(saving, other);
        saving.render(noiseSignal(64, 2), 64);
        restore(saving);
        saving.render(noiseSignal(64, 3), 64);
        EXPECT_EQ(vst2.chunkFor(knobs), chunkOfLv2StateText(saving.saveState()[stateKey]));
    }
    {
        SCOPED_TRACE("restored into a new instance with other knobs");
        Lv2Instance loading(host, plugin, 48000.0, 512);
        ASSERT_TRUE(loading.isValid());
        setKnobs(loading, other);
        restore(loading);
        EXPECT_TRUE(soundsLikeVst2(loading, knobs));
    }
    lilv_state_free(loaded);
}

// A state saved by release 1.0.0 holds no port values (it had no control
// ports): the plug-in's own state alone restores the sound, and the host's
// ports, left as they were, do not undo it.
TEST_F(Lv2HostsTest, StateOfRelease100WithoutPortValuesRestoresTheSound)
{
    Lv2Instance instance(host, plugin, 48000.0, 512);
    ASSERT_TRUE(instance.isValid());
    ASSERT_EQ(LV2_STATE_SUCCESS, instance.restoreState({{stateKey, lv2StateTextOf(vst2.chunkFor(knobs))}}));
    EXPECT_TRUE(soundsLikeVst2(instance, knobs));

    // The next knob the host moves takes over; the others keep the restored values.
    instance.setControl("output", 0.3f);
    instance.render(noiseSignal(64, 3), 64);
    EXPECT_EQ(vst2.chunkFor({knobs.lowContour, knobs.process, 0.3f}),
              chunkOfLv2StateText(instance.saveState()[stateKey]));
}

// The state string comes from session files and presets, which anyone can
// edit. Release 1.0.0 read its byte count unchecked: "-1.AAAA" and "-100.…"
// ended the host with std::bad_alloc. Each of these is refused, and the
// instance keeps its state and its sound.
TEST_F(Lv2HostsTest, RefusesHostileStateStrings)
{
    const auto chunk = vst2.chunkFor(knobs);
    const std::string valid = lv2StateTextOf(chunk);
    auto wrongCharacter = valid;
    wrongCharacter.back() = '*';
    const std::vector<std::pair<const char*, std::string>> hostile{
        {"a negative size", "-1.AAAA"},
        {"a negative size with text", "-100." + std::string(200, 'x')},
        {"a size past 2^32", "4294967296.AAAA"},
        {"INT_MAX", "2147483647.AAAA"},
        {"a size with twenty digits", "99999999999999999999.AAAA"},
        {"a size just past the limit", "1048577.AAAA"},
        {"a size with a plus sign", "+" + valid},
        {"the encoding cut short", valid.substr(0, valid.size() - 3)},
        {"more characters than the size holds", valid + "AAAA"},
        {"a character outside the alphabet", wrongCharacter},
        {"no size", valid.substr(valid.find('.'))},
        {"no dot", "12"},
        {"a size of zero", "0."},
        {"empty", ""},
    };
    const auto input = noiseSignal(2048, 9);
    const auto expected = vst2.render(knobs, input, 48000.0, 512);
    for (const auto& [what, text] : hostile)
    {
        SCOPED_TRACE(what);
        Lv2Instance instance(host, plugin, 48000.0, 512);
        ASSERT_TRUE(instance.isValid());
        ASSERT_EQ(LV2_STATE_SUCCESS, instance.restoreState({{stateKey, valid}}));
        EXPECT_NE(LV2_STATE_SUCCESS, instance.restoreState({{stateKey, text}}));
        EXPECT_EQ(valid, instance.saveState()[stateKey]);
        EXPECT_TRUE(sameBits(expected, instance.render(input, 512)));
    }
}
}  // namespace
}  // namespace varnoke::test
