#include "FormatProcessor.h"

#include "HostParameter.h"
#include "VarnokeAudioProcessorEditor.h"

namespace varnoke
{
FormatProcessor::FormatProcessor()
    : VarnokeAudioProcessor(BusesProperties()
                                .withInput("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput("Output", juce::AudioChannelSet::stereo(), true))
{
    for (int index = 0; index < numHostParameters; ++index)
        addParameter(new HostParameter(*this, index, parameterIds[index]));
}

bool FormatProcessor::isBusesLayoutSupported(const BusesLayout& layout) const
{
    const auto input = layout.getMainInputChannelSet();
    return input == layout.getMainOutputChannelSet() &&
           (input == juce::AudioChannelSet::mono() || input == juce::AudioChannelSet::stereo());
}

std::unique_ptr<FormatProcessor> FormatProcessor::create()
{
    auto processor = std::make_unique<FormatProcessor>();
    VarnokeAudioProcessorEditor::installFactory(*processor);
    return processor;
}
}  // namespace varnoke
