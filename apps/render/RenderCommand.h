#pragma once

#include "RenderOptions.h"

namespace varnoke::render
{
// Does what the options ask: renders the input (or the demo) through the
// plug-in, saves a preset, plots responses or prints what a host sees, and a
// summary line for each file written. Throws RenderError when it cannot.
void runRenderCommand(const RenderOptions& options);
}  // namespace varnoke::render
