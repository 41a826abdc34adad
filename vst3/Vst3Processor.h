#pragma once

#include "InPlaceChannels.h"
#include "ParameterTable.h"
#include "VarnokeAudioProcessor.h"

#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <public.sdk/source/vst/vstcomponent.h>

#include <atomic>
#include <memory>

namespace varnoke::vst3
{
// The audio half of the VST3 plug-in: buses, processing and the saved state
// around the processor the VST 2.4 plug-in runs. Parameter changes are applied
// at their sample offsets; a block is processed in slices between them, and
// in slices no longer than the host announced.
class Vst3Processor final : public Steinberg::Vst::Component,
                            public Steinberg::Vst::IAudioProcessor,
                            public Steinberg::Vst::IProcessContextRequirements
{
public:
    Vst3Processor();
    ~Vst3Processor() override;

    static Steinberg::FUnknown* create(void*);

    // Component
    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
    Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* state) override;
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* state) override;
    // Values the controller sends while the transport is not playing.
    Steinberg::tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override;

    // IAudioProcessor
    Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs,
                                                     Steinberg::int32 numIns,
                                                     Steinberg::Vst::SpeakerArrangement* outputs,
                                                     Steinberg::int32 numOuts) override;
    Steinberg::tresult PLUGIN_API getBusArrangement(Steinberg::Vst::BusDirection dir, Steinberg::int32 index,
                                                    Steinberg::Vst::SpeakerArrangement& arrangement) override;
    Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
    Steinberg::uint32 PLUGIN_API getLatencySamples() override { return 0; }
    Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
    Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
    Steinberg::uint32 PLUGIN_API getTailSamples() override { return Steinberg::Vst::kNoTail; }

    // IProcessContextRequirements: whether the transport plays (see notify).
    Steinberg::uint32 PLUGIN_API getProcessContextRequirements() override { return kNeedTransportState; }

    // The longest slice process() runs at once, whatever a host announces.
    static constexpr int maxSliceFrames = 1 << 16;

    OBJ_METHODS(Vst3Processor, Component)
    DEFINE_INTERFACES
    DEF_INTERFACE(IAudioProcessor)
    DEF_INTERFACE(IProcessContextRequirements)
    END_DEFINE_INTERFACES(Component)
    REFCOUNT_METHODS(Component)

private:
    class ParameterChangeCursor;

    void applyParameter(const ParameterRow& row, double value) noexcept;
    void processSlices(Steinberg::Vst::ProcessData& data, ParameterChangeCursor& changes);
    void runSlice(const float* const* inputs, int numInputs, float* const* outputs, int frames);
    void setChannelCount(int channels);

    std::unique_ptr<VarnokeAudioProcessor> processor;
    std::atomic<bool> bypassed{false};
    std::atomic<bool> transportPlaying{false};

    // Set by setupProcessing, used from the next switch-on.
    double setupSampleRate = 44100.0;
    int setupMaxBlock = 1024;

    // Used by the audio thread while active.
    bool active = false;
    int numChannels = 2;
    int sliceFrames = 1024;
    InPlaceChannels<2> inPlaceChannels;
    juce::AudioBuffer<float> blockBuffer;
    juce::MidiBuffer midiBuffer;
};
}  // namespace varnoke::vst3
