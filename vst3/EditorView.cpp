#include "EditorView.h"

#include "MessageThread.h"
#include "Vst3Controller.h"

#if JUCE_LINUX
#include "RunLoopDriver.h"
#endif

#include <cmath>
#include <cstring>

namespace varnoke::vst3
{
using namespace Steinberg;

namespace
{
#if JUCE_LINUX
const FIDString platformType = kPlatformTypeX11EmbedWindowID;
#elif JUCE_WINDOWS
const FIDString platformType = kPlatformTypeHWND;
#endif
}  // namespace

EditorView::EditorView(Vst3Controller& owner)
    : controller(&owner)
{
}

EditorView::~EditorView()
{
    closeWindow();
}

tresult PLUGIN_API EditorView::isPlatformTypeSupported(FIDString type)
{
    return type != nullptr && std::strcmp(type, platformType) == 0 ? kResultTrue : kResultFalse;
}

bool EditorView::createContainer()
{
    auto* model = controller->getWindowModel();
    if (model == nullptr || model->getActiveEditor() != nullptr)
        return false;
    EditorContainer::prepareWindowSystem();
    std::unique_ptr<juce::AudioProcessorEditor> editor(model->createEditorIfNeeded());
    if (editor == nullptr)
        return false;
    container = std::make_unique<EditorContainer>(std::move(editor), static_cast<EditorHostLink&>(*this));
    container->followScale(hostScale);
    width = container->getWidth();
    height = container->getHeight();
    return true;
}

tresult PLUGIN_API EditorView::attached(void* parent, FIDString type)
{
    if (parent == nullptr || isPlatformTypeSupported(type) != kResultTrue)
        return kInvalidArgument;
    if (isAttached())
        return kResultFalse;

    bool shown = false;
    message_thread::runExclusively(
        [&]
        {
            if (!EditorContainer::canAttachTo(parent))
                return;
            if (container == nullptr && !createContainer())
                return;
            container->attachToHostWindow(parent);
            shown = true;
        });
    if (!shown)
    {
        closeWindow();
        return kResultFalse;
    }

#if JUCE_LINUX
    runLoopDriver = owned(new RunLoopDriver());
    if (plugFrame != nullptr)
    {
        FUnknownPtr<Linux::IRunLoop> runLoop(plugFrame);
        runLoopDriver->start(runLoop);
    }
#endif
    return CPluginView::attached(parent, type);
}

tresult PLUGIN_API EditorView::removed()
{
    closeWindow();
    return CPluginView::removed();
}

// The window goes on the message thread, now or at its next dispatch.
void EditorView::closeWindow()
{
#if JUCE_LINUX
    if (runLoopDriver != nullptr)
    {
        runLoopDriver->stop();
        runLoopDriver = nullptr;
    }
#endif
    if (container == nullptr)
        return;
    EditorContainer* closing = container.release();
    if (!message_thread::runExclusively([closing] { delete closing; }))
        message_thread::runOnMessageThreadWhenFree([closing] { delete closing; });
}

ViewRect EditorView::windowRect() const
{
    return ViewRect(0, 0, width, height);
}

tresult PLUGIN_API EditorView::getSize(ViewRect* size)
{
    if (size == nullptr)
        return kInvalidArgument;
    if (width == 0)
        // The window is made now to learn its size, and shown at attached().
        message_thread::runExclusively(
            [this]
            {
                if (container == nullptr)
                    createContainer();
            });
    if (width == 0)
        return kResultFalse;
    *size = windowRect();
    return kResultOk;
}

// The window has one size: any other a host asks for is answered with it.
tresult PLUGIN_API EditorView::onSize(ViewRect* newSize)
{
    if (newSize == nullptr)
        return kInvalidArgument;
    rect = windowRect();
    return kResultOk;
}

tresult PLUGIN_API EditorView::checkSizeConstraint(ViewRect* size)
{
    if (size == nullptr)
        return kInvalidArgument;
    if (width == 0)
        return kResultFalse;
    *size = windowRect();
    return kResultTrue;
}

// The window takes the factor at once, or when it is made; a shown window
// asks the host for its new size (resizeView), and getSize answers it.
tresult PLUGIN_API EditorView::setContentScaleFactor(ScaleFactor factor)
{
    if (!std::isfinite(factor) || factor <= 0.0f)
        return kInvalidArgument;
    hostScale = factor;
    message_thread::runExclusively(
        [this]
        {
            if (container == nullptr)
                return;
            container->hostScaleChanged(*hostScale);
            width = container->getWidth();
            height = container->getHeight();
        });
    return kResultTrue;
}

tresult PLUGIN_API EditorView::setFrame(IPlugFrame* frame)
{
    plugFrame = frame;
    return kResultOk;
}

void EditorView::editorSizeChanged(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
    if (plugFrame != nullptr)
    {
        ViewRect size = windowRect();
        plugFrame->resizeView(this, &size);
    }
}
}  // namespace varnoke::vst3
