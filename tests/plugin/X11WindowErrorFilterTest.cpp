// The filter on the plug-in's X connection that keeps "no such window" errors
// about windows the plug-in watches from the process's X error handler (and
// remembers that those windows are gone), and lets everything else through.

// GoogleTest first: Xlib's macros (None) clash with its names.
#include <gtest/gtest.h>

#include "X11WindowErrorFilter.h"
#include "support/XErrorRecorder.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

namespace
{
using varnoke::x11_window_error_filter::hasVanished;
using varnoke::x11_window_error_filter::install;
using varnoke::x11_window_error_filter::unwatch;
using varnoke::x11_window_error_filter::watch;

Display* openDisplay()
{
    Display* display = nullptr;
    // Xvfb may still be tearing down the previous test's connections.
    for (int attempt = 0; attempt < 20 && display == nullptr; ++attempt)
        if ((display = XOpenDisplay(nullptr)) == nullptr)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return display;
}

// A window identifier of the connection whose window has been destroyed, as
// when a host destroys the window that holds it.
Window destroyedWindow(Display* display)
{
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, window);
    XSync(display, False);
    return window;
}

class X11WindowErrorFilterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "needs an X display (run under xvfb-run)";
        filtered = openDisplay();
        other = openDisplay();
        ASSERT_NE(nullptr, filtered);
        ASSERT_NE(nullptr, other);
        ASSERT_TRUE(install(filtered));
        ASSERT_TRUE(install(filtered)) << "installing twice must keep it working";
    }

    void TearDown() override
    {
        for (auto* display : {filtered, other})
            if (display != nullptr)
                XCloseDisplay(display);
    }

    Display* filtered = nullptr;
    Display* other = nullptr;
};

struct Request
{
    const char* name;
    std::function<void(Display*, Window)> send;
};
// Requests that name a missing window as a window (BadWindow) and as a drawable (BadDrawable).
const Request requestsOnAMissingWindow[] = {
    {"map", [](Display* display, Window window) { XMapWindow(display, window); }},
    {"destroy", [](Display* display, Window window) { XDestroyWindow(display, window); }},
    {"draw",
     [](Display* display, Window window)
     {
         const GC gc = XCreateGC(display, DefaultRootWindow(display), 0, nullptr);
         XFillRectangle(display, window, gc, 0, 0, 4, 4);
         XFreeGC(display, gc);
     }},
};

std::size_t errorsAfter(Display* display, const Request& request, Window window)
{
    const varnoke::test::XErrorRecorder recorder;
    request.send(display, window);
    XSync(display, False);
    return varnoke::test::XErrorRecorder::recorded().size();
}

TEST_F(X11WindowErrorFilterTest, TakesOnlyMissingWindowErrorsAboutWatchedWindowsOnItsConnection)
{
    const Window missing = destroyedWindow(filtered);
    const Window missingElsewhere = destroyedWindow(other);
    for (const auto& request : requestsOnAMissingWindow)
    {
        SCOPED_TRACE(request.name);
        EXPECT_EQ(1u, errorsAfter(filtered, request, missing)) << "not watched yet";

        watch(missing);
        watch(missingElsewhere);
        EXPECT_FALSE(hasVanished(missing));
        EXPECT_EQ(0u, errorsAfter(filtered, request, missing)) << "watched, on the filtered connection";
        EXPECT_TRUE(hasVanished(missing));
        EXPECT_EQ(1u, errorsAfter(other, request, missingElsewhere)) << "watched, but on another connection";
        EXPECT_FALSE(hasVanished(missingElsewhere));
        unwatch(missingElsewhere);

        // Watched twice, unwatched once: still watched.
        watch(missing);
        unwatch(missing);
        EXPECT_EQ(0u, errorsAfter(filtered, request, missing)) << "still watched once";
        unwatch(missing);
        EXPECT_FALSE(hasVanished(missing)) << "forgotten with its last watch";
        EXPECT_EQ(1u, errorsAfter(filtered, request, missing)) << "no longer watched";
    }
}

// Other errors about a watched window still reach the handler.
TEST_F(X11WindowErrorFilterTest, LetsOtherErrorsAboutAWatchedWindowThrough)
{
    const Window window = XCreateSimpleWindow(filtered, DefaultRootWindow(filtered), 0, 0, 10, 10, 0, 0, 0);
    watch(window);
    const varnoke::test::XErrorRecorder recorder;
    const unsigned char data = 0;
    XChangeProperty(filtered, window, Atom{0}, XA_STRING, 8, PropModeReplace, &data, 1);  // no such atom
    XSync(filtered, False);
    EXPECT_EQ(1u, varnoke::test::XErrorRecorder::recorded().size());
    unwatch(window);
    XDestroyWindow(filtered, window);
}
}  // namespace
