// The module's entry points: the factory, and the calls a host makes when it
// loads and unloads the module (ModuleEntry/ModuleExit on Linux, InitDll/ExitDll
// on Windows). Nothing is set up before a class is created, so they only succeed.

#include "PluginFactory.h"

#if defined(_WIN32)
#define VARNOKE_VST3_EXPORT extern "C" __declspec(dllexport)
#else
#define VARNOKE_VST3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

VARNOKE_VST3_EXPORT Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory()
{
    return &varnoke::vst3::PluginFactory::instance();
}

#if defined(_WIN32)
VARNOKE_VST3_EXPORT bool InitDll()
{
    return true;
}

VARNOKE_VST3_EXPORT bool ExitDll()
{
    return true;
}
#else
VARNOKE_VST3_EXPORT bool ModuleEntry(void*)
{
    return true;
}

VARNOKE_VST3_EXPORT bool ModuleExit()
{
    return true;
}
#endif
