// The processor JUCE's VST3 and LV2 wrappers create for each instance.

#include "FormatProcessor.h"

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter();

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return varnoke::FormatProcessor::create().release();
}
