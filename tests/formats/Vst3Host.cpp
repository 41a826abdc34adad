#include "Vst3Host.h"

#include <pluginterfaces/vst/ivstmessage.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace varnoke::test::vst3
{
MemoryStream::MemoryStream(std::vector<unsigned char> content, int32 maxReadBytes, bool sizeable)
    : bytes(std::move(content))
    , maxRead(maxReadBytes)
    , announcesSize(sizeable)
{
}

tresult PLUGIN_API MemoryStream::queryInterface(const TUID iid, void** object)
{
    if (answer<IBStream>(iid, object, this) || answer<FUnknown>(iid, object, static_cast<IBStream*>(this)) ||
        (announcesSize && answer<ISizeableStream>(iid, object, this)))
        return kResultOk;
    *object = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API MemoryStream::read(void* buffer, int32 count, int32* done)
{
    if (count < 0)
        return kInvalidArgument;
    const auto available = bytes.size() - position;
    const auto n =
        std::min<std::size_t>({static_cast<std::size_t>(count), available, static_cast<std::size_t>(maxRead)});
    if (n > 0)
        std::memcpy(buffer, bytes.data() + position, n);
    position += n;
    if (done != nullptr)
        *done = static_cast<int32>(n);
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::write(void* buffer, int32 count, int32* done)
{
    if (count < 0)
        return kInvalidArgument;
    const auto* from = static_cast<const unsigned char*>(buffer);
    bytes.resize(std::max(bytes.size(), position + static_cast<std::size_t>(count)));
    std::copy(from, from + count, bytes.begin() + static_cast<std::ptrdiff_t>(position));
    position += static_cast<std::size_t>(count);
    if (done != nullptr)
        *done = count;
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::seek(int64 offset, int32 mode, int64* result)
{
    const int64 base = mode == kIBSeekSet   ? 0
                       : mode == kIBSeekCur ? static_cast<int64>(position)
                                            : static_cast<int64>(bytes.size());
    const int64 target = base + offset;
    if (target < 0 || target > static_cast<int64>(bytes.size()))
        return kInvalidArgument;
    position = static_cast<std::size_t>(target);
    if (result != nullptr)
        *result = target;
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::tell(int64* result)
{
    if (result == nullptr)
        return kInvalidArgument;
    *result = static_cast<int64>(position);
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::getStreamSize(int64& size)
{
    size = static_cast<int64>(bytes.size());
    return kResultOk;
}

tresult PLUGIN_API MemoryStream::setStreamSize(int64)
{
    return kNotImplemented;
}

//==============================================================================
void ParameterChanges::add(Vst::ParamID id, int32 offset, double value)
{
    int32 index = 0;
    auto* queue = addParameterData(id, index);
    queue->addPoint(offset, value, index);
}

tresult PLUGIN_API ParameterChanges::queryInterface(const TUID iid, void** object)
{
    if (answer<Vst::IParameterChanges>(iid, object, this))
        return kResultOk;
    *object = nullptr;
    return kNoInterface;
}

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index)
{
    return index >= 0 && index < getParameterCount() ? queues[static_cast<std::size_t>(index)].get() : nullptr;
}

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const Vst::ParamID& id, int32& index)
{
    for (std::size_t i = 0; i < queues.size(); ++i)
        if (queues[i]->id == id)
        {
            index = static_cast<int32>(i);
            return queues[i].get();
        }
    queues.push_back(std::make_unique<Queue>(id));
    index = static_cast<int32>(queues.size() - 1);
    return queues.back().get();
}

tresult PLUGIN_API ParameterChanges::Queue::queryInterface(const TUID iid, void** object)
{
    if (answer<Vst::IParamValueQueue>(iid, object, this))
        return kResultOk;
    *object = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API ParameterChanges::Queue::getPoint(int32 index, int32& offset, Vst::ParamValue& value)
{
    if (index < 0 || index >= getPointCount())
        return kInvalidArgument;
    offset = points[static_cast<std::size_t>(index)].first;
    value = points[static_cast<std::size_t>(index)].second;
    return kResultOk;
}

tresult PLUGIN_API ParameterChanges::Queue::addPoint(int32 offset, Vst::ParamValue value, int32& index)
{
    points.emplace_back(offset, value);
    index = static_cast<int32>(points.size() - 1);
    return kResultOk;
}

//==============================================================================
std::string builtBundleLibrary()
{
    // Another build of the bundle (such as an earlier release's) may be tried with the same tests.
    if (const char* other = std::getenv("VARNOKE_TEST_VST3_LIBRARY"); other != nullptr && *other != 0)
        return other;
    return (std::filesystem::path(VARNOKE_VST3_BUNDLE) / "Contents" / VARNOKE_VST3_ARCHITECTURE / "Varnoke.so")
        .string();
}

std::unique_ptr<Module> Module::load(const std::string& libraryPath, std::string& whyNot)
{
    void* handle = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        whyNot = dlerror();
        return nullptr;
    }
    auto moduleEntry = reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry"));
    auto getFactory = reinterpret_cast<IPluginFactory* (*)()>(dlsym(handle, "GetPluginFactory"));
    if (moduleEntry == nullptr || getFactory == nullptr || !moduleEntry(handle))
    {
        whyNot = "no module entry or factory";
        dlclose(handle);
        return nullptr;
    }
    return std::unique_ptr<Module>(new Module(handle, getFactory()));
}

Module::Module(void* libraryHandle, IPluginFactory* factory)
    : handle(libraryHandle)
    , pluginFactory(factory)
{
}

Module::~Module()
{
    pluginFactory->release();
    if (auto moduleExit = reinterpret_cast<bool (*)()>(dlsym(handle, "ModuleExit")))
        moduleExit();
    dlclose(handle);
}

std::vector<char> Module::classIdOf(const char* category)
{
    for (int32 i = 0; i < pluginFactory->countClasses(); ++i)
    {
        PClassInfo info;
        if (pluginFactory->getClassInfo(i, &info) == kResultOk && std::strcmp(info.category, category) == 0)
            return {info.cid, info.cid + sizeof(TUID)};
    }
    return {};
}

//==============================================================================
Instance::Instance(Module& module)
{
    const auto componentId = module.classIdOf(kVstAudioEffectClass);
    if (componentId.empty())
        return;
    Vst::IComponent* component = nullptr;
    if (module.factory().createInstance(componentId.data(), Vst::IComponent::iid,
                                        reinterpret_cast<void**>(&component)) != kResultOk ||
        component == nullptr)
        return;
    componentObject = owned(component);
    if (componentObject->initialize(nullptr) != kResultOk)
        return;
    audioProcessor = FUnknownPtr<Vst::IAudioProcessor>(componentObject);

    TUID controllerId;
    if (componentObject->getControllerClassId(controllerId) != kResultOk)
        return;
    Vst::IEditController* controller = nullptr;
    if (module.factory().createInstance(controllerId, Vst::IEditController::iid,
                                        reinterpret_cast<void**>(&controller)) != kResultOk ||
        controller == nullptr)
        return;
    editController = owned(controller);
    if (editController->initialize(nullptr) != kResultOk)
    {
        editController = nullptr;
        return;
    }

    componentConnection = FUnknownPtr<Vst::IConnectionPoint>(componentObject);
    controllerConnection = FUnknownPtr<Vst::IConnectionPoint>(editController);
    if (componentConnection && controllerConnection)
    {
        componentConnection->connect(controllerConnection);
        controllerConnection->connect(componentConnection);
    }
}

Instance::~Instance()
{
    releaseComponent();
    releaseController();
}

void Instance::releaseComponent()
{
    if (componentConnection && controllerConnection)
    {
        componentConnection->disconnect(controllerConnection);
        controllerConnection->disconnect(componentConnection);
    }
    componentConnection = nullptr;
    audioProcessor = nullptr;
    if (componentObject)
    {
        componentObject->setActive(false);
        componentObject->terminate();
    }
    componentObject = nullptr;
}

void Instance::releaseController()
{
    controllerConnection = nullptr;
    if (editController)
        editController->terminate();
    editController = nullptr;
}

bool Instance::start(double sampleRate, int maxBlock)
{
    Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, maxBlock, sampleRate};
    if (audioProcessor->setupProcessing(setup) != kResultOk)
        return false;
    if (componentObject->setActive(true) != kResultOk)
        return false;
    audioProcessor->setProcessing(true);
    return true;
}

void Instance::stop()
{
    audioProcessor->setProcessing(false);
    componentObject->setActive(false);
}

tresult Instance::process(float* const* inputs, float* const* outputs, int32 numChannels, int32 numSamples,
                          Vst::IParameterChanges* changes)
{
    Vst::AudioBusBuffers inputBus;
    inputBus.numChannels = numChannels;
    inputBus.channelBuffers32 = const_cast<float**>(inputs);
    Vst::AudioBusBuffers outputBus;
    outputBus.numChannels = numChannels;
    outputBus.channelBuffers32 = const_cast<float**>(outputs);

    Vst::ProcessData data;
    data.processMode = Vst::kRealtime;
    data.symbolicSampleSize = Vst::kSample32;
    data.numSamples = numSamples;
    data.numInputs = inputs != nullptr ? 1 : 0;
    data.numOutputs = 1;
    data.inputs = inputs != nullptr ? &inputBus : nullptr;
    data.outputs = &outputBus;
    data.inputParameterChanges = changes;
    return audioProcessor->process(data);
}

StereoSignal Instance::render(const StereoSignal& input, int blockSize)
{
    StereoSignal output{input.left, input.right};
    std::vector<float> inLeft(static_cast<std::size_t>(blockSize)), inRight(inLeft.size());
    std::vector<float> outLeft(inLeft.size()), outRight(inLeft.size());
    forEachBlock(input.left.size(), blockSize,
                 [&](std::size_t start, int frames)
                 {
                     std::copy_n(input.left.begin() + static_cast<std::ptrdiff_t>(start), frames, inLeft.begin());
                     std::copy_n(input.right.begin() + static_cast<std::ptrdiff_t>(start), frames, inRight.begin());
                     float* inputs[] = {inLeft.data(), inRight.data()};
                     float* outputs[] = {outLeft.data(), outRight.data()};
                     process(inputs, outputs, 2, frames);
                     std::copy_n(outLeft.begin(), frames, output.left.begin() + static_cast<std::ptrdiff_t>(start));
                     std::copy_n(outRight.begin(), frames, output.right.begin() + static_cast<std::ptrdiff_t>(start));
                 });
    return output;
}

void Instance::setParameters(const std::vector<std::pair<Vst::ParamID, double>>& values)
{
    ParameterChanges changes;
    for (const auto& [id, value] : values)
        changes.add(id, 0, value);
    float silence[1] = {};
    float* channels[] = {silence, silence};
    process(channels, channels, 2, 0, &changes);
}

std::vector<unsigned char> Instance::componentState()
{
    MemoryStream stream;
    if (componentObject->getState(&stream) != kResultOk)
        return {};
    return stream.content();
}

tresult Instance::restoreState(std::vector<unsigned char> bytes, int32 maxReadBytes, bool sizeable)
{
    MemoryStream stream(std::move(bytes), maxReadBytes, sizeable);
    return componentObject->setState(&stream);
}

std::string toUtf8(const Vst::TChar* text)
{
    std::string result;
    for (; text != nullptr && *text != 0; ++text)
        result += *text < 128 ? static_cast<char>(*text) : '?';
    return result;
}
}  // namespace varnoke::test::vst3
