#include "DemoSignal.h"

#include <cmath>

namespace varnoke::render
{
namespace
{
constexpr double twoPi = 6.283185307179586;

double midiToHz(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// A plucked tone: a few harmonics under an exponential decay.
double pluck(double t, double hz, double decay)
{
    if (t < 0.0)
        return 0.0;
    const double envelope = std::exp(-t * decay) * std::min(1.0, t * 400.0);
    return envelope *
           (std::sin(twoPi * hz * t) + 0.35 * std::sin(twoPi * 2.0 * hz * t) + 0.15 * std::sin(twoPi * 3.0 * hz * t));
}
}  // namespace

juce::AudioSampleBuffer makeDemoSignal(double sampleRate, double seconds)
{
    const int numFrames = static_cast<int>(sampleRate * seconds);
    juce::AudioSampleBuffer buffer(2, numFrames);
    buffer.clear();

    const double beat = 0.5;  // 120 beats per minute
    const int bassLine[] = {40, 40, 43, 45, 40, 40, 47, 45};
    const int chord[] = {64, 67, 71, 74};
    juce::Random noise(20261209);

    for (int frame = 0; frame < numFrames; ++frame)
    {
        const double t = frame / sampleRate;
        const int beatIndex = static_cast<int>(t / beat);
        const double inBeat = t - beatIndex * beat;

        const double bass = 0.45 * pluck(inBeat, midiToHz(bassLine[beatIndex % 8]), 3.0);

        const int bar = static_cast<int>(t / (4.0 * beat));
        const double inBar = t - bar * 4.0 * beat;
        double left = 0.0, right = 0.0;
        for (int voice = 0; voice < 4; ++voice)
        {
            const double tone =
                0.12 * pluck(inBar - 0.01 * voice, midiToHz(chord[voice] + (bar % 2 == 1 ? -2 : 0)), 1.2);
            left += voice % 2 == 0 ? tone : 0.6 * tone;
            right += voice % 2 == 1 ? tone : 0.6 * tone;
        }

        // Off-beat hi-hats: short bursts of bright noise.
        const double inEighth = std::fmod(t, beat / 2.0);
        const double hat = (static_cast<int>(t / (beat / 2.0)) % 2 == 1)
                               ? 0.15 * std::exp(-inEighth * 60.0) * (noise.nextDouble() * 2.0 - 1.0)
                               : 0.0;

        buffer.setSample(0, frame, static_cast<float>(bass + left + hat));
        buffer.setSample(1, frame, static_cast<float>(bass + right + 0.8 * hat));
    }
    return buffer;
}
}  // namespace varnoke::render
