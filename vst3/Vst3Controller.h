#pragma once

#include "ParameterTable.h"
#include "ProcessLifetime.h"
#include "VarnokeAudioProcessor.h"

#include <public.sdk/source/vst/vsteditcontroller.h>

#include <array>
#include <memory>
#include <optional>

namespace varnoke::vst3
{
// The edit controller: the parameters as hosts list, show and automate them,
// the factory presets as a program list (IUnitInfo, FactoryPrograms.h), and
// the window. The window works on a processor of the controller's own (it
// never processes audio) that holds the values the controller shows: a knob
// moved in the window reaches the host as an edit, within the gesture of the
// knob's touch (beginEdit when the touch starts, endEdit when it ends), and
// values the host sets move the knobs.
class Vst3Controller final : public Steinberg::Vst::EditControllerEx1,
                             private juce::AudioProcessorListener,
                             private KnobGestureListener
{
public:
    Vst3Controller();
    ~Vst3Controller() override;

    static Steinberg::FUnknown* create(void*);

    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API terminate() override;

    Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;
    // The SDK's own answer throws (out of the host's call) for an index it has no parameter for.
    Steinberg::tresult PLUGIN_API getParameterInfo(Steinberg::int32 index,
                                                   Steinberg::Vst::ParameterInfo& info) override;
    Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id,
                                                     Steinberg::Vst::ParamValue value) override;
    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

    // The processor the window shows; null before initialize.
    VarnokeAudioProcessor* getWindowModel() noexcept { return windowModel.get(); }

    OBJ_METHODS(Vst3Controller, EditControllerEx1)
    REFCOUNT_METHODS(EditControllerEx1)

private:
    // juce::AudioProcessorListener: the window changed a value.
    void audioProcessorParameterChanged(juce::AudioProcessor*, int, float) override {}
    void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&) override;

    // KnobGestureListener: a knob's touch in the window starts or ends.
    void knobGestureBegan(int parameterIndex) override;
    void knobGestureEnded(int parameterIndex) override;
    void endGestures();

    // A program chosen with the program-change parameter: its knob positions
    // become the parameters' values and reach the host as edits.
    void applyProgram(int program);

    std::optional<ScopedGuiLayer> guiLayer;
    std::unique_ptr<VarnokeAudioProcessor> windowModel;
    bool settingFromWindow = false;
    std::array<bool, numParameters> gestureOpen{};
};
}  // namespace varnoke::vst3
