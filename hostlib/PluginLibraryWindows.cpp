#include "PluginLibrary.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace varnoke::host
{
void PluginLibrary::load()
{
    const HMODULE module = LoadLibraryW(filePath.c_str());
    if (module == nullptr)
    {
        const DWORD code = GetLastError();
        loadError =
            "cannot load plug-in " + filePath.string() + ": LoadLibrary failed with error " + std::to_string(code);
        return;
    }
    handle = module;
    entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    if (entry == nullptr)
    {
        unload();
        loadError = filePath.string() + " is not a VST 2.4 plug-in (no VSTPluginMain)";
    }
}

void PluginLibrary::unload()
{
    if (handle != nullptr)
        FreeLibrary(static_cast<HMODULE>(handle));
    handle = nullptr;
    entry = nullptr;
}
}  // namespace varnoke::host
