#pragma once

#include "VarnokeAudioProcessor.h"

namespace varnoke
{
// One of the processor's three host parameters as a parameter object with an
// ID of its own, for JUCE's VST3 and LV2 wrappers. Values pass through as the
// host writes them: setValue is the processor's setParameter, unchanged.
class HostParameter final : public juce::AudioProcessorParameterWithID
{
public:
    HostParameter(VarnokeAudioProcessor& processor, int index, const char* parameterId);

    float getValue() const override;
    void setValue(float newValue) override;
    float getDefaultValue() const override;
    juce::String getName(int maximumStringLength) const override;
    juce::String getLabel() const override;
    juce::String getText(float value, int maximumStringLength) const override;
    float getValueForText(const juce::String& text) const override;

private:
    VarnokeAudioProcessor& processor;
    const int index;
};
}  // namespace varnoke
