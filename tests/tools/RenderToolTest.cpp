// varnoke-render run as a user runs it: real files in, real files out, the
// exit status and the one line on standard error.

#include "FxPreset.h"
#include "VarnokeAudioProcessor.h"
#include "support/BitPatterns.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace
{
struct RunResult
{
    int status = -1;
    std::string out;
    std::string err;
};

class RenderToolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        directory = juce::File::createTempFile("varnoke-render-test");
        ASSERT_TRUE(directory.createDirectory());
    }
    void TearDown() override { directory.deleteRecursively(); }

    juce::File file(const char* name) const { return directory.getChildFile(name); }
    std::string path(const char* name) const { return file(name).getFullPathName().toStdString(); }

    RunResult run(const std::vector<std::string>& arguments) const
    {
        std::string command = "'" VARNOKE_RENDER_PATH "'";
        for (const std::string& argument : arguments)
            command += " '" + argument + "'";
        command += " >'" + path("stdout.txt") + "' 2>'" + path("stderr.txt") + "'";
        RunResult result;
        const int status = std::system(command.c_str());
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = file("stdout.txt").loadFileAsString().toStdString();
        result.err = file("stderr.txt").loadFileAsString().toStdString();
        file("stdout.txt").deleteFile();
        file("stderr.txt").deleteFile();
        return result;
    }

    // The names of the files in the test's folder.
    std::vector<std::string> filesPresent() const
    {
        std::vector<std::string> names;
        for (const auto& entry : juce::RangedDirectoryIterator(directory, false))
            names.push_back(entry.getFile().getFileName().toStdString());
        std::sort(names.begin(), names.end());
        return names;
    }

    juce::File directory;
};

juce::AudioSampleBuffer noise(int channels, int frames, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(-0.8f, 0.8f);
    juce::AudioSampleBuffer buffer(channels, frames);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i)
            buffer.setSample(c, i, sample(random) * (i % 2000 < 1000 ? 1.0f : 0.1f));
    return buffer;
}

void writeWav(const juce::File& destination, const juce::AudioSampleBuffer& audio, double rate, int bits = 32)
{
    destination.deleteFile();
    auto stream = destination.createOutputStream();
    ASSERT_NE(nullptr, stream);
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(
        wav.createWriterFor(stream.get(), rate, static_cast<unsigned>(audio.getNumChannels()), bits, {}, 0));
    ASSERT_NE(nullptr, writer);
    stream.release();
    ASSERT_TRUE(writer->writeFromAudioSampleBuffer(audio, 0, audio.getNumSamples()));
}

struct WavContents
{
    juce::AudioSampleBuffer audio;
    double rate = 0.0;
    unsigned bits = 0;
};

WavContents readWav(const juce::File& source)
{
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader(wav.createReaderFor(source.createInputStream().release(), true));
    WavContents contents;
    if (reader == nullptr)
        return contents;
    contents.rate = reader->sampleRate;
    contents.bits = reader->bitsPerSample;
    contents.audio.setSize(static_cast<int>(reader->numChannels), static_cast<int>(reader->lengthInSamples));
    reader->read(&contents.audio, 0, contents.audio.getNumSamples(), 0, true, true);
    return contents;
}

// The processor driven directly, as the host boundary drives it.
juce::AudioSampleBuffer processDirectly(juce::AudioSampleBuffer audio, double rate, int block,
                                        std::vector<std::pair<int, float>> parameters)
{
    VarnokeAudioProcessor processor;
    const int channels = audio.getNumChannels();
    processor.setPlayConfigDetails(channels, channels, rate, block);
    for (const auto& [index, value] : parameters)
        processor.setParameter(index, value);
    processor.prepareToPlay(rate, block);
    juce::MidiBuffer midi;
    for (int offset = 0; offset < audio.getNumSamples(); offset += block)
    {
        juce::AudioSampleBuffer part(audio.getArrayOfWritePointers(), channels, offset,
                                     std::min(block, audio.getNumSamples() - offset));
        processor.processBlock(part, midi);
    }
    return audio;
}

void expectSameAudio(const juce::AudioSampleBuffer& expected, const juce::AudioSampleBuffer& actual)
{
    ASSERT_EQ(expected.getNumChannels(), actual.getNumChannels());
    ASSERT_EQ(expected.getNumSamples(), actual.getNumSamples());
    for (int c = 0; c < expected.getNumChannels(); ++c)
        for (int i = 0; i < expected.getNumSamples(); ++i)
            ASSERT_SAME_BITS(expected.getSample(c, i), actual.getSample(c, i)) << "channel " << c << " frame " << i;
}

TEST_F(RenderToolTest, RendersExactlyWhatTheProcessorComputes)
{
    struct Case
    {
        int channels;
        double rate;
        int block;
        std::vector<std::string> options;
        std::vector<std::pair<int, float>> parameters;
    };
    const Case cases[] = {
        {2, 44100.0, 512, {}, {}},
        {2,
         48000.0,
         100,
         {"--block", "100", "--low-contour", "0.3", "--process", "0.7", "--output", "0.4"},
         {{0, 0.3f}, {1, 0.7f}, {2, 0.4f}}},
        {1, 96000.0, 512, {"--process", "1"}, {{1, 1.0f}}},  // mono in, mono out
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.channels == 1 ? "mono" : "stereo");
        const juce::AudioSampleBuffer input = noise(c.channels, 30000, 11);
        writeWav(file("in.wav"), input, c.rate);
        std::vector<std::string> arguments = {path("in.wav"), "-o", path("out.wav")};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());

        const RunResult result = run(arguments);
        ASSERT_EQ(0, result.status) << result.err;
        EXPECT_NE(std::string::npos, result.out.find("30000 frames")) << result.out;

        const WavContents output = readWav(file("out.wav"));
        EXPECT_EQ(c.rate, output.rate);
        EXPECT_EQ(32u, output.bits);
        expectSameAudio(processDirectly(input, c.rate, c.block, c.parameters), output.audio);
    }
}

// Compressed inputs: what the tool renders equals the processor applied to the
// decoded audio.
TEST_F(RenderToolTest, ReadsFlacAndOggVorbis)
{
    juce::FlacAudioFormat flac;
    juce::OggVorbisAudioFormat ogg;
    const std::pair<juce::AudioFormat*, const char*> formats[] = {{&flac, "in.flac"}, {&ogg, "in.ogg"}};
    for (const auto& [format, name] : formats)
    {
        SCOPED_TRACE(name);
        {
            auto stream = file(name).createOutputStream();
            ASSERT_NE(nullptr, stream);
            const int bits = format == &flac ? 24 : 16;
            std::unique_ptr<juce::AudioFormatWriter> writer(
                format->createWriterFor(stream.get(), 44100.0, 2, bits, {}, format == &ogg ? 5 : 0));
            ASSERT_NE(nullptr, writer);
            stream.release();
            const juce::AudioSampleBuffer input = noise(2, 20000, 8);
            ASSERT_TRUE(writer->writeFromAudioSampleBuffer(input, 0, input.getNumSamples()));
        }
        juce::AudioFormatManager formatsKnown;
        formatsKnown.registerBasicFormats();
        std::unique_ptr<juce::AudioFormatReader> reader(formatsKnown.createReaderFor(file(name)));
        ASSERT_NE(nullptr, reader);
        juce::AudioSampleBuffer decoded(2, static_cast<int>(reader->lengthInSamples));
        reader->read(&decoded, 0, decoded.getNumSamples(), 0, true, true);

        const RunResult result = run({path(name), "-o", path("out.wav")});
        ASSERT_EQ(0, result.status) << result.err;
        expectSameAudio(processDirectly(decoded, 44100.0, 512, {}), readWav(file("out.wav")).audio);
    }
}

TEST_F(RenderToolTest, BypassPassesTheInputThroughAndIntegerFormatsAreWritten)
{
    const juce::AudioSampleBuffer input = noise(2, 5000, 3);
    writeWav(file("in.wav"), input, 44100.0);
    ASSERT_EQ(0, run({path("in.wav"), "-o", path("dry.wav"), "--bypass", "--process", "1"}).status);
    expectSameAudio(input, readWav(file("dry.wav")).audio);

    for (const int bits : {16, 24})
    {
        ASSERT_EQ(0, run({path("in.wav"), "-o", path("int.wav"), "--bits", std::to_string(bits)}).status);
        EXPECT_EQ(static_cast<unsigned>(bits), readWav(file("int.wav")).bits);
    }
}

TEST_F(RenderToolTest, SavedPresetsRestoreTheSameSettings)
{
    const juce::AudioSampleBuffer input = noise(2, 8000, 5);
    writeWav(file("in.wav"), input, 44100.0);
    const std::vector<std::string> knobs = {"--low-contour", "0.25", "--process", "0.6", "--output", "0.45"};

    for (const char* presetName : {"warm.fxp", "warm.fxb"})
    {
        SCOPED_TRACE(presetName);
        std::vector<std::string> save = {path("in.wav"), "-o", path("direct.wav"), "--save-preset", path(presetName)};
        save.insert(save.end(), knobs.begin(), knobs.end());
        ASSERT_EQ(0, run(save).status);
        ASSERT_EQ(0, run({path("in.wav"), "-o", path("from-preset.wav"), "--preset", path(presetName)}).status);
        expectSameAudio(readWav(file("direct.wav")).audio, readWav(file("from-preset.wav")).audio);

        const RunResult info = run({"--info", "--preset", path(presetName)});
        ASSERT_EQ(0, info.status) << info.err;
        EXPECT_NE(std::string::npos, info.out.find("Low Contour  0.25")) << info.out;
        EXPECT_NE(std::string::npos, info.out.find("Process      0.6")) << info.out;
        EXPECT_NE(std::string::npos, info.out.find("Output       0.45")) << info.out;
    }
}

TEST_F(RenderToolTest, ScanInfoShowsWhatAHostSees)
{
    const RunResult info = run({"--info"});
    ASSERT_EQ(0, info.status) << info.err;
    for (const char* line : {"Name         Varnoke", "Vendor       Ostrelund", "Version      100",
                             "Unique ID    'Plug'", "Category     1 (effect)", "Channels     2 in, 2 out",
                             "Flags        0x231", "Parameters   3", "Output       0.5"})
        EXPECT_NE(std::string::npos, info.out.find(line)) << line << "\n" << info.out;
}

TEST_F(RenderToolTest, PlotsTheResponseOfSeveralSettings)
{
    const RunResult result = run({"--plot", path("response.png"), "--compare", "0,0,0.5", "--compare", "1,1,0.5"});
    ASSERT_EQ(0, result.status) << result.err;
    EXPECT_EQ((std::vector<std::string>{"response.png"}), filesPresent());  // no audio without input or -o
    const juce::Image plot = juce::ImageFileFormat::loadFrom(file("response.png"));
    EXPECT_EQ(1000, plot.getWidth());
    EXPECT_EQ(580, plot.getHeight());
}

void writeBytes(const juce::File& destination, const std::vector<unsigned char>& bytes)
{
    destination.replaceWithData(bytes.data(), bytes.size());
}

// Every refusal: a non-zero status, one line on standard error, and no output
// file (not even a partial one) left behind.
TEST_F(RenderToolTest, RefusesBadInputWithOneLineAndNoOutput)
{
    writeWav(file("in.wav"), noise(2, 4000, 1), 44100.0);
    juce::MemoryBlock wavBytes;
    file("in.wav").loadFileAsData(wavBytes);
    file("truncated.wav").replaceWithData(wavBytes.getData(), wavBytes.getSize() / 2);
    file("text.wav").replaceWithText("not audio at all");
    writeWav(file("six.wav"), noise(6, 100, 2), 44100.0);

    FxPreset other;
    other.pluginId = fourCharacterCode("Othr");
    other.chunk = {1, 2, 3};
    writeBytes(file("other.fxp"), writeFxPreset(other, 3, 0));
    writeBytes(file("garbage.fxp"), {'C', 'c', 'n', 'K', 0, 0, 0, 90, 'F', 'P'});
    const std::vector<std::string> inputsBefore = filesPresent();

    const std::string out = path("out.wav");
    struct Case
    {
        const char* name;
        std::vector<std::string> arguments;
        const char* says;
    };
    const Case cases[] = {
        {"missing input", {path("missing.wav"), "-o", out}, "input file not found"},
        {"not audio", {path("text.wav"), "-o", out}, "cannot read"},
        {"truncated audio", {path("truncated.wav"), "-o", out}, "truncated"},
        {"six channels", {path("six.wav"), "-o", out}, "6 channels"},
        {"unknown option", {path("in.wav"), "-o", out, "--wet"}, "unknown option --wet"},
        {"knob out of range", {path("in.wav"), "-o", out, "--process", "1.5"}, "out of range"},
        {"knob not a number", {path("in.wav"), "-o", out, "--low-contour", "lots"}, "needs a number"},
        {"block of zero", {path("in.wav"), "-o", out, "--block", "0"}, "out of range"},
        {"unsupported bits", {path("in.wav"), "-o", out, "--bits", "20"}, "16, 24 or 32"},
        {"missing value", {path("in.wav"), "-o"}, "needs a value"},
        {"two inputs", {path("in.wav"), path("in.wav"), "-o", out}, "only one input"},
        {"unwritable output", {path("in.wav"), "-o", path("no-such-folder/out.wav")}, "not writable"},
        {"preset of another plug-in", {path("in.wav"), "-o", out, "--preset", path("other.fxp")}, "another plug-in"},
        {"malformed preset", {path("in.wav"), "-o", out, "--preset", path("garbage.fxp")}, "garbage.fxp"},
        {"missing preset", {path("in.wav"), "-o", out, "--preset", path("none.fxp")}, "cannot open"},
        {"missing plug-in", {path("in.wav"), "-o", out, "--plugin", path("none.so")}, "plug-in not found"},
        {"plug-in not a library", {path("in.wav"), "-o", out, "--plugin", path("text.wav")}, "cannot load plug-in"},
        {"plug-in not Varnoke",
         {path("in.wav"), "-o", out, "--plugin", VARNOKE_FAKE_EFFECT_PATH},
         "not a Varnoke build"},
        {"compare without plot", {path("in.wav"), "-o", out, "--compare", "0,0,0.5"}, "--plot"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const RunResult result = run(c.arguments);
        EXPECT_NE(std::string::npos, result.err.find(c.says)) << result.err;
        EXPECT_NE(0, result.status);
        EXPECT_EQ(0u, result.out.size()) << result.out;
        ASSERT_FALSE(result.err.empty());
        EXPECT_EQ(result.err.size() - 1, result.err.find('\n')) << result.err;
        EXPECT_EQ(0u, result.err.rfind("varnoke-render: ", 0)) << result.err;
        EXPECT_EQ(inputsBefore, filesPresent());
    }
}
}  // namespace
