#pragma once

#include "RecordingHost.h"

#include <dlfcn.h>

#include <string>

namespace host
{
// The built plug-in, loaded the way a host loads it.
class PluginLibrary
{
public:
    using Entry = AEffect* (*)(audioMasterCallback);

    PluginLibrary()
        : handle(dlopen(VARNOKE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL))
    {
        if (handle != nullptr)
            entry = reinterpret_cast<Entry>(dlsym(handle, "VSTPluginMain"));
        else
            error = dlerror();
    }

    ~PluginLibrary()
    {
        if (handle != nullptr)
            dlclose(handle);
    }

    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool isLoaded() const { return handle != nullptr && entry != nullptr; }
    const std::string& getError() const { return error; }

    AEffect* create(audioMasterCallback callback = RecordingHost::callback) const { return entry(callback); }

private:
    void* handle = nullptr;
    Entry entry = nullptr;
    std::string error;
};

inline VstIntPtr dispatch(AEffect* effect, int opcode, int index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                          float opt = 0.0f)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}
}  // namespace host
