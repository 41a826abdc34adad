#pragma once

#include "RecordingHost.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdlib>
#include <string>

namespace host
{
// The built plug-in, loaded the way a host loads it: dlopen on Linux,
// LoadLibrary on Windows.
class PluginLibrary
{
public:
    using Entry = AEffect* (*)(audioMasterCallback);

    PluginLibrary() { load(); }
    ~PluginLibrary() { unload(); }

    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool isLoaded() const { return handle != nullptr && entry != nullptr; }
    const std::string& getError() const { return error; }

    AEffect* create(audioMasterCallback callback = RecordingHost::callback) const { return entry(callback); }

#if defined(_WIN32)
    // Varnoke.dll, copied beside the test program by the build.
    static std::wstring path()
    {
        wchar_t program[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
        std::wstring folder(program, length);
        folder.erase(folder.find_last_of(L"\\/") + 1);
        return folder + L"Varnoke.dll";
    }

    HMODULE getHandle() const
    {
        return handle;
    }

private:
    void load()
    {
        handle = LoadLibraryW(path().c_str());
        if (handle != nullptr)
            entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(handle, "VSTPluginMain")));
        else
            error = "LoadLibrary failed with error " + std::to_string(GetLastError());
    }

    void unload()
    {
        if (handle != nullptr)
            FreeLibrary(handle);
    }

    HMODULE handle = nullptr;
#else
    static std::string path()
    {
        return VARNOKE_PLUGIN_PATH;
    }

private:
    void load()
    {
        handle = dlopen(VARNOKE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr)
            entry = reinterpret_cast<Entry>(dlsym(handle, "VSTPluginMain"));
        else
            error = dlerror();
    }

    void unload()
    {
        if (handle != nullptr)
            dlclose(handle);
    }

    void* handle = nullptr;
#endif

    Entry entry = nullptr;
    std::string error;
};

// Whether the plug-in can open windows here: Windows always can, Linux needs an X display.
inline bool windowSystemAvailable()
{
#if defined(_WIN32)
    return true;
#else
    return std::getenv("DISPLAY") != nullptr;
#endif
}

inline VstIntPtr dispatch(AEffect* effect, int opcode, int index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                          float opt = 0.0f)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}
}  // namespace host
