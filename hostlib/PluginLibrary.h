#pragma once

#include "HostAbi.h"

#include <filesystem>
#include <string>

namespace varnoke::host
{
// A VST 2.4 plug-in library loaded the way a host loads it (dlopen on Linux,
// LoadLibrary on Windows) and its entry point VSTPluginMain. The library is
// unloaded when this is destroyed; loading it again means a new object.
class PluginLibrary
{
public:
    using EntryPoint = AEffect* (*)(audioMasterCallback);

    // Loads the library; isLoaded() tells whether that worked, error() why not.
    explicit PluginLibrary(std::filesystem::path path)
        : filePath(std::move(path))
    {
        load();
    }
    ~PluginLibrary() { unload(); }

    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool isLoaded() const { return entry != nullptr; }
    // A one-line reason when the library is not loaded.
    const std::string& error() const { return loadError; }
    const std::filesystem::path& path() const { return filePath; }
    // The dlopen handle, or the HMODULE on Windows.
    void* nativeHandle() const { return handle; }

    // VSTPluginMain: a new effect, or null when the plug-in refuses the host.
    AEffect* create(audioMasterCallback callback) const { return entry(callback); }

private:
    // Platform-specific: PluginLibraryPosix.cpp and PluginLibraryWindows.cpp.
    void load();
    void unload();

    std::filesystem::path filePath;
    void* handle = nullptr;
    EntryPoint entry = nullptr;
    std::string loadError;
};
}  // namespace varnoke::host
