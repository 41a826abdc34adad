#pragma once

#include "EditorContainer.h"
#include "InPlaceChannels.h"
#include "PluginIdentity.h"
#include "VstAbi.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace varnoke
{
// One plug-in instance as a VST 2.4 host sees it: the effect record handed to
// the host, the dispatcher behind it, and the processor it drives. The host
// owns the instance through the record; effClose destroys it.
class VstPluginInstance final : private juce::AudioProcessorListener,
                                private juce::AudioPlayHead,
                                private juce::Timer,
                                private EditorHostLink
{
public:
    using ProcessorFactory = std::function<std::unique_ptr<juce::AudioProcessor>()>;

    // Creates an instance around a processor from the factory and returns its
    // record. Null when the host answers 0 to audioMasterVersion (no processor
    // is built then) or when anything throws.
    static AEffect* create(audioMasterCallback host, const ProcessorFactory& factory);

    // The instance behind a record handed out by create(), or null.
    static VstPluginInstance* fromEffect(AEffect* effect) noexcept;

    AEffect* getEffect() noexcept { return &record.effect; }
    juce::AudioProcessor& getProcessor() noexcept { return *processor; }

    // The text names of the arrangements last given by the host ("M", "L R"),
    // empty after a refused arrangement. JUCE 7 keeps no settable copy in the
    // processor, so the instance keeps them.
    const juce::String& getInputArrangementName() const noexcept { return inputArrangementName; }
    const juce::String& getOutputArrangementName() const noexcept { return outputArrangementName; }

    // The open editor's container, or null; on the message thread only.
    EditorContainer* getEditorContainer() noexcept { return editorContainer.get(); }

    static constexpr std::size_t maxChannels = identity::maxOutputs;
    static constexpr int timerIntervalMilliseconds = 250;
    static constexpr juce::uint32 chunkLifetimeMilliseconds = 2000;
    static constexpr juce::uint32 idleSpacingMilliseconds = 20;

private:
    VstPluginInstance(audioMasterCallback host, std::unique_ptr<juce::AudioProcessor> processorToOwn);
    ~VstPluginInstance() override;

    // The record's entry points.
    static VstIntPtr dispatcherEntry(AEffect* effect, int opcode, int index, VstIntPtr value, void* ptr, float opt);
    static void processEntry(AEffect* effect, float** inputs, float** outputs, int numFrames);
    static void processReplacingEntry(AEffect* effect, float** inputs, float** outputs, int numFrames);
    static void processDoubleReplacingEntry(AEffect* effect, double** inputs, double** outputs, int numFrames);
    static void setParameterEntry(AEffect* effect, int index, float value);
    static float getParameterEntry(AEffect* effect, int index);

    VstIntPtr dispatch(int opcode, int index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr callHost(vst::HostOpcode opcode, int index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) const;

    void close();
    void resume();
    void suspend();
    bool isProcessLevelOffline() const;
    void processReplacing(const float* const* inputs, float* const* outputs, int numFrames);
    void writeSilence(float* const* outputs, int numFrames) const noexcept;
    void runProcessor(float* const* channels, int numFrames);

    VstIntPtr getChunk(int index, void* ptr);
    VstIntPtr setChunk(int index, VstIntPtr size, void* data);
    void releaseChunk();

    VstIntPtr setSpeakerArrangement(VstIntPtr inputValue, void* outputPtr);
    VstIntPtr getPinProperties(bool isInput, int index, void* ptr);

    VstIntPtr editGetRect(void* ptr);
    VstIntPtr editOpen(void* hostWindow);
    VstIntPtr editClose();
    bool createEditorContainer();
    void deleteEditor();
    void setHasEditorFlag(bool hasEditor) noexcept;
    static bool isModalComponentShowing();

    // juce::AudioProcessorListener
    void audioProcessorParameterChanged(juce::AudioProcessor*, int index, float newValue) override;
    void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&) override;
    void tellHostOfChange();
    void audioProcessorParameterChangeGestureBegin(juce::AudioProcessor*, int index) override;
    void audioProcessorParameterChangeGestureEnd(juce::AudioProcessor*, int index) override;

    // juce::AudioPlayHead
    juce::Optional<PositionInfo> getPosition() const override;

    // juce::Timer
    void timerCallback() override;

    // EditorHostLink
    void editorSizeChanged(int width, int height) override;
    void editorRepainted() override;
    void idleHostWhileMouseHeld();

    // Hosts built on the original declarations read 56 reserved bytes past FST's record.
    struct EffectRecord
    {
        AEffect effect;
        unsigned char reserved[vst::effectReservedBytes];
    };

    EffectRecord record{};
    const audioMasterCallback hostCallback;
    std::unique_ptr<juce::AudioProcessor> processor;
    std::atomic<bool> shuttingDown{false};

    // Channel layout as last accepted, and the host's switch-on settings.
    int numInputs = 2;
    int numOutputs = 2;
    int inputArrangementType = vst::speakerArrEmpty;
    int outputArrangementType = vst::speakerArrEmpty;
    juce::String inputArrangementName;
    juce::String outputArrangementName;
    float hostSampleRate = 44100.0f;
    int hostBlockSize = 1024;

    std::atomic<bool> bypassed{false};
    std::atomic<bool> hasResumed{false};
    std::atomic<bool> firstBlockAfterResume{false};

    // Block processing, sized at resume so the audio thread never allocates.
    InPlaceChannels<maxChannels> inPlaceChannels;
    juce::AudioBuffer<float> blockBuffer;
    juce::MidiBuffer midiBuffer;

    // The state chunk handed out by the last effGetChunk; the timer may release it.
    std::mutex chunkMutex;
    juce::MemoryBlock chunk;
    juce::uint32 chunkTime = 0;
    bool hasChunk = false;

    // Editor state, on the message thread.
    std::unique_ptr<EditorContainer> editorContainer;
    ERect editorRect{};
    std::atomic<bool> editorDeletionPending{false};
    juce::uint32 lastIdleTime = 0;
    int deferredHostRefreshes = 0;

    JUCE_DECLARE_NON_COPYABLE(VstPluginInstance)
};
}  // namespace varnoke
