#pragma once

#include "EditorContainer.h"

#include <lv2/ui/ui.h>

#include <memory>
#include <optional>

namespace varnoke::lv2
{
// The plug-in's window as an LV2 X11 UI. It never sees the plug-in instance:
// it shows the values the host reports with port_event and hands knob moves
// to the host with write_function, so the host may free the instance and the
// UI in either order. The window is the VST 2.4 plug-in's, embedded the same
// way (EditorContainer), on JUCE's message thread driven by the host's idle
// calls.
class Lv2Ui final : private EditorHostLink
{
public:
    // Null when there is no window to show (a parent that names no window, or
    // no message thread to build it on).
    static Lv2Ui* create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features);

    // Takes the window down on the message thread (now, or at its next idle
    // call when another thread holds it), and with the last one JUCE's GUI layer.
    static void destroy(Lv2Ui* ui);

    ~Lv2Ui() override;

    void portEvent(std::uint32_t portIndex, std::uint32_t bufferSize, std::uint32_t format, const void* buffer);
    int idle();
    // The window keeps its size: a request for another answers non-zero.
    int resize(int width, int height);

    static const LV2UI_Idle_Interface idleInterface;
    static const LV2UI_Resize resizeInterface;

private:
    class KnobModel;

    Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Resize* hostResize,
          const LV2UI_Touch* hostTouch);

    // Opens the window at the host's ui:scaleFactor when it gave one (see
    // EditorContainer::followScale for what else decides).
    bool open(void* parentWindow, std::optional<float> hostScale);

    void editorSizeChanged(int width, int height) override;
    void editorRepainted() override {}

    std::unique_ptr<KnobModel> model;
    std::unique_ptr<EditorContainer> container;
    const LV2UI_Resize* hostResize;
};
}  // namespace varnoke::lv2
