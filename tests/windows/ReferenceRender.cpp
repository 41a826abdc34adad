#include "ReferenceRender.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

namespace varnoke::test
{
namespace
{
enum class Input
{
    impulses,   // an impulse on the left at 0, on the right at 5, again every 1000 frames
    noise,      // full-scale noise from a fixed seed
    quietNoise  // noise around 1e-36, where subnormal numbers arise
};

struct ProgrammeCase
{
    Input input;
    float sampleRate;
    std::array<float, 4> parameters;  // Low Contour, Process, Output, and the internal CV depth
    std::vector<int> blockSizes;
};

const std::vector<ProgrammeCase>& programme()
{
    static const std::vector<ProgrammeCase> cases{
        {Input::impulses, 44100.0f, {0.0f, 0.0f, 0.5f, 0.0f}, {512, 512, 512, 512}},
        {Input::impulses, 48000.0f, {1.0f, 1.0f, 1.0f, 0.0f}, {256, 1, 37, 1000, 730}},
        {Input::noise, 44100.0f, {0.3f, 0.8f, 0.2f, 0.0f}, {512, 512, 512, 512}},
        {Input::noise, 96000.0f, {0.5f, 0.5f, 0.5f, 1.0f}, {64, 2048, 333}},
        {Input::noise, 22050.0f, {0.9f, 0.1f, 0.7f, 0.25f}, {1024, 1024}},
        {Input::quietNoise, 44100.0f, {0.5f, 1.0f, 0.5f, 0.0f}, {512, 512}},
    };
    return cases;
}

// The generator's raw words are the same everywhere; distributions are not.
float noiseSample(std::mt19937& generator, float scale)
{
    const auto word = static_cast<std::int32_t>(generator());
    return static_cast<float>(word) / 2147483648.0f * scale;
}

float inputSample(Input input, int channel, long frame, std::mt19937& generator)
{
    switch (input)
    {
    case Input::impulses: return (frame - (channel == 0 ? 0 : 5)) % 1000 == 0 ? 1.0f : 0.0f;
    case Input::noise: return noiseSample(generator, 1.0f);
    case Input::quietNoise: return noiseSample(generator, 1.0e-36f);
    }
    return 0.0f;
}

void renderCase(const PluginLibrary& library, const ProgrammeCase& programmeCase, std::vector<float>& result)
{
    AEffect* effect = library.create(RecordingHost::callback);
    if (effect == nullptr)
        return;
    dispatch(effect, effOpen);
    for (int index = 0; index < static_cast<int>(programmeCase.parameters.size()); ++index)
        effect->setParameter(effect, index, programmeCase.parameters[static_cast<std::size_t>(index)]);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, programmeCase.sampleRate);
    dispatch(effect, effSetBlockSize, 0, 2048);
    dispatch(effect, effMainsChanged, 0, 1);

    std::mt19937 generator(20240611u);
    long frame = 0;
    for (const int blockSize : programmeCase.blockSizes)
    {
        std::array<std::vector<float>, 2> in, out;
        for (int channel = 0; channel < 2; ++channel)
        {
            out[channel].assign(static_cast<std::size_t>(blockSize), 0.0f);
            in[channel].resize(static_cast<std::size_t>(blockSize));
        }
        for (int i = 0; i < blockSize; ++i)
            for (int channel = 0; channel < 2; ++channel)
                in[channel][static_cast<std::size_t>(i)] =
                    inputSample(programmeCase.input, channel, frame + i, generator);

        float* inputs[] = {in[0].data(), in[1].data()};
        float* outputs[] = {out[0].data(), out[1].data()};
        effect->processReplacing(effect, inputs, outputs, blockSize);
        result.insert(result.end(), out[0].begin(), out[0].end());
        result.insert(result.end(), out[1].begin(), out[1].end());
        frame += blockSize;
    }

    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effClose);
}
}  // namespace

std::vector<float> renderReferenceProgramme(const PluginLibrary& library)
{
    std::vector<float> result;
    for (const auto& programmeCase : programme())
        renderCase(library, programmeCase, result);
    return result;
}

bool writeSamples(const char* path, const std::vector<float>& samples)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "wb"), std::fclose);
    if (file == nullptr)
        return false;
    for (const float sample : samples)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &sample, sizeof bits);
        const unsigned char bytes[] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                                       static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
        if (std::fwrite(bytes, 1, sizeof bytes, file.get()) != sizeof bytes)
            return false;
    }
    return std::fflush(file.get()) == 0;
}

bool readSamples(const char* path, std::vector<float>& samples)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), std::fclose);
    if (file == nullptr)
        return false;
    samples.clear();
    unsigned char bytes[4];
    while (std::fread(bytes, 1, sizeof bytes, file.get()) == sizeof bytes)
    {
        const std::uint32_t bits =
            bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
        float sample;
        std::memcpy(&sample, &bits, sizeof sample);
        samples.push_back(sample);
    }
    return std::feof(file.get()) != 0;
}
}  // namespace varnoke::test
