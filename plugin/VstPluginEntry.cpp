// The shared library's one export: a host calls it once per plug-in instance.

#include "VarnokeAudioProcessor.h"
#include "VstPluginInstance.h"

namespace
{
std::unique_ptr<juce::AudioProcessor> createVarnokeProcessor()
{
    return std::make_unique<VarnokeAudioProcessor>();
}
}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    return varnoke::VstPluginInstance::create(host, createVarnokeProcessor);
}
