#pragma once

namespace varnoke
{
// Moves a JUCE window into the host's X11 window at (0, 0) and flushes, so
// that the host sees it as its child at once.
void reparentIntoHostWindow(void* nativeWindow, void* hostWindow);
}  // namespace varnoke
