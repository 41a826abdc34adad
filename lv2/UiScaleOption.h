#pragma once

#include <lv2/core/lv2.h>

#include <optional>

namespace varnoke::lv2
{
// The ui:scaleFactor a host passes among the options (opts:options, read
// with its urid:map) when it instantiates the UI: an atom:Float, or an
// atom:Double as some hosts send. Nothing where the host gives none, or no
// usable number.
std::optional<float> hostScaleFactor(const LV2_Feature* const* features);
}  // namespace varnoke::lv2
