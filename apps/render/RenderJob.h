#pragma once

#include "RenderOptions.h"
#include "VstInstance.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <functional>
#include <memory>
#include <string>

namespace varnoke::render
{
// Levels of a signal, accumulated block by block.
struct SignalLevels
{
    float peak = 0.0f;
    double sumOfSquares = 0.0;
    double count = 0.0;

    // Adds a block; false when it holds NaN or infinity.
    bool add(const float* const* channels, int numChannels, int numFrames);
    double peakDecibels() const;
    double rmsDecibels() const;
};

// Supplies the audio to render block by block: a file or the demo signal.
class AudioSource
{
public:
    virtual ~AudioSource() = default;
    virtual double sampleRate() const = 0;
    virtual int numChannels() const = 0;
    virtual juce::int64 numFrames() const = 0;
    // Fills numFrames frames of every channel; false when the source fails.
    virtual bool read(juce::AudioSampleBuffer& destination, int numFrames) = 0;
};

// Throws RenderError when the file cannot be rendered as it is.
std::unique_ptr<AudioSource> openAudioFile(const std::string& path);
std::unique_ptr<AudioSource> openDemoSignal();

struct RenderResult
{
    juce::int64 frames = 0;
    SignalLevels in, out;
    double seconds = 0.0;
};

// Streams the source through the plug-in instance into a WAV file (written to a
// temporary name and renamed into place when complete), telling onProgress
// the frames done after each block; throws RenderError.
RenderResult renderToWav(AudioSource& source, host::VstInstance& plugin, int blockSize, int bits,
                         const std::string& path, const std::function<void(juce::int64)>& onProgress = {});
}  // namespace varnoke::render
