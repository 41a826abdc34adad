#include "X11WindowErrorFilter.h"

#include <X11/X.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <dlfcn.h>
#include <mutex>
#include <vector>

namespace varnoke
{
namespace
{
// Xlib converts each error it receives on a connection through a per-connection
// table of procedures before calling the process's error handler; a procedure
// that answers False drops the error. The wire format argument is not needed here.
using WireToErrorProc = Bool (*)(Display*, XErrorEvent*, void*);
using SetWireToErrorFunction = WireToErrorProc (*)(Display*, int, WireToErrorProc);

// The error codes of a request naming a window that does not exist: as a
// window, or as a drawable (drawing into it).
constexpr std::array<int, 2> vanishedWindowErrors{BadWindow, BadDrawable};

struct FilterState
{
    std::mutex mutex;
    std::vector<XID> watchedWindows;
    std::vector<XID> vanishedWindows;
    std::array<WireToErrorProc, vanishedWindowErrors.size()> previous{};
};

FilterState& state()
{
    static FilterState instance;
    return instance;
}

std::size_t indexOf(int errorCode)
{
    return static_cast<std::size_t>(std::find(vanishedWindowErrors.begin(), vanishedWindowErrors.end(), errorCode) -
                                    vanishedWindowErrors.begin());
}

// Called by Xlib, with the connection locked, for the error codes above only:
// it must not use the connection.
Bool filterError(Display* display, XErrorEvent* error, void* wire)
{
    auto& filter = state();
    WireToErrorProc previous = nullptr;
    {
        const std::lock_guard<std::mutex> lock(filter.mutex);
        const auto& watched = filter.watchedWindows;
        if (std::find(watched.begin(), watched.end(), error->resourceid) != watched.end())
        {
            auto& vanished = filter.vanishedWindows;
            if (std::find(vanished.begin(), vanished.end(), error->resourceid) == vanished.end())
                vanished.push_back(error->resourceid);
            return False;
        }
        const auto index = indexOf(error->error_code);
        if (index < filter.previous.size())
            previous = filter.previous[index];
    }
    return previous != nullptr ? previous(display, error, wire) : True;
}

SetWireToErrorFunction findSetWireToError()
{
    // JUCE has loaded Xlib already; the plug-in does not link it.
    void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (library == nullptr)
        return nullptr;
    auto* function = reinterpret_cast<SetWireToErrorFunction>(dlsym(library, "XESetWireToError"));
    dlclose(library);  // JUCE keeps it loaded
    return function;
}
}  // namespace

bool x11_window_error_filter::install(void* display)
{
    static const SetWireToErrorFunction setWireToError = findSetWireToError();
    if (display == nullptr || setWireToError == nullptr)
        return false;

    auto& filter = state();
    for (std::size_t i = 0; i < vanishedWindowErrors.size(); ++i)
    {
        const WireToErrorProc previous =
            setWireToError(static_cast<Display*>(display), vanishedWindowErrors[i], filterError);
        if (previous != filterError)
        {
            const std::lock_guard<std::mutex> lock(filter.mutex);
            filter.previous[i] = previous;
        }
    }
    return true;
}

void x11_window_error_filter::watch(unsigned long window)
{
    auto& filter = state();
    const std::lock_guard<std::mutex> lock(filter.mutex);
    filter.watchedWindows.push_back(window);
}

void x11_window_error_filter::unwatch(unsigned long window)
{
    auto& filter = state();
    const std::lock_guard<std::mutex> lock(filter.mutex);
    auto& watched = filter.watchedWindows;
    if (const auto found = std::find(watched.begin(), watched.end(), window); found != watched.end())
        watched.erase(found);
    if (std::find(watched.begin(), watched.end(), window) == watched.end())
    {
        auto& vanished = filter.vanishedWindows;
        vanished.erase(std::remove(vanished.begin(), vanished.end(), window), vanished.end());
    }
}

bool x11_window_error_filter::hasVanished(unsigned long window)
{
    auto& filter = state();
    const std::lock_guard<std::mutex> lock(filter.mutex);
    const auto& vanished = filter.vanishedWindows;
    return std::find(vanished.begin(), vanished.end(), window) != vanished.end();
}
}  // namespace varnoke
