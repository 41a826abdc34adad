#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace varnoke
{
// Draws every rotary slider as one frame of the knob filmstrip, picked by the
// slider's value; everything else looks as LookAndFeel_V3 has it.
class LookAndFeelVarnoke : public juce::LookAndFeel_V3
{
public:
    LookAndFeelVarnoke();
    ~LookAndFeelVarnoke() override;

    void drawRotarySlider(juce::Graphics& g, int x, int y, int width, int height, float sliderPosProportional,
                          float rotaryStartAngle, float rotaryEndAngle, juce::Slider& slider) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(LookAndFeelVarnoke)
};
}  // namespace varnoke
