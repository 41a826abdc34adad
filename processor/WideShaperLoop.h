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

// The sections, the gains and the mix in one pass: with the sections of both
// channels packed into few registers there are enough registers left to keep
// everything else in them too. Sections must offer run(x) (one frame through
// every section), allPass(), lowPass() and highPass() (the frame's outputs as
// left/right pairs) and store() (the memories back into the channel states).
// Every lane evaluates the scalar formulas in their order, so the output is the
// same bits as the SSE2 kernel's.
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

    for (int i = 0; i < frames; ++i)
    {
        // With a single channel the right lanes run on silence and their results are dropped.
        const Pair x{static_cast<double>(left[i]), bothChannels ? static_cast<double>(right[i]) : 0.0};
        sections.run(x);

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
        const Pair out = (mix - dc) * outputGainNow + zero;  // + 0.0 turns -0.0 into +0.0

        const FloatPair narrowed = __builtin_convertvector(out, FloatPair);
        left[i] = narrowed[0];
        if constexpr (bothChannels)
            right[i] = narrowed[1];
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
