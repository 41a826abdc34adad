#include "X11Embedding.h"

#include "X11WindowErrorFilter.h"

// Gives access to JUCE's X11 connection and its lazily loaded Xlib functions,
// so the plug-in needs no link dependency on libX11 of its own.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdlib>

namespace varnoke
{
namespace
{
// The window-manager atoms JUCE looks up only if they exist, when it opens its
// display, and then uses as they are: a window's protocols are set with the
// first as the property's name, and 0 is no atom (BadAtom). A desktop has
// them all; a server where no window manager ever ran has none.
const char* const windowManagerAtoms[] = {
    "WM_PROTOCOLS", "WM_TAKE_FOCUS",       "WM_DELETE_WINDOW", "_NET_WM_PING",         "WM_CHANGE_STATE",
    "WM_STATE",     "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE",    "_NET_WM_STATE_HIDDEN",
};

::Window toWindow(void* handle)
{
    return static_cast<::Window>(reinterpret_cast<juce::pointer_sized_uint>(handle));
}

::Display* juceDisplay()
{
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    return windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;
}

// Asks the server about a window on JUCE's connection. A missing window
// answers with an error, which the filter keeps from the host.
bool windowExists(::Display* display, ::Window window, XWindowAttributes& attributes)
{
    x11_window_error_filter::watch(window);
    bool exists = false;
    {
        const juce::XWindowSystemUtilities::ScopedXLock xLock;
        exists = juce::X11Symbols::getInstance()->xGetWindowAttributes(display, window, &attributes) != 0;
    }
    x11_window_error_filter::unwatch(window);
    return exists;
}

bool windowExists(::Display* display, ::Window window)
{
    XWindowAttributes attributes{};
    return windowExists(display, window, attributes);
}
}  // namespace

void X11Embedding::prepareDisplay()
{
    if (auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating())
    {
        x11_window_error_filter::install(windowSystem->getDisplay());
        return;
    }

    auto* x11 = juce::X11Symbols::getInstance();
    if (!x11->loadAllSymbols())
        return;

    // Interned on a connection of our own that stays open until JUCE's is:
    // a server forgets its atoms when its last client leaves.
    const char* displayName = std::getenv("DISPLAY");
    ::Display* ownConnection = x11->xOpenDisplay(displayName != nullptr && *displayName != 0 ? displayName : ":0.0");
    if (ownConnection != nullptr)
        for (const char* name : windowManagerAtoms)
            x11->xInternAtom(ownConnection, name, False);

    x11_window_error_filter::install(juce::XWindowSystem::getInstance()->getDisplay());

    if (ownConnection != nullptr)
        x11->xCloseDisplay(ownConnection);
}

bool X11Embedding::canEmbedInto(void* hostWindow)
{
    if (hostWindow == nullptr)
        return true;
    prepareDisplay();
    auto* display = juceDisplay();
    return display != nullptr && windowExists(display, toWindow(hostWindow));
}

X11Embedding::X11Embedding(void* nativeWindow, void* hostWindowToUse, std::function<void()> hostWindowGone)
    : window(toWindow(nativeWindow))
    , hostWindow(toWindow(hostWindowToUse))
    , onHostWindowGone(std::move(hostWindowGone))
{
    // A host window of 0 is the root: JUCE made a top-level window.
    for (const auto watched : {window, hostWindow})
        if (watched != 0)
            x11_window_error_filter::watch(watched);

    auto* display = juceDisplay();
    if (display == nullptr || window == 0)
        return;

    auto* x11 = juce::X11Symbols::getInstance();
    if (hostWindow != 0)
    {
        // JUCE creates the window inside the parent, but some hosts only see
        // it as their child after an explicit reparent.
        const juce::XWindowSystemUtilities::ScopedXLock xLock;
        x11->xReparentWindow(display, window, hostWindow, 0, 0);
        x11->xFlush(display);
    }

    // JUCE gives every window a colormap of its own and never frees it.
    XWindowAttributes attributes{};
    if (windowExists(display, window, attributes) && attributes.colormap != None &&
        attributes.colormap != DefaultColormapOfScreen(attributes.screen))
        colormap = attributes.colormap;

    if (hostWindow != 0)
        startTimer(hostWindowCheckMilliseconds);
}

X11Embedding::~X11Embedding()
{
    release();
}

void X11Embedding::timerCallback()
{
    // The host's window takes the plug-in's with it when it is destroyed; the
    // next request about either (JUCE drawing) tells.
    if (!x11_window_error_filter::hasVanished(window) && !x11_window_error_filter::hasVanished(hostWindow))
        return;

    stopTimer();
    if (onHostWindowGone)
        onHostWindowGone();
    release();
}

void X11Embedding::release()
{
    if (released)
        return;
    released = true;
    stopTimer();

    if (auto* display = juceDisplay())
    {
        auto* x11 = juce::X11Symbols::getInstance();
        const juce::XWindowSystemUtilities::ScopedXLock xLock;
        if (colormap != 0)
            x11->xFreeColormap(display, colormap);
        // Destroying JUCE's window waited for the server, so every error
        // about the windows has arrived while they were watched.
        x11->xFlush(display);
    }
    for (const auto watched : {window, hostWindow})
        if (watched != 0)
            x11_window_error_filter::unwatch(watched);
}
}  // namespace varnoke
