#include "RenderJob.h"

#include "AtomicOutputFile.h"
#include "DemoSignal.h"
#include "FileDescriptorOutputStream.h"
#include "FloatWavWriter.h"
#include "ProductIdentity.h"
#include "RenderError.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <chrono>
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

// A progress bar on standard error, only for a terminal and for long inputs.
class ProgressBar
{
public:
    ProgressBar(juce::int64 totalFrames, double sampleRate)
        : total(totalFrames)
        , enabled(isatty(STDERR_FILENO) != 0 && totalFrames > sampleRate * 5.0)
    {
    }
    ~ProgressBar()
    {
        if (enabled && shown)
            std::fprintf(stderr, "\r%60s\r", "");
    }
    void update(juce::int64 done)
    {
        if (!enabled)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (shown && now - lastDraw < std::chrono::milliseconds(100))
            return;
        lastDraw = now;
        shown = true;
        const double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
        const int filled = static_cast<int>(fraction * 40.0);
        std::fprintf(stderr, "\rRendering [%.*s%*s] %3d%%", filled, "########################################",
                     40 - filled, "", static_cast<int>(fraction * 100.0));
        std::fflush(stderr);
    }

private:
    juce::int64 total;
    bool enabled;
    bool shown = false;
    std::chrono::steady_clock::time_point lastDraw;
};

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

void SignalLevels::add(const float* const* channels, int numChannels, int numFrames)
{
    for (int channel = 0; channel < numChannels; ++channel)
        for (int i = 0; i < numFrames; ++i)
        {
            const float sample = channels[channel][i];
            peak = std::max(peak, std::abs(sample));
            sumOfSquares += static_cast<double>(sample) * sample;
        }
    count += static_cast<double>(numChannels) * numFrames;
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
    const juce::File file(juce::File::getCurrentWorkingDirectory().getChildFile(juce::String(path)));
    if (!file.existsAsFile())
        throw RenderError("input file not found: " + path);
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader(formats.createReaderFor(file));
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
                         const std::string& path)
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
    ProgressBar progress(source.numFrames(), source.sampleRate());
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
        if (const int bad = firstNonFiniteFrame(processed.getArrayOfReadPointers(), channels, frames); bad >= 0)
            throw RenderError("cannot write " + path +
                              ": the plug-in output a non-finite sample (NaN or infinity) at frame " +
                              std::to_string(done + bad));
        result.out.add(processed.getArrayOfReadPointers(), channels, frames);
        if (!writer->writeFromFloatArrays(processed.getArrayOfReadPointers(), channels, frames))
            throw RenderError("cannot write " + path + ": write failed (disk full?)");
        done += frames;
        progress.update(done);
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
