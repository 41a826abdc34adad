#include "X11Embedding.h"

// Gives access to JUCE's X11 connection and its lazily loaded Xlib functions,
// so the plug-in needs no link dependency on libX11 of its own.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

namespace varnoke
{
void reparentIntoHostWindow(void* nativeWindow, void* hostWindow)
{
    if (nativeWindow == nullptr || hostWindow == nullptr)
        return;

    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    if (windowSystem == nullptr || windowSystem->getDisplay() == nullptr)
        return;

    auto* display = windowSystem->getDisplay();
    auto* x11 = juce::X11Symbols::getInstance();
    const juce::XWindowSystemUtilities::ScopedXLock xLock;
    x11->xReparentWindow(display, static_cast<::Window>(reinterpret_cast<juce::pointer_sized_uint>(nativeWindow)),
                         static_cast<::Window>(reinterpret_cast<juce::pointer_sized_uint>(hostWindow)), 0, 0);
    x11->xFlush(display);
}
}  // namespace varnoke
