#pragma once

#include "FxPreset.h"
#include "RenderOptions.h"
#include "ResponsePlot.h"
#include "VstInstance.h"

#include <memory>
#include <optional>

namespace varnoke::render
{
// The magnitude response of one setting, measured by sending an impulse
// through a fresh instance after its high band's fade-in has settled. Throws
// RenderError when the plug-in outputs NaN or infinity.
ResponseCurve measureResponse(const std::shared_ptr<const host::PluginLibrary>& library,
                              const std::optional<FxPreset>& preset, const KnobSettings& knobs, bool bypass,
                              double sampleRate);
}  // namespace varnoke::render
