#pragma once

#include <juce_events/juce_events.h>

#include <functional>

namespace varnoke
{
// The plug-in's window inside a host's X11 window, for as long as both exist.
// It moves JUCE's window into the host's, watches for the host destroying its
// window, and frees what JUCE leaves behind when its window goes.
class X11Embedding : private juce::Timer
{
public:
    // Readies JUCE's display connection for embedded windows; call before
    // anything of JUCE's opens it. On an X server where no window manager has
    // run, JUCE would otherwise use window-manager atoms that do not exist.
    static void prepareDisplay();

    // Whether an editor can go into this host window: a null one means a
    // top-level window, anything else must name an existing window.
    static bool canEmbedInto(void* hostWindow);

    // Takes JUCE's freshly created window into the host's. hostWindowGone runs
    // on the message thread once the host's window has been destroyed (seen
    // when JUCE next draws into its window); it must take JUCE's window down,
    // and nothing is drawn into it after that.
    X11Embedding(void* nativeWindow, void* hostWindow, std::function<void()> hostWindowGone);

    // Call once JUCE's window has been destroyed.
    ~X11Embedding() override;

    static constexpr int hostWindowCheckMilliseconds = 100;

private:
    void timerCallback() override;
    void release();

    unsigned long window;
    unsigned long hostWindow;
    unsigned long colormap = 0;
    std::function<void()> onHostWindowGone;
    bool released = false;

    JUCE_DECLARE_NON_COPYABLE(X11Embedding)
};
}  // namespace varnoke
