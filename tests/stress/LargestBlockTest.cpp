// The largest block a host can pass, INT_MAX frames, announced and processed
// whole: every count and offset on the way stays within the int range, both
// where a channel is processed in place and where two outputs share memory
// and go through the scratch memory in slices.
//
// Processing two billion frames takes the better part of a minute of CPU, too
// long for every run of the suite (and several times that under the
// sanitizers), so the test is disabled there; run it by hand after changing
// the block loops, with --gtest_also_run_disabled_tests.

#include "BitPatterns.h"
#include "EffectHarness.h"
#include "Noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
using varnoke::test::dispatch;
using varnoke::test::Op;

// A range of addresses for this many floats whose pages all show the same
// small tile of zeroed memory: a host buffer of billions of samples that
// needs only the tile's memory.
class TiledBuffer
{
public:
    explicit TiledBuffer(std::size_t numFloats)
        : bytes(numFloats * sizeof(float))
    {
        tile = memfd_create("varnoke-tile", 0);
        if (tile < 0 || ftruncate(tile, static_cast<off_t>(tileBytes)) != 0)
            return;
        void* range = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (range == MAP_FAILED)
            return;
        base = static_cast<char*>(range);
        for (std::size_t offset = 0; offset < bytes; offset += tileBytes)
            if (mmap(base + offset, std::min(tileBytes, bytes - offset), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED,
                     tile, 0) == MAP_FAILED)
            {
                munmap(base, bytes);
                base = nullptr;
                return;
            }
    }

    ~TiledBuffer()
    {
        if (base != nullptr)
            munmap(base, bytes);
        if (tile >= 0)
            close(tile);
    }

    TiledBuffer(const TiledBuffer&) = delete;
    TiledBuffer& operator=(const TiledBuffer&) = delete;

    float* data() const noexcept { return reinterpret_cast<float*>(base); }

private:
    static constexpr std::size_t tileBytes = std::size_t{2} << 20;
    std::size_t bytes;
    int tile = -1;
    char* base = nullptr;
};

TEST(LargestBlock, DISABLED_IsProcessedWholeAndThePluginPlaysOn)
{
    constexpr int largest = std::numeric_limits<int>::max();
    const TiledBuffer buffer(static_cast<std::size_t>(largest));
    ASSERT_NE(nullptr, buffer.data()) << "could not map the tiled buffer";

    AEffect* effect = varnoke::test::createPlugin();
    AEffect* reference = varnoke::test::createPlugin();
    ASSERT_NE(nullptr, effect);
    ASSERT_NE(nullptr, reference);
    for (AEffect* instance : {effect, reference})
    {
        dispatch(instance, Op::open);
        dispatch(instance, Op::mainsChanged, 0, 1);
    }
    dispatch(effect, Op::mainsChanged, 0, 0);
    dispatch(effect, Op::setBlockSize, 0, largest);
    dispatch(effect, Op::mainsChanged, 0, 1);

    // Channel 0 in place, channel 1 into the same memory: silence in, silence out.
    float* channels[] = {buffer.data(), buffer.data()};
    effect->processReplacing(effect, channels, channels, largest);
    for (const std::size_t frame : {std::size_t{0}, std::size_t{12345}, static_cast<std::size_t>(largest) - 1})
        EXPECT_EQ(bitsOf(0.0f), bitsOf(buffer.data()[frame])) << "frame " << frame;

    // Silence left the filters at rest (the smoothed level gain plays no part
    // with the knobs at their defaults): the next block is as a fresh instance's.
    constexpr std::size_t frames = 256;
    auto left = noise(frames, 1);
    auto right = noise(frames, 2);
    std::vector<float> out(2 * frames), expected(2 * frames);
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {out.data(), out.data() + frames};
    float* expectedOutputs[] = {expected.data(), expected.data() + frames};
    effect->processReplacing(effect, inputs, outputs, static_cast<int>(frames));
    reference->processReplacing(reference, inputs, expectedOutputs, static_cast<int>(frames));
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(bitsOf(expected[i]), bitsOf(out[i])) << "sample " << i;

    dispatch(effect, Op::close);
    dispatch(reference, Op::close);
}
}  // namespace
