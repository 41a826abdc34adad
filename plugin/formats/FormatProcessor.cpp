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

std::unique_ptr<FormatProcessor> FormatProcessor::create()
{
    auto processor = std::make_unique<FormatProcessor>();
    VarnokeAudioProcessorEditor::installFactory(*processor);
    return processor;
}
}  // namespace varnoke
