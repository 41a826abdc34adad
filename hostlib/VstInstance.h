#pragma once

#include "PluginLibrary.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace varnoke::host
{
// One instance of a loaded plug-in, driven through its AEffect. The host side
// answers as an offline renderer.
class VstInstance
{
public:
    // Creates an instance and opens it; on failure, returns null and sets a reason.
    static std::unique_ptr<VstInstance> create(std::shared_ptr<const PluginLibrary> library, std::string& error);
    ~VstInstance();

    VstInstance(const VstInstance&) = delete;
    VstInstance& operator=(const VstInstance&) = delete;

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
    VstInstance() = default;
    std::string stringFrom(int opcode, int index, size_t bufferSize);

    std::shared_ptr<const PluginLibrary> library;
    AEffect* aeffect = nullptr;
    bool running = false;
};
}  // namespace varnoke::host
