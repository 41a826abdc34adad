#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <vector>

namespace varnoke::render
{
// Writes 32-bit floating-point WAV files in the standard form (see
// FloatWavHeader), which other readers take without warnings; JUCE's own
// writer leaves out the format extension size and the fact chunk. The sample
// bits are written as they are. The header is completed when the writer is
// destroyed; a failure shows in the stream's error state.
class FloatWavWriter : public juce::AudioFormatWriter
{
public:
    // Takes ownership of the stream, as JUCE's writers do.
    FloatWavWriter(juce::OutputStream* stream, double sampleRate, int numChannels);
    ~FloatWavWriter() override;

    // samples holds float channel pointers (usesFloatingPointData).
    bool write(const int** samples, int numFrames) override;

private:
    bool writeHeader();

    juce::uint64 framesWritten = 0;
    std::vector<unsigned char> interleaved;
    bool ok = true;
};
}  // namespace varnoke::render
