// What one process call costs a host at 16-frame blocks, where the per-call
// overhead of a format layer shows: the VST 2.4 plug-in (processReplacing)
// beside the VST3 plug-in (IAudioProcessor::process) and the LV2 plug-in
// (run), all through their built libraries as hosts load them. The signal path
// is the same in all three, so the difference is the layers' own cost.

#include "PluginLibrary.h"
#include "VstInstance.h"

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>

#include <benchmark/benchmark.h>
#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
using namespace Steinberg;
namespace host = varnoke::host;

constexpr int blockFrames = 16;
constexpr double sampleRate = 48000.0;

struct StereoBuffers
{
    std::vector<float> inLeft = noise(1), inRight = noise(2);
    std::vector<float> outLeft = std::vector<float>(blockFrames), outRight = std::vector<float>(blockFrames);
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};

    static std::vector<float> noise(unsigned seed)
    {
        std::vector<float> samples(blockFrames);
        for (auto& sample : samples)
        {
            seed = seed * 1664525u + 1013904223u;
            sample = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        }
        return samples;
    }
};

void BM_Vst2ProcessReplacing(benchmark::State& state)
{
    std::string error;
    auto library = std::make_shared<const host::PluginLibrary>(VARNOKE_PLUGIN_PATH);
    auto instance = library->isLoaded() ? host::VstInstance::create(library, error) : nullptr;
    if (instance == nullptr)
    {
        state.SkipWithError("Varnoke.so could not be loaded");
        return;
    }
    instance->dispatch(host::effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    instance->dispatch(host::effSetBlockSize, 0, blockFrames);
    instance->dispatch(host::effMainsChanged, 0, 1);
    StereoBuffers buffers;
    for (auto _ : state)
    {
        instance->process(buffers.inputs, buffers.outputs, blockFrames);
        benchmark::DoNotOptimize(buffers.outLeft.data());
    }
    instance->dispatch(host::effMainsChanged, 0, 0);
}
BENCHMARK(BM_Vst2ProcessReplacing);

// One parameter change per block, at offset 8: the VST3 layer slices the block there.
class OnePointPerBlock final : public Vst::IParameterChanges, public Vst::IParamValueQueue
{
public:
    tresult PLUGIN_API queryInterface(const TUID, void** object) override
    {
        *object = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
    int32 PLUGIN_API getParameterCount() override { return 1; }
    Vst::IParamValueQueue* PLUGIN_API getParameterData(int32 index) override { return index == 0 ? this : nullptr; }
    Vst::IParamValueQueue* PLUGIN_API addParameterData(const Vst::ParamID&, int32&) override { return nullptr; }
    Vst::ParamID PLUGIN_API getParameterId() override { return 0x44111901; }  // Output
    int32 PLUGIN_API getPointCount() override { return 1; }
    tresult PLUGIN_API getPoint(int32 index, int32& offset, Vst::ParamValue& value) override
    {
        if (index != 0)
            return kInvalidArgument;
        offset = blockFrames / 2;
        value = 0.5;
        return kResultOk;
    }
    tresult PLUGIN_API addPoint(int32, Vst::ParamValue, int32&) override { return kResultFalse; }
};

void runVst3(benchmark::State& state, Vst::IParameterChanges* changes)
{
    const std::string library = std::string(VARNOKE_VST3_BUNDLE) + "/Contents/x86_64-linux/Varnoke.so";
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto getFactory =
        handle != nullptr ? reinterpret_cast<IPluginFactory* (*)()>(dlsym(handle, "GetPluginFactory")) : nullptr;
    if (getFactory == nullptr)
    {
        state.SkipWithError("Varnoke.vst3 could not be loaded");
        return;
    }
    IPluginFactory* factory = getFactory();
    PClassInfo info;
    factory->getClassInfo(0, &info);
    Vst::IComponent* component = nullptr;
    factory->createInstance(info.cid, Vst::IComponent::iid, reinterpret_cast<void**>(&component));
    component->initialize(nullptr);
    Vst::IAudioProcessor* processor = nullptr;
    component->queryInterface(Vst::IAudioProcessor::iid, reinterpret_cast<void**>(&processor));
    Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, blockFrames, sampleRate};
    processor->setupProcessing(setup);
    component->setActive(true);
    processor->setProcessing(true);

    StereoBuffers buffers;
    Vst::AudioBusBuffers inputBus;
    inputBus.numChannels = 2;
    inputBus.channelBuffers32 = buffers.inputs;
    Vst::AudioBusBuffers outputBus;
    outputBus.numChannels = 2;
    outputBus.channelBuffers32 = buffers.outputs;
    Vst::ProcessData data;
    data.numSamples = blockFrames;
    data.numInputs = 1;
    data.numOutputs = 1;
    data.inputs = &inputBus;
    data.outputs = &outputBus;
    data.inputParameterChanges = changes;
    for (auto _ : state)
    {
        processor->process(data);
        benchmark::DoNotOptimize(buffers.outLeft.data());
    }

    processor->setProcessing(false);
    component->setActive(false);
    processor->release();
    component->terminate();
    component->release();
    factory->release();
    dlclose(handle);
}

void BM_Vst3Process(benchmark::State& state)
{
    runVst3(state, nullptr);
}
BENCHMARK(BM_Vst3Process);

void BM_Vst3ProcessWithAChangeMidBlock(benchmark::State& state)
{
    OnePointPerBlock changes;
    runVst3(state, &changes);
}
BENCHMARK(BM_Vst3ProcessWithAChangeMidBlock);

// The ports as the bundle's dsp.ttl numbers them: stereo in, stereo out, then
// one control input per knob.
constexpr std::uint32_t lv2AudioPorts = 4;
constexpr std::uint32_t lv2ControlPorts = 3;

void BM_Lv2Run(benchmark::State& state)
{
    const std::string bundle = std::string(VARNOKE_LV2_BUNDLE) + "/";
    void* handle = dlopen((bundle + "Varnoke.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry =
        handle != nullptr ? reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle, "lv2_descriptor")) : nullptr;
    const LV2_Descriptor* descriptor = nullptr;
    for (std::uint32_t index = 0; entry != nullptr && descriptor == nullptr; ++index)
    {
        const LV2_Descriptor* candidate = entry(index);
        if (candidate == nullptr)
            break;
        if (std::strcmp(candidate->URI, VARNOKE_LV2_URI) == 0)
            descriptor = candidate;
    }
    // No features: the URID map the plug-in takes is optional and serves its state only.
    const LV2_Feature* const features[] = {nullptr};
    LV2_Handle instance =
        descriptor != nullptr ? descriptor->instantiate(descriptor, sampleRate, bundle.c_str(), features) : nullptr;
    if (instance == nullptr)
    {
        state.SkipWithError("Varnoke.lv2 could not be loaded");
        if (handle != nullptr)
            dlclose(handle);
        return;
    }

    StereoBuffers buffers;
    float controls[lv2ControlPorts] = {0.5f, 0.5f, 0.5f};  // constant: no knob moves between calls
    descriptor->connect_port(instance, 0, buffers.inLeft.data());
    descriptor->connect_port(instance, 1, buffers.inRight.data());
    descriptor->connect_port(instance, 2, buffers.outLeft.data());
    descriptor->connect_port(instance, 3, buffers.outRight.data());
    for (std::uint32_t control = 0; control < lv2ControlPorts; ++control)
        descriptor->connect_port(instance, lv2AudioPorts + control, &controls[control]);
    if (descriptor->activate != nullptr)
        descriptor->activate(instance);
    for (auto _ : state)
    {
        descriptor->run(instance, blockFrames);
        benchmark::DoNotOptimize(buffers.outLeft.data());
    }

    if (descriptor->deactivate != nullptr)
        descriptor->deactivate(instance);
    descriptor->cleanup(instance);
    dlclose(handle);
}
BENCHMARK(BM_Lv2Run);
}  // namespace

BENCHMARK_MAIN();
