#include "HostParameter.h"

namespace varnoke
{
HostParameter::HostParameter(VarnokeAudioProcessor& owner, int parameterIndex, const char* parameterId)
    : juce::AudioProcessorParameterWithID(parameterId, owner.getParameterName(parameterIndex))
    , processor(owner)
    , index(parameterIndex)
{
}

float HostParameter::getValue() const
{
    return processor.getParameter(index);
}

void HostParameter::setValue(float newValue)
{
    processor.setParameter(index, newValue);
}

float HostParameter::getDefaultValue() const
{
    return processor.getParameterDefaultValue(index);
}

juce::String HostParameter::getName(int maximumStringLength) const
{
    return processor.getParameterName(index, maximumStringLength);
}

juce::String HostParameter::getLabel() const
{
    return {};
}

// The host's own display of the value, in its 0 to 1 units.
juce::String HostParameter::getText(float value, int maximumStringLength) const
{
    return juce::String(value, 2).substring(0, maximumStringLength);
}

float HostParameter::getValueForText(const juce::String& text) const
{
    return juce::jlimit(0.0f, 1.0f, text.getFloatValue());
}
}  // namespace varnoke
