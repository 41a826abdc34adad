#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace varnoke
{
// True when the plug-in runs inside Wine rather than on Windows itself.
bool isRunningUnderWine();

// JUCE paints the repaints it has queued for a window only at the display's
// vertical blank, which Wine never reports (its WaitForVBlank is not
// implemented), so under Wine a window would paint once and never again. This
// timer paints the queued repaints of one component's window instead, about
// as often as a display refreshes. It is only made under Wine.
class WineRepaintPump final : private juce::Timer
{
public:
    explicit WineRepaintPump(juce::Component& componentOnDesktop);
    ~WineRepaintPump() override;

    static constexpr int intervalMilliseconds = 16;

private:
    void timerCallback() override;

    juce::Component& component;

    JUCE_DECLARE_NON_COPYABLE(WineRepaintPump)
};
}  // namespace varnoke
