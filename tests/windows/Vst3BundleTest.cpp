// Varnoke.vst3 for Windows, loaded through the VST3 interfaces as a Windows
// host loads it: the module entry, the factory and its class IDs, the channel
// layouts, and the sound. Each setting reaches the plug-in as a state (the VST 2
// plug-in's chunk for it, so the state crosses formats on Windows too), and the
// output must equal Varnoke.dll's for the same setting, bit for bit.

#include "host/HostTestFixture.h"
#include "support/BitPatterns.h"
#include "support/Noise.h"

#include "ProductIdentity.h"

#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <vector>

// The view's interface ID, which none of the SDK sources compiled here defines.
namespace Steinberg
{
DEF_CLASS_IID(IPlugView)
}  // namespace Steinberg

namespace varnoke::test
{
namespace
{
using namespace Steinberg;

std::filesystem::path bundleBinaryPath()
{
    return builtPluginPath().parent_path() / L"Varnoke.vst3" / L"Contents" / L"x86_64-win" / L"Varnoke.vst3";
}

// A class ID as hosts write it (on Windows its first fields are stored in COM's byte order).
std::string textOf(const TUID classId)
{
    char8 text[33] = {};
    FUID::fromTUID(classId).toString(text);
    return text;
}

// A host's stream over bytes in memory.
class ByteStream final : public IBStream
{
public:
    explicit ByteStream(std::vector<unsigned char> content = {})
        : bytes(std::move(content))
    {
    }

    tresult PLUGIN_API queryInterface(const TUID iid, void** object) override
    {
        if (FUnknownPrivate::iidEqual(iid, IBStream::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid))
        {
            addRef();
            *object = this;
            return kResultOk;
        }
        *object = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++references; }
    uint32 PLUGIN_API release() override { return --references; }  // lives on the test's stack

    tresult PLUGIN_API read(void* buffer, int32 count, int32* done) override
    {
        const auto available = static_cast<int32>(bytes.size() - position);
        const auto n = std::max<int32>(0, std::min(count, available));
        std::memcpy(buffer, bytes.data() + position, static_cast<std::size_t>(n));
        position += static_cast<std::size_t>(n);
        if (done != nullptr)
            *done = n;
        return kResultOk;
    }
    tresult PLUGIN_API write(void* buffer, int32 count, int32* done) override
    {
        const auto* from = static_cast<const unsigned char*>(buffer);
        bytes.resize(std::max(bytes.size(), position + static_cast<std::size_t>(count)));
        std::copy(from, from + count, bytes.begin() + static_cast<std::ptrdiff_t>(position));
        position += static_cast<std::size_t>(count);
        if (done != nullptr)
            *done = count;
        return kResultOk;
    }
    tresult PLUGIN_API seek(int64 offset, int32 mode, int64* result) override
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
    tresult PLUGIN_API tell(int64* result) override
    {
        *result = static_cast<int64>(position);
        return kResultOk;
    }

    const std::vector<unsigned char>& content() const { return bytes; }

private:
    std::vector<unsigned char> bytes;
    std::size_t position = 0;
    std::atomic<uint32> references{1};
};

// Hands a stereo signal to process() block by block, in buffers of the block
// size as a host does, and answers the output: the left channel, then the right.
template <typename Process>
std::vector<float> renderInBlocks(const std::vector<float>& left, const std::vector<float>& right, int blockSize,
                                  Process&& process)
{
    std::vector<float> output(2 * left.size());
    std::vector<float> inLeft(static_cast<std::size_t>(blockSize)), inRight(inLeft.size()), outLeft(inLeft.size()),
        outRight(inLeft.size());
    for (std::size_t start = 0; start < left.size(); start += static_cast<std::size_t>(blockSize))
    {
        const auto frames = std::min(static_cast<std::size_t>(blockSize), left.size() - start);
        std::copy_n(left.begin() + static_cast<std::ptrdiff_t>(start), frames, inLeft.begin());
        std::copy_n(right.begin() + static_cast<std::ptrdiff_t>(start), frames, inRight.begin());
        float* inputs[] = {inLeft.data(), inRight.data()};
        float* outputs[] = {outLeft.data(), outRight.data()};
        process(inputs, outputs, static_cast<int>(frames));
        std::copy_n(outLeft.begin(), frames, output.begin() + static_cast<std::ptrdiff_t>(start));
        std::copy_n(outRight.begin(), frames, output.begin() + static_cast<std::ptrdiff_t>(left.size() + start));
    }
    return output;
}

class Vst3BundleTest : public HostTest
{
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        if (HasFatalFailure())
            return;
        module = LoadLibraryW(bundleBinaryPath().c_str());
        ASSERT_NE(nullptr, module) << "cannot load " << bundleBinaryPath().string();
        const auto initDll = reinterpret_cast<bool (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "InitDll")));
        const auto getFactory = reinterpret_cast<IPluginFactory* (*)()>(
            reinterpret_cast<void*>(GetProcAddress(module, "GetPluginFactory")));
        ASSERT_TRUE(initDll != nullptr && getFactory != nullptr);
        ASSERT_TRUE(initDll());
        factory = getFactory();
        ASSERT_NE(nullptr, factory);
    }

    void TearDown() override
    {
        if (factory != nullptr)
            factory->release();
        if (module != nullptr)
        {
            if (const auto exitDll =
                    reinterpret_cast<bool (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "ExitDll"))))
                exitDll();
            FreeLibrary(module);
        }
        HostTest::TearDown();
    }

    std::string classIdOf(const char* category)
    {
        for (int32 i = 0; i < factory->countClasses(); ++i)
        {
            PClassInfo info;
            if (factory->getClassInfo(i, &info) == kResultOk && std::strcmp(info.category, category) == 0)
                return textOf(info.cid);
        }
        return {};
    }

    // A component with its stereo buses on, prepared to process at the rate.
    Vst::IComponent* createComponent()
    {
        PClassInfo info;
        for (int32 i = 0; i < factory->countClasses(); ++i)
            if (factory->getClassInfo(i, &info) == kResultOk && std::strcmp(info.category, kVstAudioEffectClass) == 0)
                break;
        Vst::IComponent* component = nullptr;
        if (factory->createInstance(info.cid, Vst::IComponent::iid, reinterpret_cast<void**>(&component)) != kResultOk)
            return nullptr;
        component->initialize(nullptr);
        return component;
    }

    // Sets the state, then processes the signal in blocks and answers the output.
    std::vector<float> render(Vst::IComponent& component, const std::vector<unsigned char>& state,
                              const std::vector<float>& left, const std::vector<float>& right, double sampleRate,
                              int blockSize)
    {
        ByteStream stream(state);
        EXPECT_EQ(kResultOk, component.setState(&stream));

        Vst::IAudioProcessor* processor = nullptr;
        EXPECT_EQ(kResultOk, component.queryInterface(Vst::IAudioProcessor::iid, reinterpret_cast<void**>(&processor)));
        if (processor == nullptr)
            return {};
        Vst::SpeakerArrangement stereo = Vst::SpeakerArr::kStereo;
        EXPECT_EQ(kResultTrue, processor->setBusArrangements(&stereo, 1, &stereo, 1));
        component.activateBus(Vst::kAudio, Vst::kInput, 0, true);
        component.activateBus(Vst::kAudio, Vst::kOutput, 0, true);
        Vst::ProcessSetup setup{Vst::kOffline, Vst::kSample32, blockSize, sampleRate};
        EXPECT_EQ(kResultOk, processor->setupProcessing(setup));
        EXPECT_EQ(kResultOk, component.setActive(true));
        processor->setProcessing(true);

        const auto output = renderInBlocks(left, right, blockSize,
                                           [&](float** inputs, float** outputs, int frames)
                                           {
                                               Vst::AudioBusBuffers inputBus{};
                                               inputBus.numChannels = 2;
                                               inputBus.channelBuffers32 = inputs;
                                               Vst::AudioBusBuffers outputBus{};
                                               outputBus.numChannels = 2;
                                               outputBus.channelBuffers32 = outputs;
                                               Vst::ProcessData data{};
                                               data.processMode = Vst::kOffline;
                                               data.symbolicSampleSize = Vst::kSample32;
                                               data.numSamples = frames;
                                               data.numInputs = 1;
                                               data.numOutputs = 1;
                                               data.inputs = &inputBus;
                                               data.outputs = &outputBus;
                                               EXPECT_EQ(kResultOk, processor->process(data));
                                           });
        processor->setProcessing(false);
        component.setActive(false);
        processor->release();
        return output;
    }

    // What Varnoke.dll makes of the same, with the knobs set directly.
    std::vector<float> renderVst2(const float (&knobs)[3], const std::vector<float>& left,
                                  const std::vector<float>& right, double sampleRate, int blockSize,
                                  std::vector<unsigned char>& chunk)
    {
        AEffect* effect = openInstance();
        if (effect == nullptr)
            return {};
        for (int i = 0; i < 3; ++i)
            effect->setParameter(effect, i, knobs[i]);
        void* data = nullptr;
        const auto size = dispatch(effect, effGetChunk, 0, 0, &data);
        chunk.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
        dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
        dispatch(effect, effSetBlockSize, 0, blockSize);
        dispatch(effect, effMainsChanged, 0, 1);
        const auto output = renderInBlocks(left, right, blockSize,
                                           [&](float** inputs, float** outputs, int frames)
                                           { effect->processReplacing(effect, inputs, outputs, frames); });
        dispatch(effect, effMainsChanged, 0, 0);
        closeInstance(effect);
        return output;
    }

    HMODULE module = nullptr;
    IPluginFactory* factory = nullptr;
};

TEST_F(Vst3BundleTest, TheFactoryAnnouncesVarnokeWithItsFixedClassIds)
{
    PFactoryInfo factoryInfo;
    ASSERT_EQ(kResultOk, factory->getFactoryInfo(&factoryInfo));
    EXPECT_STREQ("Ostrelund", factoryInfo.vendor);
    EXPECT_EQ(product::vst3ComponentClassId, classIdOf(kVstAudioEffectClass));
    EXPECT_EQ(product::vst3ControllerClassId, classIdOf(kVstComponentControllerClass));
}

TEST_F(Vst3BundleTest, SoundsLikeVarnokeDllAfterRestoringItsChunk)
{
    const float settings[][3] = {
        {0.0f, 0.0f, 0.5f}, {0.3f, 0.7f, 0.5f}, {1.0f, 1.0f, 1.0f}, {0.123456789f, 0.987654321f, 0.0000001f}};
    const auto left = noise(5000, 3);
    const auto right = noise(5000, 4);
    for (const double sampleRate : {44100.0, 96000.0})
        for (const auto& knobs : settings)
        {
            SCOPED_TRACE(std::to_string(knobs[0]) + ", " + std::to_string(knobs[1]) + ", " + std::to_string(knobs[2]) +
                         " at " + std::to_string(sampleRate));
            std::vector<unsigned char> chunk;
            const auto expected = renderVst2(knobs, left, right, sampleRate, 512, chunk);
            ASSERT_FALSE(chunk.empty());
            Vst::IComponent* component = createComponent();
            ASSERT_NE(nullptr, component);
            const auto actual = render(*component, chunk, left, right, sampleRate, 128);

            // The component's state now begins with the very chunk it was given.
            ByteStream saved;
            EXPECT_EQ(kResultOk, component->getState(&saved));
            ASSERT_GE(saved.content().size(), chunk.size());
            EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), saved.content().begin()));
            component->terminate();
            component->release();

            ASSERT_EQ(expected.size(), actual.size());
            std::size_t differing = 0, first = expected.size();
            for (std::size_t i = 0; i < expected.size(); ++i)
                if (bitsOf(expected[i]) != bitsOf(actual[i]) && differing++ == 0)
                    first = i;
            EXPECT_EQ(0u, differing) << "samples whose bits differ from Varnoke.dll's, the first at " << first << ": "
                                     << (first < expected.size() ? expected[first] : 0.0f) << " against "
                                     << (first < actual.size() ? actual[first] : 0.0f);
        }
}

LRESULT CALLBACK viewHostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

// A host's top-level window with a client area of the given size.
HWND createViewHostWindow(int width, int height)
{
    static const wchar_t* const className = L"VarnokeVst3ViewHost";
    static const ATOM registered = []
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = viewHostWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = className;
        return RegisterClassW(&windowClass);
    }();
    if (registered == 0)
        return nullptr;
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    return CreateWindowExW(0, className, L"Varnoke VST3", style | WS_VISIBLE, 40, 40, frame.right - frame.left,
                           frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The host's own message loop, which also runs the plug-in's window.
void pumpMessages(int milliseconds)
{
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    while (GetTickCount() < end)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
}

// The view goes into the host's HWND as a child window, and out again when removed.
TEST_F(Vst3BundleTest, TheViewOpensInTheHostsWindowAndCloses)
{
    Vst::IComponent* component = createComponent();
    ASSERT_NE(nullptr, component);
    TUID controllerId;
    ASSERT_EQ(kResultOk, component->getControllerClassId(controllerId));
    Vst::IEditController* controller = nullptr;
    ASSERT_EQ(kResultOk,
              factory->createInstance(controllerId, Vst::IEditController::iid, reinterpret_cast<void**>(&controller)));
    ASSERT_EQ(kResultOk, controller->initialize(nullptr));

    IPlugView* view = controller->createView(Vst::ViewType::kEditor);
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(kResultTrue, view->isPlatformTypeSupported(kPlatformTypeHWND));
    EXPECT_EQ(kResultFalse, view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID));
    ViewRect size;
    ASSERT_EQ(kResultOk, view->getSize(&size));
    EXPECT_EQ(420, size.getWidth());
    EXPECT_EQ(99, size.getHeight());

    HWND hostWindow = createViewHostWindow(size.getWidth(), size.getHeight());
    ASSERT_NE(nullptr, hostWindow);
    ASSERT_EQ(kResultOk, view->attached(hostWindow, kPlatformTypeHWND));
    pumpMessages(300);
    HWND child = GetWindow(hostWindow, GW_CHILD);
    EXPECT_NE(nullptr, child);
    EXPECT_TRUE(IsWindowVisible(child));

    EXPECT_EQ(kResultOk, view->removed());
    pumpMessages(100);
    EXPECT_EQ(nullptr, GetWindow(hostWindow, GW_CHILD));
    view->release();
    DestroyWindow(hostWindow);
    controller->terminate();
    controller->release();
    component->terminate();
    component->release();
}
}  // namespace
}  // namespace varnoke::test
