#pragma once

#include "FxPreset.h"
#include "VstInstance.h"

#include <string>

namespace varnoke::render
{
// Reads a preset file of this product, refusing anything else (files too
// large to be one, damaged files, presets of other plug-ins); throws RenderError.
FxPreset loadPreset(const std::string& path);

// Saves the instance's settings as a program (.fxp) or, when the name ends in
// .fxb, a bank; returns whether it was a bank. Throws RenderError.
bool savePreset(host::VstInstance& plugin, const std::string& path);
}  // namespace varnoke::render
