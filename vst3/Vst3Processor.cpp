#include "Vst3Processor.h"

#include "ClassIds.h"
#include "ComponentState.h"
#include "ControllerMessages.h"
#include "PlayableSampleRate.h"
#include "PluginParts.h"
#include "StreamReading.h"

#include <pluginterfaces/vst/ivstparameterchanges.h>
#include <pluginterfaces/vst/ivstprocesscontext.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace varnoke::vst3
{
using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
bool isSupportedArrangement(SpeakerArrangement arrangement)
{
    return arrangement == SpeakerArr::kStereo || arrangement == SpeakerArr::kMono;
}
}  // namespace

// Walks the points of the block's parameter queues in the order of their
// offsets, without allocating: one cursor per queue of one of Varnoke's
// parameters. Points at or before an offset are applied together; offsets
// past the block apply at its end, and a queue's points out of order at the
// offset reached.
class Vst3Processor::ParameterChangeCursor
{
public:
    explicit ParameterChangeCursor(IParameterChanges* changes) noexcept
    {
        if (changes == nullptr)
            return;
        const int32 numQueues = changes->getParameterCount();
        for (int32 q = 0; q < numQueues && count < maxQueues; ++q)
        {
            IParamValueQueue* queue = changes->getParameterData(q);
            if (queue == nullptr)
                continue;
            const ParameterRow* row = findParameter(queue->getParameterId());
            const int32 numPoints = queue->getPointCount();
            if (row == nullptr || numPoints <= 0)
                continue;
            queues[count++] = {queue, row, numPoints, 0};
        }
    }

    bool isEmpty() const noexcept { return count == 0; }

    // The offset of the earliest point not yet applied, or nothing.
    std::optional<int32> nextOffset() const noexcept
    {
        std::optional<int32> earliest;
        for (std::size_t q = 0; q < count; ++q)
        {
            int32 offset = 0;
            double value = 0.0;
            if (peek(queues[q], offset, value) && (!earliest || offset < *earliest))
                earliest = offset;
        }
        return earliest;
    }

    // Applies every point at or before the offset, in each queue's order.
    template <typename Apply> void applyUpTo(int32 position, Apply&& apply) noexcept
    {
        for (std::size_t q = 0; q < count; ++q)
        {
            auto& cursor = queues[q];
            int32 offset = 0;
            double value = 0.0;
            while (peek(cursor, offset, value) && offset <= position)
            {
                apply(*cursor.row, value);
                ++cursor.next;
            }
        }
    }

private:
    struct Queue
    {
        IParamValueQueue* queue;
        const ParameterRow* row;
        int32 numPoints;
        int32 next;
    };

    static bool peek(const Queue& cursor, int32& offset, double& value) noexcept
    {
        if (cursor.next >= cursor.numPoints)
            return false;
        ParamValue pointValue = 0.0;
        if (cursor.queue->getPoint(cursor.next, offset, pointValue) != kResultOk)
            offset = std::numeric_limits<int32>::max(), pointValue = std::numeric_limits<double>::quiet_NaN();
        value = pointValue;
        return true;
    }

    static constexpr std::size_t maxQueues = 16;
    std::array<Queue, maxQueues> queues;  // the first count are set
    std::size_t count = 0;
};

Vst3Processor::Vst3Processor()
{
    setControllerClass(controllerClassId());
}

Vst3Processor::~Vst3Processor() = default;

FUnknown* Vst3Processor::create(void*)
{
    return static_cast<IAudioProcessor*>(new Vst3Processor());
}

tresult PLUGIN_API Vst3Processor::initialize(FUnknown* context)
{
    const tresult result = Component::initialize(context);
    if (result != kResultOk)
        return result;

    if (processor == nullptr)
    {
        try
        {
            processor = core::createProcessor();
        }
        catch (...)
        {
            return kOutOfMemory;
        }
        processor->setPlayConfigDetails(numChannels, numChannels, setupSampleRate, setupMaxBlock);
    }

    if (audioInputs.empty())
    {
        audioInputs.push_back(owned(new AudioBus(STR16("Input"), kMain, BusInfo::kDefaultActive, SpeakerArr::kStereo)));
        audioOutputs.push_back(
            owned(new AudioBus(STR16("Output"), kMain, BusInfo::kDefaultActive, SpeakerArr::kStereo)));
    }
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::setActive(TBool state)
{
    if (processor == nullptr)
        return kNotInitialized;

    if (state == 0)
    {
        transportPlaying.store(false);
        if (active)
            processor->releaseResources();
        active = false;
        return kResultOk;
    }

    try
    {
        sliceFrames = setupMaxBlock;
        processor->setPlayConfigDetails(numChannels, numChannels, setupSampleRate, setupMaxBlock);
        processor->prepareToPlay(setupSampleRate, setupMaxBlock);
        inPlaceChannels.prepare(setupMaxBlock);
    }
    catch (...)
    {
        return kOutOfMemory;
    }
    active = true;
    return kResultOk;
}

//==============================================================================
tresult PLUGIN_API Vst3Processor::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                     SpeakerArrangement* outputs, int32 numOuts)
{
    if (numIns != 1 || numOuts != 1 || inputs == nullptr || outputs == nullptr || active)
        return kResultFalse;
    if (inputs[0] != outputs[0] || !isSupportedArrangement(inputs[0]))
        return kResultFalse;

    for (auto* buses : {&audioInputs, &audioOutputs})
        if (auto* bus = FCast<AudioBus>(buses->at(0).get()))
            bus->setArrangement(inputs[0]);
    setChannelCount(SpeakerArr::getChannelCount(inputs[0]));
    return kResultTrue;
}

tresult PLUGIN_API Vst3Processor::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arrangement)
{
    BusList* buses = getBusList(kAudio, dir);
    if (buses == nullptr || index < 0 || index >= static_cast<int32>(buses->size()))
        return kInvalidArgument;
    auto* bus = FCast<AudioBus>(buses->at(static_cast<std::size_t>(index)).get());
    if (bus == nullptr)
        return kInvalidArgument;
    arrangement = bus->getArrangement();
    return kResultTrue;
}

void Vst3Processor::setChannelCount(int channels)
{
    numChannels = std::clamp(channels, 1, 2);
    if (processor != nullptr)
        processor->setPlayConfigDetails(numChannels, numChannels, setupSampleRate, setupMaxBlock);
}

tresult PLUGIN_API Vst3Processor::setProcessing(TBool state)
{
    if (state == 0)
        transportPlaying.store(false);
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::notify(Vst::IMessage* message)
{
    if (const auto change = controller_messages::readParameter(message))
    {
        if (const ParameterRow* row = findParameter(change->first); row != nullptr && processor != nullptr)
            if (!transportPlaying.load())
                applyParameter(*row, change->second);
        return kResultOk;
    }
    return Component::notify(message);
}

tresult PLUGIN_API Vst3Processor::canProcessSampleSize(int32 symbolicSampleSize)
{
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

// Only the next switch-on uses the setup: the audio thread may still be running.
tresult PLUGIN_API Vst3Processor::setupProcessing(ProcessSetup& setup)
{
    if (setup.symbolicSampleSize != kSample32 || setup.maxSamplesPerBlock <= 0)
        return kResultFalse;
    setupSampleRate = playableSampleRate(setup.sampleRate);
    setupMaxBlock = std::min(setup.maxSamplesPerBlock, maxSliceFrames);
    return kResultOk;
}

//==============================================================================
void Vst3Processor::applyParameter(const ParameterRow& row, double value) noexcept
{
    if (std::isnan(value))
        return;
    value = std::clamp(value, 0.0, 1.0);
    if (row.processorIndex == bypassIndex)
        bypassed.store(value >= 0.5, std::memory_order_relaxed);
    else
        processor->setParameter(row.processorIndex, static_cast<float>(value));
}

tresult PLUGIN_API Vst3Processor::process(ProcessData& data)
{
    if (data.numSamples < 0 || processor == nullptr)
        return kInvalidArgument;

    transportPlaying.store(data.processContext != nullptr &&
                               (data.processContext->state & ProcessContext::kPlaying) != 0,
                           std::memory_order_relaxed);
    ParameterChangeCursor changes(data.inputParameterChanges);
    const auto applyAll = [&]
    {
        changes.applyUpTo(std::numeric_limits<int32>::max(),
                          [this](const auto& row, double value) noexcept { applyParameter(row, value); });
    };

    // A call without audio only brings parameter changes.
    if (data.numSamples == 0 || data.numOutputs < 1 || data.outputs == nullptr)
    {
        applyAll();
        return kResultOk;
    }
    if (data.symbolicSampleSize != kSample32)
    {
        applyAll();
        return kInvalidArgument;
    }

    AudioBusBuffers& output = data.outputs[0];
    if (output.numChannels < numChannels || output.channelBuffers32 == nullptr)
    {
        applyAll();
        return kInvalidArgument;
    }
    for (int channel = 0; channel < numChannels; ++channel)
        if (output.channelBuffers32[channel] == nullptr)
        {
            applyAll();
            return kInvalidArgument;
        }

    if (!active)
    {
        // Switched off: nothing was prepared for this block.
        for (int channel = 0; channel < numChannels; ++channel)
            std::fill_n(output.channelBuffers32[channel], data.numSamples, 0.0f);
        applyAll();
        return kNotInitialized;
    }

    processSlices(data, changes);
    output.silenceFlags = 0;
    return kResultOk;
}

void Vst3Processor::processSlices(ProcessData& data, ParameterChangeCursor& changes)
{
    const int32 numSamples = data.numSamples;
    float* const* outputs = data.outputs[0].channelBuffers32;
    const float* const* inputs = nullptr;
    int numInputs = 0;
    if (data.numInputs >= 1 && data.inputs != nullptr && data.inputs[0].channelBuffers32 != nullptr)
    {
        inputs = data.inputs[0].channelBuffers32;
        numInputs = std::min(data.inputs[0].numChannels, numChannels);
    }

    const juce::ScopedLock callbackLock(processor->getCallbackLock());

    // Most blocks bring no change and are no longer than announced: one slice.
    if (changes.isEmpty() && numSamples <= sliceFrames)
    {
        runSlice(inputs, numInputs, outputs, numSamples);
        return;
    }

    const auto apply = [this](const ParameterRow& row, double value) noexcept { applyParameter(row, value); };

    for (int32 position = 0; position < numSamples;)
    {
        changes.applyUpTo(position, apply);
        int32 end = numSamples;
        if (const auto next = changes.nextOffset(); next && *next < end)
            end = *next;
        // At least one frame, whatever a queue answers the next time it is asked.
        end = std::max(std::min(end, position + std::min(sliceFrames, numSamples - position)), position + 1);

        std::array<const float*, 2> sliceInputs{};
        std::array<float*, 2> sliceOutputs{};
        for (int channel = 0; channel < numChannels; ++channel)
        {
            const auto slot = static_cast<std::size_t>(channel);
            sliceOutputs[slot] = outputs[channel] + position;
            if (channel < numInputs && inputs[channel] != nullptr)
                sliceInputs[slot] = inputs[channel] + position;
        }
        runSlice(sliceInputs.data(), numInputs, sliceOutputs.data(), end - position);
        position = end;
    }
    changes.applyUpTo(std::numeric_limits<int32>::max(), apply);
}

void Vst3Processor::runSlice(const float* const* inputs, int numInputs, float* const* outputs, int frames)
{
    inPlaceChannels.process(inputs, numInputs, outputs, numChannels, frames,
                            [this](float* const* channels, int sliceFrameCount)
                            {
                                blockBuffer.setDataToReferTo(channels, numChannels, sliceFrameCount);
                                midiBuffer.clear();
                                if (bypassed.load(std::memory_order_relaxed))
                                    processor->processBlockBypassed(blockBuffer, midiBuffer);
                                else
                                    processor->processBlock(blockBuffer, midiBuffer);
                            });
}

//==============================================================================
tresult PLUGIN_API Vst3Processor::getState(IBStream* state)
{
    if (state == nullptr || processor == nullptr)
        return kInvalidArgument;
    try
    {
        juce::MemoryBlock chunk;
        processor->getStateInformation(chunk);
        const auto* begin = static_cast<const unsigned char*>(chunk.getData());
        std::vector<unsigned char> bytes(begin, begin + chunk.getSize());
        component_state::appendBypassRecord(bytes, bypassed.load(std::memory_order_relaxed));
        return writeWholeStream(*state, bytes) ? kResultOk : kResultFalse;
    }
    catch (...)
    {
        return kOutOfMemory;
    }
}

tresult PLUGIN_API Vst3Processor::setState(IBStream* state)
{
    if (state == nullptr || processor == nullptr)
        return kInvalidArgument;
    try
    {
        const auto bytes = readWholeStream(*state, component_state::maxStateBytes);
        if (!bytes)
            return kResultFalse;
        const auto parts = component_state::split(bytes->data(), bytes->size());
        const int chunkSize = static_cast<int>(parts.chunkSize);
        if (!core::readStateChunk(parts.chunk, chunkSize))
            return kResultFalse;

        processor->setStateInformation(parts.chunk, chunkSize);
        if (parts.bypassed)
            bypassed.store(*parts.bypassed, std::memory_order_relaxed);
        return kResultOk;
    }
    catch (...)
    {
        return kOutOfMemory;
    }
}
}  // namespace varnoke::vst3
