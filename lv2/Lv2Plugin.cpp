#include "Lv2Plugin.h"

#include "PluginParts.h"
#include "PortIndex.h"
#include "ProductIdentity.h"
#include "StateText.h"

#include <lv2/atom/atom.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace varnoke::lv2
{
namespace
{
// Blocks reach the processor in slices its int frame count holds.
constexpr std::uint32_t largestSlice = 1u << 20;

const LV2_URID_Map* findMap(const LV2_Feature* const* features) noexcept
{
    for (auto* const* feature = features; feature != nullptr && *feature != nullptr; ++feature)
        if ((*feature)->URI != nullptr && std::strcmp((*feature)->URI, LV2_URID__map) == 0)
            return static_cast<const LV2_URID_Map*>((*feature)->data);
    return nullptr;
}

bool sameBits(float a, float b) noexcept
{
    std::uint32_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

const std::string& stateKeyUri()
{
    static const std::string uri = std::string(product::lv2Uri) + ":StateString";
    return uri;
}
}  // namespace

Lv2Plugin* Lv2Plugin::create(double sampleRate, const LV2_Feature* const* features) noexcept
{
    try
    {
        auto processor = core::createProcessor();
        if (processor == nullptr)
            return nullptr;
        return new Lv2Plugin(std::move(processor), sampleRate, findMap(features));
    }
    catch (...)
    {
        return nullptr;
    }
}

Lv2Plugin::Lv2Plugin(std::unique_ptr<VarnokeAudioProcessor> processorToOwn, double rate, const LV2_URID_Map* map)
    : processor(std::move(processorToOwn))
    , sampleRate(rate)
{
    if (map != nullptr && map->map != nullptr)
    {
        stateKey = map->map(map->handle, stateKeyUri().c_str());
        stringType = map->map(map->handle, LV2_ATOM__String);
    }
    processor->setPlayConfigDetails(2, 2, sampleRate, 0);
    // The processor needs the rate only; the block length it is told is not used.
    processor->prepareToPlay(sampleRate, 0);
}

void Lv2Plugin::connectPort(std::uint32_t index, void* data) noexcept
{
    switch (index)
    {
    case port::audioInLeft: audioIn[0] = static_cast<const float*>(data); return;
    case port::audioInRight: audioIn[1] = static_cast<const float*>(data); return;
    case port::audioOutLeft: audioOut[0] = static_cast<float*>(data); return;
    case port::audioOutRight: audioOut[1] = static_cast<float*>(data); return;
    default: break;
    }
    if (const int parameter = port::parameterOf(index); parameter >= 0)
        controls[static_cast<std::size_t>(parameter)] = static_cast<const float*>(data);
}

// The filter memories carry over a deactivation, as over the VST 2.4 plug-in's switch-off.
void Lv2Plugin::activate() noexcept
{
    processor->prepareToPlay(sampleRate, 0);
}

void Lv2Plugin::applyControlPorts() noexcept
{
    for (std::size_t i = 0; i < controls.size(); ++i)
    {
        if (controls[i] == nullptr)
            continue;
        const float value = *controls[i];
        if (baselines[i] == Baseline::adoptNext ||
            (baselines[i] == Baseline::value && sameBits(value, baselineValues[i])))
        {
            baselines[i] = Baseline::value;
            baselineValues[i] = value;
            continue;
        }
        baselines[i] = Baseline::value;
        baselineValues[i] = value;
        processor->setParameter(static_cast<int>(i), value);
    }
}

void Lv2Plugin::run(std::uint32_t frames) noexcept
{
    applyControlPorts();
    if (audioOut[0] == nullptr || audioOut[1] == nullptr)
        return;

    for (std::uint32_t done = 0; done < frames;)
    {
        const std::uint32_t slice = std::min(frames - done, largestSlice);
        float* channels[2];
        for (int channel = 0; channel < 2; ++channel)
        {
            channels[channel] = audioOut[channel] + done;
            const float* input = audioIn[channel] != nullptr ? audioIn[channel] + done : nullptr;
            // In place when the host shares the buffers; memmove copes with any overlap.
            if (input == nullptr)
                std::fill_n(channels[channel], slice, 0.0f);
            else if (input != channels[channel])
                std::memmove(channels[channel], input, slice * sizeof(float));
        }
        // A buffer that refers to the host's channels: no allocation for two channels.
        juce::AudioBuffer<float> buffer(channels, 2, static_cast<int>(slice));
        {
            const juce::ScopedLock lock(processor->getCallbackLock());
            processor->processBlock(buffer, noMidi);
        }
        done += slice;
    }
}

LV2_State_Status Lv2Plugin::save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
    if (stateKey == 0 || store == nullptr)
        return LV2_STATE_ERR_NO_FEATURE;
    juce::MemoryBlock chunk;
    processor->getStateInformation(chunk);
    const std::string text = state_text::encode(chunk.getData(), chunk.getSize());
    return store(handle, stateKey, text.c_str(), text.size() + 1, stringType, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Lv2Plugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
    if (stateKey == 0 || retrieve == nullptr)
        return LV2_STATE_ERR_NO_FEATURE;
    std::size_t size = 0;
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    const void* value = retrieve(handle, stateKey, &size, &type, &flags);
    if (value == nullptr)
        return LV2_STATE_ERR_NO_PROPERTY;
    if (type != stringType)
        return LV2_STATE_ERR_BAD_TYPE;

    const auto chunk = state_text::decode({static_cast<const char*>(value), size});
    if (!chunk || chunk->size() > static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
        !core::readStateChunk(chunk->data(), static_cast<int>(chunk->size())))
        return LV2_STATE_ERR_UNKNOWN;
    processor->setStateInformation(chunk->data(), static_cast<int>(chunk->size()));

    for (std::size_t i = 0; i < controls.size(); ++i)
    {
        if (controls[i] != nullptr)
        {
            baselines[i] = Baseline::value;
            baselineValues[i] = *controls[i];
        }
        else
            baselines[i] = Baseline::adoptNext;
    }
    return LV2_STATE_SUCCESS;
}

namespace
{
LV2_State_Status saveEntry(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                           std::uint32_t /*flags*/, const LV2_Feature* const* /*features*/)
{
    try
    {
        return static_cast<Lv2Plugin*>(instance)->save(store, handle);
    }
    catch (...)
    {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status restoreEntry(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                              std::uint32_t /*flags*/, const LV2_Feature* const* /*features*/)
{
    try
    {
        return static_cast<Lv2Plugin*>(instance)->restore(retrieve, handle);
    }
    catch (...)
    {
        return LV2_STATE_ERR_UNKNOWN;
    }
}
}  // namespace

const LV2_State_Interface Lv2Plugin::stateInterface{saveEntry, restoreEntry};
}  // namespace varnoke::lv2
