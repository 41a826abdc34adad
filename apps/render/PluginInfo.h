#pragma once

#include "VstInstance.h"

#include <string>

namespace varnoke::render
{
// Prints what a host sees when it scans the plug-in: name, vendor, version,
// unique ID, category, channels, flags and parameters.
void printPluginInfo(host::VstInstance& plugin, const std::string& path);
}  // namespace varnoke::render
