// JUCE's X11 connection and its lazily loaded Xlib functions (on Linux): the
// plug-in needs no link dependency on libX11 of its own.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "EditorScale.h"
#include "UserScaleSetting.h"

#include <cmath>

namespace varnoke::editor_scale
{
namespace
{
#if JUCE_LINUX
// The X resources a desktop publishes for its clients (xrdb's database): the
// root window's RESOURCE_MANAGER property, on JUCE's connection.
juce::String xResources()
{
    auto* windowSystem = juce::XWindowSystem::getInstance();
    ::Display* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;
    if (display == nullptr)
        return {};
    auto* x11 = juce::X11Symbols::getInstance();
    const juce::XWindowSystemUtilities::ScopedXLock xLock;
    const ::Atom property = x11->xInternAtom(display, "RESOURCE_MANAGER", True);
    if (property == None)
        return {};
    ::Atom type = None;
    int format = 0;
    unsigned long items = 0, remaining = 0;
    unsigned char* data = nullptr;
    // The database is text of a few kilobytes; a megabyte is plenty.
    const auto status = x11->xGetWindowProperty(display, x11->xDefaultRootWindow(display), property, 0, 1 << 18, False,
                                                XA_STRING, &type, &format, &items, &remaining, &data);
    juce::String text;
    if (status == Success && data != nullptr && type == XA_STRING && format == 8)
        text = juce::String::fromUTF8(reinterpret_cast<const char*>(data), static_cast<int>(items));
    if (data != nullptr)
        x11->xFree(data);
    return text;
}
#endif
}  // namespace

float ofTransform(const juce::AffineTransform& transform)
{
    return std::sqrt(std::abs(transform.getDeterminant()));
}

float clamp(float factor)
{
    if (!std::isfinite(factor))
        return factor > 0.0f ? largest : smallest;
    return juce::jlimit(smallest, largest, factor);
}

std::optional<float> factorFromXResources(const juce::String& resources)
{
    juce::StringArray lines;
    lines.addLines(resources);
    for (const auto& line : lines)
    {
        const juce::String name = line.upToFirstOccurrenceOf(":", false, false).trim();
        if (name != "Xft.dpi" || !line.containsChar(':'))
            continue;
        const juce::String value = line.fromFirstOccurrenceOf(":", false, false).trim();
        if (!value.containsOnly("0123456789.") || value.isEmpty())
            return std::nullopt;
        const double dpi = value.getDoubleValue();
        if (!(dpi > 0.0))
            return std::nullopt;
        return clamp(static_cast<float>(dpi / 96.0));
    }
    return std::nullopt;
}

std::optional<float> factorFromGdkScale(const juce::String& text)
{
    const juce::String trimmed = text.trim();
    if (trimmed.isEmpty() || !trimmed.containsOnly("0123456789.") || !(trimmed.getDoubleValue() > 0.0))
        return std::nullopt;
    return clamp(static_cast<float>(trimmed.getDoubleValue()));
}

float desktopFactor()
{
#if JUCE_LINUX
    if (const auto gdk = factorFromGdkScale(juce::SystemStats::getEnvironmentVariable("GDK_SCALE", {})))
        return *gdk;
    if (const auto xft = factorFromXResources(xResources()))
        return *xft;
    return 1.0f;
#elif JUCE_WINDOWS
    if (const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        return clamp(static_cast<float>(display->scale));
    return 1.0f;
#else
    return 1.0f;
#endif
}

float forNewWindow(std::optional<float> hostFactor)
{
    if (const auto chosen = user_scale_setting::read())
        return *chosen;
    if (hostFactor.has_value())
        return clamp(*hostFactor);
    return desktopFactor();
}
}  // namespace varnoke::editor_scale
