// The shared library's one export: a host calls it once per plug-in instance.

#include "PluginAssembly.h"
#include "VstPluginInstance.h"

namespace
{
std::unique_ptr<juce::AudioProcessor> createVarnokeProcessor()
{
    return varnoke::createPluginProcessor();
}
}  // namespace

// Linux exports it through the version script, Windows through Varnoke.def.
#if defined(_WIN32)
#define VARNOKE_ENTRY_POINT
#else
#define VARNOKE_ENTRY_POINT __attribute__((visibility("default")))
#endif

extern "C" VARNOKE_ENTRY_POINT AEffect* VSTPluginMain(audioMasterCallback host)
{
    return varnoke::VstPluginInstance::create(host, createVarnokeProcessor);
}
