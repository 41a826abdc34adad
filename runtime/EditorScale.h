#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

namespace varnoke::editor_scale
{
// The window is drawn at 1x to 3x of its design size; factors outside come in
// as the nearest end, and anything that is no number as 1x.
constexpr float smallest = 1.0f;
constexpr float largest = 3.0f;
float clamp(float factor);

// How much a (uniform) transform enlarges what it draws.
float ofTransform(const juce::AffineTransform& transform);

// The factors the window's menu offers.
constexpr float menuChoices[] = {1.0f, 1.5f, 2.0f};

// The desktop's scale where no host says: on Linux GDK_SCALE when it is set,
// else the X resources' Xft.dpi over 96 (1 without either); on Windows the
// main monitor's, as JUCE's Displays have it. Message thread only.
float desktopFactor();

// The parent of an editor that follows the user's choice from the window's
// menu (the editor container); an editor without one scales itself.
class ScaleChoiceListener
{
public:
    virtual ~ScaleChoiceListener() = default;
    // The user chose factor (0 to follow the host and the desktop again); the
    // choice is already remembered.
    virtual void userChoseScale(float factor) = 0;
    // Screen pixels per point the window has now.
    virtual float currentScale() const = 0;
};

// The factor a new window opens at: the user's choice from the window's menu
// when one is remembered, else the host's when it gave one, else the desktop's.
float forNewWindow(std::optional<float> hostFactor);

// The X resources' text (as in the root window's RESOURCE_MANAGER property)
// read for Xft.dpi, over 96; nothing where it names no sensible value.
std::optional<float> factorFromXResources(const juce::String& resources);

// GDK_SCALE's text as a factor; nothing where it is not a positive number.
std::optional<float> factorFromGdkScale(const juce::String& text);
}  // namespace varnoke::editor_scale
