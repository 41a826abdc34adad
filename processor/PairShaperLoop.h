#pragma once

// The two-lane loop: the left channel in one lane, the right in the other.
// Pair is the compiler's two-double vector, which GCC lowers to an SSE2
// register on x86-64 and to a NEON float64x2_t on AArch64, one instruction per
// lane-wise operation either way; each kernel's source file includes this and
// compiles it for its processor, so everything here has internal linkage.
// With -ffp-contract=off neither compiler fuses a multiply and an add, and
// every lane rounds exactly as the scalar code would.

#include "ShaperKernel.h"

#include <algorithm>

namespace varnoke
{
namespace
{
constexpr auto relaxed = std::memory_order_relaxed;

// The two channels run identical arithmetic, so they share the two lanes of one
// register: each lane rounds exactly as the scalar code would.
using Pair = double __attribute__((vector_size(16)));
using PairBits = long long __attribute__((vector_size(16)));
using FloatPair = float __attribute__((vector_size(8)));

inline Pair both(double value)
{
    return Pair{value, value};
}

inline Pair absolute(Pair value)
{
    constexpr long long allButSign = 0x7fffffffffffffffLL;
    return reinterpret_cast<Pair>(reinterpret_cast<PairBits>(value) & PairBits{allButSign, allButSign});
}

// The numerator of one section: its feed-forward part (b0 x + b1 x1) + b2 x2.
struct Numerator
{
    explicit Numerator(const BiquadCoeffs& c)
        : b0(both(c.b0))
        , b1(both(c.b1))
        , b2(both(c.b2))
    {
    }

    Pair feedForward(Pair x, Pair x1, Pair x2) const { return (b0 * x + b1 * x1) + b2 * x2; }

    Pair b0, b1, b2;
};

// The output memories of one section on both channels.
struct Feedback
{
    Feedback(const BiquadState& left, const BiquadState& right)
        : y1{left.y1, right.y1}
        , y2{left.y2, right.y2}
    {
    }

    // y = (feedForward - a1 y1) - a2 y2, then the memories shift.
    Pair run(Pair feedForward, Pair a1, Pair a2)
    {
        const Pair y = (feedForward - a1 * y1) - a2 * y2;
        y2 = y1;
        y1 = y;
        return y;
    }

    template <int lane> void store(BiquadState& state, Pair x1, Pair x2) const
    {
        state = BiquadState{x1[lane], x2[lane], y1[lane], y2[lane]};
    }

    Pair y1, y2;
};

// The three sections of a channel see the same input and share one denominator
// (the crossover design gives them the same a1 and a2, bit for bit), so the
// input memories and feedback coefficients are held once and the loop's state
// fits in registers; every section still evaluates its own full sum.
//
// With a single channel the right lane runs on silence and its results are
// dropped, so the channel-1 memories stay as they were.
template <bool bothChannels>
void processChannels(const ShaperSettings& settings, ShaperChannelState& leftState, ShaperChannelState& rightState,
                     float* left, float* right, int frames) noexcept
{
    const CrossoverSections& sections = settings.sections;
    const Pair a1 = both(sections.allPass.a1);
    const Pair a2 = both(sections.allPass.a2);
    const Numerator allPass(sections.allPass);
    const Numerator lowPass(sections.lowPass);
    const Numerator highPass(sections.highPass);
    const Pair step = both(settings.smoothStep);
    const Pair keep = both(settings.smoothKeep);
    const Pair one = both(1.0);
    const Pair zero = both(0.0);

    Pair x1{leftState.allPass.x1, rightState.allPass.x1};
    Pair x2{leftState.allPass.x2, rightState.allPass.x2};
    Feedback allPassMemories(leftState.allPass, rightState.allPass);
    Feedback lowPassMemories(leftState.lowPass, rightState.lowPass);
    Feedback highPassMemories(leftState.highPass, rightState.highPass);
    Pair cvGain{leftState.cvGain, rightState.cvGain};
    Pair dc{leftState.dc, rightState.dc};

    // Two passes over short runs of frames: first the three sections (whose
    // recursions are the only long dependency chains), then the gains and the
    // mix. Each pass is short enough for the processor to overlap many frames;
    // the arithmetic, and so every result, is the same as in one pass.
    constexpr int runLength = 32;
    struct Bands
    {
        Pair x, ap, lp, hp;
    };
    Bands bands[runLength];

    // Counted in runs: a start one run past the last could pass the int range.
    const int numRuns = frames / runLength + (frames % runLength != 0 ? 1 : 0);
    for (int run = 0; run < numRuns; ++run)
    {
        const int start = run * runLength;
        const int length = std::min(runLength, frames - start);
        float* const leftRun = left + start;
        float* const rightRun = bothChannels ? right + start : nullptr;

        for (int i = 0; i < length; ++i)
        {
            const Pair x{static_cast<double>(leftRun[i]), bothChannels ? static_cast<double>(rightRun[i]) : 0.0};
            bands[i].x = x;
            bands[i].ap = allPassMemories.run(allPass.feedForward(x, x1, x2), a1, a2);
            bands[i].lp = lowPassMemories.run(lowPass.feedForward(x, x1, x2), a1, a2);
            bands[i].hp = highPassMemories.run(highPass.feedForward(x, x1, x2), a1, a2);
            x2 = x1;
            x1 = x;
        }

        for (int i = 0; i < length; ++i)
        {
            // The gains are read afresh at every sample: a change applies from the next one.
            const Pair lowGainNow = both(settings.lowGain.load(relaxed));
            const Pair highGainNow = both(settings.highGain.load(relaxed));
            const Pair cvDepthNow = both(settings.cvDepth.load(relaxed));
            const Pair outputGainNow = both(settings.outputGain.load(relaxed));

            const Pair target = one - absolute(bands[i].x) * cvDepthNow;
            cvGain = keep * cvGain + step * target;
            const Pair mix = ((cvGain * bands[i].hp) * highGainNow + bands[i].ap) + lowGainNow * bands[i].lp;
            dc = step * mix + keep * dc;
            const Pair out = (mix - dc) * outputGainNow + zero;  // + 0.0 turns -0.0 into +0.0

            const FloatPair narrowed = __builtin_convertvector(out, FloatPair);
            leftRun[i] = narrowed[0];
            if constexpr (bothChannels)
                rightRun[i] = narrowed[1];
        }
    }

    allPassMemories.store<0>(leftState.allPass, x1, x2);
    lowPassMemories.store<0>(leftState.lowPass, x1, x2);
    highPassMemories.store<0>(leftState.highPass, x1, x2);
    leftState.cvGain = cvGain[0];
    leftState.dc = dc[0];

    if constexpr (bothChannels)
    {
        allPassMemories.store<1>(rightState.allPass, x1, x2);
        lowPassMemories.store<1>(rightState.lowPass, x1, x2);
        highPassMemories.store<1>(rightState.highPass, x1, x2);
        rightState.cvGain = cvGain[1];
        rightState.dc = dc[1];
    }
}

void runPairKernel(const ShaperSettings& settings, ShaperChannelState& leftState, ShaperChannelState& rightState,
                   float* left, float* right, int frames) noexcept
{
    if (right != nullptr)
        processChannels<true>(settings, leftState, rightState, left, right, frames);
    else
        processChannels<false>(settings, leftState, rightState, left, nullptr, frames);
}
}  // namespace
}  // namespace varnoke
