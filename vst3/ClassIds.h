#pragma once

#include <pluginterfaces/base/funknown.h>

namespace varnoke::vst3
{
// The class IDs of release 1.0.0 (identity/ProductIdentity.cmake): hosts
// store both in projects.
Steinberg::FUID componentClassId();
Steinberg::FUID controllerClassId();
}  // namespace varnoke::vst3
