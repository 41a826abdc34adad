#include "Lv2Ui.h"

#include "HostParameterTable.h"
#include "MessageThread.h"
#include "PortIndex.h"
#include "ProcessLifetime.h"
#include "UiScaleOption.h"
#include "VarnokeAudioProcessorEditor.h"

#include <atomic>
#include <cmath>
#include <cstring>

namespace varnoke::lv2
{
namespace
{
// A knob's value travels as its position times ten through the slider and
// back, which may move it by a rounding step without the user doing anything
// (JUCE's sliders report their first value once the message loop runs).
// Changes smaller than this are not sent to the host.
constexpr float smallestKnobMove = 1.0e-6f;

const LV2_Feature* findFeature(const LV2_Feature* const* features, const char* uri)
{
    for (auto* const* feature = features; feature != nullptr && *feature != nullptr; ++feature)
        if ((*feature)->URI != nullptr && std::strcmp((*feature)->URI, uri) == 0)
            return *feature;
    return nullptr;
}
}  // namespace

// The processor the window shows: it runs no audio and holds the values the
// host reported. A knob the user moves writes the port through the host; a
// host that offers ui:touch hears when the user grabs and lets go of a knob,
// around the writes of that touch.
class Lv2Ui::KnobModel final : public VarnokeAudioProcessor, private KnobGestureListener
{
public:
    KnobModel(LV2UI_Write_Function writeFunction, LV2UI_Controller hostController, const LV2UI_Touch* hostTouch)
        : write(writeFunction)
        , controller(hostController)
        , touch(hostTouch != nullptr && hostTouch->touch != nullptr ? hostTouch : nullptr)
    {
        VarnokeAudioProcessorEditor::installFactory(*this);
        getKnobMirror().setGestureListener(this);
    }

    ~KnobModel() override { getKnobMirror().setGestureListener(nullptr); }

    // The host has let go of the UI: its write and touch functions may be gone.
    void detachFromHost() noexcept { attached.store(false, std::memory_order_release); }

    // The host's value for a port; moves the knob and tells nobody.
    void showPortValue(int index, float value)
    {
        const bool wasShowing = showingPortValue;
        showingPortValue = true;
        VarnokeAudioProcessor::setParameter(index, value);
        showingPortValue = wasShowing;
    }

    void setParameter(int index, float newValue) override
    {
        const float before = getParameter(index);
        VarnokeAudioProcessor::setParameter(index, newValue);
        if (showingPortValue || write == nullptr || !attached.load(std::memory_order_acquire) ||
            core::findHostParameter(index) == nullptr || !(std::fabs(newValue - before) > smallestKnobMove))
            return;
        write(controller, port::ofParameter(index), sizeof(float), 0, &newValue);
    }

private:
    void knobGestureBegan(int index) override { tell(index, true); }
    void knobGestureEnded(int index) override { tell(index, false); }

    void tell(int index, bool grabbed)
    {
        if (touch != nullptr && attached.load(std::memory_order_acquire) && core::findHostParameter(index) != nullptr)
            touch->touch(touch->handle, port::ofParameter(index), grabbed);
    }

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch;
    std::atomic<bool> attached{true};
    bool showingPortValue = false;
};

Lv2Ui* Lv2Ui::create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                     const LV2_Feature* const* features)
{
    try
    {
        // JUCE's GUI layer for as long as the window lives; its first user
        // makes the calling thread JUCE's message thread.
        ScopedGuiLayer guiLayer;
        const auto* parentFeature = findFeature(features, LV2_UI__parent);
        void* parent = parentFeature != nullptr ? parentFeature->data : nullptr;
        const auto* resizeFeature = findFeature(features, LV2_UI__resize);
        const auto* touchFeature = findFeature(features, LV2_UI__touch);

        std::unique_ptr<Lv2Ui> ui(
            new Lv2Ui(write, controller,
                      resizeFeature != nullptr ? static_cast<const LV2UI_Resize*>(resizeFeature->data) : nullptr,
                      touchFeature != nullptr ? static_cast<const LV2UI_Touch*>(touchFeature->data) : nullptr));
        bool opened = false;
        const auto hostScale = hostScaleFactor(features);
        message_thread::runExclusively([&] { opened = ui->open(parent, hostScale); });
        if (!opened)
        {
            guiLayer.handOver();
            destroy(ui.release());
            return nullptr;
        }
        if (widget != nullptr)
            *widget =
                reinterpret_cast<LV2UI_Widget>(reinterpret_cast<std::uintptr_t>(ui->container->getWindowHandle()));
        if (ui->hostResize != nullptr && ui->hostResize->ui_resize != nullptr)
            ui->hostResize->ui_resize(ui->hostResize->handle, ui->container->getWidth(), ui->container->getHeight());
        guiLayer.handOver();
        return ui.release();
    }
    catch (...)
    {
        return nullptr;
    }
}

Lv2Ui::Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Resize* resize,
             const LV2UI_Touch* touch)
    : model(std::make_unique<KnobModel>(write, controller, touch))
    , hostResize(resize)
{
}

Lv2Ui::~Lv2Ui()
{
    container.reset();  // the editor before the processor it shows
    model.reset();
}

bool Lv2Ui::open(void* parentWindow, std::optional<float> hostScale)
{
    EditorContainer::prepareWindowSystem();
    if (!EditorContainer::canAttachTo(parentWindow))
        return false;
    std::unique_ptr<juce::AudioProcessorEditor> editor(model->createEditorIfNeeded());
    if (editor == nullptr)
        return false;
    container = std::make_unique<EditorContainer>(std::move(editor), static_cast<EditorHostLink&>(*this));
    container->followScale(hostScale);
    container->attachToHostWindow(parentWindow);
    return true;
}

void Lv2Ui::destroy(Lv2Ui* ui)
{
    if (ui == nullptr)
        return;
    const auto tearDown = [ui] { delete ui; };
    if (message_thread::runExclusively(tearDown))
    {
        message_thread::runHandedOverWork();
        ProcessLifetime::release();
        return;
    }
    // The message thread is busy elsewhere: it takes the window down when free,
    // after the host has forgotten the UI, so nothing of it calls the host any more.
    ui->model->detachFromHost();
    message_thread::runOnMessageThreadWhenFree(
        [tearDown]
        {
            tearDown();
            ProcessLifetime::release();
        });
}

void Lv2Ui::portEvent(std::uint32_t portIndex, std::uint32_t bufferSize, std::uint32_t format, const void* buffer)
{
    const int parameter = port::parameterOf(portIndex);
    if (parameter < 0 || format != 0 || bufferSize != sizeof(float) || buffer == nullptr)
        return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    message_thread::runExclusively([&] { model->showPortValue(parameter, value); });
}

int Lv2Ui::idle()
{
    message_thread::dispatchPendingMessages();
    return 0;
}

int Lv2Ui::resize(int width, int height)
{
    return container != nullptr && width == container->getWidth() && height == container->getHeight() ? 0 : 1;
}

void Lv2Ui::editorSizeChanged(int width, int height)
{
    if (hostResize != nullptr && hostResize->ui_resize != nullptr)
        hostResize->ui_resize(hostResize->handle, width, height);
}

namespace
{
int idleEntry(LV2UI_Handle ui)
{
    try
    {
        return static_cast<Lv2Ui*>(ui)->idle();
    }
    catch (...)
    {
        return 0;
    }
}

int resizeEntry(LV2UI_Feature_Handle ui, int width, int height)
{
    return ui != nullptr ? static_cast<Lv2Ui*>(ui)->resize(width, height) : 1;
}
}  // namespace

const LV2UI_Idle_Interface Lv2Ui::idleInterface{idleEntry};
const LV2UI_Resize Lv2Ui::resizeInterface{nullptr, resizeEntry};
}  // namespace varnoke::lv2
