#include "RenderJob.h"

#include "AtomicOutputFile.h"
#include "DemoSignal.h"
#include "FileDescriptorOutputStream.h"
#include "FileKindRefusal.h"
#include "FloatWavWriter.h"
#include "ProductIdentity.h"
#include "RenderError.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <chrono>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace varnoke::render
{
namespace
{
double decibels(double gain)
{
    return gain > 0.0 ? 20.0 * std::log10(gain) : -INFINITY;
}

class FileSource : public AudioSource
{
public:
    explicit FileSource(std::unique_ptr<juce::AudioFormatReader> r)
        : reader(std::move(r))
    {
    }
    double sampleRate() const override { return reader->sampleRate; }
    int numChannels() const override { return static_cast<int>(reader->numChannels); }
    juce::int64 numFrames() const override { return reader->lengthInSamples; }
    bool read(juce::AudioSampleBuffer& destination, int frames) override
    {
        const bool ok = reader->read(&destination, 0, frames, position, true, true);
        position += frames;
        return ok;
    }

private:
    std::unique_ptr<juce::AudioFormatReader> reader;
    juce::int64 position = 0;
};

class DemoSource : public AudioSource
{
public:
    DemoSource()
        : signal(makeDemoSignal(rate, 8.0))
    {
    }
    double sampleRate() const override { return rate; }
    int numChannels() const override { return 2; }
    juce::int64 numFrames() const override { return signal.getNumSamples(); }
    bool read(juce::AudioSampleBuffer& destination, int frames) override
    {
        for (int channel = 0; channel < 2; ++channel)
            destination.copyFrom(channel, 0, signal, channel, position, frames);
        position += frames;
        return true;
    }

private:
    static constexpr double rate = 44100.0;
    juce::AudioSampleBuffer signal;
    int position = 0;
};

// As AudioFormatManager::createReaderFor(File), which tries the formats that
// claim the file's extension, but reading through a buffer: the readers ask
// for a few kilobytes at a time, and a file stream makes a system call for each.
juce::AudioFormatReader* createBufferedReader(juce::AudioFormatManager& formats, const juce::File& file)
{
    constexpr int bufferBytes = 1 << 18;
    for (int index = 0; index < formats.getNumKnownFormats(); ++index)
    {
        juce::AudioFormat* format = formats.getKnownFormat(index);
        if (!format->canHandleFile(file))
            continue;
        if (std::unique_ptr<juce::FileInputStream> in = file.createInputStream())
            if (juce::AudioFormatReader* reader =
                    format->createReaderFor(new juce::BufferedInputStream(in.release(), bufferBytes, true), true))
                return reader;
    }
    return nullptr;
}

// Uncompressed files whose header promises more audio than the file holds
// would otherwise read as silently zero-padded.
bool looksTruncated(const juce::File& file, const juce::AudioFormatReader& reader)
{
    const juce::String format = reader.getFormatName();
    if (!format.containsIgnoreCase("WAV") && !format.containsIgnoreCase("AIFF"))
        return false;
    const juce::int64 dataBytes = reader.lengthInSamples * reader.numChannels * (reader.bitsPerSample / 8);
    return file.getSize() < dataBytes;
}

// JUCE's WAV and AIFF readers decode 8, 16, 24 and 32-bit integer samples and
// 32-bit floating-point ones; other sizes (12-bit integers, floats declared
// with 16 bits) would read as silence or garbage. Returns the refusal, if any.
std::string undecodableSampleFormat(const juce::AudioFormatReader& reader)
{
    const juce::String format = reader.getFormatName();
    if (!format.containsIgnoreCase("WAV") && !format.containsIgnoreCase("AIFF"))
        return {};
    const unsigned bits = reader.bitsPerSample;
    const bool decodable =
        reader.usesFloatingPointData ? bits == 32 : (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    if (decodable)
        return {};
    return std::to_string(bits) + "-bit " + (reader.usesFloatingPointData ? "floating-point" : "integer") +
           " samples are not supported (8, 16, 24 or 32-bit integer, or 32-bit floating point)";
}

// The first frame of a block holding NaN or infinity, or -1.
int firstNonFiniteFrame(const float* const* channels, int numChannels, int numFrames)
{
    for (int i = 0; i < numFrames; ++i)
        for (int channel = 0; channel < numChannels; ++channel)
            if (!std::isfinite(channels[channel][i]))
                return i;
    return -1;
}
}  // namespace

bool SignalLevels::add(const float* const* channels, int numChannels, int numFrames)
{
    // Four running sums (and peaks), so that each addition need not wait for
    // the one before it; the block's squares are then added to the total at
    // once. With SSE2 the four lanes are two vectors of two doubles, which
    // add exactly as the scalar lanes do.
    constexpr int lanes = 4;
    float peaks[lanes] = {};
    double sums[lanes] = {};
    for (int channel = 0; channel < numChannels; ++channel)
    {
        const float* samples = channels[channel];
        int i = 0;
#if defined(__SSE2__)
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        __m128 peak4 = _mm_loadu_ps(peaks);
        __m128d sumLow = _mm_loadu_pd(sums), sumHigh = _mm_loadu_pd(sums + 2);
        for (; i + lanes <= numFrames; i += lanes)
        {
            const __m128 four = _mm_loadu_ps(samples + i);
            peak4 = _mm_max_ps(_mm_and_ps(four, magnitude), peak4);  // a NaN keeps the peak, as std::max does
            const __m128d low = _mm_cvtps_pd(four), high = _mm_cvtps_pd(_mm_movehl_ps(four, four));
            sumLow = _mm_add_pd(sumLow, _mm_mul_pd(low, low));
            sumHigh = _mm_add_pd(sumHigh, _mm_mul_pd(high, high));
        }
        _mm_storeu_ps(peaks, peak4);
        _mm_storeu_pd(sums, sumLow);
        _mm_storeu_pd(sums + 2, sumHigh);
#endif
        for (; i + lanes <= numFrames; i += lanes)
            for (int lane = 0; lane < lanes; ++lane)
            {
                const float sample = samples[i + lane];
                peaks[lane] = std::max(peaks[lane], std::abs(sample));
                sums[lane] += static_cast<double>(sample) * sample;
            }
        for (; i < numFrames; ++i)
        {
            peaks[0] = std::max(peaks[0], std::abs(samples[i]));
            sums[0] += static_cast<double>(samples[i]) * samples[i];
        }
    }
    const double blockSum = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    peak = std::max({peak, peaks[0], peaks[1], peaks[2], peaks[3]});
    sumOfSquares += blockSum;
    count += static_cast<double>(numChannels) * numFrames;
    // The square of any finite float, even summed over the largest block, is
    // a finite double; NaN or infinity anywhere makes the sum non-finite.
    return std::isfinite(blockSum);
}

double SignalLevels::peakDecibels() const
{
    return decibels(peak);
}

double SignalLevels::rmsDecibels() const
{
    return decibels(count > 0.0 ? std::sqrt(sumOfSquares / count) : 0.0);
}

std::unique_ptr<AudioSource> openAudioFile(const std::string& path)
{
    // Before any open: a FIFO without a writer would block it for ever.
    if (const std::string refusal = refusalOfKindAt(path); !refusal.empty())
        throw RenderError(refusal);
    const juce::File file(juce::File::getCurrentWorkingDirectory().getChildFile(juce::String(path)));
    if (!file.existsAsFile())
        throw RenderError("input file not found: " + path);
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader(createBufferedReader(formats, file));
    if (reader == nullptr)
        throw RenderError("cannot read " + path + ": not a WAV, AIFF, FLAC or Ogg Vorbis file, or damaged");
    if (reader->numChannels < 1 || reader->numChannels > 2)
        throw RenderError(path + " has " + std::to_string(reader->numChannels) + " channels; " + product::name +
                          " takes mono or stereo");
    if (!(reader->sampleRate > 0.0) || reader->lengthInSamples < 0)
        throw RenderError("cannot read " + path + ": invalid sample rate or length");
    if (looksTruncated(file, *reader))
        throw RenderError("cannot read " + path + ": the file is truncated");
    if (const std::string refusal = undecodableSampleFormat(*reader); !refusal.empty())
        throw RenderError("cannot read " + path + ": " + refusal);
    return std::make_unique<FileSource>(std::move(reader));
}

std::unique_ptr<AudioSource> openDemoSignal()
{
    return std::make_unique<DemoSource>();
}

RenderResult renderToWav(AudioSource& source, host::VstInstance& plugin, int blockSize, int bits,
                         const std::string& path, const std::function<void(juce::int64)>& onProgress)
{
    AtomicOutputFile output(path);
    output.open();
    int writeError = 0;
    auto stream = std::make_unique<FileDescriptorOutputStream>(output.descriptor(), writeError);
    const int channels = source.numChannels();
    std::unique_ptr<juce::AudioFormatWriter> writer;
    if (bits == 32)
        writer = std::make_unique<FloatWavWriter>(stream.release(), source.sampleRate(), channels);
    else
    {
        juce::WavAudioFormat wav;
        writer.reset(
            wav.createWriterFor(stream.get(), source.sampleRate(), static_cast<unsigned int>(channels), bits, {}, 0));
        if (writer == nullptr)
            throw RenderError("cannot write " + path + ": unsupported output format");
        stream.release();  // the writer owns it now
    }

    // The effect announces two inputs and two outputs; a mono rendering uses
    // the first of each and gives the second a spare buffer.
    juce::AudioSampleBuffer input(2, blockSize), processed(2, blockSize);
    input.clear();
    float* inputs[] = {input.getWritePointer(0), input.getWritePointer(1)};
    float* outputs[] = {processed.getWritePointer(0), processed.getWritePointer(1)};

    RenderResult result;
    const auto start = std::chrono::steady_clock::now();
    for (juce::int64 done = 0; done < source.numFrames();)
    {
        const int frames = static_cast<int>(std::min<juce::int64>(blockSize, source.numFrames() - done));
        juce::AudioSampleBuffer block(input.getArrayOfWritePointers(), channels, frames);
        if (!source.read(block, frames))
            throw RenderError("cannot read the input: read error after " + std::to_string(done) + " frames");
        result.in.add(input.getArrayOfReadPointers(), channels, frames);
        plugin.process(inputs, outputs, frames);
        // A file of NaN or infinity is no rendering, whatever wrote it.
        if (!result.out.add(processed.getArrayOfReadPointers(), channels, frames))
            throw RenderError(
                "cannot write " + path + ": the plug-in output a non-finite sample (NaN or infinity) at frame " +
                std::to_string(done + firstNonFiniteFrame(processed.getArrayOfReadPointers(), channels, frames)));
        if (!writer->writeFromFloatArrays(processed.getArrayOfReadPointers(), channels, frames))
            throw RenderError("cannot write " + path + ": write failed (disk full?)");
        done += frames;
        if (onProgress)
            onProgress(done);
    }
    result.frames = source.numFrames();
    writer.reset();  // completes the header
    const juce::int64 audioBytes = result.frames * channels * (bits / 8);
    struct stat written = {};
    if (writeError != 0 || fstat(output.descriptor(), &written) != 0 || written.st_size < audioBytes)
        throw RenderError("cannot write " + path + ": the file is incomplete (disk full?)");
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    output.commit();
    return result;
}
}  // namespace varnoke::render
