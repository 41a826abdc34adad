#pragma once

#include "EditorContainer.h"
#include "ProcessLifetime.h"

#include <pluginterfaces/gui/iplugviewcontentscalesupport.h>
#include <public.sdk/source/common/pluginview.h>

#include <memory>
#include <optional>

namespace varnoke::vst3
{
class Vst3Controller;
#if JUCE_LINUX
class RunLoopDriver;
#endif

// The plug-in's window as a VST3 view: the window of the VST 2 plug-in, in the
// same container and with the same embedding (an X11 window on Linux, an HWND
// on Windows). The view keeps its controller, and with it the processor the
// window shows, for as long as it lives, so hosts may release the component
// and the controller before they remove the view. It follows the host's
// content scale (the window's size grows with it) unless the user chose a
// scale from the window's menu.
class EditorView final : public Steinberg::CPluginView,
                         public Steinberg::IPlugViewContentScaleSupport,
                         private EditorHostLink
{
public:
    explicit EditorView(Vst3Controller& owner);
    ~EditorView() override;

    DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::IPlugViewContentScaleSupport)
    END_DEFINE_INTERFACES(CPluginView)
    REFCOUNT_METHODS(CPluginView)

    Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

    Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API removed() override;
    Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
    Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
    Steinberg::tresult PLUGIN_API canResize() override { return Steinberg::kResultFalse; }
    Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;
    Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;

private:
    // EditorHostLink
    void editorSizeChanged(int width, int height) override;
    void editorRepainted() override {}

    bool createContainer();
    void closeWindow();
    Steinberg::ViewRect windowRect() const;

    ScopedGuiLayer guiLayer;
    Steinberg::IPtr<Vst3Controller> controller;
    std::unique_ptr<EditorContainer> container;
    int width = 0;
    int height = 0;
    std::optional<float> hostScale;
#if JUCE_LINUX
    Steinberg::IPtr<RunLoopDriver> runLoopDriver;
#endif
};
}  // namespace varnoke::vst3
