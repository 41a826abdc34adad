// A knob given a NaN value kept JUCE's slider comparing NaN with itself: every
// comparison said "changed", so the slider, its value object and the knob
// callback posted messages to each other without end, each one writing NaN
// back through setParameter and telling the host. The host's UI thread spent
// every idle call on it until JUCE's message queue filled and blocked it for
// good. A NaN parameter now shows as the knob's lowest position, silently.

#include "EditorKnobs.h"
#include "EffectHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
using varnoke::test::dispatch;
using varnoke::test::Op;

std::atomic<int> hostDisplayUpdates{0};

VstIntPtr countingHost(AEffect* effect, int opcode, int index, VstIntPtr value, void* ptr, float opt)
{
    if (opcode == static_cast<int>(varnoke::vst::HostOpcode::updateDisplay))
        ++hostDisplayUpdates;
    return varnoke::test::hostCallback(effect, opcode, index, value, ptr, opt);
}

struct NanSource
{
    const char* name;
    void (*apply)(AEffect*);
};

std::ostream& operator<<(std::ostream& stream, const NanSource& source)
{
    return stream << source.name;
}

const NanSource nanSources[] = {
    {"AutomationOnTheUiThread",
     [](AEffect* effect) { effect->setParameter(effect, 1, std::numeric_limits<float>::quiet_NaN()); }},
    {"AutomationOnAHostThread", [](AEffect* effect)
     { std::thread([effect] { effect->setParameter(effect, 0, std::numeric_limits<float>::quiet_NaN()); }).join(); }},
    {"RestoredState",
     [](AEffect* effect)
     {
         const char text[] = R"(<pushState low_contour="nan" process="nan" output_g="nan"/>)";
         std::vector<unsigned char> chunk{0x56, 0x43, 0x32, 0x21, sizeof text, 0, 0, 0};
         chunk.insert(chunk.end(), text, text + sizeof text);
         dispatch(effect, Op::setChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
     }},
};

class EditorWithNanParameter : public ::testing::TestWithParam<NanSource>
{
};

TEST_P(EditorWithNanParameter, ShowsTheLowestPositionAndStaysQuiet)
{
    varnoke::test::HostWindow hostWindow;
    if (!hostWindow.isAvailable())
        GTEST_SKIP() << "needs an X display (run under xvfb-run)";

    AEffect* effect = varnoke::VstPluginInstance::create(countingHost, [] { return varnoke::createPluginProcessor(); });
    ASSERT_NE(nullptr, effect);
    dispatch(effect, Op::open);
    ASSERT_EQ(1, dispatch(effect, Op::editOpen, 0, 0, hostWindow.handle()));
    for (int idle = 0; idle < 5; ++idle)
        dispatch(effect, Op::editIdle);

    GetParam().apply(effect);
    hostDisplayUpdates = 0;
    for (int idle = 0; idle < 20; ++idle)
    {
        dispatch(effect, Op::editIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    const auto knobs = varnoke::test::knobValues(effect);
    ASSERT_TRUE(knobs.has_value());
    for (const double knob : *knobs)
        EXPECT_FALSE(std::isnan(knob));
    EXPECT_LE(hostDisplayUpdates.load(), 3) << "the knobs kept writing back";

    // Finite values show again.
    effect->setParameter(effect, 0, 0.5f);
    effect->setParameter(effect, 1, 0.25f);
    effect->setParameter(effect, 2, 0.75f);
    EXPECT_EQ((std::array<double, 3>{5.0, 2.5, 7.5}),
              varnoke::test::knobValues(effect).value_or(std::array<double, 3>{}));

    dispatch(effect, Op::close);
}

INSTANTIATE_TEST_SUITE_P(Sources, EditorWithNanParameter, ::testing::ValuesIn(nanSources),
                         [](const auto& info) { return std::string(info.param.name); });
}  // namespace
