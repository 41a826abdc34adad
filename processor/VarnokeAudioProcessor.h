#pragma once

#include "Biquad.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>

// The plug-in's audio processor: a fixed 700 Hz crossover tone shaper.
//
// The parameter floats and the derived gains are shared between the host's
// threads, the editor and the audio thread without a lock. They are relaxed
// atomics: each value is written and read whole, and the audio thread picks up
// a change from the next sample on. Everything else in the signal path belongs
// to the audio thread (or to prepareToPlay, which never runs during a block).
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

    static constexpr int numHostParameters = 3;

    VarnokeAudioProcessor();
    ~VarnokeAudioProcessor() override;

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

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram(int index) override;
    const juce::String getProgramName(int index) override;
    void changeProgramName(int index, const juce::String& newName) override;

    void getStateInformation(juce::MemoryBlock& destData) override;
    void setStateInformation(const void* data, int sizeInBytes) override;

    // The three knob positions, each parameter times 10 in single precision.
    struct KnobValues
    {
        double low, high, output;
    };
    KnobValues getKnobValues() const noexcept;

    // True once for every run of parameter changes made off the message thread
    // since the last call; the open editor polls it on the message thread.
    bool takePendingKnobRefresh() noexcept { return knobRefreshPending.exchange(false, std::memory_order_acquire); }

    // Read-only views of the derived gains and the filter design, for tests and tools.
    double getLowGain() const noexcept { return lowGain.load(std::memory_order_relaxed); }
    double getHighGain() const noexcept { return highGain.load(std::memory_order_relaxed); }
    double getCvDepth() const noexcept { return cvDepth.load(std::memory_order_relaxed); }
    double getOutputGain() const noexcept { return outputGain.load(std::memory_order_relaxed); }
    const BiquadCoeffs& getAllPassCoeffs() const noexcept { return allPassCoeffs; }
    const BiquadCoeffs& getLowPassCoeffs() const noexcept { return lowPassCoeffs; }
    const BiquadCoeffs& getHighPassCoeffs() const noexcept { return highPassCoeffs; }
    double getSmoothStep() const noexcept { return smoothStep; }
    double getSmoothKeep() const noexcept { return smoothKeep; }

private:
    using Parameter = std::atomic<float>;
    using Gain = std::atomic<double>;
    static_assert(Parameter::is_always_lock_free && Gain::is_always_lock_free);

    void refreshDerivedGains() noexcept;
    void refreshEditorKnobs();
    static bool mayTouchComponents() noexcept;

    template <bool bothChannels> void processChannels(float* left, float* right, int numSamples) noexcept;
    static void restartIfDamaged(BiquadState& allPass, BiquadState& lowPass, BiquadState& highPass, double& cvGain,
                                 double& dc) noexcept;

    // Parameters, in storage order (index order differs: output is index 2).
    Parameter lowContour{0.0f};
    Parameter process{0.0f};
    Parameter cv{0.0f};
    Parameter output{0.5f};
    Parameter noiseFloor{0.0f};

    // The crossover design and the one-pole smoothing constants, written by prepareToPlay.
    BiquadCoeffs allPassCoeffs;
    BiquadCoeffs lowPassCoeffs;
    BiquadCoeffs highPassCoeffs;
    double smoothStep = 0.0;
    double smoothKeep = 0.0;

    // Smoothed level-dependent high-band gains, per channel.
    double cvGainL = 0.0;
    double cvGainR = 0.0;

    // Derived from the parameters by every setParameter call.
    Gain lowGain{0.0};
    Gain highGain{0.0};
    Gain cvDepth{0.0};
    Gain outputGain{0.0};

    // Knob mirroring. Only JUCE's message thread touches the editor; any other
    // thread just raises the flag, which is lock-free so the audio thread can use it.
    std::atomic<bool> knobRefreshPending{false};
    static_assert(std::atomic<bool>::is_always_lock_free);

    // Filter memories and DC levels, per channel; only construction resets them.
    BiquadState allPassL;
    BiquadState allPassR;
    BiquadState lowPassL;
    BiquadState lowPassR;
    BiquadState highPassL;
    BiquadState highPassR;
    double dcL = 0.0;
    double dcR = 0.0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(VarnokeAudioProcessor)
};
