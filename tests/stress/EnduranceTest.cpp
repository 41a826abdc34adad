// A thousand editor open/close cycles and a thousand instances created and
// destroyed in one process leave memory where it was. LeakSanitizer checks
// the same runs for leaks in the sanitizer build; here resident memory is
// compared before and after, after a warm-up, with a generous bound.

#include "EffectHarness.h"

#include <gtest/gtest.h>

#include <iostream>
#include <vector>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
using varnoke::test::dispatch;
using varnoke::test::Op;

constexpr int warmUpCycles = 50;
constexpr int cycles = 1000;

// A cycle that leaked even a single editor or instance (well over 50 kB each
// with their JUCE components and buffers) would pass this many times over.
constexpr long allowedGrowthBytes = 8L * 1024 * 1024;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool residentMemoryIsMeaningful = false;  // the sanitizers keep freed memory in quarantine
#else
constexpr bool residentMemoryIsMeaningful = true;
#endif

// Runs the cycle through a warm-up, then a thousand times between two
// readings of resident memory, and reports and checks the growth.
template <typename Cycle> void expectFlatMemoryOver(const char* what, Cycle cycle)
{
    for (int i = 0; i < warmUpCycles; ++i)
        cycle();
    const long before = varnoke::test::residentBytes();
    for (int i = 0; i < cycles; ++i)
        cycle();
    const long after = varnoke::test::residentBytes();

    std::cout << what << ": resident memory " << before / 1024 << " kB before, " << after / 1024 << " kB after "
              << cycles << " cycles (" << (after - before) / 1024 << " kB growth)\n";
    ::testing::Test::RecordProperty(std::string(what) + "_rss_before_kB", std::to_string(before / 1024));
    ::testing::Test::RecordProperty(std::string(what) + "_rss_after_kB", std::to_string(after / 1024));
    if (residentMemoryIsMeaningful)
    {
        EXPECT_LT(after - before, allowedGrowthBytes) << what;
    }
}

TEST(Endurance, EditorOpenCloseCyclesKeepMemoryFlat)
{
    varnoke::test::HostWindow hostWindow;
    if (!hostWindow.isAvailable())
        GTEST_SKIP() << "needs an X display (run under xvfb-run)";

    AEffect* effect = varnoke::test::createPlugin();
    ASSERT_NE(nullptr, effect);
    dispatch(effect, Op::open);

    const auto cycle = [&]
    {
        ASSERT_EQ(1, dispatch(effect, Op::editOpen, 0, 0, hostWindow.handle()));
        dispatch(effect, Op::editIdle);  // paints, runs the knobs' pending notifications
        dispatch(effect, Op::editClose);
    };
    expectFlatMemoryOver("editor", cycle);
    dispatch(effect, Op::close);
}

TEST(Endurance, InstanceCreateDestroyCyclesKeepMemoryFlat)
{
    // Each cycle is a whole life: created, switched on, a block, a saved
    // state, closed. No other instance is alive, so JUCE's GUI layer comes up
    // and goes down with every one.
    const auto cycle = []
    {
        AEffect* effect = varnoke::test::createPlugin();
        ASSERT_NE(nullptr, effect);
        dispatch(effect, Op::open);
        dispatch(effect, Op::mainsChanged, 0, 1);
        std::vector<float> left(512, 0.25f), right(512, -0.25f);
        float* channels[] = {left.data(), right.data()};
        effect->processReplacing(effect, channels, channels, 512);
        void* chunk = nullptr;
        ASSERT_GT(dispatch(effect, Op::getChunk, 0, 0, &chunk), 0);
        dispatch(effect, Op::close);
    };
    expectFlatMemoryOver("instance", cycle);
}
}  // namespace
