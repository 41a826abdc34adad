#include "VarnokeKnob.h"

#include <cmath>
#include <utility>

namespace varnoke
{
namespace
{
// The wheel delta JUCE reports for one notch of a mouse wheel.
#if JUCE_WINDOWS
constexpr double wheelNotch = 120.0 / 256.0;
#else
constexpr double wheelNotch = 50.0 / 256.0;
#endif

// Nearer the centre than this the pointer's angle says nothing (the rotary
// slider ignores the same circle).
constexpr float centreRadius = 5.0f;
}  // namespace

VarnokeKnob::VarnokeKnob(const juce::String& name, double defaultKnobValue)
    : juce::Slider(name)
    , defaultValue(defaultKnobValue)
{
}

VarnokeKnob::~VarnokeKnob() = default;

bool VarnokeKnob::wantsFineDrag(const juce::ModifierKeys& mods) noexcept
{
    return mods.isShiftDown() || mods.isCtrlDown() || mods.isCommandDown();
}

std::optional<double> VarnokeKnob::angleAt(juce::Point<float> position)
{
    const auto area = getLookAndFeel().getSliderLayout(*this).sliderBounds;
    const float dx = position.x - static_cast<float>(area.getCentreX());
    const float dy = position.y - static_cast<float>(area.getCentreY());
    if (dx * dx + dy * dy <= centreRadius * centreRadius)
        return std::nullopt;
    return std::atan2(static_cast<double>(dx), static_cast<double>(-dy));
}

void VarnokeKnob::beginTouch()
{
    if (std::exchange(touched, true))
        return;
    if (onTouchBegin)
        onTouchBegin();
}

void VarnokeKnob::endTouch()
{
    wheelRest.stopTimer();
    if (!std::exchange(touched, false))
        return;
    if (onTouchEnd)
        onTouchEnd();
}

void VarnokeKnob::mouseDown(const juce::MouseEvent& e)
{
    if (e.mods.isPopupMenu())
    {
        press = Press::popupMenu;
        if (auto* parent = getParentComponent())
            parent->mouseDown(e.getEventRelativeTo(parent));
        return;
    }
    if (!isEnabled())
        return;

    // A press ends a wheel burst still waiting for the wheel to rest: a touch of its own.
    if (wheelRest.isTimerRunning())
        endTouch();
    beginTouch();
    lastAngle = angleAt(e.position);

    if (e.getNumberOfClicks() >= 2)
    {
        press = Press::reset;
        setValue(defaultValue, juce::sendNotificationSync);
    }
    else if (wantsFineDrag(e.mods))
    {
        press = Press::relative;
        startRelativeDrag(true);
    }
    else
    {
        press = Press::circular;
        sliderPressed = true;
        juce::Slider::mouseDown(e);
    }
}

void VarnokeKnob::mouseDrag(const juce::MouseEvent& e)
{
    switch (press)
    {
    case Press::circular:
        if (wantsFineDrag(e.mods))
        {
            // From here on the knob turns by the pointer's movement, so that
            // neither this key nor its release makes it jump.
            press = Press::relative;
            startRelativeDrag(true);
            followRelativeDrag(e);
        }
        else
        {
            juce::Slider::mouseDrag(e);
            if (const auto angle = angleAt(e.position))
                lastAngle = angle;
        }
        break;
    case Press::relative:
        if (wantsFineDrag(e.mods) != fineDrag)
            startRelativeDrag(!fineDrag);
        followRelativeDrag(e);
        break;
    case Press::none:
    case Press::popupMenu:
    case Press::reset: break;
    }
}

void VarnokeKnob::mouseUp(const juce::MouseEvent& e)
{
    const Press ended = std::exchange(press, Press::none);
    if (ended == Press::none || ended == Press::popupMenu)
        return;
    if (std::exchange(sliderPressed, false))
        juce::Slider::mouseUp(e);
    endTouch();
}

// The second press of a double-click has already returned the knob to its default.
void VarnokeKnob::mouseDoubleClick(const juce::MouseEvent&) {}

void VarnokeKnob::mouseWheelMove(const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    if (!isEnabled() || press != Press::none || e.mods.isAnyMouseButtonDown())
        return;
    const double delta = std::abs(wheel.deltaX) > std::abs(wheel.deltaY) ? -wheel.deltaX : wheel.deltaY;
    const double notches = delta / wheelNotch * (wheel.isReversed ? -1.0 : 1.0);
    if (notches == 0.0 || !std::isfinite(notches))
        return;

    beginTouch();
    wheelRest.startTimer(wheelRestMilliseconds);
    const double step = wheelStepProportion / (e.mods.isShiftDown() ? fineDragDivisor : 1.0);
    const double proportion = juce::jlimit(0.0, 1.0, valueToProportionOfLength(getValue()) + notches * step);
    setValue(proportionOfLengthToValue(proportion), juce::sendNotificationSync);
}

void VarnokeKnob::startRelativeDrag(bool fine)
{
    fineDrag = fine;
    anchorValue = getValue();
    turnedSinceAnchor = 0.0;
}

void VarnokeKnob::followRelativeDrag(const juce::MouseEvent& e)
{
    const auto angle = angleAt(e.position);
    if (!angle)
        return;
    if (lastAngle)
    {
        double turned = *angle - *lastAngle;
        if (turned > juce::MathConstants<double>::pi)
            turned -= juce::MathConstants<double>::twoPi;
        else if (turned < -juce::MathConstants<double>::pi)
            turned += juce::MathConstants<double>::twoPi;
        turnedSinceAnchor += turned;
    }
    lastAngle = angle;

    const auto& rotary = getRotaryParameters();
    const double arc = static_cast<double>(rotary.endAngleRadians - rotary.startAngleRadians);
    const double moved = turnedSinceAnchor / arc / (fineDrag ? fineDragDivisor : 1.0);
    const double proportion = juce::jlimit(0.0, 1.0, valueToProportionOfLength(anchorValue) + moved);
    setValue(proportionOfLengthToValue(proportion), juce::sendNotificationSync);
}

void VarnokeKnob::WheelRest::timerCallback()
{
    knob.endTouch();
}
}  // namespace varnoke
