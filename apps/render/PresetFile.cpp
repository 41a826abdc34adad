#include "PresetFile.h"

#include "AtomicOutputFile.h"
#include "ProductIdentity.h"
#include "RenderError.h"
#include "SmallFileReader.h"

#include <juce_core/juce_core.h>

namespace varnoke::render
{
namespace
{
// This product's presets are a few hundred bytes; anything far larger is no preset.
constexpr std::uint64_t maximumPresetSize = 1 << 20;
}  // namespace

FxPreset loadPreset(const std::string& path)
{
    const SmallFile file = readSmallFile(path, maximumPresetSize, 4);
    if (file.tooLarge && startsLikeFxPreset(file.bytes))
        throw RenderError(path + " is too large for a preset (" + std::to_string(file.size) + " bytes; at most " +
                          std::to_string(maximumPresetSize) + ")");
    FxPreset preset;
    try
    {
        preset = readFxPreset(file.bytes);
    }
    catch (const RenderError& error)
    {
        throw RenderError(path + ": " + error.what());
    }
    if (preset.pluginId != product::vst2UniqueId)
        throw RenderError(path + " is a preset for another plug-in (ID '" + fourCharacterText(preset.pluginId) +
                          "'), not " + product::name);
    return preset;
}

bool savePreset(host::VstInstance& plugin, const std::string& path)
{
    const bool bank = juce::File(juce::String(path)).hasFileExtension("fxb");
    FxPreset saved;
    saved.kind = bank ? FxPreset::Kind::bank : FxPreset::Kind::program;
    saved.pluginId = plugin.effect().uniqueID;
    saved.pluginVersion = plugin.effect().version;
    saved.programName = product::name;
    saved.chunk = plugin.chunk(!bank);
    writeFileAtomically(path, writeFxPreset(saved, plugin.effect().numParams, plugin.effect().numPrograms));
    return bank;
}
}  // namespace varnoke::render
