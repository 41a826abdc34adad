#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace varnoke::test
{
// Takes the place of the process's X error handler while it lives and records
// every X error of every connection in the process (the plug-in's included)
// instead of ending the process, as Xlib's default handler does. A test that
// installs it asserts on what it recorded, so it hides nothing.
class XErrorRecorder
{
public:
    XErrorRecorder();
    ~XErrorRecorder();  // puts the previous handler back

    XErrorRecorder(const XErrorRecorder&) = delete;
    XErrorRecorder& operator=(const XErrorRecorder&) = delete;

    // One line per error: its code, the request and the resource it named.
    static std::vector<std::string> recorded();

private:
    using Handler = int (*)(Display*, XErrorEvent*);
    Handler previous;
};
}  // namespace varnoke::test
