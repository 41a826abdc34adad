#pragma once

#include "OutputPlan.h"
#include "PluginLibrary.h"
#include "RenderSettings.h"

#include <memory>
#include <vector>

namespace varnoke::render
{
struct BatchOutcome
{
    int written = 0;
    int failed = 0;
};

// Renders the planned outputs on up to `jobs` threads at once, each input
// through a fresh plug-in instance of its own (renderSource). Prints one
// summary line on standard output for each file written, as it completes,
// and one line on standard error for each input that fails; a failure leaves
// no file and does not stop the others. Inputs that are not regular files
// (FIFOs, devices, directories) fail before any rendering starts. On a
// terminal, one progress bar on standard error shows the whole batch. Throws
// nothing for a failing input.
BatchOutcome renderBatch(const std::shared_ptr<const host::PluginLibrary>& library,
                         const std::vector<PlannedOutput>& plan, const RenderSettings& settings, int jobs);
}  // namespace varnoke::render
