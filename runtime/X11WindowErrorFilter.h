#pragma once

namespace varnoke
{
// Keeps the errors that say "this window no longer exists" away from the
// host's X error handler (Xlib's default one ends the process), for the
// windows the plug-in embeds into and the windows it embeds, and only on the
// plug-in's own display connection. A host can destroy its window under the
// editor at any time; until the plug-in notices, JUCE may still draw into the
// vanished window, and taking the window down afterwards names it once more.
// Every other error, and every error on any other connection, goes its usual
// way. The filter belongs to the connection and goes with it when JUCE closes
// it, which happens before the library can be unloaded.
namespace x11_window_error_filter
{
// Installs the filter on a display connection (once; again after it was
// closed and reopened). False when this Xlib offers no way to.
bool install(void* display);

// Windows whose disappearance is expected. A window may be watched more than
// once; each watch is ended once.
void watch(unsigned long window);
void unwatch(unsigned long window);

// Whether an error has shown that a watched window no longer exists. The
// plug-in learns it this way without asking the server again: a request whose
// reply Xlib waits for would read the host's input events off the connection
// before JUCE's event loop sees that there is something to read.
bool hasVanished(unsigned long window);
}  // namespace x11_window_error_filter
}  // namespace varnoke
