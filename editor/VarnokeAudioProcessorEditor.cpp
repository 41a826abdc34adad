#include "VarnokeAudioProcessorEditor.h"

#include "ValueText.h"

#include <BinaryData.h>

#include <cmath>

namespace varnoke
{
namespace
{
constexpr int editorWidth = 420;
constexpr int editorHeight = 99;
constexpr int pendingRefreshHz = 30;

// The position a knob shows for a parameter times 10. JUCE's slider clamps
// to its range but lets NaN through, and then takes every comparison of NaN
// with itself for a change: the knob, its value and its listener would post
// messages to each other for ever. A NaN parameter shows as the lowest
// position and is left as it is.
double knobPosition(double value)
{
    return std::isnan(value) ? 0.0 : value;
}
}  // namespace

void VarnokeAudioProcessorEditor::installFactory(VarnokeAudioProcessor& processor)
{
    processor.setEditorFactory([](VarnokeAudioProcessor& owner) -> juce::AudioProcessorEditor*
                               { return new VarnokeAudioProcessorEditor(&owner); });
}

VarnokeAudioProcessorEditor::VarnokeAudioProcessorEditor(VarnokeAudioProcessor* ownerFilter)
    : juce::AudioProcessorEditor(ownerFilter)
{
    knobLookAndFeel = std::make_unique<LookAndFeelVarnoke>();
    setLookAndFeel(knobLookAndFeel.get());

    struct KnobSetUp
    {
        std::unique_ptr<VarnokeKnob>& member;
        const char* name;
        int parameterIndex;
    };
    const KnobSetUp knobs[] = {{lowSlider, "low", VarnokeAudioProcessor::lowContourIndex},
                               {highSlider, "high", VarnokeAudioProcessor::processIndex},
                               {outputSlider, "output", VarnokeAudioProcessor::outputIndex}};
    for (const auto& knob : knobs)
    {
        knob.member = std::make_unique<VarnokeKnob>(
            knob.name, static_cast<double>(VarnokeAudioProcessor::hostParameterDefaults[knob.parameterIndex] * 10.0f));
        VarnokeKnob& slider = *knob.member;
        addAndMakeVisible(slider);
        slider.setRange(0.0, 10.0, 0.0);
        slider.setSliderStyle(juce::Slider::Rotary);
        slider.setTextBoxStyle(juce::Slider::NoTextBox, false, 80, 20);
        // The default notification is asynchronous: once the message loop runs,
        // every knob that moved off zero writes its value back through the listener.
        slider.setValue(knobPosition(ownerFilter->getParameter(knob.parameterIndex) * 10.0f));
        slider.addListener(this);
        const int index = knob.parameterIndex;
        slider.onTouchBegin = [this, index] { knobTouchBegan(index); };
        slider.onTouchEnd = [this, index] { knobTouchEnded(index); };
    }
    addChildComponent(valueLabel);

    ownerProcessor = ownerFilter;
    ownerProcessor->getKnobMirror().registerView(*this);
    setSize(editorWidth, editorHeight);
    pendingRefreshTimer.startTimerHz(pendingRefreshHz);
}

VarnokeAudioProcessorEditor::~VarnokeAudioProcessorEditor()
{
    // The processor stops calling this editor its active one before any part of
    // it goes, whether or not the wrapper has already said so.
    processor.editorBeingDeleted(this);
    // A touch still going ends for the host before the window goes.
    for (auto* knob : {lowSlider.get(), highSlider.get(), outputSlider.get()})
        knob->endTouch();
    ownerProcessor->getKnobMirror().unregisterView(*this);
    pendingRefreshTimer.stopTimer();
    // A look-and-feel must not be destroyed while a component still refers to it.
    setLookAndFeel(nullptr);
}

void VarnokeAudioProcessorEditor::paint(juce::Graphics& g)
{
    const juce::Image background =
        juce::ImageCache::getFromMemory(BinaryData::background_png, BinaryData::background_pngSize);
    g.drawImageAt(background, 0, 0, false);
}

void VarnokeAudioProcessorEditor::resized()
{
    lowSlider->setBounds(13, 13, 56, 48);
    highSlider->setBounds(92, 13, 56, 48);
    outputSlider->setBounds(183, 13, 56, 48);
}

int VarnokeAudioProcessorEditor::parameterIndexOf(const juce::Slider* slider) const noexcept
{
    if (slider == lowSlider.get())
        return VarnokeAudioProcessor::lowContourIndex;
    if (slider == highSlider.get())
        return VarnokeAudioProcessor::processIndex;
    if (slider == outputSlider.get())
        return VarnokeAudioProcessor::outputIndex;
    return -1;
}

void VarnokeAudioProcessorEditor::sliderValueChanged(juce::Slider* slider)
{
    const auto newValue = static_cast<float>(slider->getValue() / 10.0);
    const int index = parameterIndexOf(slider);
    if (index < 0)
        return;

    // The processor's own setter, not the notifying one: the host hears of a
    // knob move as a display refresh, not as automation.
    ownerProcessor->setParameter(index, newValue);
    ownerProcessor->updateHostDisplay();
    refreshValueLabel();
}

// The gesture goes to the host before the touch's first value change, and the
// label shows the value the touch starts from.
void VarnokeAudioProcessorEditor::knobTouchBegan(int parameterIndex)
{
    ownerProcessor->getKnobMirror().knobGestureBegan(parameterIndex);
    touchedParameter = parameterIndex;
    const juce::Slider* knobs[] = {lowSlider.get(), highSlider.get(), outputSlider.get()};
    for (const auto* knob : knobs)
        if (parameterIndexOf(knob) == parameterIndex)
            valueLabel.showBelow(knob->getBounds(), {});
    refreshValueLabel();
}

void VarnokeAudioProcessorEditor::knobTouchEnded(int parameterIndex)
{
    if (touchedParameter == parameterIndex)
    {
        touchedParameter = -1;
        valueLabel.setVisible(false);
    }
    ownerProcessor->getKnobMirror().knobGestureEnded(parameterIndex);
}

void VarnokeAudioProcessorEditor::refreshValueLabel()
{
    if (const auto* row = core::findHostParameter(touchedParameter))
        valueLabel.setText(core::valueText(row->scale, ownerProcessor->getParameter(touchedParameter)));
}

void VarnokeAudioProcessorEditor::showKnobValues(const varnoke::KnobValues& values)
{
    lowSlider->setValue(knobPosition(values.low), juce::dontSendNotification);
    highSlider->setValue(knobPosition(values.high), juce::dontSendNotification);
    outputSlider->setValue(knobPosition(values.output), juce::dontSendNotification);
    refreshValueLabel();
}

void VarnokeAudioProcessorEditor::PendingRefreshTimer::timerCallback()
{
    if (editor.ownerProcessor->getKnobMirror().takePendingRefresh())
        editor.showKnobValues(editor.ownerProcessor->getKnobValues());
}
}  // namespace varnoke
