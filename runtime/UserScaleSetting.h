#pragma once

#include <juce_data_structures/juce_data_structures.h>

#include <optional>

namespace varnoke::user_scale_setting
{
// The file the user's settings for the plug-in's window live in, shared by
// every format and instance and never part of a plug-in's saved state:
// $XDG_CONFIG_HOME/Varnoke/Varnoke.settings (~/.config when unset) on Linux,
// %APPDATA%\Varnoke\Varnoke.settings on Windows.
juce::File file();

// The window scale the user last chose from the window's menu; nothing when
// none was chosen (or the file is missing or damaged).
std::optional<float> read();

// Remembers a choice for the windows that open later; nothing forgets it, so
// they follow the host and the desktop again. False when it can't be written.
bool write(std::optional<float> factor);
}  // namespace varnoke::user_scale_setting
