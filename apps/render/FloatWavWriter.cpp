#include "FloatWavWriter.h"

#include "FloatWavHeader.h"

#include <cstring>

namespace varnoke::render
{
FloatWavWriter::FloatWavWriter(juce::OutputStream* stream, double rate, int channels)
    : AudioFormatWriter(stream, "WAV file", rate, static_cast<unsigned int>(channels), 32)
{
    usesFloatingPointData = true;
    ok = writeHeader();
}

FloatWavWriter::~FloatWavWriter()
{
    if (ok && output->setPosition(0))
        writeHeader();
}

bool FloatWavWriter::writeHeader()
{
    const auto header = makeFloatWavHeader(static_cast<int>(numChannels), sampleRate, framesWritten);
    return output->write(header.data(), header.size());
}

bool FloatWavWriter::write(const int** samples, int numFrames)
{
    if (!ok)
        return false;
    const auto channels = static_cast<size_t>(numChannels);
    const auto frames = static_cast<size_t>(numFrames);
    interleaved.resize(frames * channels * 4);
    // The file is little-endian: on such a machine each sample is one plain
    // store, and a channel's samples go to every channels-th place.
    for (size_t channel = 0; channel < channels; ++channel)
    {
        const auto* source = reinterpret_cast<const float*>(samples[channel]);
        unsigned char* byte = interleaved.data() + channel * 4;
        for (size_t frame = 0; frame < frames; ++frame, byte += channels * 4)
        {
            std::uint32_t bits;
            std::memcpy(&bits, source + frame, sizeof bits);
            bits = juce::ByteOrder::swapIfBigEndian(bits);
            std::memcpy(byte, &bits, sizeof bits);
        }
    }
    ok = output->write(interleaved.data(), interleaved.size());
    if (ok)
        framesWritten += frames;
    return ok;
}
}  // namespace varnoke::render
