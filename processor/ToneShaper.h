#pragma once

#include "Biquad.h"
#include "CrossoverDesign.h"
#include "ShaperKernel.h"

namespace varnoke
{
// The signal path of one stereo pair: the three crossover sections per channel,
// the smoothed high-band gain, the mix, the DC tracker and the output gain.
// Plain C++ with no framework in sight, so it can be tested and measured on
// its own.
//
// The gains are shared with the threads that change parameters: relaxed
// atomics, each written and read whole, read afresh at every sample so a change
// applies from the next one. Everything else belongs to the audio thread, or to
// prepare(), which must never run during process().
class ToneShaper
{
public:
    // Both one-pole smoothers (the high-band gain and the DC tracker) move by
    // this share of the distance per sample: a time constant of about 3333
    // samples at any rate.
    static constexpr double smoothingStep = 0.0003;
    static constexpr double smoothingKeep = 0.9997;

    struct Gains
    {
        double low = 0.0;      // on the low band
        double high = 0.0;     // on the high band
        double cvDepth = 0.0;  // depth of the level-dependent high-band gain
        double output = 0.0;   // on the whole output
    };

    // Designs the sections for a sample rate in Hz (one that is not a real rate
    // plays at 44100 Hz), sets the smoothing constants and chooses the kernel
    // (see chooseShaperKernel). The memories are left as they are: after a change of rate,
    // processing continues from them with the new coefficients.
    void prepare(double sampleRate) noexcept;

    // The kernel process() runs. Every kernel gives the same output bits.
    ShaperKernel getKernel() const noexcept { return kernel; }

    // For tests and measurements: runs the given kernel until the next
    // prepare(). Answers false, and changes nothing, if this processor cannot
    // run it. Not during process().
    bool useKernel(ShaperKernel newKernel) noexcept;

    // Puts both channels at rest, as after construction.
    void reset() noexcept;

    // Any thread, lock-free.
    void setGains(const Gains& gains) noexcept;
    Gains getGains() const noexcept;

    // Processes frames in place, with subnormal numbers flushed to zero. Without
    // a right channel, the left one runs alone on the channel-0 memories and the
    // channel-1 memories stay as they are. A channel whose memories went
    // non-finite, or far beyond the float range, starts the next block from rest.
    void process(float* left, float* right, int frames) noexcept;

    const CrossoverSections& getSections() const noexcept { return settings.sections; }
    double getSmoothStep() const noexcept { return settings.smoothStep; }
    double getSmoothKeep() const noexcept { return settings.smoothKeep; }

private:
    static void restartIfDamaged(ShaperChannelState& channel) noexcept;

    // Coefficients and constants are zero until the first prepare(): an
    // unprepared shaper outputs silence.
    ShaperSettings settings;

    // Chosen in prepare(), never per block.
    ShaperKernel kernel = pairShaperKernel;
    ShaperKernelFunction runKernel = runPairShaperKernel;

    ShaperChannelState leftState;
    ShaperChannelState rightState;
};
}  // namespace varnoke
