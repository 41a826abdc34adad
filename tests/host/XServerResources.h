#pragma once

#include <X11/Xlib.h>

#include <optional>

namespace varnoke::test
{
// How many resources of one type (an atom name such as "COLORMAP") all the
// clients of the X server hold together, as its X-Resource extension counts
// them. Empty when the server lacks the extension.
std::optional<long> countServerResources(Display* display, const char* typeName);
}  // namespace varnoke::test
