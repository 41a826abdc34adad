#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace varnoke::render
{
// A few seconds of something musical with lows and highs, generated in code so
// the demo needs no audio file: a bass line, a chord and a hi-hat pattern.
juce::AudioSampleBuffer makeDemoSignal(double sampleRate, double seconds);
}  // namespace varnoke::render
