#include "VarnokeAudioProcessorEditor.h"

#include "EditorScale.h"
#include "ScaleMenu.h"

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
        std::unique_ptr<juce::Slider>& member;
        const char* name;
        int parameterIndex;
    };
    const KnobSetUp knobs[] = {{lowSlider, "low", VarnokeAudioProcessor::lowContourIndex},
                               {highSlider, "high", VarnokeAudioProcessor::processIndex},
                               {outputSlider, "output", VarnokeAudioProcessor::outputIndex}};
    for (const auto& knob : knobs)
    {
        knob.member = std::make_unique<juce::Slider>(knob.name);
        juce::Slider& slider = *knob.member;
        addAndMakeVisible(slider);
        slider.setRange(0.0, 10.0, 0.0);
        slider.setSliderStyle(juce::Slider::Rotary);
        slider.setTextBoxStyle(juce::Slider::NoTextBox, false, 80, 20);
        // The default notification is asynchronous: once the message loop runs,
        // every knob that moved off zero writes its value back through the listener.
        slider.setValue(knobPosition(ownerFilter->getParameter(knob.parameterIndex) * 10.0f));
        slider.addListener(this);
    }

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

void VarnokeAudioProcessorEditor::sliderValueChanged(juce::Slider* slider)
{
    const auto newValue = static_cast<float>(slider->getValue() / 10.0);
    int index = VarnokeAudioProcessor::lowContourIndex;
    if (slider == highSlider.get())
        index = VarnokeAudioProcessor::processIndex;
    else if (slider == outputSlider.get())
        index = VarnokeAudioProcessor::outputIndex;
    else if (slider != lowSlider.get())
        return;

    // The processor's own setter, not the notifying one: the host hears of a
    // knob move as a display refresh, not as automation.
    ownerProcessor->setParameter(index, newValue);
    ownerProcessor->updateHostDisplay();
}

void VarnokeAudioProcessorEditor::showKnobValues(const varnoke::KnobValues& values)
{
    lowSlider->setValue(knobPosition(values.low), juce::dontSendNotification);
    highSlider->setValue(knobPosition(values.high), juce::dontSendNotification);
    outputSlider->setValue(knobPosition(values.output), juce::dontSendNotification);
}

void VarnokeAudioProcessorEditor::PendingRefreshTimer::timerCallback()
{
    if (editor.ownerProcessor->getKnobMirror().takePendingRefresh())
        editor.showKnobValues(editor.ownerProcessor->getKnobValues());
}
}  // namespace varnoke
