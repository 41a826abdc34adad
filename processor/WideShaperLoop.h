#pragma once

// The one-pass loop of the wide kernels. Each kernel's source file includes it
// and compiles it for its own instruction set, so everything here has internal
// linkage: no copy built for a wider set may stand in for another.

#include "ShaperKernel.h"

namespace varnoke
{
namespace
{
using Pair = double __attribute__((vector_size(16)));
using PairBits = long long __attribute__((vector_size(16)));

inline Pair both(double value)
{
    return Pair{value, value};
}

inline Pair absolute(Pair value)
{
    constexpr long long allButSign = 0x7fffffffffffffffLL;
    return reinterpret_cast<Pair>(reinterpret_cast<PairBits>(value) & PairBits{allButSign, allButSign});
}

// A gain read afresh and spread over both lanes in one instruction. On x86-64
// an aligned 8-byte load is atomic, so this is the relaxed load
// std::atomic::load would do; that one goes through a general register and
// costs a shuffle more per gain and sample. volatile: read at every sample.
inline Pair loadBoth(const std::atomic<double>& gain)
{
    static_assert(sizeof(std::atomic<double>) == sizeof(double) && alignof(std::atomic<double>) == alignof(double));
    Pair value;
    asm volatile("vmovddup %1, %0" : "=x"(value) : "m"(gain));
    return value;
}

using FloatQuad = float __attribute__((vector_size(16)));
using DoubleQuad = double __attribute__((vector_size(32)));

// Short runs of frames: the inputs are widened to double and interleaved into
// left/right pairs four frames at a time before the run, and the outputs
// narrowed and split four at a time after it, so that per frame the loop does
// only the signal path. Each value is converted exactly as one at a time.
constexpr int runLength = 32;

template <bool bothChannels> void widenInputs(const float* left, const float* right, int length, Pair* inputs)
{
    int i = 0;
    for (; i + 4 <= length; i += 4)
    {
        FloatQuad l, r = {};
        __builtin_memcpy(&l, left + i, sizeof l);
        if constexpr (bothChannels)
            __builtin_memcpy(&r, right + i, sizeof r);
        const DoubleQuad first = __builtin_convertvector(__builtin_shufflevector(l, r, 0, 4, 1, 5), DoubleQuad);
        const DoubleQuad second = __builtin_convertvector(__builtin_shufflevector(l, r, 2, 6, 3, 7), DoubleQuad);
        __builtin_memcpy(inputs + i, &first, sizeof first);
        __builtin_memcpy(inputs + i + 2, &second, sizeof second);
    }
    for (; i < length; ++i)
        inputs[i] = Pair{static_cast<double>(left[i]), bothChannels ? static_cast<double>(right[i]) : 0.0};
}

template <bool bothChannels> void narrowOutputs(const Pair* outputs, int length, float* left, float* right)
{
    int i = 0;
    for (; i + 4 <= length; i += 4)
    {
        DoubleQuad first, second;
        __builtin_memcpy(&first, outputs + i, sizeof first);
        __builtin_memcpy(&second, outputs + i + 2, sizeof second);
        const FloatQuad a = __builtin_convertvector(first, FloatQuad);
        const FloatQuad b = __builtin_convertvector(second, FloatQuad);
        const FloatQuad l = __builtin_shufflevector(a, b, 0, 2, 4, 6);
        __builtin_memcpy(left + i, &l, sizeof l);
        if constexpr (bothChannels)
        {
            const FloatQuad r = __builtin_shufflevector(a, b, 1, 3, 5, 7);
            __builtin_memcpy(right + i, &r, sizeof r);
        }
    }
    for (; i < length; ++i)
    {
        left[i] = static_cast<float>(outputs[i][0]);
        if constexpr (bothChannels)
            right[i] = static_cast<float>(outputs[i][1]);
    }
}

// The sections, the gains and the mix in one pass: with the sections of both
// channels packed into few registers there are enough registers left to keep
// everything else in them too. Sections must offer run(x) (one frame through
// every section, x pointing at the frame's input pair), allPass(), lowPass()
// and highPass() (the frame's outputs as left/right pairs) and store() (the
// memories back into the channel states). Every lane evaluates the scalar
// formulas in their order, so the output is the same bits as the SSE2 kernel's.
template <typename Sections, bool bothChannels>
void runWideLoop(const ShaperSettings& settings, ShaperChannelState& leftState, ShaperChannelState& rightState,
                 float* left, float* right, int frames) noexcept
{
    Sections sections(settings.sections, leftState, rightState);
    const Pair step = both(settings.smoothStep);
    const Pair keep = both(settings.smoothKeep);
    const Pair one = both(1.0);
    const Pair zero = both(0.0);
    Pair cvGain{leftState.cvGain, rightState.cvGain};
    Pair dc{leftState.dc, rightState.dc};
    Pair staged[runLength];  // the inputs of a run, then its outputs

    // Counted in runs: a start one run past the last could pass the int range.
    const int numRuns = frames / runLength + (frames % runLength != 0 ? 1 : 0);
    for (int run = 0; run < numRuns; ++run)
    {
        const int start = run * runLength;
        const int length = frames - start < runLength ? frames - start : runLength;
        float* const leftRun = left + start;
        float* const rightRun = bothChannels ? right + start : nullptr;
        // With a single channel the right lanes run on silence and their results are dropped.
        widenInputs<bothChannels>(leftRun, rightRun, length, staged);

        for (int i = 0; i < length; ++i)
        {
            const Pair x = staged[i];
            sections.run(staged + i);

            // The gains are read afresh at every sample: a change applies from the next one.
            const Pair lowGainNow = loadBoth(settings.lowGain);
            const Pair highGainNow = loadBoth(settings.highGain);
            const Pair cvDepthNow = loadBoth(settings.cvDepth);
            const Pair outputGainNow = loadBoth(settings.outputGain);

            const Pair target = one - absolute(x) * cvDepthNow;
            cvGain = keep * cvGain + step * target;
            const Pair mix =
                ((cvGain * sections.highPass()) * highGainNow + sections.allPass()) + lowGainNow * sections.lowPass();
            dc = step * mix + keep * dc;
            staged[i] = (mix - dc) * outputGainNow + zero;  // + 0.0 turns -0.0 into +0.0
        }

        narrowOutputs<bothChannels>(staged, length, leftRun, rightRun);
    }

    sections.template store<0>(leftState);
    leftState.cvGain = cvGain[0];
    leftState.dc = dc[0];
    if constexpr (bothChannels)
    {
        sections.template store<1>(rightState);
        rightState.cvGain = cvGain[1];
        rightState.dc = dc[1];
    }
}

template <typename Sections>
void runWideKernel(const ShaperSettings& settings, ShaperChannelState& leftState, ShaperChannelState& rightState,
                   float* left, float* right, int frames) noexcept
{
    if (right != nullptr)
        runWideLoop<Sections, true>(settings, leftState, rightState, left, right, frames);
    else
        runWideLoop<Sections, false>(settings, leftState, rightState, left, nullptr, frames);
}
}  // namespace
}  // namespace varnoke
