#pragma once

#include "VarnokeAudioProcessor.h"

#include <random>
#include <vector>

// A stereo block of noise at about -6 dBFS.
inline void fillNoise(juce::AudioSampleBuffer& buffer, std::mt19937& random)
{
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample(channel, i, sample(random));
}

// A processor at mid settings (the level-dependent gain included), prepared at 44.1 kHz.
inline void prepareAtMidSettings(varnoke::VarnokeAudioProcessor& processor, int blockSize)
{
    processor.setPlayConfigDetails(2, 2, 44100.0, blockSize);
    processor.prepareToPlay(44100.0, blockSize);
    for (int index = 0; index < 4; ++index)
        processor.setParameter(index, 0.5f);
}

// Loud input followed by about a minute of silence: every memory, gain and DC
// level has decayed to where plain arithmetic would reach subnormal numbers.
inline void decayIntoTheSubnormalRange(varnoke::VarnokeAudioProcessor& processor, juce::AudioSampleBuffer& buffer)
{
    std::mt19937 random(3);
    juce::MidiBuffer midi;
    for (int i = 0; i < 50; ++i)
    {
        fillNoise(buffer, random);
        buffer.applyGain(2.0f);
        processor.processBlock(buffer, midi);
    }
    const int silentFrames = 44100 * 60;
    for (int done = 0; done < silentFrames; done += buffer.getNumSamples())
    {
        buffer.clear();
        processor.processBlock(buffer, midi);
    }
}
