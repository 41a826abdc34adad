// Renders the built-in demo signal through the processor and prints a summary.

#include "DemoSignal.h"
#include "VarnokeAudioProcessor.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace
{
struct Levels
{
    float peak = 0.0f;
    double rms = 0.0;
};

Levels measure(const juce::AudioSampleBuffer& buffer)
{
    Levels levels;
    double sumOfSquares = 0.0;
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
    {
        const float* samples = buffer.getReadPointer(channel);
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            levels.peak = std::max(levels.peak, std::abs(samples[i]));
            sumOfSquares += static_cast<double>(samples[i]) * samples[i];
        }
    }
    const double count = static_cast<double>(buffer.getNumChannels()) * buffer.getNumSamples();
    levels.rms = count > 0.0 ? std::sqrt(sumOfSquares / count) : 0.0;
    return levels;
}

double toDecibels(double gain)
{
    return gain > 0.0 ? 20.0 * std::log10(gain) : -INFINITY;
}
}  // namespace

int main()
{
    const double sampleRate = 44100.0;
    const int blockSize = 512;
    juce::AudioSampleBuffer audio = makeDemoSignal(sampleRate, 6.0);
    const Levels in = measure(audio);

    VarnokeAudioProcessor processor;
    processor.setParameter(VarnokeAudioProcessor::lowContourIndex, 0.3f);
    processor.setParameter(VarnokeAudioProcessor::processIndex, 0.4f);
    processor.prepareToPlay(sampleRate, blockSize);

    juce::MidiBuffer midi;
    const auto start = std::chrono::steady_clock::now();
    for (int offset = 0; offset < audio.getNumSamples(); offset += blockSize)
    {
        const int length = std::min(blockSize, audio.getNumSamples() - offset);
        juce::AudioSampleBuffer block(audio.getArrayOfWritePointers(), 2, offset, length);
        processor.processBlock(block, midi);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const Levels out = measure(audio);

    std::printf("Varnoke demo: %d frames at %.0f Hz, Low Contour 0.3, Process 0.4, Output 0.5\n",
                audio.getNumSamples(), sampleRate);
    std::printf("  in : peak %.1f dBFS, RMS %.1f dBFS\n", toDecibels(in.peak), toDecibels(in.rms));
    std::printf("  out: peak %.1f dBFS, RMS %.1f dBFS\n", toDecibels(out.peak), toDecibels(out.rms));
    std::printf("  processed in %.2f ms, %.0f x real time\n", seconds * 1000.0,
                audio.getNumSamples() / sampleRate / seconds);
    return 0;
}
