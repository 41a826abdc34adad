#pragma once

#include "RgbImage.h"

#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <vector>

namespace varnoke::test
{
// The test host's own X11 side: a connection, a top-level window that a
// plug-in editor is opened into, screenshots of it, and real pointer input
// through the XTEST extension. Links only Xlib and libXtst.
class X11HostWindow
{
public:
    // A top-level window at bounds (root coordinates). Null, with the reason in
    // whyNot, when there is no display, it lacks XTEST or has under 24 bits.
    static std::unique_ptr<X11HostWindow> open(const PixelRect& bounds, std::string& whyNot);
    ~X11HostWindow();

    X11HostWindow(const X11HostWindow&) = delete;
    X11HostWindow& operator=(const X11HostWindow&) = delete;

    // The handle a VST 2.4 host passes to effEditOpen.
    void* getNativeHandle() const noexcept;
    Window getWindow() const noexcept { return window; }
    Display* getDisplay() const noexcept { return display; }

    // The host changes the window's size, or destroys the window while the
    // plug-in may still have its editor in it; both wait for the server.
    void resize(int width, int height);
    void destroy();

    // The window's children as the X server knows them now.
    std::vector<Window> queryChildren() const;

    // The window's contents, its children included, as the server has them now.
    RgbImage grab(const PixelRect& area) const;
    // The screen's contents in root coordinates (other clients' menus too).
    RgbImage grabScreen(const PixelRect& area) const;

    // Pointer input in the window's coordinates, delivered to whichever
    // client's window is under the pointer. Button 1 is the left button, 3
    // the right; a click of 4 or 5 turns the wheel one notch up or down.
    void movePointerTo(int x, int y);
    void pressButton(unsigned int button = 1);
    // Releases the given button, or with 0 the one held.
    void releaseButton(unsigned int button = 0);
    void clickButton(unsigned int button = 1);

    // Keyboard input (a modifier such as XK_Shift_L held during a drag).
    void pressKey(KeySym key);
    void releaseKey(KeySym key);

private:
    X11HostWindow(Display* display, Window window);
    RgbImage grabDrawable(Drawable drawable, const PixelRect& area) const;

    Display* display;
    Window window;
    unsigned int heldButton = 0;
    std::vector<KeySym> heldKeys;
};
}  // namespace varnoke::test
