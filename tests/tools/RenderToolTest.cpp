// varnoke-render run as a user runs it: real files in, real files out, the
// exit status and the one line on standard error.

#include "FxPreset.h"
#include "ProductIdentity.h"
#include "VarnokeAudioProcessor.h"
#include "support/BitPatterns.h"
#include "support/CommandOutput.h"
#include "support/StateChunkBytes.h"

#include <gtest/gtest.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace varnoke;
using namespace varnoke::test;

extern char** environ;

namespace
{
using varnoke::product::fourCharacterCode;
using varnoke::render::FxPreset;
using varnoke::render::writeFxPreset;

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

    // Runs the tool; environment is prefixed to the command ("NAME=value").
    // Without a working directory, the tool runs in the test's. A run that
    // hangs (on a FIFO, say) is ended after two minutes, with status 124.
    RunResult run(const std::vector<std::string>& arguments, const std::string& environment = {},
                  const std::string& workingDirectory = {}) const
    {
        std::string command = environment + " timeout -k 10 120 '" VARNOKE_RENDER_PATH "'";
        if (!workingDirectory.empty())
            command = "cd '" + workingDirectory + "' && " + command;
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

    // The names of the files and folders in the test's folder.
    std::vector<std::string> filesPresent() const
    {
        std::vector<std::string> names;
        for (const auto& entry :
             juce::RangedDirectoryIterator(directory, false, "*", juce::File::findFilesAndDirectories))
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

// A refusal: a non-zero status, nothing on standard output, and one line on
// standard error that says why.
void expectOneLineRefusal(const RunResult& result, const std::string& says)
{
    EXPECT_NE(std::string::npos, result.err.find(says)) << result.err;
    EXPECT_NE(0, result.status);
    EXPECT_EQ(0u, result.out.size()) << result.out;
    ASSERT_FALSE(result.err.empty());
    EXPECT_EQ(result.err.size() - 1, result.err.find('\n')) << result.err;
    EXPECT_EQ(0u, result.err.rfind("varnoke-render: ", 0)) << result.err;
}

// A WAV file with the given format tag and sample size in its header, over
// a few bytes of audio.
std::vector<unsigned char> wavWithFormat(std::uint16_t formatTag, std::uint16_t bitsPerSample)
{
    std::vector<unsigned char> bytes;
    const auto tag = [&bytes](const char* code) { bytes.insert(bytes.end(), code, code + 4); };
    const auto little = [&bytes](std::uint32_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };
    const std::uint16_t blockAlign = static_cast<std::uint16_t>((bitsPerSample + 7) / 8);
    const std::uint32_t dataSize = 2000;
    tag("RIFF");
    little(4 + 24 + 8 + dataSize, 4);
    tag("WAVE");
    tag("fmt ");
    little(16, 4);
    little(formatTag, 2);
    little(1, 2);  // mono
    little(44100, 4);
    little(44100u * blockAlign, 4);
    little(blockAlign, 2);
    little(bitsPerSample, 2);
    tag("data");
    little(dataSize, 4);
    for (std::uint32_t i = 0; i < dataSize; ++i)
        bytes.push_back(static_cast<unsigned char>(i * 37));
    return bytes;
}

std::vector<unsigned char> presetWithStateText(const std::string& text)
{
    FxPreset preset;
    preset.pluginId = fourCharacterCode("Plug");
    preset.pluginVersion = 100;
    preset.chunk = stateChunkWithText(text);
    return writeFxPreset(preset, 3, 0);
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
    writeBytes(file("good.fxp"), presetWithStateText(R"(<pushState low_contour="0.2" process="0.3" output_g="0.5"/>)"));
    writeBytes(file("nan.fxp"), presetWithStateText(R"(<pushState low_contour="nan" process="0.5" output_g="0.5"/>)"));
    writeBytes(file("inf.fxp"), presetWithStateText(R"(<pushState low_contour="0" process="0" output_g="inf"/>)"));
    ASSERT_TRUE(file("folder").createDirectory());
    // Two files of 2 GiB that take no space: zeros, and a preset header then zeros.
    ASSERT_TRUE(file("sparse.fxp").create());
    writeBytes(file("huge.fxp"), {'C', 'c', 'n', 'K'});
    for (const char* name : {"sparse.fxp", "huge.fxp"})
        ASSERT_EQ(0, truncate(path(name).c_str(), off_t{1} << 31));
    writeBytes(file("twelve-bit.wav"), wavWithFormat(1, 12));
    writeBytes(file("float-16.wav"), wavWithFormat(3, 16));
    ASSERT_EQ(0, mkfifo(path("fifo.wav").c_str(), 0600));  // nobody writes to it
    ASSERT_EQ(0, symlink(path("fifo.wav").c_str(), path("link-to-fifo.wav").c_str()));
    // The input under other names.
    ASSERT_EQ(0, link(path("in.wav").c_str(), path("hard-link.wav").c_str()));
    ASSERT_EQ(0, symlink(path("in.wav").c_str(), path("symbolic-link.wav").c_str()));
    const std::string inputAnotherWay = directory.getParentDirectory().getFullPathName().toStdString() + "/./" +
                                        directory.getFileName().toStdString() + "/in.wav";
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
        {"input is a FIFO", {path("fifo.wav"), "-o", out}, "fifo.wav is not a regular file"},
        {"input is a link to a FIFO", {path("link-to-fifo.wav"), "-o", out}, "link-to-fifo.wav is not a regular file"},
        {"input is a device", {"/dev/zero", "-o", out}, "/dev/zero is not a regular file"},
        {"input is a folder", {path("folder"), "-o", out}, "folder is a directory"},
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
        {"preset is a folder", {path("in.wav"), "-o", out, "--preset", path("folder")}, "is a directory"},
        {"preset is a device", {path("in.wav"), "-o", out, "--preset", "/dev/zero"}, "not a regular file"},
        {"preset is 2 GiB of zeros", {path("in.wav"), "-o", out, "--preset", path("sparse.fxp")}, "not a VST preset"},
        {"preset of 2 GiB", {path("in.wav"), "-o", out, "--preset", path("huge.fxp")}, "too large"},
        {"preset holding NaN", {path("in.wav"), "-o", out, "--preset", path("nan.fxp")}, "damaged preset"},
        {"preset holding infinity", {path("in.wav"), "-o", out, "--preset", path("inf.fxp")}, "damaged preset"},
        {"preset holding NaN, scanned", {"--info", "--preset", path("nan.fxp")}, "damaged preset"},
        {"12-bit integer WAV", {path("twelve-bit.wav"), "-o", out}, "12-bit integer samples are not supported"},
        {"floating-point WAV of 16 bits",
         {path("float-16.wav"), "-o", out},
         "16-bit floating-point samples are not supported"},
        {"output is the input", {path("in.wav"), "-o", path("in.wav")}, "same file as the input"},
        {"output is the input by another path", {path("in.wav"), "-o", inputAnotherWay}, "same file as the input"},
        {"output is a hard link to the input", {path("in.wav"), "-o", path("hard-link.wav")}, "same file as the input"},
        {"output is a symbolic link to the input",
         {path("in.wav"), "-o", path("symbolic-link.wav")},
         "same file as the input"},
        {"plot over the input", {path("in.wav"), "-o", out, "--plot", path("in.wav")}, "same file as the input"},
        {"output over the preset",
         {path("in.wav"), "-o", path("good.fxp"), "--preset", path("good.fxp")},
         "same file as the preset"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        expectOneLineRefusal(run(c.arguments), c.says);
        EXPECT_EQ(inputsBefore, filesPresent());
        juce::MemoryBlock inputNow;
        file("in.wav").loadFileAsData(inputNow);
        EXPECT_EQ(wavBytes, inputNow);
    }

    // The presets of 2 GiB and the endless device were refused without being
    // read into memory: no run came near their size.
    rusage children = {};
    ASSERT_EQ(0, getrusage(RUSAGE_CHILDREN, &children));
    EXPECT_LT(children.ru_maxrss, 1024L * 1024L) << "kilobytes";
}

// Whatever a plug-in outputs, a rendering holding NaN or infinity is never
// reported as done, in any output format, and leaves no file.
TEST_F(RenderToolTest, RefusesOutputThatIsNotFinite)
{
    writeWav(file("in.wav"), noise(2, 4000, 4), 44100.0);
    const std::vector<std::string> inputsBefore = filesPresent();

    // Asked for nothing else, the imitation passes the audio through and is taken for Varnoke.
    const RunResult clean = run({path("in.wav"), "-o", path("clean.wav"), "--plugin", VARNOKE_IMITATION_EFFECT_PATH});
    ASSERT_EQ(0, clean.status) << clean.err;
    ASSERT_TRUE(file("clean.wav").deleteFile());

    for (const char* value : {"nan", "inf", "-inf"})
        for (const std::vector<std::string>& output : {std::vector<std::string>{path("in.wav"), "-o", path("out.wav")},
                                                       {path("in.wav"), "-o", path("out.wav"), "--bits", "16"},
                                                       {"--plot", path("plot.png")}})
        {
            SCOPED_TRACE(std::string(value) + " " + output.back());
            std::vector<std::string> arguments = {"--plugin", VARNOKE_IMITATION_EFFECT_PATH};
            arguments.insert(arguments.end(), output.begin(), output.end());
            expectOneLineRefusal(run(arguments, std::string("VARNOKE_FAKE_OUTPUT=") + value), "non-finite");
            EXPECT_EQ(inputsBefore, filesPresent());
        }
}

// The float output in its standard form: other programs read it without a
// warning and get the samples the tool rendered. libsndfile reads floats as
// they are; sox carries samples with 25 bits of precision (steps of 2^-24 of
// full scale), so it gets them to within one such step. The levels stay below
// full scale, where neither program clips nor rescales.
TEST_F(RenderToolTest, OtherProgramsReadTheFloatOutputAsWritten)
{
    for (const int channels : {1, 2})
    {
        SCOPED_TRACE(channels);
        juce::AudioSampleBuffer input = noise(channels, 6000, 9);
        input.applyGain(0.25f);
        writeWav(file("in.wav"), input, 48000.0);
        ASSERT_EQ(0, run({path("in.wav"), "-o", path("out.wav")}).status);
        const juce::AudioSampleBuffer rendered = processDirectly(input, 48000.0, 512, {});
        std::vector<float> expected;
        for (int i = 0; i < rendered.getNumSamples(); ++i)
            for (int c = 0; c < channels; ++c)
                expected.push_back(rendered.getSample(c, i));

        const std::string wav = path("out.wav");
        const std::string raw = path("raw.f32");
        struct Reader
        {
            const char* name;
            std::string convert;  // to raw little-endian floats in raw.f32
            std::string inspect;  // prints what it finds in the header
            bool exact;           // bit for bit
        };
        const Reader readers[] = {
            {"sox", "sox '" + wav + "' -t raw -e floating-point -b 32 -L '" + raw + "'", "sox --info '" + wav + "'",
             false},
            {"libsndfile",
             "sndfile-convert -float32 '" + wav + "' '" + path("raw.raw") + "' && mv '" + path("raw.raw") + "' '" +
                 raw + "'",
             "sndfile-info '" + wav + "'", true},
        };
        for (const Reader& reader : readers)
        {
            SCOPED_TRACE(reader.name);
            EXPECT_EQ("", commandOutput(reader.convert + " 2>&1"));
            const std::string inspected = commandOutput(reader.inspect + " 2>&1");
            for (const char* warning : {"WARN", "arning", "***", "rror"})
                EXPECT_EQ(std::string::npos, inspected.find(warning)) << inspected;

            juce::MemoryBlock bytes;
            ASSERT_TRUE(file("raw.f32").loadFileAsData(bytes)) << inspected;
            ASSERT_EQ(expected.size() * 4, bytes.getSize()) << inspected;
            std::vector<float> read(expected.size());
            std::memcpy(read.data(), bytes.getData(), bytes.getSize());  // the host is little-endian, as the file
            for (size_t i = 0; i < expected.size(); ++i)
                if (reader.exact)
                    ASSERT_SAME_BITS(expected[i], read[i]) << "sample " << i;
                else
                    ASSERT_NEAR(expected[i], read[i], std::ldexp(1.0, -24)) << "sample " << i;
            file("raw.f32").deleteFile();
        }
    }
}

// A child process of the tool, so that a test can signal it.
pid_t spawnTool(const std::vector<std::string>& arguments, const std::string& environment)
{
    std::vector<std::string> words = {VARNOKE_RENDER_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::string extra = environment;
    std::vector<char*> envp = {extra.data()};
    for (char** variable = environ; *variable != nullptr; ++variable)
        envp.push_back(*variable);
    envp.push_back(nullptr);

    // Every signal at its default action and unblocked, whatever the test runner set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

// Waits until the process has a file open in the folder other than the given
// input: its output, named or not. False if it ends or takes half a minute.
bool waitForOutputOpened(pid_t pid, const juce::File& folder, const juce::File& input)
{
    const std::string descriptors = "/proc/" + std::to_string(pid) + "/fd";
    const std::string prefix = folder.getFullPathName().toStdString() + "/";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline)
    {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return false;
        for (const auto& entry : juce::RangedDirectoryIterator(juce::File(juce::String(descriptors)), false))
        {
            char target[4096] = {};
            const ssize_t length = readlink(entry.getFile().getFullPathName().toRawUTF8(), target, sizeof target - 1);
            const std::string opened(target, length > 0 ? static_cast<size_t>(length) : 0);
            if (opened.rfind(prefix, 0) == 0 && opened != input.getFullPathName().toStdString())
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

bool folderTakesUnnamedFiles(const juce::File& folder)
{
    const int fd = open(folder.getFullPathName().toRawUTF8(), O_TMPFILE | O_WRONLY, 0600);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

// A rendering ended by a signal leaves no file behind, whole or partial, and
// the process still ends by that signal.
TEST_F(RenderToolTest, LeavesNoFileWhenEndedBySignal)
{
    writeWav(file("in.wav"), noise(2, 512 * 200, 6), 44100.0);  // 4 s through the slow imitation
    const std::vector<std::string> filesBefore = filesPresent();
    std::vector<int> signalNumbers = {SIGPIPE, SIGUSR1, SIGALRM, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR2, SIGXCPU};
    if (folderTakesUnnamedFiles(directory))
        signalNumbers.push_back(SIGKILL);  // no file that a handler would have to remove
    for (const int signalNumber : signalNumbers)
    {
        SCOPED_TRACE(strsignal(signalNumber));
        const pid_t pid = spawnTool({path("in.wav"), "-o", path("out.wav"), "--plugin", VARNOKE_IMITATION_EFFECT_PATH},
                                    "VARNOKE_FAKE_OUTPUT=slow");
        ASSERT_GT(pid, 0);
        const bool started = waitForOutputOpened(pid, directory, file("in.wav"));
        kill(pid, signalNumber);
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        ASSERT_TRUE(started);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << "status " << status;
        EXPECT_EQ(filesBefore, filesPresent());
    }
}

// Several inputs in one run.

juce::MemoryBlock fileBytes(const juce::File& source)
{
    juce::MemoryBlock bytes;
    source.loadFileAsData(bytes);
    return bytes;
}

std::vector<std::string> filesIn(const juce::File& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : juce::RangedDirectoryIterator(folder, false))
        names.push_back(entry.getFile().getFileName().toStdString());
    std::sort(names.begin(), names.end());
    return names;
}

size_t linesIn(const std::string& text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

void writeFlac(const juce::File& destination, const juce::AudioSampleBuffer& audio, double rate)
{
    juce::FlacAudioFormat flac;
    auto stream = destination.createOutputStream();
    ASSERT_NE(nullptr, stream);
    std::unique_ptr<juce::AudioFormatWriter> writer(
        flac.createWriterFor(stream.get(), rate, static_cast<unsigned>(audio.getNumChannels()), 24, {}, 0));
    ASSERT_NE(nullptr, writer);
    stream.release();
    ASSERT_TRUE(writer->writeFromAudioSampleBuffer(audio, 0, audio.getNumSamples()));
}

// Each output of a batch is the very file a run with that input alone writes,
// header and sample bits, whatever the number of inputs rendered at once.
TEST_F(RenderToolTest, BatchWritesEachInputAsARunOfItsOwnWould)
{
    writeWav(file("stereo.wav"), noise(2, 30000, 21), 44100.0);
    writeWav(file("mono.wav"), noise(1, 20000, 22), 48000.0, 16);
    writeFlac(file("lossless.flac"), noise(2, 25000, 23), 96000.0);
    writeWav(file("short.wav"), noise(2, 700, 24), 22050.0, 24);
    const std::vector<std::string> names = {"stereo", "mono", "lossless", "short"};
    const std::vector<std::string> inputs = {path("stereo.wav"), path("mono.wav"), path("lossless.flac"),
                                             path("short.wav")};
    const std::vector<std::string> settings = {"--block", "100", "--low-contour", "0.3", "--process", "0.7"};

    ASSERT_TRUE(file("alone").createDirectory());
    for (size_t i = 0; i < inputs.size(); ++i)
    {
        std::vector<std::string> arguments = {inputs[i], "-o", path("alone") + "/" + names[i] + ".wav"};
        arguments.insert(arguments.end(), settings.begin(), settings.end());
        ASSERT_EQ(0, run(arguments).status) << names[i];
    }

    for (const std::string jobs : {"1", "2", "4"})
    {
        SCOPED_TRACE("--jobs " + jobs);
        const std::string folder = "batch-" + jobs;
        std::vector<std::string> arguments = inputs;
        arguments.insert(arguments.end(), {"-o", path(folder.c_str()) + "/", "--jobs", jobs});
        arguments.insert(arguments.end(), settings.begin(), settings.end());
        const RunResult result = run(arguments);
        ASSERT_EQ(0, result.status) << result.err;
        EXPECT_EQ("", result.err);
        EXPECT_EQ(inputs.size(), linesIn(result.out)) << result.out;
        for (const std::string& name : names)
        {
            SCOPED_TRACE(name);
            const juce::File output = file(folder.c_str()).getChildFile(juce::String(name) + ".wav");
            EXPECT_NE(std::string::npos, result.out.find(output.getFullPathName().toStdString() + ": ")) << result.out;
            EXPECT_TRUE(fileBytes(file("alone").getChildFile(juce::String(name) + ".wav")) == fileBytes(output));
        }
    }
    // And a run alone computes what the processor does, so the batch does too.
    const juce::AudioSampleBuffer rendered = readWav(file("batch-2").getChildFile("stereo.wav")).audio;
    expectSameAudio(processDirectly(noise(2, 30000, 21), 44100.0, 100, {{0, 0.3f}, {1, 0.7f}}), rendered);
}

// Inputs that fail, up front (a FIFO, a folder), on opening or halfway through,
// are reported and leave no file; the others are written in full; the status
// says that not all went well.
TEST_F(RenderToolTest, BatchFailuresLeaveNoFileAndTheOthersComplete)
{
    writeWav(file("good-1.wav"), noise(2, 9000, 31), 44100.0);
    writeWav(file("good-2.wav"), noise(1, 7000, 32), 48000.0);
    file("corrupt.wav").replaceWithText("not audio at all");
    writeWav(file("six.wav"), noise(6, 100, 33), 44100.0);
    const juce::MemoryBlock whole = fileBytes(file("good-1.wav"));
    file("truncated.wav").replaceWithData(whole.getData(), whole.getSize() / 2);
    ASSERT_EQ(0, mkfifo(path("fifo.wav").c_str(), 0600));  // nobody writes to it
    ASSERT_TRUE(file("folder.wav").createDirectory());

    ASSERT_EQ(0, run({path("good-1.wav"), "-o", path("good-1-alone.wav")}).status);
    ASSERT_EQ(0, run({path("good-2.wav"), "-o", path("good-2-alone.wav")}).status);

    const RunResult result =
        run({path("corrupt.wav"), path("fifo.wav"), path("good-1.wav"), path("missing.wav"), path("six.wav"),
             path("truncated.wav"), path("folder.wav"), path("good-2.wav"), "-o", path("out") + "/", "--jobs", "3"});
    EXPECT_EQ(1, result.status);
    EXPECT_EQ((std::vector<std::string>{"good-1.wav", "good-2.wav"}), filesIn(file("out")));
    EXPECT_TRUE(fileBytes(file("good-1-alone.wav")) == fileBytes(file("out").getChildFile("good-1.wav")));
    EXPECT_TRUE(fileBytes(file("good-2-alone.wav")) == fileBytes(file("out").getChildFile("good-2.wav")));
    EXPECT_EQ(2u, linesIn(result.out)) << result.out;

    // One line for each failed input, naming it and saying why, and one that sums up.
    std::vector<std::string> lines;
    for (std::istringstream err(result.err); lines.emplace_back(), std::getline(err, lines.back());)
        EXPECT_EQ(0u, lines.back().rfind("varnoke-render: ", 0)) << lines.back();
    lines.pop_back();
    ASSERT_EQ(7u, lines.size()) << result.err;
    const std::pair<const char*, const char*> failures[] = {{"corrupt.wav", "not a WAV, AIFF, FLAC or Ogg Vorbis"},
                                                            {"fifo.wav", "is not a regular file"},
                                                            {"missing.wav", "input file not found"},
                                                            {"six.wav", "6 channels"},
                                                            {"truncated.wav", "truncated"},
                                                            {"folder.wav", "is a directory"}};
    for (const auto& [name, says] : failures)
        EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(),
                                   [&](const std::string& line) {
                                       return line.find(path(name)) != std::string::npos &&
                                              line.find(says) != std::string::npos;
                                   }))
            << name << "\n"
            << result.err;
    EXPECT_EQ("varnoke-render: 6 of 8 inputs failed; the other outputs were written", lines.back());

    // A failure halfway through a rendering: the imitation of the plug-in
    // damages frame 777 of each instance's output, so the longer input fails
    // after its first blocks were written, and the shorter one is complete.
    // Its instances share their counters, hence one job at a time.
    writeWav(file("shorter.wav"), noise(2, 600, 34), 44100.0);
    const RunResult halfway = run({path("good-1.wav"), path("shorter.wav"), "-o", path("imitated") + "/", "--jobs", "1",
                                   "--plugin", VARNOKE_IMITATION_EFFECT_PATH},
                                  "VARNOKE_FAKE_OUTPUT=nan");
    EXPECT_EQ(1, halfway.status);
    EXPECT_NE(std::string::npos, halfway.err.find("non-finite sample (NaN or infinity) at frame 777")) << halfway.err;
    EXPECT_EQ((std::vector<std::string>{"shorter.wav"}), filesIn(file("imitated")));
    expectSameAudio(noise(2, 600, 34), readWav(file("imitated").getChildFile("shorter.wav")).audio);
}

// Where the outputs of several inputs go, and the runs refused before anything
// is rendered: no file written, no directory made.
TEST_F(RenderToolTest, BatchOutputNamesAndRefusals)
{
    writeWav(file("a.wav"), noise(2, 3000, 41), 44100.0);
    writeWav(file("b.wav"), noise(2, 3000, 42), 44100.0);
    ASSERT_TRUE(file("elsewhere").createDirectory());
    writeFlac(file("elsewhere").getChildFile("a.flac"), noise(2, 3000, 43), 44100.0);
    ASSERT_TRUE(file("existing").createDirectory());

    // Without -o, beside the working directory as a run alone names them.
    const RunResult here = run({path("a.wav"), path("b.wav")}, {}, path("existing"));
    ASSERT_EQ(0, here.status) << here.err;
    EXPECT_EQ((std::vector<std::string>{"a-varnoke.wav", "b-varnoke.wav"}), filesIn(file("existing")));
    // An existing directory needs no trailing slash; one input may go into a directory too.
    ASSERT_EQ(0, run({path("a.wav"), path("b.wav"), "-o", path("existing")}).status);
    ASSERT_EQ(0, run({path("elsewhere") + "/a.flac", "-o", path("single") + "/"}).status);
    EXPECT_EQ((std::vector<std::string>{"a-varnoke.wav", "a.wav", "b-varnoke.wav", "b.wav"}),
              filesIn(file("existing")));
    EXPECT_EQ((std::vector<std::string>{"a.wav"}), filesIn(file("single")));

    const std::vector<std::string> before = filesPresent();
    struct Case
    {
        const char* name;
        std::vector<std::string> arguments;
        const char* says;
        int status;
    };
    const Case cases[] = {
        {"same name from two folders",
         {path("a.wav"), path("elsewhere") + "/a.flac", "-o", path("out") + "/"},
         "would both be written to",
         1},
        {"the same input twice",
         {path("a.wav"), path("a.wav"), "-o", path("out") + "/"},
         "would both be written to",
         1},
        {"the same name without -o", {path("a.wav"), path("elsewhere") + "/a.flac"}, "would both be written to", 1},
        {"several inputs into one file", {path("a.wav"), path("b.wav"), "-o", path("out.wav")}, "only one input", 1},
        {"a directory that cannot be made",
         {path("a.wav"), path("b.wav"), "-o", path("no-such-folder") + "/out/"},
         "cannot create directory",
         1},
        {"an output over an input", {path("a.wav"), path("b.wav"), "-o", path("")}, "same file as the input", 1},
        {"a plot of several inputs",
         {path("a.wav"), path("b.wav"), "-o", path("out") + "/", "--plot", path("plot.png")},
         "only one input",
         2},
        {"no jobs", {path("a.wav"), path("b.wav"), "-o", path("out") + "/", "--jobs", "0"}, "out of range", 2},
        {"negative jobs", {path("a.wav"), path("b.wav"), "-o", path("out") + "/", "--jobs", "-2"}, "out of range", 2},
        {"too many jobs", {path("a.wav"), path("b.wav"), "-o", path("out") + "/", "--jobs", "257"}, "out of range", 2},
        {"fractional jobs",
         {path("a.wav"), path("b.wav"), "-o", path("out") + "/", "--jobs", "1.5"},
         "needs a whole number",
         2},
        {"jobs that are no number",
         {path("a.wav"), path("b.wav"), "-o", path("out") + "/", "--jobs", "all"},
         "needs a whole number",
         2},
        {"jobs without a value", {path("a.wav"), path("b.wav"), "-o", path("out") + "/", "--jobs"}, "needs a value", 2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const RunResult result = run(c.arguments);
        expectOneLineRefusal(result, c.says);
        EXPECT_EQ(c.status, result.status);
        EXPECT_EQ(before, filesPresent());
    }
}

// A folder the run made for its outputs is removed again when nothing was
// written into it; one that was there before stays.
TEST_F(RenderToolTest, FolderMadeForOutputsGoesWhenNothingIsWritten)
{
    file("corrupt.wav").replaceWithText("not audio at all");
    ASSERT_EQ(0, mkfifo(path("fifo.wav").c_str(), 0600));  // nobody writes to it
    ASSERT_TRUE(file("existing").createDirectory());
    const std::vector<std::string> before = filesPresent();
    struct Case
    {
        const char* name;
        std::vector<std::string> inputs;
        const char* folder;
    };
    const Case cases[] = {
        {"one input", {path("corrupt.wav")}, "new"},
        {"one input that is a FIFO", {path("fifo.wav")}, "new"},
        {"several inputs", {path("corrupt.wav"), path("missing.wav")}, "new"},
        {"several inputs, into a folder that was there", {path("corrupt.wav"), path("missing.wav")}, "existing"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = c.inputs;
        arguments.insert(arguments.end(), {"-o", path(c.folder) + "/"});
        const RunResult result = run(arguments);
        EXPECT_EQ(1, result.status) << result.err;
        EXPECT_EQ(before, filesPresent());
        rmdir(path("new").c_str());  // if left, for the next case
    }
}

// The names that appear in a folder, however briefly: every entry created in
// it or moved in or out, as inotify queued them.
class NamesSeenIn
{
public:
    explicit NamesSeenIn(const juce::File& folder)
        : fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (fd >= 0 &&
            inotify_add_watch(fd, folder.getFullPathName().toRawUTF8(), IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO) < 0)
        {
            close(fd);
            fd = -1;
        }
    }
    ~NamesSeenIn()
    {
        if (fd >= 0)
            close(fd);
    }
    NamesSeenIn(const NamesSeenIn&) = delete;
    NamesSeenIn& operator=(const NamesSeenIn&) = delete;

    bool watching() const { return fd >= 0; }

    // Sorted, each once; "(events lost)" when the queue overflowed.
    std::vector<std::string> names()
    {
        alignas(inotify_event) char buffer[1 << 16];
        for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < got;)
            {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((event->mask & IN_Q_OVERFLOW) != 0)
                    seen.insert("(events lost)");
                else if (event->len > 0)
                    seen.insert(event->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        return {seen.begin(), seen.end()};
    }

private:
    int fd;
    std::set<std::string> seen;
};

// Outputs show in their folder only under their final names, once complete: a
// temporary name, however briefly seen, is a file that a SIGKILL at that
// moment leaves behind. (Where the folder takes no unnamed files, outputs are
// named temporaries until complete, which the signal handlers remove.)
TEST_F(RenderToolTest, OutputsShowOnlyUnderTheirFinalNames)
{
    ASSERT_TRUE(file("in").createDirectory());
    ASSERT_TRUE(file("out").createDirectory());
    if (!folderTakesUnnamedFiles(file("out")))
        GTEST_SKIP() << "the test folder's file system has no unnamed files";
    std::vector<std::string> inputs, outputs;
    for (int i = 0; i < 40; ++i)
    {
        const std::string name = "input-" + std::to_string(i) + ".wav";
        writeWav(file("in").getChildFile(name), noise(2, 300 + i, static_cast<unsigned>(60 + i)), 44100.0);
        inputs.push_back(path("in") + "/" + name);
        outputs.push_back(name);
    }
    std::sort(outputs.begin(), outputs.end());
    struct Case
    {
        const char* name;
        std::vector<std::string> arguments;
        std::vector<std::string> outputs;
    };
    std::vector<std::string> batch = inputs;
    batch.insert(batch.end(), {"-o", path("out") + "/", "--jobs", "2"});
    const Case cases[] = {
        {"one input", {inputs.front(), "-o", path("out") + "/input-0.wav"}, {"input-0.wav"}},
        {"a batch", batch, outputs},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        NamesSeenIn watch(file("out"));
        ASSERT_TRUE(watch.watching());
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("--bypass");  // so that each output is its input's audio
        const RunResult result = run(arguments);
        ASSERT_EQ(0, result.status) << result.err;
        EXPECT_EQ(c.outputs, watch.names());
        for (const std::string& name : c.outputs)
        {
            SCOPED_TRACE(name);
            expectSameAudio(readWav(file("in").getChildFile(name)).audio,
                            readWav(file("out").getChildFile(name)).audio);
            EXPECT_TRUE(file("out").getChildFile(name).deleteFile());
        }
    }
}

// On a terminal, a progress bar on standard error for more than a few seconds
// of audio, one input or several; every summary line still comes whole.
TEST_F(RenderToolTest, ProgressBarOnATerminalOnly)
{
    writeWav(file("first.wav"), noise(1, 24000, 51), 8000.0);  // 3 s each
    writeWav(file("second.wav"), noise(1, 24000, 52), 8000.0);
    writeWav(file("long.wav"), noise(1, 48000, 53), 8000.0);  // 6 s
    struct Case
    {
        const char* name;
        std::vector<std::string> arguments;
        size_t summaries;
    };
    const Case cases[] = {
        {"one input", {path("long.wav"), "-o", path("long-out.wav")}, 1},
        {"several inputs", {path("first.wav"), path("second.wav"), "-o", path("out") + "/"}, 2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(0, run(c.arguments).status);  // not a terminal: no bar

        // script(1) runs the tool on a pseudo-terminal and copies what it prints.
        std::string command = "'" VARNOKE_RENDER_PATH "'";
        for (const std::string& argument : c.arguments)
            command += " '" + argument + "'";
        const std::string onTerminal = commandOutput("script -qec \"" + command + "\" /dev/null");
        EXPECT_NE(std::string::npos, onTerminal.find("\rRendering [")) << onTerminal;
        // What a line shows is what follows its last carriage return.
        size_t whole = 0;
        std::istringstream lines(onTerminal);
        for (std::string line; std::getline(lines, line);)
        {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const std::string shown =
                line.substr(line.find_last_of('\r') == std::string::npos ? 0 : line.find_last_of('\r') + 1);
            if (shown.rfind(path(""), 0) == 0 && shown.find(" frames at ") != std::string::npos && shown.size() > 4 &&
                shown.compare(shown.size() - 4, 4, "dBFS") == 0)
                ++whole;
        }
        EXPECT_EQ(c.summaries, whole) << onTerminal;
    }
}

// A batch ended by a signal leaves no unfinished file behind, whichever of
// its workers was writing.
TEST_F(RenderToolTest, BatchEndedBySignalLeavesNoUnfinishedFile)
{
    ASSERT_TRUE(file("in").createDirectory());
    ASSERT_TRUE(file("out").createDirectory());
    std::vector<std::string> arguments;
    for (const char* name : {"one.wav", "two.wav", "three.wav"})
    {
        writeWav(file("in").getChildFile(name), noise(2, 512 * 200, 7), 44100.0);  // 4 s each, slowly
        arguments.push_back(path("in") + "/" + name);
    }
    arguments.insert(arguments.end(),
                     {"-o", path("out") + "/", "--jobs", "2", "--plugin", VARNOKE_IMITATION_EFFECT_PATH});
    for (const int signalNumber : {SIGINT, SIGTERM})
    {
        SCOPED_TRACE(strsignal(signalNumber));
        const pid_t pid = spawnTool(arguments, "VARNOKE_FAKE_OUTPUT=slow");
        ASSERT_GT(pid, 0);
        const bool started = waitForOutputOpened(pid, file("out"), file("in"));
        kill(pid, signalNumber);
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        ASSERT_TRUE(started);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << "status " << status;
        EXPECT_EQ(std::vector<std::string>{}, filesIn(file("out")));
    }
}
}  // namespace

namespace
{
// The factory bank as users see and type it, with the positions each sets.
struct FactoryPreset
{
    const char* name;
    float lowContour, process, output;
};
const FactoryPreset factoryBank[] = {
    {"Flat", 0.0f, 0.0f, 0.5f},    {"Warm low end", 0.2f, 0.0f, 0.35f}, {"Presence", 0.0f, 0.1f, 0.4f},
    {"Bright", 0.0f, 0.4f, 0.25f}, {"Smile", 0.2f, 0.2f, 0.3f},         {"Loudness", 0.3f, 0.1f, 0.5f},
};

TEST_F(RenderToolTest, ListsTheFactoryPresetsOneALine)
{
    const RunResult result = run({"--list-presets"});
    ASSERT_EQ(0, result.status) << result.err;
    std::string expected;
    for (const FactoryPreset& preset : factoryBank)
        expected += std::string(preset.name) + "\n";
    EXPECT_EQ(expected, result.out);
    EXPECT_EQ("", result.err);
}

// --preset-name sets the preset's positions through the plug-in's parameters,
// and knob options given with it change them further. Each .fxp file the
// packages install renders the same bits as the preset by name.
TEST_F(RenderToolTest, FactoryPresetsRenderByNameAndFromTheirFiles)
{
    const juce::AudioSampleBuffer input = noise(2, 12000, 23);
    writeWav(file("in.wav"), input, 44100.0);
    for (const FactoryPreset& preset : factoryBank)
    {
        SCOPED_TRACE(preset.name);
        const RunResult byName = run({path("in.wav"), "-o", path("by-name.wav"), "--preset-name", preset.name});
        ASSERT_EQ(0, byName.status) << byName.err;
        const juce::AudioSampleBuffer rendered = readWav(file("by-name.wav")).audio;
        expectSameAudio(
            processDirectly(input, 44100.0, 512, {{0, preset.lowContour}, {1, preset.process}, {2, preset.output}}),
            rendered);

        const std::string fxp = std::string(VARNOKE_FXP_PRESETS_DIR) + "/" + preset.name + ".fxp";
        const RunResult fromFile = run({path("in.wav"), "-o", path("from-file.wav"), "--preset", fxp});
        ASSERT_EQ(0, fromFile.status) << fromFile.err;
        expectSameAudio(rendered, readWav(file("from-file.wav")).audio);
    }

    const RunResult changed =
        run({path("in.wav"), "-o", path("changed.wav"), "--output", "0.5", "--preset-name", "Smile"});
    ASSERT_EQ(0, changed.status) << changed.err;
    expectSameAudio(processDirectly(input, 44100.0, 512, {{0, 0.2f}, {1, 0.2f}, {2, 0.5f}}),
                    readWav(file("changed.wav")).audio);
}

TEST_F(RenderToolTest, UnknownPresetNamesAreRefusedWithTheNamesThereAre)
{
    writeWav(file("in.wav"), noise(2, 1000, 4), 44100.0);
    const std::vector<std::string> inputsBefore = filesPresent();
    struct Case
    {
        std::vector<std::string> arguments;
        std::vector<std::string> says;
    };
    const Case cases[] = {
        {{"--preset-name", "flat"}, {"'flat'", "\"Flat\"", "\"Warm low end\"", "\"Loudness\"", "--list-presets"}},
        {{"--preset-name", ""}, {"''", "\"Smile\""}},
        {{"--preset-name", "Air"}, {"'Air'", "\"Presence\""}},
        {{"--preset-name"}, {"--preset-name needs a value"}},
        {{"--preset-name", "Flat", "--preset", path("in.wav")}, {"give one of them"}},
    };
    for (const Case& c : cases)
    {
        std::vector<std::string> arguments = {path("in.wav"), "-o", path("out.wav")};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const RunResult result = run(arguments);
        SCOPED_TRACE(result.err);
        EXPECT_EQ(2, result.status);
        EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n'));
        for (const std::string& part : c.says)
            EXPECT_NE(std::string::npos, result.err.find(part)) << part;
        EXPECT_EQ(inputsBefore, filesPresent());
    }
}
}  // namespace
