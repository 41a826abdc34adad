#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <string>

namespace varnoke
{
// The small box that shows a touched knob's value, in the text and unit hosts
// show for its parameter ("+4.1 dB", "-inf dB"). It sits on the wood below the
// knob's caption, so that it covers neither the knob nor the caption, and is
// hidden (the window's pixels as without it) whenever no knob is touched.
class KnobValueLabel : public juce::Component
{
public:
    KnobValueLabel();

    // Shows the text below the knob, whose bounds are in the parent's coordinates.
    void showBelow(juce::Rectangle<int> knobBounds, const std::string& text);
    void setText(const std::string& text);
    const juce::String& getText() const noexcept { return text; }

    void paint(juce::Graphics& g) override;

    // Where the box stands: its top edge in the window and its size.
    static constexpr int top = 81;
    static constexpr int width = 64;
    static constexpr int height = 16;

private:
    juce::String text;
};
}  // namespace varnoke
