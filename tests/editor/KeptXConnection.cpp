#include "KeptXConnection.h"

#include <X11/Xlib.h>

namespace varnoke::test
{
bool keepXServerConnection()
{
    static Display* const connection = XOpenDisplay(nullptr);
    return connection != nullptr;
}
}  // namespace varnoke::test
