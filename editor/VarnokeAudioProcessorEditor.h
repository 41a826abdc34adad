#pragma once

#include "KnobValueLabel.h"
#include "LookAndFeelVarnoke.h"
#include "VarnokeAudioProcessor.h"
#include "VarnokeKnob.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

namespace varnoke
{
// The plug-in window: the background picture and three filmstrip knobs for
// "Low Contour", "Process" and "Output". A knob shows its parameter times 10.
// While a knob is touched, a label shows its value as hosts show it, and the
// processor's KnobMirror hears the touch's start and end.
class VarnokeAudioProcessorEditor : public juce::AudioProcessorEditor,
                                    public juce::Slider::Listener,
                                    private varnoke::KnobView
{
public:
    // Makes this window the one the processor's createEditor builds.
    static void installFactory(VarnokeAudioProcessor& processor);

    explicit VarnokeAudioProcessorEditor(VarnokeAudioProcessor* ownerFilter);
    ~VarnokeAudioProcessorEditor() override;

    void paint(juce::Graphics& g) override;
    void resized() override;
    // A right-click (on the background, or passed on by a knob) opens the
    // window's scale menu.
    void mouseDown(const juce::MouseEvent& event) override;

    void sliderValueChanged(juce::Slider* slider) override;
    void sliderDragStarted(juce::Slider*) override {}
    void sliderDragEnded(juce::Slider*) override {}

    // Sets the three knobs without notifying anyone, so no knob callback runs
    // and the processor is not written back. Message thread only.
    void showKnobValues(const varnoke::KnobValues& values) override;

private:
    // The processor index of a knob's parameter; -1 for anything else.
    int parameterIndexOf(const juce::Slider* slider) const noexcept;
    void knobTouchBegan(int parameterIndex);
    void knobTouchEnded(int parameterIndex);
    // The value label follows the touched knob's parameter.
    void refreshValueLabel();

    // Applies, on the message thread, the refreshes that parameter changes on
    // other threads have asked for.
    class PendingRefreshTimer : public juce::Timer
    {
    public:
        explicit PendingRefreshTimer(VarnokeAudioProcessorEditor& editorToRefresh)
            : editor(editorToRefresh)
        {
        }
        void timerCallback() override;

    private:
        VarnokeAudioProcessorEditor& editor;
    };

    // Declared first so that it outlives the knobs that draw with it.
    std::unique_ptr<LookAndFeelVarnoke> knobLookAndFeel;
    VarnokeAudioProcessor* ownerProcessor = nullptr;
    std::unique_ptr<VarnokeKnob> lowSlider;
    std::unique_ptr<VarnokeKnob> highSlider;
    std::unique_ptr<VarnokeKnob> outputSlider;
    KnobValueLabel valueLabel;
    int touchedParameter = -1;  // whose value the label shows
    // Last, so it stops before any knob goes.
    PendingRefreshTimer pendingRefreshTimer{*this};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(VarnokeAudioProcessorEditor)
};
}  // namespace varnoke
