#pragma once

#include "FxPreset.h"
#include "RenderOptions.h"
#include "VstInstance.h"

#include <memory>
#include <optional>
#include <string>

namespace varnoke::render
{
// The plug-in as varnoke-render drives it: its library, loaded only when it is
// a build of this product, fresh instances of it, and the settings a run asks
// for. Every failure throws RenderError.

std::shared_ptr<const host::PluginLibrary> loadPluginLibrary(const std::string& path);
std::unique_ptr<host::VstInstance> newInstance(const std::shared_ptr<const host::PluginLibrary>& library);

// Refuses an instance that is not ours (by unique ID and name).
void requireProduct(host::VstInstance& probe, const std::string& path);

// Applies a preset, then the knobs given on the command line.
void configure(host::VstInstance& plugin, const std::optional<FxPreset>& preset, const KnobSettings& knobs,
               bool bypass);

// A state chunk may carry any text for a number; a value that is not a finite
// number means a damaged preset, not a setting.
void requireFinitePresetValues(host::VstInstance& plugin, const FxPreset& preset, const std::string& path);

// "Low Contour 0.25, Process 0.50, Output 0.50", or "bypassed".
std::string settingsLabel(host::VstInstance& plugin, bool bypass);
}  // namespace varnoke::render
