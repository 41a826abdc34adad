#include "WineRepaintPump.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace varnoke
{
bool isRunningUnderWine()
{
    // Wine's ntdll exports its own version query; Windows' does not.
    static const bool underWine = []
    {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return underWine;
}

WineRepaintPump::WineRepaintPump(juce::Component& componentOnDesktop)
    : component(componentOnDesktop)
{
    startTimer(intervalMilliseconds);
}

WineRepaintPump::~WineRepaintPump()
{
    stopTimer();
}

void WineRepaintPump::timerCallback()
{
    if (auto* peer = component.getPeer())
        peer->performAnyPendingRepaintsNow();
}
}  // namespace varnoke
