// The Windows module entry of Varnoke.vst3.

#include <juce_core/juce_core.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// JUCE registers its window classes and loads its resources through the
// handle of the module that holds it: this one, not the host's program.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        juce::Process::setCurrentModuleInstanceHandle(instance);
    return TRUE;
}
