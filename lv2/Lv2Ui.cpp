#include "Lv2Ui.h"

#include "HostParameterTable.h"
#include "MessageThread.h"
#include "PortIndex.h"
#include "ProcessLifetime.h"
#include "UiScaleOption.h"
#include "VarnokeAudioProcessorEditor.h"

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
// host reported. A knob the user moves writes the port through the host.
class Lv2Ui::KnobModel final : public VarnokeAudioProcessor
{
public:
    KnobModel(LV2UI_Write_Function writeFunction, LV2UI_Controller hostController)
        : write(writeFunction)
        , controller(hostController)
    {
        VarnokeAudioProcessorEditor::installFactory(*this);
    }

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
        if (showingPortValue || write == nullptr || core::findHostParameter(index) == nullptr ||
            !(std::fabs(newValue - before) > smallestKnobMove))
            return;
        write(controller, port::ofParameter(index), sizeof(float), 0, &newValue);
    }

private:
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
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

        std::unique_ptr<Lv2Ui> ui(
            new Lv2Ui(write, controller,
                      resizeFeature != nullptr ? static_cast<const LV2UI_Resize*>(resizeFeature->data) : nullptr));
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

Lv2Ui::Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Resize* resize)
    : model(std::make_unique<KnobModel>(write, controller))
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
    // The message thread is busy elsewhere: it takes the window down when free.
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
