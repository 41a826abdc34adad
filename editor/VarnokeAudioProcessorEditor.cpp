#include "VarnokeAudioProcessorEditor.h"

#include "EditorScale.h"
#include "ScaleMenu.h"
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

// At 1x the picture is copied as it is. Above 1x the 2x picture is drawn at
// half its size into the scaled window: at 2x one picture pixel per screen
// pixel, at 1.5x a reduction of the finer picture, never an enlargement.
void VarnokeAudioProcessorEditor::paint(juce::Graphics& g)
{
    if (g.getInternalContext().getPhysicalPixelScaleFactor() > 1.0f)
    {
        const juce::Image background =
            juce::ImageCache::getFromMemory(BinaryData::background_2x_png, BinaryData::background_2x_pngSize);
        g.setImageResamplingQuality(juce::Graphics::highResamplingQuality);
        g.drawImageTransformed(background, juce::AffineTransform::scale(0.5f), false);
        return;
    }
    const juce::Image background =
        juce::ImageCache::getFromMemory(BinaryData::background_png, BinaryData::background_pngSize);
    g.drawImageAt(background, 0, 0, false);
}

void VarnokeAudioProcessorEditor::mouseDown(const juce::MouseEvent& event)
{
    if (!event.mods.isPopupMenu())
        return;
    juce::Component::SafePointer<VarnokeAudioProcessorEditor> self(this);
    auto* container = dynamic_cast<editor_scale::ScaleChoiceListener*>(getParentComponent());
    ScaleMenu::show(*this, container != nullptr ? container->currentScale() : editor_scale::ofTransform(getTransform()),
                    [self](float factor)
                    {
                        if (self == nullptr)
                            return;
                        // The container resizes the host's window too; a bare
                        // editor scales only itself.
                        if (auto* listener =
                                dynamic_cast<editor_scale::ScaleChoiceListener*>(self->getParentComponent()))
                            listener->userChoseScale(factor);
                        else
                            self->setScaleFactor(factor > 0.0f ? factor : editor_scale::forNewWindow(std::nullopt));
                    });
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
    refreshValueLabel();
    // Last: a host may close the window from this call, deleting this editor.
    ownerProcessor->updateHostDisplay();
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
