#include "RenderPlugin.h"

#include "ProductIdentity.h"
#include "RenderError.h"

#include <cmath>
#include <cstdio>

namespace varnoke::render
{
std::shared_ptr<const host::PluginLibrary> loadPluginLibrary(const std::string& path)
{
    auto library = std::make_shared<const host::PluginLibrary>(path);
    if (!library->isLoaded())
        throw RenderError(library->error());
    return library;
}

std::unique_ptr<host::VstInstance> newInstance(const std::shared_ptr<const host::PluginLibrary>& library)
{
    std::string error;
    auto instance = host::VstInstance::create(library, error);
    if (instance == nullptr)
        throw RenderError(error);
    return instance;
}

void requireProduct(host::VstInstance& probe, const std::string& path)
{
    if (probe.effect().uniqueID != product::vst2UniqueId || probe.effectName() != product::name)
        throw RenderError(path + " is not a " + product::name + " build (it is '" + probe.effectName() + "')");
}

void configure(host::VstInstance& plugin, const std::optional<FxPreset>& preset, const KnobSettings& knobs, bool bypass)
{
    const auto numParams = static_cast<size_t>(std::max(0, plugin.effect().numParams));
    if (preset)
    {
        if (preset->hasChunk())
            plugin.setChunk(preset->chunk, preset->kind == FxPreset::Kind::program);
        else
            for (size_t i = 0; i < preset->parameters.size() && i < numParams; ++i)
                plugin.setParameter(static_cast<int>(i), preset->parameters[i]);
    }
    // The knobs in the plug-in's parameter order.
    const std::optional<float>* values[] = {&knobs.lowContour, &knobs.process, &knobs.output};
    for (int index = 0; index < 3; ++index)
        if (*values[index])
            plugin.setParameter(index, **values[index]);
    plugin.setBypass(bypass);
}

void requireFinitePresetValues(host::VstInstance& plugin, const FxPreset& preset, const std::string& path)
{
    configure(plugin, preset, {}, false);
    for (int index = 0; index < plugin.effect().numParams; ++index)
        if (!std::isfinite(plugin.parameter(index)))
            throw RenderError(path + ": damaged preset: parameter " + std::to_string(index) +
                              " is not a finite number");
}

std::string settingsLabel(host::VstInstance& plugin, bool bypass)
{
    if (bypass)
        return "bypassed";
    char text[128];
    std::snprintf(text, sizeof text, "Low Contour %.2f, Process %.2f, Output %.2f", plugin.parameter(0),
                  plugin.parameter(1), plugin.parameter(2));
    return text;
}
}  // namespace varnoke::render
