#pragma once

#include "Vst2Reference.h"

#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A VST3 host of the tests' own, through the interfaces alone, as a host uses
// a bundle: dlopen, GetPluginFactory, the component and its controller
// connected, process() with the host's buffers and parameter queues, states
// through the host's streams, and a view in a window with the host's run loop.
namespace varnoke::test::vst3
{
using namespace Steinberg;

// Host objects live on the test's stack or in the test's objects: their
// reference count is only counted.
template <typename... Interfaces> class HostObject : public Interfaces...
{
public:
    uint32 PLUGIN_API addRef() override { return ++references; }
    uint32 PLUGIN_API release() override { return --references; }

protected:
    template <typename Interface> bool answer(const TUID iid, void** object, Interface* self)
    {
        if (!FUnknownPrivate::iidEqual(iid, Interface::iid))
            return false;
        addRef();
        *object = self;
        return true;
    }

private:
    std::atomic<uint32> references{1};
};

// A stream over bytes in memory. Reads may be limited to a few bytes a call,
// as some hosts' streams answer; it can also announce its size (ISizeableStream).
class MemoryStream final : public HostObject<IBStream, ISizeableStream>
{
public:
    explicit MemoryStream(std::vector<unsigned char> content = {}, int32 maxReadBytes = 1 << 30, bool sizeable = false);

    tresult PLUGIN_API queryInterface(const TUID iid, void** object) override;
    tresult PLUGIN_API read(void* buffer, int32 count, int32* done) override;
    tresult PLUGIN_API write(void* buffer, int32 count, int32* done) override;
    tresult PLUGIN_API seek(int64 offset, int32 mode, int64* result) override;
    tresult PLUGIN_API tell(int64* result) override;
    tresult PLUGIN_API getStreamSize(int64& size) override;
    tresult PLUGIN_API setStreamSize(int64 size) override;

    const std::vector<unsigned char>& content() const { return bytes; }
    void rewind() { position = 0; }

private:
    std::vector<unsigned char> bytes;
    std::size_t position = 0;
    int32 maxRead;
    bool announcesSize;
};

// One block's parameter changes: for each parameter ID its points (offset, value).
class ParameterChanges final : public HostObject<Vst::IParameterChanges>
{
public:
    void add(Vst::ParamID id, int32 offset, double value);

    tresult PLUGIN_API queryInterface(const TUID iid, void** object) override;
    int32 PLUGIN_API getParameterCount() override { return static_cast<int32>(queues.size()); }
    Vst::IParamValueQueue* PLUGIN_API getParameterData(int32 index) override;
    Vst::IParamValueQueue* PLUGIN_API addParameterData(const Vst::ParamID& id, int32& index) override;

private:
    class Queue final : public HostObject<Vst::IParamValueQueue>
    {
    public:
        explicit Queue(Vst::ParamID parameterId)
            : id(parameterId)
        {
        }
        tresult PLUGIN_API queryInterface(const TUID iid, void** object) override;
        Vst::ParamID PLUGIN_API getParameterId() override { return id; }
        int32 PLUGIN_API getPointCount() override { return static_cast<int32>(points.size()); }
        tresult PLUGIN_API getPoint(int32 index, int32& offset, Vst::ParamValue& value) override;
        tresult PLUGIN_API addPoint(int32 offset, Vst::ParamValue value, int32& index) override;

        Vst::ParamID id;
        std::vector<std::pair<int32, double>> points;
    };
    std::vector<std::unique_ptr<Queue>> queues;
};

// The loaded bundle: dlopen, ModuleEntry, the factory; ModuleExit and dlclose when it goes.
class Module
{
public:
    static std::unique_ptr<Module> load(const std::string& libraryPath, std::string& whyNot);
    ~Module();

    IPluginFactory& factory() { return *pluginFactory; }
    // The class ID of the first class of this category ("Audio Module Class", ...).
    std::vector<char> classIdOf(const char* category);

private:
    Module(void* handle, IPluginFactory* factory);
    void* handle;
    IPluginFactory* pluginFactory;
};

// The library inside the built bundle for this machine.
std::string builtBundleLibrary();

// One plug-in instance: the component, its audio processor, and its edit
// controller, initialized and connected as hosts connect them.
class Instance
{
public:
    explicit Instance(Module& module);
    ~Instance();

    Vst::IComponent& component() { return *componentObject; }
    Vst::IAudioProcessor& processor() { return *audioProcessor; }
    Vst::IEditController& controller() { return *editController; }
    bool isComplete() const { return componentObject && audioProcessor && editController; }

    // setupProcessing and setActive(true); false if either is refused.
    bool start(double sampleRate, int maxBlock);
    void stop();

    // One process() call on the host's buffers (in place when inputs is outputs).
    tresult process(float* const* inputs, float* const* outputs, int32 numChannels, int32 numSamples,
                    Vst::IParameterChanges* changes = nullptr);

    // The signal processed in blocks of blockSize, in buffers of that size.
    StereoSignal render(const StereoSignal& input, int blockSize);

    // Sets the knobs (and bypass) with parameter changes at offset 0 of an empty block.
    void setParameters(const std::vector<std::pair<Vst::ParamID, double>>& values);

    std::vector<unsigned char> componentState();
    tresult restoreState(std::vector<unsigned char> bytes, int32 maxReadBytes = 1 << 30, bool sizeable = false);

    // Releases the component's side (terminate and release), leaving the controller.
    void releaseComponent();
    // Releases the controller's side.
    void releaseController();

private:
    IPtr<Vst::IComponent> componentObject;
    IPtr<Vst::IAudioProcessor> audioProcessor;
    IPtr<Vst::IEditController> editController;
    IPtr<Vst::IConnectionPoint> componentConnection;
    IPtr<Vst::IConnectionPoint> controllerConnection;
};

// The VST3 parameter IDs of release 1.0.0, as JUCE's wrapper announced them.
namespace released_ids
{
constexpr Vst::ParamID lowContour = 0x3e43a8e6;
constexpr Vst::ParamID process = 0x6d8d1e6f;
constexpr Vst::ParamID output = 0x44111901;
constexpr Vst::ParamID bypass = 0x62797073;  // 'byps'
}  // namespace released_ids

std::string toUtf8(const Vst::TChar* text);
}  // namespace varnoke::test::vst3
