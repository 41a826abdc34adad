#pragma once

#include "Biquad.h"
#include "CrossoverDesign.h"

#include <atomic>

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

    // Designs the sections for a sample rate in Hz and sets the smoothing
    // constants. The memories are left as they are: after a change of rate,
    // processing continues from them with the new coefficients.
    void prepare(double sampleRate) noexcept;

    // Puts both channels at rest, as after construction.
    void reset() noexcept;

    // Any thread, lock-free.
    void setGains(const Gains& gains) noexcept;
    Gains getGains() const noexcept;

    // Processes frames in place, with subnormal numbers flushed to zero. Without
    // a right channel, the left one runs alone on the channel-0 memories and the
    // channel-1 memories stay as they are. A channel whose memories went
    // non-finite starts the next block from rest.
    void process(float* left, float* right, int frames) noexcept;

    const CrossoverSections& getSections() const noexcept { return sections; }
    double getSmoothStep() const noexcept { return smoothStep; }
    double getSmoothKeep() const noexcept { return smoothKeep; }

private:
    // The memories of one channel.
    struct ChannelState
    {
        double cvGain = 0.0;  // smoothed level-dependent high-band gain
        BiquadState allPass, lowPass, highPass;
        double dc = 0.0;  // running mean of the mix
    };

    class ScopedFlushToZero;

    template <bool bothChannels> void processChannels(float* left, float* right, int frames) noexcept;
    static void restartIfNonFinite(ChannelState& channel) noexcept;

    // Zero until the first prepare(): an unprepared shaper outputs silence.
    CrossoverSections sections;
    double smoothStep = 0.0;
    double smoothKeep = 0.0;

    std::atomic<double> lowGain{0.0};
    std::atomic<double> highGain{0.0};
    std::atomic<double> cvDepth{0.0};
    std::atomic<double> outputGain{0.0};
    static_assert(std::atomic<double>::is_always_lock_free);

    ChannelState leftState;
    ChannelState rightState;
};
}  // namespace varnoke
