#include "PluginLibrary.h"

#include <dlfcn.h>

namespace varnoke::host
{
void PluginLibrary::load()
{
    handle = dlopen(filePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        const char* reason = dlerror();
        loadError = "cannot load plug-in " + filePath.string() + ": " + (reason != nullptr ? reason : "unknown error");
        return;
    }
    entry = reinterpret_cast<EntryPoint>(dlsym(handle, "VSTPluginMain"));
    if (entry == nullptr)
    {
        unload();
        loadError = filePath.string() + " is not a VST 2.4 plug-in (no VSTPluginMain)";
    }
}

void PluginLibrary::unload()
{
    if (handle != nullptr)
        dlclose(handle);
    handle = nullptr;
    entry = nullptr;
}
}  // namespace varnoke::host
