#include "EffectHarness.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace effect_harness
{
namespace
{
// A bare Xvfb has no window manager; JUCE's window code provokes harmless
// errors there that Xlib's default handler turns into an exit.
int ignoreXError(Display*, XErrorEvent*)
{
    return 0;
}
}  // namespace

HostWindow::HostWindow()
{
    if (std::getenv("DISPLAY") == nullptr)
        return;

    Display* connection = nullptr;
    // Xvfb may still be tearing down an earlier connection.
    for (int attempt = 0; attempt < 20 && connection == nullptr; ++attempt)
        if ((connection = XOpenDisplay(nullptr)) == nullptr)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (connection == nullptr)
        return;

    XSetErrorHandler(ignoreXError);
    window = XCreateSimpleWindow(connection, DefaultRootWindow(connection), 0, 0, 640, 240, 0, 0, 0);
    XMapWindow(connection, window);
    XFlush(connection);
    display = connection;
}

HostWindow::~HostWindow()
{
    if (display == nullptr)
        return;
    auto* connection = static_cast<Display*>(display);
    XDestroyWindow(connection, window);
    XCloseDisplay(connection);
}
}  // namespace effect_harness
