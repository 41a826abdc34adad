#include "VarnokeAudioProcessor.h"

#include "ProductIdentity.h"
#include "StateChunk.h"

#include <algorithm>
#include <cmath>

namespace varnoke
{
namespace
{
constexpr auto relaxed = std::memory_order_relaxed;
}  // namespace

VarnokeAudioProcessor::VarnokeAudioProcessor() = default;

VarnokeAudioProcessor::VarnokeAudioProcessor(const BusesProperties& buses)
    : juce::AudioProcessor(buses)
{
}

VarnokeAudioProcessor::~VarnokeAudioProcessor() = default;

const juce::String VarnokeAudioProcessor::getName() const
{
    return varnoke::product::name;
}

void VarnokeAudioProcessor::prepareToPlay(double sampleRate, int /*estimatedSamplesPerBlock*/)
{
    toneShaper.prepare(sampleRate);
    setParameter(refreshIndex, 0.0f);
}

void VarnokeAudioProcessor::releaseResources()
{
    // The filter memories deliberately survive a switch-off.
}

void VarnokeAudioProcessor::processBlock(juce::AudioSampleBuffer& buffer, juce::MidiBuffer& /*midiMessages*/)
{
    const int numSamples = buffer.getNumSamples();
    const int numChannels = buffer.getNumChannels();

    if (numChannels >= 1)
        toneShaper.process(buffer.getWritePointer(0), numChannels >= 2 ? buffer.getWritePointer(1) : nullptr,
                           numSamples);

    // Output channels beyond the inputs carry silence.
    const int clearEnd = std::min(getTotalNumOutputChannels(), numChannels);
    for (int channel = getTotalNumInputChannels(); channel < clearEnd; ++channel)
        buffer.clear(channel, 0, numSamples);
}

const juce::String VarnokeAudioProcessor::getInputChannelName(int channelIndex) const
{
    return juce::String(channelIndex + 1);
}

const juce::String VarnokeAudioProcessor::getOutputChannelName(int channelIndex) const
{
    return juce::String(channelIndex + 1);
}

bool VarnokeAudioProcessor::isInputChannelStereoPair(int /*index*/) const
{
    return true;
}

bool VarnokeAudioProcessor::isOutputChannelStereoPair(int /*index*/) const
{
    return true;
}

bool VarnokeAudioProcessor::silenceInProducesSilenceOut() const
{
    return false;
}

double VarnokeAudioProcessor::getTailLengthSeconds() const
{
    return 0.0;
}

bool VarnokeAudioProcessor::acceptsMidi() const
{
    return false;
}

bool VarnokeAudioProcessor::producesMidi() const
{
    return false;
}

juce::AudioProcessorEditor* VarnokeAudioProcessor::createEditor()
{
    return editorFactory != nullptr ? editorFactory(*this) : nullptr;
}

bool VarnokeAudioProcessor::hasEditor() const
{
    return true;
}

int VarnokeAudioProcessor::getNumParameters()
{
    return numHostParameters;
}

const juce::String VarnokeAudioProcessor::getParameterName(int index)
{
    if (const auto* row = core::findHostParameter(index))
        return row->name;
    switch (index)
    {
    case cvIndex: return "CV";
    case noiseFloorIndex: return "Noise Floor";
    default: return "What";
    }
}

juce::String VarnokeAudioProcessor::getParameterName(int index, int maximumStringLength)
{
    return getParameterName(index).substring(0, maximumStringLength);
}

float VarnokeAudioProcessor::getParameter(int index)
{
    switch (index)
    {
    case lowContourIndex: return lowContour.load(relaxed);
    case processIndex: return process.load(relaxed);
    case outputIndex: return output.load(relaxed);
    case cvIndex: return cv.load(relaxed);
    case noiseFloorIndex: return noiseFloor.load(relaxed);
    default: return 0.0f;
    }
}

const juce::String VarnokeAudioProcessor::getParameterText(int /*index*/)
{
    return {};
}

juce::String VarnokeAudioProcessor::getParameterText(int index, int maximumStringLength)
{
    return getParameterText(index).substring(0, maximumStringLength);
}

void VarnokeAudioProcessor::setParameter(int index, float newValue)
{
    switch (index)
    {
    case lowContourIndex: lowContour.store(newValue, relaxed); break;
    case processIndex: process.store(newValue, relaxed); break;
    case outputIndex: output.store(newValue, relaxed); break;
    case cvIndex: cv.store(newValue, relaxed); break;
    // A switch: strictly above one half is on; one half itself and NaN are off.
    case noiseFloorIndex: noiseFloor.store(newValue > 0.5f ? 1.0f : 0.0f, relaxed); break;
    default: break;  // the refresh call and foreign indices store nothing
    }

    refreshDerivedGains();
    // Every parameter change is mirrored into an open editor's knobs; this is the one place that does it.
    knobMirror.parametersChanged([this] { return getKnobValues(); });
}

// The products with 10 and 2 are single precision, then widened; the halving is double.
void VarnokeAudioProcessor::refreshDerivedGains() noexcept
{
    toneShaper.setGains({static_cast<double>(lowContour.load(relaxed) * 10.0f) * 0.5,
                         static_cast<double>(process.load(relaxed) * 10.0f) * 0.5,
                         static_cast<double>(cv.load(relaxed) * 10.0f),
                         static_cast<double>(output.load(relaxed) * 2.0f)});
}

VarnokeAudioProcessor::KnobValues VarnokeAudioProcessor::getKnobValues() const noexcept
{
    return {static_cast<double>(lowContour.load(relaxed) * 10.0f), static_cast<double>(process.load(relaxed) * 10.0f),
            static_cast<double>(output.load(relaxed) * 10.0f)};
}

float VarnokeAudioProcessor::getParameterDefaultValue(int index)
{
    return index >= 0 && index < numHostParameters ? hostParameterDefaults[static_cast<std::size_t>(index)] : 0.0f;
}

int VarnokeAudioProcessor::getNumPrograms()
{
    return 0;
}

int VarnokeAudioProcessor::getCurrentProgram()
{
    return 0;
}

void VarnokeAudioProcessor::setCurrentProgram(int /*index*/) {}

const juce::String VarnokeAudioProcessor::getProgramName(int /*index*/)
{
    return {};
}

void VarnokeAudioProcessor::changeProgramName(int /*index*/, const juce::String& /*newName*/) {}

void VarnokeAudioProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    state_chunk::write({lowContour.load(relaxed), process.load(relaxed), output.load(relaxed)}, destData);
}

// An unusable chunk changes nothing at all.
void VarnokeAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    const auto values = state_chunk::read(data, sizeInBytes);
    if (!values)
        return;

    lowContour.store(values->lowContour, relaxed);
    process.store(values->process, relaxed);
    output.store(values->output, relaxed);
    setParameter(refreshIndex, 0.0f);
}
}  // namespace varnoke
