#include "VstInstance.h"

namespace varnoke::host
{
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
    case audioMasterVersion: return hostVersion;
    case audioMasterGetCurrentProcessLevel: return processLevelOffline;
    default: return 0;
    }
}

}  // namespace

std::unique_ptr<VstInstance> VstInstance::create(std::shared_ptr<const PluginLibrary> library, std::string& error)
{
    AEffect* effect = library->create(hostCallback);
    if (effect == nullptr || effect->magic != effectMagic)
    {
        error = library->path().string() + " did not create a plug-in instance";
        return nullptr;
    }
    std::unique_ptr<VstInstance> instance(new VstInstance());
    instance->library = std::move(library);
    instance->aeffect = effect;
    instance->dispatch(effOpen);
    return instance;
}

VstInstance::~VstInstance()
{
    stop();
    dispatch(effClose);
}

std::intptr_t VstInstance::dispatch(int opcode, int index, std::intptr_t value, void* ptr, float opt)
{
    return aeffect->dispatcher(aeffect, opcode, index, value, ptr, opt);
}

std::string VstInstance::stringFrom(int opcode, int index, size_t bufferSize)
{
    std::vector<char> text(bufferSize + 1, '\0');
    dispatch(opcode, index, 0, text.data());
    text.back() = '\0';
    return text.data();
}

std::string VstInstance::effectName()
{
    return stringFrom(effGetEffectName, 0, 64);
}

std::string VstInstance::vendorString()
{
    return stringFrom(effGetVendorString, 0, 64);
}

std::string VstInstance::productString()
{
    return stringFrom(effGetProductString, 0, 64);
}

std::int32_t VstInstance::vendorVersion()
{
    return static_cast<std::int32_t>(dispatch(effGetVendorVersion));
}

std::int32_t VstInstance::category()
{
    return static_cast<std::int32_t>(dispatch(effGetPlugCategory));
}

std::int32_t VstInstance::vstVersion()
{
    return static_cast<std::int32_t>(dispatch(effGetVstVersion));
}

std::string VstInstance::parameterName(int index)
{
    return stringFrom(effGetParamName, index, 64);
}

std::string VstInstance::parameterDisplay(int index)
{
    return stringFrom(effGetParamDisplay, index, 64);
}

std::string VstInstance::parameterLabel(int index)
{
    return stringFrom(effGetParamLabel, index, 64);
}

float VstInstance::parameter(int index)
{
    return aeffect->getParameter(aeffect, index);
}

void VstInstance::setParameter(int index, float value)
{
    aeffect->setParameter(aeffect, index, value);
}

std::vector<unsigned char> VstInstance::chunk(bool program)
{
    void* data = nullptr;
    const auto size = dispatch(effGetChunk, program ? 1 : 0, 0, &data);
    if (data == nullptr || size <= 0)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

void VstInstance::setChunk(const std::vector<unsigned char>& bytes, bool program)
{
    std::vector<unsigned char> copy = bytes;  // the plug-in may not keep the host's memory
    dispatch(effSetChunk, program ? 1 : 0, static_cast<std::intptr_t>(copy.size()), copy.data());
}

bool VstInstance::setChannels(int channels)
{
    const int type = channels == 1 ? speakerArrMono : speakerArrStereo;
    SpeakerArrangementStorage in(type, channels), out(type, channels);
    return dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<std::intptr_t>(in.get()), out.get()) == 1;
}

void VstInstance::setBypass(bool bypassed)
{
    dispatch(effSetBypass, 0, bypassed ? 1 : 0);
}

void VstInstance::start(double sampleRate, int maximumBlockSize)
{
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effSetBlockSize, 0, maximumBlockSize);
    dispatch(effMainsChanged, 0, 1);
    running = true;
}

void VstInstance::stop()
{
    if (running)
        dispatch(effMainsChanged, 0, 0);
    running = false;
}

void VstInstance::process(float** inputs, float** outputs, int numFrames)
{
    aeffect->processReplacing(aeffect, inputs, outputs, numFrames);
}
}  // namespace varnoke::host
