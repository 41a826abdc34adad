// Several instances in one process, and the process-wide start and stop.

#include "HostTestFixture.h"

#include "support/BitPatterns.h"

namespace varnoke::test
{
namespace
{
using LifetimeTest = HostTest;

constexpr std::size_t frames = 32;

TEST_F(LifetimeTest, TwoInstancesAreIndependent)
{
    AEffect* first = openInstance();
    AEffect* second = openInstance();
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second);
    EXPECT_NE(first->object, second->object);

    first->setParameter(first, 1, 0.9f);
    EXPECT_SAME_BITS(0.0f, second->getParameter(second, 1));

    dispatch(first, effMainsChanged, 0, 1);
    dispatch(second, effMainsChanged, 0, 1);
    dispatch(first, effSetBypass, 0, 1);
    processStereo(first, impulse(frames), impulse(frames));
    const auto secondOut = processStereo(second, impulse(frames), impulse(frames));
    EXPECT_NE(bitsOf(1.0f), bitsOf(secondOut.left[0]));  // the second is not bypassed

    // Closing one leaves the other working.
    closeInstance(first);
    AEffect* reference = openInstance();
    ASSERT_NE(nullptr, reference);
    dispatch(reference, effMainsChanged, 0, 1);
    processStereo(reference, impulse(frames), impulse(frames));
    const auto a = processStereo(second, impulse(frames), impulse(frames));
    const auto b = processStereo(reference, impulse(frames), impulse(frames));
    for (std::size_t i = 0; i < frames; ++i)
        ASSERT_EQ(bitsOf(b.left[i]), bitsOf(a.left[i]));
}

TEST_F(LifetimeTest, CreatingAgainAfterAllWereDestroyed)
{
    for (int round = 0; round < 3; ++round)
    {
        AEffect* first = openInstance();
        AEffect* second = openInstance();
        ASSERT_NE(nullptr, first) << round;
        ASSERT_NE(nullptr, second) << round;
        dispatch(first, effMainsChanged, 0, 1);
        processStereo(first, impulse(frames), impulse(frames));
        closeInstance(first);
        closeInstance(second);
    }

    AEffect* again = openInstance();
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(0x231, again->flags);
    dispatch(again, effMainsChanged, 0, 1);
    const auto out = processStereo(again, impulse(frames), impulse(frames));
    EXPECT_NE(bitsOf(1.0f), bitsOf(out.left[0]));
}

TEST_F(LifetimeTest, UnloadingAndReloadingTheLibrary)
{
    TearDownTestSuite();
    SetUpTestSuite();
    ASSERT_TRUE(library->isLoaded()) << library->error();
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    EXPECT_EQ(3, effect->numParams);
}

// Processing, parameters and chunks call the host back only as announced.
TEST_F(LifetimeTest, HostCallbacksDuringOrdinaryUse)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    dispatch(effect, effMainsChanged, 0, 1);
    processStereo(effect, impulse(frames), impulse(frames));
    effect->setParameter(effect, 0, 0.5f);
    void* chunk = nullptr;
    dispatch(effect, effGetChunk, 0, 0, &chunk);
    dispatch(effect, effMainsChanged, 0, 0);

    EXPECT_EQ((std::vector<int>{audioMasterGetCurrentProcessLevel, audioMasterGetCurrentProcessLevel}),
              RecordingHost::opcodes(effect));
    EXPECT_EQ(1, RecordingHost::count(audioMasterVersion));
}
}  // namespace
}  // namespace varnoke::test
