#pragma once

#include "HostParameterTable.h"
#include "KnobMirror.h"
#include "ToneShaper.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>

namespace varnoke
{
// The plug-in's audio processor: a fixed 700 Hz crossover tone shaper. It holds
// the parameters and the saved state and speaks JUCE; the signal path itself
// is its ToneShaper.
//
// The parameter floats and the derived gains are shared between the host's
// threads, the editor and the audio thread without a lock. They are relaxed
// atomics: each value is written and read whole, and the audio thread picks up
// a change from the next sample on.
class VarnokeAudioProcessor : public juce::AudioProcessor
{
public:
    // Parameter indices. Only the first three are announced to the host.
    enum ParameterIndex
    {
        lowContourIndex = 0,
        processIndex = 1,
        outputIndex = 2,
        cvIndex = 3,
        noiseFloorIndex = 4,
        refreshIndex = -1  // stores nothing, recomputes the derived gains
    };

    // The host parameters are the rows of core/HostParameterTable.h, in index order.
    static constexpr int numHostParameters = core::numHostParameters;
    // Where the host parameters start, by index.
    static constexpr std::array<float, numHostParameters> hostParameterDefaults{
        core::hostParameters[lowContourIndex].defaultValue, core::hostParameters[processIndex].defaultValue,
        core::hostParameters[outputIndex].defaultValue};

    VarnokeAudioProcessor();
    ~VarnokeAudioProcessor() override;

protected:
    // For hosts that expect the main buses active from the start (the VST 2
    // boundary sets the channels itself).
    explicit VarnokeAudioProcessor(const BusesProperties& buses);

public:
    const juce::String getName() const override;

    void prepareToPlay(double sampleRate, int estimatedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock(juce::AudioSampleBuffer& buffer, juce::MidiBuffer& midiMessages) override;
    using AudioProcessor::processBlock;

    const juce::String getInputChannelName(int channelIndex) const override;
    const juce::String getOutputChannelName(int channelIndex) const override;
    bool isInputChannelStereoPair(int index) const override;
    bool isOutputChannelStereoPair(int index) const override;

    bool silenceInProducesSilenceOut() const override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumParameters() override;
    const juce::String getParameterName(int index) override;
    juce::String getParameterName(int index, int maximumStringLength) override;
    float getParameter(int index) override;
    const juce::String getParameterText(int index) override;
    juce::String getParameterText(int index, int maximumStringLength) override;
    void setParameter(int index, float newValue) override;
    // The value each parameter starts at (the VST3 and LV2 hosts' reset value).
    float getParameterDefaultValue(int index) override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram(int index) override;
    const juce::String getProgramName(int index) override;
    void changeProgramName(int index, const juce::String& newName) override;

    void getStateInformation(juce::MemoryBlock& destData) override;
    void setStateInformation(const void* data, int sizeInBytes) override;

    // The window is built by whoever assembles the plug-in (the processor knows
    // no editor); without a factory, createEditor answers null.
    using EditorFactory = juce::AudioProcessorEditor* (*)(VarnokeAudioProcessor&);
    void setEditorFactory(EditorFactory factory) noexcept { editorFactory = factory; }

    // The three knob positions, each parameter times 10 in single precision.
    using KnobValues = varnoke::KnobValues;
    KnobValues getKnobValues() const noexcept;

    // Where the open window registers to follow every parameter change.
    varnoke::KnobMirror& getKnobMirror() noexcept { return knobMirror; }

    // The derived gains, as the parameters last set them.
    double getLowGain() const noexcept { return toneShaper.getGains().low; }
    double getHighGain() const noexcept { return toneShaper.getGains().high; }
    double getCvDepth() const noexcept { return toneShaper.getGains().cvDepth; }
    double getOutputGain() const noexcept { return toneShaper.getGains().output; }

    const varnoke::ToneShaper& getToneShaper() const noexcept { return toneShaper; }

private:
    using Parameter = std::atomic<float>;
    static_assert(Parameter::is_always_lock_free);

    void refreshDerivedGains() noexcept;

    // Parameters, in storage order (index order differs: output is index 2).
    Parameter lowContour{hostParameterDefaults[lowContourIndex]};
    Parameter process{hostParameterDefaults[processIndex]};
    Parameter cv{0.0f};
    Parameter output{hostParameterDefaults[outputIndex]};
    Parameter noiseFloor{0.0f};

    // The signal path, with the derived gains that refreshDerivedGains writes into it.
    varnoke::ToneShaper toneShaper;

    varnoke::KnobMirror knobMirror;
    EditorFactory editorFactory = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(VarnokeAudioProcessor)
};
}  // namespace varnoke
