#pragma once

#include "Biquad.h"
#include "CrossoverDesign.h"

#include <atomic>

namespace varnoke
{
// The per-sample loops of a ToneShaper, one per instruction set. They run the
// same arithmetic in the same order on every lane, so each gives the same
// output bits; they differ only in how many lanes they keep in one register.
// Each processor family has its own: the two-lane loop, which every processor
// of the family runs, comes first.
enum class ShaperKernel
{
#if defined(__x86_64__) || defined(_M_X64)
    sse2,    // every x86-64 processor: the two channels share one register
    avx2,    // two sections of both channels in one 256-bit register
    avx512,  // all three sections of both channels in one 512-bit register
#elif defined(__aarch64__)
    neon,  // every AArch64 processor: the two channels share one register
#else
#error "Varnoke's kernels are written for x86-64 and AArch64"
#endif
};

// Every loop of this build, narrowest first.
inline constexpr ShaperKernel builtShaperKernels[] = {
#if defined(__x86_64__) || defined(_M_X64)
    ShaperKernel::sse2, ShaperKernel::avx2, ShaperKernel::avx512
#else
    ShaperKernel::neon
#endif
};

// The two-lane loop: every processor of the family runs it, and the others give its bits.
inline constexpr ShaperKernel pairShaperKernel = builtShaperKernels[0];

// The memories of one channel.
struct ShaperChannelState
{
    double cvGain = 0.0;  // smoothed level-dependent high-band gain
    BiquadState allPass, lowPass, highPass;
    double dc = 0.0;  // running mean of the mix
};

// What a loop reads besides the samples: the coefficients and smoothing
// constants (fixed while it runs) and the gains, which other threads may change
// at any time and which it reads afresh at every sample.
struct ShaperSettings
{
    CrossoverSections sections;
    double smoothStep = 0.0;
    double smoothKeep = 0.0;

    std::atomic<double> lowGain{0.0};
    std::atomic<double> highGain{0.0};
    std::atomic<double> cvDepth{0.0};
    std::atomic<double> outputGain{0.0};
    static_assert(std::atomic<double>::is_always_lock_free);
};

// Processes frames in place. right may be null: the left channel then runs
// alone on leftState, and rightState is not touched. The caller sets the
// floating-point mode (flush-to-zero) and checks the memories afterwards.
using ShaperKernelFunction = void (*)(const ShaperSettings& settings, ShaperChannelState& leftState,
                                      ShaperChannelState& rightState, float* left, float* right, int frames);

// Each lives in its own source file, compiled for its instruction set: call
// one only on a processor that runs it.
#if defined(__x86_64__) || defined(_M_X64)
void runShaperKernelSse2(const ShaperSettings&, ShaperChannelState&, ShaperChannelState&, float*, float*, int) noexcept;
void runShaperKernelAvx2(const ShaperSettings&, ShaperChannelState&, ShaperChannelState&, float*, float*, int) noexcept;
void runShaperKernelAvx512(const ShaperSettings&, ShaperChannelState&, ShaperChannelState&, float*, float*,
                           int) noexcept;
inline constexpr ShaperKernelFunction runPairShaperKernel = runShaperKernelSse2;
#else
void runShaperKernelNeon(const ShaperSettings&, ShaperChannelState&, ShaperChannelState&, float*, float*, int) noexcept;
inline constexpr ShaperKernelFunction runPairShaperKernel = runShaperKernelNeon;
#endif
}  // namespace varnoke
