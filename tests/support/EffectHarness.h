#pragma once

// Drives the plug-in through its effect record, as a host does, with the
// boundary and processor code linked in: for the fuzz targets, the stress and
// endurance tests and the tests of bad host values.

#include "PluginAssembly.h"
#include "VarnokeAudioProcessor.h"
#include "VstAbi.h"
#include "VstPluginInstance.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace varnoke::test
{
using Op = varnoke::vst::EffectOpcode;

// The host side of the callback: a VST 2.4 host that knows nothing else.
inline VstIntPtr hostCallback(AEffect*, int opcode, int, VstIntPtr, void* ptr, float)
{
    if (opcode == static_cast<int>(varnoke::vst::HostOpcode::version))
        return 2400;
    if (opcode == static_cast<int>(varnoke::vst::HostOpcode::canDo) && ptr != nullptr)
        return std::strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0 ? 1 : 0;
    return 0;
}

// A new plug-in instance, as VSTPluginMain makes it; the caller closes it.
inline AEffect* createPlugin()
{
    return varnoke::VstPluginInstance::create(hostCallback, [] { return varnoke::createPluginProcessor(); });
}

inline VstIntPtr dispatch(AEffect* effect, Op opcode, int index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                          float opt = 0.0f)
{
    return effect->dispatcher(effect, static_cast<int>(opcode), index, value, ptr, opt);
}

inline VarnokeAudioProcessor& processorOf(AEffect* effect)
{
    return static_cast<VarnokeAudioProcessor&>(varnoke::VstPluginInstance::fromEffect(effect)->getProcessor());
}

// A host's top-level window to embed the editor in, on the X display named by
// DISPLAY; unavailable without one.
class HostWindow
{
public:
    HostWindow();
    ~HostWindow();

    bool isAvailable() const noexcept { return display != nullptr; }
    void* handle() const noexcept { return reinterpret_cast<void*>(window); }

    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

private:
    void* display = nullptr;  // Xlib's Display, kept out of the header with its macros
    unsigned long window = 0;
};

// The process's resident memory in bytes, from /proc/self/statm.
inline long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long sizePages = 0, residentPages = 0;
    statm >> sizePages >> residentPages;
    return residentPages * sysconf(_SC_PAGESIZE);
}
}  // namespace varnoke::test
