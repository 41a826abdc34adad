#include "VstPluginInstance.h"

#include <cstring>
#include <dlfcn.h>

namespace
{
constexpr std::int32_t effectMagic = 0x56737450;  // 'VstP'
constexpr int hostVersion = 2400;
constexpr int processLevelOffline = 4;

// What an offline renderer tells a plug-in about itself.
VstIntPtr hostCallback(AEffect*, int opcode, int, VstIntPtr, void*, float)
{
    switch (opcode)
    {
        case 1: return hostVersion;            // audioMasterVersion
        case 23: return processLevelOffline;   // audioMasterGetCurrentProcessLevel
        default: return 0;
    }
}

// A speaker arrangement as hosts built on the original declarations lay it out:
// type and channel count, then room for 8 speakers of 112 bytes.
struct FullSpeakerArrangement
{
    std::int32_t type = 0;
    std::int32_t numChannels = 0;
    unsigned char speakers[8 * 112] = {};
};

constexpr std::int32_t speakerArrangementMono = 0;
constexpr std::int32_t speakerArrangementStereo = 1;
}  // namespace

std::shared_ptr<VstPluginLibrary> VstPluginLibrary::load(const std::string& path, std::string& error)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        const char* reason = dlerror();
        error = "cannot load plug-in " + path + ": " + (reason != nullptr ? reason : "unknown error");
        return nullptr;
    }
    auto entry = reinterpret_cast<EntryPoint>(dlsym(handle, "VSTPluginMain"));
    if (entry == nullptr)
    {
        dlclose(handle);
        error = path + " is not a VST 2.4 plug-in (no VSTPluginMain)";
        return nullptr;
    }
    std::shared_ptr<VstPluginLibrary> library(new VstPluginLibrary());
    library->handle = handle;
    library->entry = entry;
    library->filePath = path;
    return library;
}

VstPluginLibrary::~VstPluginLibrary()
{
    if (handle != nullptr)
        dlclose(handle);
}

std::unique_ptr<VstPluginInstance> VstPluginInstance::create(std::shared_ptr<VstPluginLibrary> library,
                                                             std::string& error)
{
    AEffect* effect = library->entryPoint()(hostCallback);
    if (effect == nullptr || effect->magic != effectMagic)
    {
        error = library->path() + " did not create a plug-in instance";
        return nullptr;
    }
    std::unique_ptr<VstPluginInstance> instance(new VstPluginInstance());
    instance->library = std::move(library);
    instance->aeffect = effect;
    instance->dispatch(VstOpcode::open);
    return instance;
}

VstPluginInstance::~VstPluginInstance()
{
    stop();
    dispatch(VstOpcode::close);
}

std::intptr_t VstPluginInstance::dispatch(int opcode, int index, std::intptr_t value, void* ptr, float opt)
{
    return aeffect->dispatcher(aeffect, opcode, index, value, ptr, opt);
}

std::string VstPluginInstance::stringFrom(int opcode, int index, size_t bufferSize)
{
    std::vector<char> text(bufferSize + 1, '\0');
    dispatch(opcode, index, 0, text.data());
    text.back() = '\0';
    return text.data();
}

std::string VstPluginInstance::effectName()
{
    return stringFrom(VstOpcode::getEffectName, 0, 64);
}

std::string VstPluginInstance::vendorString()
{
    return stringFrom(VstOpcode::getVendorString, 0, 64);
}

std::string VstPluginInstance::productString()
{
    return stringFrom(VstOpcode::getProductString, 0, 64);
}

std::int32_t VstPluginInstance::vendorVersion()
{
    return static_cast<std::int32_t>(dispatch(VstOpcode::getVendorVersion));
}

std::int32_t VstPluginInstance::category()
{
    return static_cast<std::int32_t>(dispatch(VstOpcode::getPlugCategory));
}

std::int32_t VstPluginInstance::vstVersion()
{
    return static_cast<std::int32_t>(dispatch(VstOpcode::getVstVersion));
}

std::string VstPluginInstance::parameterName(int index)
{
    return stringFrom(VstOpcode::getParamName, index, 64);
}

std::string VstPluginInstance::parameterDisplay(int index)
{
    return stringFrom(VstOpcode::getParamDisplay, index, 64);
}

std::string VstPluginInstance::parameterLabel(int index)
{
    return stringFrom(VstOpcode::getParamLabel, index, 64);
}

float VstPluginInstance::parameter(int index)
{
    return aeffect->getParameter(aeffect, index);
}

void VstPluginInstance::setParameter(int index, float value)
{
    aeffect->setParameter(aeffect, index, value);
}

std::vector<unsigned char> VstPluginInstance::chunk(bool program)
{
    void* data = nullptr;
    const auto size = dispatch(VstOpcode::getChunk, program ? 1 : 0, 0, &data);
    if (data == nullptr || size <= 0)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

void VstPluginInstance::setChunk(const std::vector<unsigned char>& bytes, bool program)
{
    std::vector<unsigned char> copy = bytes;  // the plug-in may not keep the host's memory
    dispatch(VstOpcode::setChunk, program ? 1 : 0, static_cast<std::intptr_t>(copy.size()), copy.data());
}

bool VstPluginInstance::setChannels(int channels)
{
    FullSpeakerArrangement in, out;
    in.type = out.type = channels == 1 ? speakerArrangementMono : speakerArrangementStereo;
    in.numChannels = out.numChannels = channels;
    return dispatch(VstOpcode::setSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(&in), &out) == 1;
}

void VstPluginInstance::setBypass(bool bypassed)
{
    dispatch(VstOpcode::setBypass, 0, bypassed ? 1 : 0);
}

void VstPluginInstance::start(double sampleRate, int maximumBlockSize)
{
    dispatch(VstOpcode::setSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(VstOpcode::setBlockSize, 0, maximumBlockSize);
    dispatch(VstOpcode::mainsChanged, 0, 1);
    running = true;
}

void VstPluginInstance::stop()
{
    if (running)
        dispatch(VstOpcode::mainsChanged, 0, 0);
    running = false;
}

void VstPluginInstance::process(float** inputs, float** outputs, int numFrames)
{
    aeffect->processReplacing(aeffect, inputs, outputs, numFrames);
}
