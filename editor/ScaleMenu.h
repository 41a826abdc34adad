#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace varnoke
{
// The window's right-click menu: 100 %, 150 % and 200 %, the current scale
// ticked, and "Follow the host" to forget a choice. A choice is remembered
// for the windows that open later (a setting of the user's, not of the
// plug-in's state) and applied to this window at once.
class ScaleMenu
{
public:
    // What a choice does to the window; 0 asks for the factor the host or
    // the desktop give.
    using ApplyScale = std::function<void(float factor)>;

    // Shows the menu beside the mouse, for a window now drawn at currentScale.
    // The menu may outlive the window: it calls applyScale only while target
    // still exists.
    static void show(juce::Component& target, float currentScale, ApplyScale applyScale);

    // The menu's item ids: 1 to 3 are the factors in editor_scale::menuChoices.
    static constexpr int followHostItem = 100;

    // What choosing item id does: writes the setting, then answers the factor
    // for the window (0 for the host's or the desktop's); -1 for no choice.
    static float choose(int itemId);
};
}  // namespace varnoke
