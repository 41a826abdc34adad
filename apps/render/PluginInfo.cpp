#include "PluginInfo.h"

#include "FxPreset.h"

#include <cstdio>

namespace varnoke::render
{
void printPluginInfo(host::VstInstance& plugin, const std::string& path)
{
    const AEffect& effect = plugin.effect();
    const auto flag = [&effect](int bit, const char* name)
    { return (effect.flags & bit) != 0 ? std::string(" ") + name : std::string(); };
    std::printf("Plug-in      %s\n", path.c_str());
    std::printf("Name         %s\n", plugin.effectName().c_str());
    std::printf("Product      %s\n", plugin.productString().c_str());
    std::printf("Vendor       %s\n", plugin.vendorString().c_str());
    std::printf("Version      %d (vendor version %d)\n", effect.version, plugin.vendorVersion());
    std::printf("Unique ID    '%s' (%d)\n", fourCharacterText(effect.uniqueID).c_str(), effect.uniqueID);
    std::printf("Category     %d%s\n", plugin.category(), plugin.category() == 1 ? " (effect)" : "");
    std::printf("VST version  %d\n", plugin.vstVersion());
    std::printf("Channels     %d in, %d out\n", effect.numInputs, effect.numOutputs);
    std::printf("Programs     %d\n", effect.numPrograms);
    std::printf("Latency      %d frames\n", effect.initialDelay);
    std::printf("Flags        0x%x:%s%s%s%s%s%s\n", static_cast<unsigned>(effect.flags),
                flag(host::effFlagsHasEditor, "editor").c_str(), flag(host::effFlagsCanReplacing, "replacing").c_str(),
                flag(host::effFlagsProgramChunks, "chunks").c_str(), flag(host::effFlagsIsSynth, "synth").c_str(),
                flag(host::effFlagsNoSoundInStop, "no-sound-in-stop").c_str(),
                flag(host::effFlagsCanDoubleReplacing, "double-replacing").c_str());
    std::printf("Parameters   %d\n", effect.numParams);
    for (int index = 0; index < effect.numParams; ++index)
    {
        const std::string display = plugin.parameterDisplay(index) + plugin.parameterLabel(index);
        std::printf("  %d  %-12s %.6g%s%s\n", index, plugin.parameterName(index).c_str(), plugin.parameter(index),
                    display.empty() ? "" : "  ", display.c_str());
    }
}
}  // namespace varnoke::render
