#pragma once

#include <pluginterfaces/fst/aeffectx.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A VST 2.4 plug-in library loaded the way a host loads it (dlopen and
// VSTPluginMain), with one instance driven through its AEffect. The host side
// answers as an offline renderer.
class VstPluginLibrary
{
public:
    // Loads the library; on failure, returns null and sets a one-line reason.
    static std::shared_ptr<VstPluginLibrary> load(const std::string& path, std::string& error);
    ~VstPluginLibrary();

    using EntryPoint = AEffect* (*)(audioMasterCallback);
    EntryPoint entryPoint() const { return entry; }
    const std::string& path() const { return filePath; }

private:
    VstPluginLibrary() = default;
    void* handle = nullptr;
    EntryPoint entry = nullptr;
    std::string filePath;
};

class VstPluginInstance
{
public:
    // Creates an instance and opens it; on failure, returns null and sets a reason.
    static std::unique_ptr<VstPluginInstance> create(std::shared_ptr<VstPluginLibrary> library, std::string& error);
    ~VstPluginInstance();

    VstPluginInstance(const VstPluginInstance&) = delete;
    VstPluginInstance& operator=(const VstPluginInstance&) = delete;

    AEffect& effect() const { return *aeffect; }
    std::intptr_t dispatch(int opcode, int index = 0, std::intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

    std::string effectName();
    std::string vendorString();
    std::string productString();
    std::int32_t vendorVersion();
    std::int32_t category();
    std::int32_t vstVersion();
    std::string parameterName(int index);
    std::string parameterDisplay(int index);
    std::string parameterLabel(int index);
    float parameter(int index);
    void setParameter(int index, float value);

    std::vector<unsigned char> chunk(bool program);
    void setChunk(const std::vector<unsigned char>& bytes, bool program);

    // Configures the channel layout (1 = mono, 2 = stereo); false if refused.
    bool setChannels(int channels);
    void setBypass(bool bypassed);
    void start(double sampleRate, int maximumBlockSize);
    void stop();

    // processReplacing over the given channel pointers (2 per side, as the effect announces).
    void process(float** inputs, float** outputs, int numFrames);

private:
    VstPluginInstance() = default;
    std::string stringFrom(int opcode, int index, size_t bufferSize);

    std::shared_ptr<VstPluginLibrary> library;
    AEffect* aeffect = nullptr;
    bool running = false;
};

// Host-side numbers of the VST 2.4 opcodes this host uses.
namespace VstOpcode
{
enum : int
{
    open = 0,
    close = 1,
    getParamLabel = 6,
    getParamDisplay = 7,
    getParamName = 8,
    setSampleRate = 10,
    setBlockSize = 11,
    mainsChanged = 12,
    getChunk = 23,
    setChunk = 24,
    getPlugCategory = 35,
    setSpeakerArrangement = 42,
    setBypass = 44,
    getEffectName = 45,
    getVendorString = 47,
    getProductString = 48,
    getVendorVersion = 49,
    getVstVersion = 58,
};
}
