#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <optional>

namespace varnoke
{
// One of the window's rotary knobs, with the handling a musician expects:
//   - dragging follows the pointer's angle round the knob's centre, as the
//     plain rotary slider does;
//   - with shift or ctrl held, the drag turns the knob ten times more finely,
//     from where it stands: pressing or letting go of the key mid-drag never
//     makes it jump;
//   - a double-click returns it to its default;
//   - the mouse wheel steps it by a hundredth of its range per notch (a
//     thousandth with shift).
// Each touch (a press until its release, or a burst of wheel steps until the
// wheel rests) is announced through onTouchBegin / onTouchEnd, around the
// value changes it makes, so the window can tell hosts about the gesture.
// Right-clicks (popup-menu clicks) belong to the window: they go on to the
// parent's mouseDown unchanged.
class VarnokeKnob : public juce::Slider
{
public:
    VarnokeKnob(const juce::String& name, double defaultValue);
    ~VarnokeKnob() override;

    double getDefaultValue() const noexcept { return defaultValue; }

    // True from onTouchBegin to onTouchEnd.
    bool isTouched() const noexcept { return touched; }

    // Ends a touch that is still going (the window is closing under it).
    void endTouch();

    std::function<void()> onTouchBegin;
    std::function<void()> onTouchEnd;

    // How long the wheel must rest before its burst of steps ends as a touch.
    static constexpr int wheelRestMilliseconds = 400;
    // The step of one wheel notch, as a part of the range; shift divides it by ten.
    static constexpr double wheelStepProportion = 0.01;
    // How much more finely a drag turns the knob with shift or ctrl held.
    static constexpr double fineDragDivisor = 10.0;

    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;
    void mouseDoubleClick(const juce::MouseEvent& e) override;
    void mouseWheelMove(const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;

private:
    // What the press that is down now does.
    enum class Press
    {
        none,
        popupMenu,  // the parent's; the knob ignores it
        reset,      // the second press of a double-click: back to the default, nothing more
        circular,   // the slider's own drag, the knob following the pointer's angle
        relative,   // the knob turning by the pointer's change of angle, finely or not
    };

    class WheelRest final : public juce::Timer
    {
    public:
        explicit WheelRest(VarnokeKnob& owner)
            : knob(owner)
        {
        }
        void timerCallback() override;

    private:
        VarnokeKnob& knob;
    };

    static bool wantsFineDrag(const juce::ModifierKeys& mods) noexcept;
    // The pointer's angle round the knob's centre (0 at 12 o'clock, clockwise),
    // as the rotary slider measures it; nothing too near the centre to tell.
    std::optional<double> angleAt(juce::Point<float> position);
    void startRelativeDrag(bool fine);
    void followRelativeDrag(const juce::MouseEvent& e);
    void beginTouch();

    double defaultValue;
    bool touched = false;
    Press press = Press::none;
    bool sliderPressed = false;  // the slider saw the press and expects its release

    // The relative drag: the value and the pointer's angle where its current
    // mode (fine or not) started, and the angle the pointer has turned since.
    bool fineDrag = false;
    double anchorValue = 0.0;
    double turnedSinceAnchor = 0.0;
    std::optional<double> lastAngle;

    WheelRest wheelRest{*this};
};
}  // namespace varnoke
