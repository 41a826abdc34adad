#include "EffectHarness.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace varnoke::test
{
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

    // Xlib's default error handler stays, as in a real host: an X error the
    // plug-in provokes ends the test.
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
}  // namespace varnoke::test
