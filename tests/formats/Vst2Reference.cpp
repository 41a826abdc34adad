#include "Vst2Reference.h"

#include "support/Noise.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace varnoke::test
{
struct Vst2Reference::Loaded
{
    std::shared_ptr<const host::PluginLibrary> library =
        std::make_shared<const host::PluginLibrary>(VARNOKE_PLUGIN_PATH);

    std::unique_ptr<host::VstInstance> newInstance() const
    {
        std::string error;
        auto instance = host::VstInstance::create(library, error);
        EXPECT_NE(nullptr, instance) << error;
        return instance;
    }
};

StereoSignal noiseSignal(std::size_t frames, unsigned seed)
{
    return {noise(frames, seed), noise(frames, seed + 1)};
}

Vst2Reference::Vst2Reference()
    : loaded(std::make_unique<Loaded>())
{
    EXPECT_TRUE(loaded->library->isLoaded()) << loaded->library->error();
}

Vst2Reference::~Vst2Reference() = default;

namespace
{
void setKnobs(host::VstInstance& instance, const KnobSettings& knobs)
{
    instance.setParameter(0, knobs.lowContour);
    instance.setParameter(1, knobs.process);
    instance.setParameter(2, knobs.output);
}
}  // namespace

StereoSignal Vst2Reference::render(const KnobSettings& knobs, const StereoSignal& input, double sampleRate,
                                   int blockSize)
{
    StereoSignal output{input.left, input.right};
    auto instance = loaded->newInstance();
    if (instance == nullptr)
        return {};
    setKnobs(*instance, knobs);
    instance->start(sampleRate, blockSize);
    std::vector<float> inLeft(static_cast<std::size_t>(blockSize)), inRight(inLeft.size());
    forEachBlock(input.left.size(), blockSize,
                 [&](std::size_t start, int frames)
                 {
                     std::copy_n(input.left.begin() + static_cast<std::ptrdiff_t>(start), frames, inLeft.begin());
                     std::copy_n(input.right.begin() + static_cast<std::ptrdiff_t>(start), frames, inRight.begin());
                     float* inputs[] = {inLeft.data(), inRight.data()};
                     float* outputs[] = {output.left.data() + start, output.right.data() + start};
                     instance->process(inputs, outputs, frames);
                 });
    instance->stop();
    return output;
}

std::unique_ptr<host::VstInstance> Vst2Reference::instanceWith(const KnobSettings& knobs)
{
    auto instance = loaded->newInstance();
    if (instance != nullptr)
        setKnobs(*instance, knobs);
    return instance;
}

std::vector<unsigned char> Vst2Reference::chunkFor(const KnobSettings& knobs)
{
    auto instance = loaded->newInstance();
    if (instance == nullptr)
        return {};
    setKnobs(*instance, knobs);
    return instance->chunk(false);
}

KnobSettings Vst2Reference::settingsAfterRestoring(const std::vector<unsigned char>& chunk)
{
    auto instance = loaded->newInstance();
    if (instance == nullptr)
        return {};
    instance->setChunk(chunk, false);
    return {instance->parameter(0), instance->parameter(1), instance->parameter(2)};
}
}  // namespace varnoke::test
