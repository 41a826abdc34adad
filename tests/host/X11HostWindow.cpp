#include "X11HostWindow.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace varnoke::test
{
namespace
{
int channelOf(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    const unsigned long maximum = mask >> shift;
    return static_cast<int>(((pixel & mask) >> shift) * 255 / maximum);
}
}  // namespace

std::unique_ptr<X11HostWindow> X11HostWindow::open(const PixelRect& bounds, std::string& whyNot)
{
    if (std::getenv("DISPLAY") == nullptr)
    {
        whyNot = "DISPLAY is not set";
        return nullptr;
    }

    // The server may still be tearing down a previous process's connections.
    Display* display = nullptr;
    for (int attempt = 0; attempt < 20 && display == nullptr; ++attempt)
        if ((display = XOpenDisplay(nullptr)) == nullptr)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (display == nullptr)
    {
        whyNot = "cannot open the display";
        return nullptr;
    }

    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor))
    {
        XCloseDisplay(display);
        whyNot = "the display has no XTEST extension";
        return nullptr;
    }

    // Screenshots compare colours exactly.
    if (DefaultDepth(display, DefaultScreen(display)) < 24)
    {
        XCloseDisplay(display);
        whyNot = "the display has fewer than 24 bits per pixel";
        return nullptr;
    }

    // Xlib's default error handler stays: like a real host's, it ends the
    // process at the first X error, which a test must not hide.
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), bounds.x, bounds.y,
                                              static_cast<unsigned>(bounds.width), static_cast<unsigned>(bounds.height),
                                              0, 0, BlackPixel(display, DefaultScreen(display)));
    XMapWindow(display, window);
    XSync(display, False);
    return std::unique_ptr<X11HostWindow>(new X11HostWindow(display, window));
}

X11HostWindow::X11HostWindow(Display* displayToUse, Window windowToUse)
    : display(displayToUse)
    , window(windowToUse)
{
}

X11HostWindow::~X11HostWindow()
{
    if (heldButton != 0)
        releaseButton();  // a failed test must not leave the server's button or keys down
    for (const KeySym key : std::vector<KeySym>(heldKeys))
        releaseKey(key);
    if (window != 0)
        XDestroyWindow(display, window);
    XCloseDisplay(display);
}

void X11HostWindow::resize(int width, int height)
{
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
}

void X11HostWindow::destroy()
{
    XDestroyWindow(display, window);
    XSync(display, False);
    window = 0;
}

void* X11HostWindow::getNativeHandle() const noexcept
{
    return reinterpret_cast<void*>(window);
}

std::vector<Window> X11HostWindow::queryChildren() const
{
    XSync(display, False);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0 && children != nullptr)
    {
        result.assign(children, children + count);
        XFree(children);
    }
    return result;
}

RgbImage X11HostWindow::grab(const PixelRect& area) const
{
    return grabDrawable(window, area);
}

RgbImage X11HostWindow::grabScreen(const PixelRect& area) const
{
    return grabDrawable(DefaultRootWindow(display), area);
}

RgbImage X11HostWindow::grabDrawable(Drawable drawable, const PixelRect& area) const
{
    XSync(display, False);
    XImage* image = XGetImage(display, drawable, area.x, area.y, static_cast<unsigned>(area.width),
                              static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return {};

    RgbImage result(area.width, area.height);
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x)
        {
            const unsigned long value = XGetPixel(image, x, y);
            result.setPixel(x, y, static_cast<std::uint8_t>(channelOf(value, image->red_mask)),
                            static_cast<std::uint8_t>(channelOf(value, image->green_mask)),
                            static_cast<std::uint8_t>(channelOf(value, image->blue_mask)));
        }
    XDestroyImage(image);
    return result;
}

void X11HostWindow::movePointerTo(int x, int y)
{
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, CurrentTime);
    XSync(display, False);
}

void X11HostWindow::pressButton(unsigned int button)
{
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XSync(display, False);
    heldButton = button;
}

void X11HostWindow::releaseButton(unsigned int button)
{
    XTestFakeButtonEvent(display, button != 0 ? button : (heldButton != 0 ? heldButton : 1), False, CurrentTime);
    XSync(display, False);
    heldButton = 0;
}

void X11HostWindow::clickButton(unsigned int button)
{
    pressButton(button);
    releaseButton(button);
}

void X11HostWindow::pressKey(KeySym key)
{
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
    XSync(display, False);
    heldKeys.push_back(key);
}

void X11HostWindow::releaseKey(KeySym key)
{
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
    XSync(display, False);
    heldKeys.erase(std::remove(heldKeys.begin(), heldKeys.end(), key), heldKeys.end());
}
}  // namespace varnoke::test
