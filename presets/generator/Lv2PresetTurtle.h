#pragma once

#include "FactoryPresets.h"

#include <string>

namespace varnoke::presets
{
// The URI of a factory preset of the LV2 plug-in PLUGIN_URI: PLUGIN_URI:preset:SLUG.
std::string lv2PresetUri(const std::string& pluginUri, const core::FactoryPreset& preset);

// The manifest's entries for the factory presets: each a pset:Preset that
// applies to the plug-in, described in presets.ttl.
std::string lv2PresetManifestEntries(const std::string& pluginUri);

// presets.ttl: every factory preset with its label and the value of each
// control port, by the port's symbol.
std::string lv2PresetsTurtle(const std::string& pluginUri);
}  // namespace varnoke::presets
