#include "VstPluginInstance.h"

#include "CanDoTable.h"
#include "MessageThread.h"
#include "PlayableSampleRate.h"
#include "ProcessLifetime.h"
#include "Utf8Copy.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

// The processor's index-based parameter API and channel-name calls are the
// interface this boundary speaks; JUCE 7 marks them deprecated.
#define VARNOKE_LEGACY_API_BEGIN                                                                                       \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wdeprecated-declarations\"")
#define VARNOKE_LEGACY_API_END _Pragma("GCC diagnostic pop")

namespace varnoke
{
namespace
{
using vst::EffectOpcode;
using vst::HostOpcode;

int clampToInt(VstIntPtr value)
{
    return static_cast<int>(
        std::clamp<VstIntPtr>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool tailIsSilent(double tailSeconds)
{
    return !(tailSeconds > 0.0);  // also for NaN
}

const char* arrangementName(int type)
{
    switch (type)
    {
    case vst::speakerArrMono: return "M";
    case vst::speakerArrStereo: return "L R";
    default: return "";
    }
}

void writeString(const juce::String& text, void* destination, int capacity)
{
    copyUtf8(text.toRawUTF8(), static_cast<char*>(destination), static_cast<std::size_t>(capacity));
}
}  // namespace

//==============================================================================
AEffect* VstPluginInstance::create(audioMasterCallback host, const ProcessorFactory& factory)
{
    if (host == nullptr || !factory)
        return nullptr;

    try
    {
        ScopedGuiLayer guiLayer;

        if (vst::callHost(host, nullptr, HostOpcode::version) == 0)
            return nullptr;

        std::unique_ptr<juce::AudioProcessor> newProcessor;
        juce::AudioProcessor::setTypeOfNextNewPlugin(juce::AudioProcessor::wrapperType_VST);
        try
        {
            newProcessor = factory();
        }
        catch (...)
        {
            juce::AudioProcessor::setTypeOfNextNewPlugin(juce::AudioProcessor::wrapperType_Undefined);
            throw;
        }
        juce::AudioProcessor::setTypeOfNextNewPlugin(juce::AudioProcessor::wrapperType_Undefined);

        if (newProcessor == nullptr)
            return nullptr;

        auto* instance = new VstPluginInstance(host, std::move(newProcessor));
        guiLayer.handOver();
        return instance->getEffect();
    }
    catch (...)
    {
        return nullptr;
    }
}

VstPluginInstance* VstPluginInstance::fromEffect(AEffect* effect) noexcept
{
    if (effect == nullptr || effect->magic != kEffectMagic)
        return nullptr;
    return static_cast<VstPluginInstance*>(effect->object);
}

VstPluginInstance::VstPluginInstance(audioMasterCallback host, std::unique_ptr<juce::AudioProcessor> processorToOwn)
    : hostCallback(host)
    , processor(std::move(processorToOwn))
{
    VARNOKE_LEGACY_API_BEGIN
    const int numParameters = processor->getNumParameters();
    VARNOKE_LEGACY_API_END
    const int numPrograms = processor->getNumPrograms();

    processor->setPlayConfigDetails(identity::maxInputs, identity::maxOutputs, 0.0, 0);
    processor->setPlayHead(this);
    processor->addListener(this);

    auto& effect = record.effect;
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatcherEntry;
    effect.process = processEntry;
    effect.setParameter = setParameterEntry;
    effect.getParameter = getParameterEntry;
    effect.processReplacing = processReplacingEntry;
    effect.processDoubleReplacing = processDoubleReplacingEntry;
    effect.float1 = 1.0f;  // ioRatio
    effect.object = this;
    effect.version = identity::vendorVersion;
    effect.uniqueID = identity::uniqueId;
    effect.numPrograms = numPrograms;
    effect.numParams = numParameters;
    effect.numInputs = identity::maxInputs;
    effect.numOutputs = identity::maxOutputs;

    VstIntPtr flags = effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks;
    if (tailIsSilent(processor->getTailLengthSeconds()))
        flags |= effFlagsNoSoundInStop;
    effect.flags = flags;
    effect.initialDelay = processor->getLatencySamples();

    ProcessLifetime::addInstance(this);
}

VstPluginInstance::~VstPluginInstance()
{
    processor->removeListener(this);
    processor->setPlayHead(nullptr);
    processor.reset();
    ProcessLifetime::removeInstance(this);
}

void VstPluginInstance::close()
{
    // From here on the host hears nothing more from this instance.
    shuttingDown = true;
    ProcessLifetime::removeInstance(this);
    releaseChunk();

    // The timer and the editor belong to the message thread: they are only
    // ever torn down there.
    const auto tearDownEditor = [this]
    {
        stopTimer();
        deleteEditor();
    };
    if (editorContainer != nullptr || isTimerRunning())
    {
        const bool tornDown = message_thread::runExclusively(tearDownEditor) ||
                              (ProcessLifetime::isOnlyGuiUser() && message_thread::takeOverForLastUser() &&
                               message_thread::runExclusively(tearDownEditor));
        if (!tornDown)
        {
            // The message thread is busy and other instances still need it.
            // It deletes the instance, editor and timer included, when it is
            // free again; until then nothing of it reaches the host.
            message_thread::runOnMessageThreadWhenFree(
                [this, tearDownEditor]
                {
                    tearDownEditor();
                    delete this;
                    ProcessLifetime::release();
                });
            return;
        }
    }

    // Instances handed over earlier go first, while this one keeps the GUI layer up.
    message_thread::runHandedOverWork();
    delete this;
    ProcessLifetime::release();
}

//==============================================================================
VstIntPtr VstPluginInstance::dispatcherEntry(AEffect* effect, int opcode, int index, VstIntPtr value, void* ptr,
                                             float opt)
{
    auto* instance = fromEffect(effect);
    if (instance == nullptr || instance->shuttingDown)
        return 0;

    try
    {
        return instance->dispatch(opcode, index, value, ptr, opt);
    }
    catch (...)
    {
        return 0;  // nothing may unwind into the host
    }
}

VstIntPtr VstPluginInstance::dispatch(int opcode, int index, VstIntPtr value, void* ptr, float opt)
{
    switch (static_cast<EffectOpcode>(opcode))
    {
    case EffectOpcode::open: setHasEditorFlag(processor->hasEditor()); return 0;
    case EffectOpcode::close: close(); return 1;

    case EffectOpcode::setProgram:
        if (value >= 0 && value < record.effect.numPrograms)
            processor->setCurrentProgram(static_cast<int>(value));
        return 0;
    case EffectOpcode::getProgram: return processor->getCurrentProgram();
    case EffectOpcode::setProgramName:
        // JUCE's UTF-8 decoding runs past the end of a string that is not UTF-8.
        if (const auto* name = static_cast<const char*>(ptr);
            name != nullptr && juce::CharPointer_UTF8::isValidString(name, static_cast<int>(std::strlen(name))))
            processor->changeProgramName(processor->getCurrentProgram(), juce::String::fromUTF8(name));
        return 0;
    case EffectOpcode::getProgramName:
        writeString(processor->getProgramName(processor->getCurrentProgram()), ptr, identity::programNameBytes);
        return 0;
    case EffectOpcode::getProgramNameIndexed:
        if (index >= 0 && index < record.effect.numPrograms)
        {
            writeString(processor->getProgramName(index), ptr, identity::programNameBytes);
            return 1;
        }
        return 0;

    case EffectOpcode::getParamLabel: copyUtf8("", static_cast<char*>(ptr), 1); return 0;
    case EffectOpcode::getParamDisplay:
        VARNOKE_LEGACY_API_BEGIN
        writeString(processor->getParameterText(index), ptr, identity::paramDisplayBytes);
        VARNOKE_LEGACY_API_END
        return 0;
    case EffectOpcode::getParamName:
        VARNOKE_LEGACY_API_BEGIN
        writeString(processor->getParameterName(index), ptr, identity::paramNameBytes);
        VARNOKE_LEGACY_API_END
        return 0;
    case EffectOpcode::canBeAutomated:
        VARNOKE_LEGACY_API_BEGIN
        return processor->isParameterAutomatable(index) ? 1 : 0;
        VARNOKE_LEGACY_API_END

    case EffectOpcode::setSampleRate: hostSampleRate = opt; return 0;
    case EffectOpcode::setBlockSize: hostBlockSize = clampToInt(value); return 0;
    case EffectOpcode::mainsChanged:
        if (value != 0)
            resume();
        else
            suspend();
        return 0;

    case EffectOpcode::editGetRect: return editGetRect(ptr);
    case EffectOpcode::editOpen: return editOpen(ptr);
    case EffectOpcode::editClose: return editClose();
    case EffectOpcode::editIdle: message_thread::dispatchPendingMessages(); return 0;

    case EffectOpcode::identify: return identity::identifyAnswer;
    case EffectOpcode::getChunk: return getChunk(index, ptr);
    case EffectOpcode::setChunk: return setChunk(index, value, ptr);
    case EffectOpcode::processEvents: return 0;

    case EffectOpcode::getInputProperties: return getPinProperties(true, index, ptr);
    case EffectOpcode::getOutputProperties: return getPinProperties(false, index, ptr);
    case EffectOpcode::getPlugCategory: return identity::plugCategoryEffect;
    case EffectOpcode::setSpeakerArrangement: return setSpeakerArrangement(value, ptr);
    case EffectOpcode::getSpeakerArrangement:
        if (auto** inputArrangement = reinterpret_cast<VstSpeakerArrangement**>(value))
            *inputArrangement = nullptr;
        if (auto** outputArrangement = static_cast<VstSpeakerArrangement**>(ptr))
            *outputArrangement = nullptr;
        return 0;

    case EffectOpcode::setBypass: bypassed = (value != 0); return 1;

    case EffectOpcode::getEffectName:
        copyUtf8(identity::effectName, static_cast<char*>(ptr), identity::effectNameBytes);
        return 1;
    case EffectOpcode::getVendorString:
        copyUtf8(identity::vendorString, static_cast<char*>(ptr), identity::effectNameBytes);
        return 1;
    case EffectOpcode::getProductString:
        copyUtf8(identity::productString, static_cast<char*>(ptr), identity::effectNameBytes);
        return 1;
    case EffectOpcode::getVendorVersion: return identity::vendorVersion;
    case EffectOpcode::canDo: return answerCanDo(static_cast<const char*>(ptr));

    case EffectOpcode::getTailSize:
    {
        const double tailSeconds = processor->getTailLengthSeconds();
        if (tailIsSilent(tailSeconds))
            return 0;
        const double samples = std::min(static_cast<double>(hostSampleRate) * tailSeconds,
                                        static_cast<double>(std::numeric_limits<int>::max()));
        return std::isfinite(samples) ? static_cast<VstIntPtr>(samples) : 0;
    }
    case EffectOpcode::getVstVersion: return identity::vstVersion;
    case EffectOpcode::getCurrentMidiProgram: return -1;
    case EffectOpcode::setTotalSampleToProcess: return value;
    case EffectOpcode::setProcessPrecision: return 0;  // double precision is refused
    case EffectOpcode::getNumMidiInputChannels:
    case EffectOpcode::getNumMidiOutputChannels: return 0;
    }

    return 0;  // every other opcode does nothing
}

VstIntPtr VstPluginInstance::callHost(HostOpcode opcode, int index, VstIntPtr value, void* ptr, float opt) const
{
    if (shuttingDown)
        return 0;
    return vst::callHost(hostCallback, const_cast<AEffect*>(&record.effect), opcode, index, value, ptr, opt);
}

//==============================================================================
void VstPluginInstance::setParameterEntry(AEffect* effect, int index, float value)
{
    auto* instance = fromEffect(effect);
    if (instance == nullptr || instance->shuttingDown)
        return;

    VARNOKE_LEGACY_API_BEGIN
    instance->processor->setParameter(index, value);
    VARNOKE_LEGACY_API_END
}

float VstPluginInstance::getParameterEntry(AEffect* effect, int index)
{
    auto* instance = fromEffect(effect);
    if (instance == nullptr || instance->shuttingDown)
        return 0.0f;

    VARNOKE_LEGACY_API_BEGIN
    return instance->processor->getParameter(index);
    VARNOKE_LEGACY_API_END
}

// The deprecated accumulating call and double precision produce nothing.
void VstPluginInstance::processEntry(AEffect*, float**, float**, int) {}

void VstPluginInstance::processDoubleReplacingEntry(AEffect*, double**, double**, int) {}

void VstPluginInstance::processReplacingEntry(AEffect* effect, float** inputs, float** outputs, int numFrames)
{
    auto* instance = fromEffect(effect);
    if (instance == nullptr || instance->shuttingDown)
        return;

    try
    {
        instance->processReplacing(inputs, outputs, numFrames);
    }
    catch (...)
    {
        // Nothing may unwind into the host's audio thread. Only a switch-on
        // made here, for a host that never made one, could throw (out of memory).
        instance->writeSilence(outputs, numFrames);
    }
}

//==============================================================================
bool VstPluginInstance::isProcessLevelOffline() const
{
    return callHost(HostOpcode::getCurrentProcessLevel) == vst::processLevelOffline;
}

void VstPluginInstance::resume()
{
    // The processor is told the rate it will play at, never one it cannot.
    const double sampleRate = playableSampleRate(static_cast<double>(hostSampleRate));
    const int blockSize = hostBlockSize;

    processor->setNonRealtime(isProcessLevelOffline());
    processor->setPlayConfigDetails(numInputs, numOutputs, sampleRate, blockSize);
    processor->prepareToPlay(sampleRate, blockSize);
    record.effect.initialDelay = processor->getLatencySamples();

    inPlaceChannels.prepare(blockSize);

    hasResumed = true;
    firstBlockAfterResume = true;
}

void VstPluginInstance::suspend()
{
    processor->releaseResources();
}

void VstPluginInstance::processReplacing(const float* const* inputs, float* const* outputs, int numFrames)
{
    if (outputs == nullptr || numFrames <= 0)
        return;

    if (!hasResumed)
        resume();  // the host never switched the plug-in on
    if (firstBlockAfterResume.exchange(false))
        processor->setNonRealtime(isProcessLevelOffline());

    const juce::ScopedLock callbackLock(processor->getCallbackLock());
    const int numChannels = std::min(std::max(numInputs, numOutputs), static_cast<int>(maxChannels));

    for (int channel = 0; channel < numChannels; ++channel)
        if (outputs[channel] == nullptr)
            return;

    if (processor->isSuspended())
    {
        writeSilence(outputs, numFrames);
        return;
    }

    inPlaceChannels.process(inputs, numInputs, outputs, numChannels, numFrames,
                            [this](float* const* channels, int frames) { runProcessor(channels, frames); });
}

void VstPluginInstance::writeSilence(float* const* outputs, int numFrames) const noexcept
{
    if (outputs == nullptr || numFrames <= 0)
        return;
    const int numChannels = std::min(std::max(numInputs, numOutputs), static_cast<int>(maxChannels));
    for (int channel = 0; channel < numChannels; ++channel)
        if (outputs[channel] != nullptr)
            std::fill_n(outputs[channel], numFrames, 0.0f);
}

void VstPluginInstance::runProcessor(float* const* channels, int numFrames)
{
    const int numChannels = std::min(std::max(numInputs, numOutputs), static_cast<int>(maxChannels));
    blockBuffer.setDataToReferTo(channels, numChannels, numFrames);
    midiBuffer.clear();

    if (bypassed)
        processor->processBlockBypassed(blockBuffer, midiBuffer);
    else
        processor->processBlock(blockBuffer, midiBuffer);
}

//==============================================================================
VstIntPtr VstPluginInstance::getChunk(int index, void* ptr)
{
    if (ptr == nullptr)
        return 0;

    const std::lock_guard<std::mutex> lock(chunkMutex);
    chunk.reset();
    hasChunk = false;

    if (index == 0)
        processor->getStateInformation(chunk);
    else
        processor->getCurrentProgramStateInformation(chunk);

    *static_cast<void**>(ptr) = chunk.getData();
    chunkTime = juce::Time::getMillisecondCounter();
    hasChunk = true;
    return static_cast<VstIntPtr>(chunk.getSize());
}

VstIntPtr VstPluginInstance::setChunk(int index, VstIntPtr size, void* data)
{
    releaseChunk();

    if (size <= 0 || size > std::numeric_limits<int>::max() || data == nullptr)
        return 0;

    if (index == 0)
        processor->setStateInformation(data, static_cast<int>(size));
    else
        processor->setCurrentProgramStateInformation(data, static_cast<int>(size));
    return 0;
}

void VstPluginInstance::releaseChunk()
{
    const std::lock_guard<std::mutex> lock(chunkMutex);
    chunk.reset();
    hasChunk = false;
}

//==============================================================================
VstIntPtr VstPluginInstance::setSpeakerArrangement(VstIntPtr inputValue, void* outputPtr)
{
    const auto* inputArrangement = reinterpret_cast<const VstSpeakerArrangement*>(inputValue);
    const auto* outputArrangement = static_cast<const VstSpeakerArrangement*>(outputPtr);

    if (inputArrangement != nullptr && outputArrangement != nullptr)
    {
        for (auto config = identity::channelConfigurations.rbegin(); config != identity::channelConfigurations.rend();
             ++config)
        {
            if (config->inputs != inputArrangement->numChannels || config->outputs != outputArrangement->numChannels)
                continue;

            inputArrangementType = inputArrangement->type;
            outputArrangementType = outputArrangement->type;
            numInputs = config->inputs;
            numOutputs = config->outputs;
            processor->setPlayConfigDetails(numInputs, numOutputs, processor->getSampleRate(),
                                            processor->getBlockSize());
            inputArrangementName = arrangementName(inputArrangementType);
            outputArrangementName = arrangementName(outputArrangementType);
            return 1;
        }
    }

    inputArrangementName.clear();
    outputArrangementName.clear();
    return 0;
}

VstIntPtr VstPluginInstance::getPinProperties(bool isInput, int index, void* ptr)
{
    auto* properties = static_cast<VstPinProperties*>(ptr);
    if (properties == nullptr || index < 0 || index >= (isInput ? identity::maxInputs : identity::maxOutputs))
        return 0;

    VARNOKE_LEGACY_API_BEGIN
    const juce::String name = isInput ? processor->getInputChannelName(index) : processor->getOutputChannelName(index);
    const bool isStereoPair =
        isInput ? processor->isInputChannelStereoPair(index) : processor->isOutputChannelStereoPair(index);
    VARNOKE_LEGACY_API_END

    writeString(name, properties->label, identity::pinLabelBytes);
    writeString(name, properties->shortLabel, identity::pinShortLabelBytes);

    const int arrangementType = isInput ? inputArrangementType : outputArrangementType;
    if (arrangementType == vst::speakerArrEmpty)
    {
        properties->flags = vst::pinIsActive | (isStereoPair ? vst::pinIsStereo : 0);
        properties->arrangementType = 0;
    }
    else
    {
        properties->flags = vst::pinUseSpeaker;
        properties->arrangementType = arrangementType;
    }
    return 1;
}

//==============================================================================
void VstPluginInstance::setHasEditorFlag(bool hasEditor) noexcept
{
    if (hasEditor)
        record.effect.flags |= effFlagsHasEditor;
    else
        record.effect.flags &= ~static_cast<VstIntPtr>(effFlagsHasEditor);
}

bool VstPluginInstance::isModalComponentShowing()
{
    auto* modalManager = juce::ModalComponentManager::getInstanceWithoutCreating();
    return modalManager != nullptr && modalManager->getNumModalComponents() > 0;
}

bool VstPluginInstance::createEditorContainer()
{
    EditorContainer::prepareWindowSystem();
    std::unique_ptr<juce::AudioProcessorEditor> editor(processor->createEditorIfNeeded());
    setHasEditorFlag(editor != nullptr);
    if (editor == nullptr)
        return false;

    editorContainer = std::make_unique<EditorContainer>(std::move(editor), static_cast<EditorHostLink&>(*this));
    // VST 2.4 hosts give no scale: the user's choice, else the desktop's.
    // effEditGetRect answers the scaled size; a change while the window is
    // shown goes to the host as audioMasterSizeWindow (editorSizeChanged).
    editorContainer->followScale(std::nullopt);
    return true;
}

void VstPluginInstance::deleteEditor()
{
    editorDeletionPending = false;
    editorContainer.reset();
}

VstIntPtr VstPluginInstance::editGetRect(void* ptr)
{
    VstIntPtr answer = 0;
    message_thread::runExclusively(
        [&]
        {
            if (editorContainer == nullptr && !createEditorContainer())
                return;

            editorRect.top = 0;
            editorRect.left = 0;
            editorRect.bottom = static_cast<short>(editorContainer->getHeight());
            editorRect.right = static_cast<short>(editorContainer->getWidth());
            if (ptr != nullptr)
                *static_cast<ERect**>(ptr) = &editorRect;
            answer = reinterpret_cast<VstIntPtr>(&editorRect);
        });
    return answer;
}

VstIntPtr VstPluginInstance::editOpen(void* hostWindow)
{
    VstIntPtr answer = 0;
    message_thread::runExclusively(
        [&]
        {
            startTimer(timerIntervalMilliseconds);
            deleteEditor();
            if (!EditorContainer::canAttachTo(hostWindow) || !createEditorContainer())
                return;

            editorContainer->attachToHostWindow(hostWindow);
            answer = 1;
        });
    return answer;
}

VstIntPtr VstPluginInstance::editClose()
{
    const bool ran = message_thread::runExclusively(
        [this]
        {
            if (isModalComponentShowing())
                editorDeletionPending = true;  // the timer deletes it once the modal component is gone
            else
                deleteEditor();
        });
    if (!ran)
        editorDeletionPending = true;
    return 0;
}

void VstPluginInstance::timerCallback()
{
    if (shuttingDown)
        return;

    for (; deferredHostRefreshes > 0 && !message_thread::isDispatchOverdue(); --deferredHostRefreshes)
        tellHostOfChange();

    if (editorDeletionPending && !isModalComponentShowing())
        deleteEditor();

    {
        const std::lock_guard<std::mutex> lock(chunkMutex);
        if (hasChunk && juce::Time::getMillisecondCounter() - chunkTime > chunkLifetimeMilliseconds)
        {
            chunk.reset();
            hasChunk = false;
        }
    }

    idleHostWhileMouseHeld();
}

void VstPluginInstance::editorSizeChanged(int width, int height)
{
    if (callHost(HostOpcode::canDo, 0, 0, const_cast<char*>("sizeWindow")) != 0)
        callHost(HostOpcode::sizeWindow, width, height);
}

void VstPluginInstance::editorRepainted()
{
    idleHostWhileMouseHeld();
}

void VstPluginInstance::idleHostWhileMouseHeld()
{
    if (editorContainer == nullptr || !editorContainer->isAttached())
        return;
    if (!juce::ModifierKeys::getCurrentModifiersRealtime().isAnyMouseButtonDown())
        return;

    const auto now = juce::Time::getMillisecondCounter();
    if (now - lastIdleTime > idleSpacingMilliseconds)
    {
        lastIdleTime = now;
        callHost(HostOpcode::idle);
    }
}

//==============================================================================
void VstPluginInstance::audioProcessorParameterChanged(juce::AudioProcessor*, int index, float newValue)
{
    callHost(HostOpcode::automate, index, 0, nullptr, newValue);
}

void VstPluginInstance::audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&)
{
    record.effect.initialDelay = processor->getLatencySamples();

    // A host may answer by reopening the editor, whose knobs then queue their
    // write-backs, which come here again: past the idle call's time the news
    // waits for the timer (each piece of it, in order), so that the idle call ends.
    if (message_thread::isDispatchOverdue())
    {
        ++deferredHostRefreshes;
        if (!isTimerRunning())
            startTimer(timerIntervalMilliseconds);
        return;
    }
    tellHostOfChange();
}

void VstPluginInstance::tellHostOfChange()
{
    callHost(HostOpcode::ioChanged);
    callHost(HostOpcode::updateDisplay);
}

void VstPluginInstance::audioProcessorParameterChangeGestureBegin(juce::AudioProcessor*, int index)
{
    callHost(HostOpcode::beginEdit, index);
}

void VstPluginInstance::audioProcessorParameterChangeGestureEnd(juce::AudioProcessor*, int index)
{
    callHost(HostOpcode::endEdit, index);
}

juce::Optional<juce::AudioPlayHead::PositionInfo> VstPluginInstance::getPosition() const
{
    const auto* time = reinterpret_cast<const VstTimeInfo*>(callHost(HostOpcode::getTime, 0, vst::timeInfoAllFields));
    if (time == nullptr)
        return {};

    using namespace vst::time_info_flags;
    PositionInfo info;
    info.setTimeInSamples(static_cast<juce::int64>(time->samplePos));
    if (time->sampleRate > 0.0)
        info.setTimeInSeconds(time->samplePos / time->sampleRate);
    if ((time->flags & tempoValid) != 0)
        info.setBpm(time->tempo);
    if ((time->flags & timeSigValid) != 0)
        info.setTimeSignature(juce::AudioPlayHead::TimeSignature{time->timeSigNumerator, time->timeSigDenominator});
    if ((time->flags & ppqPosValid) != 0)
        info.setPpqPosition(time->ppqPos);
    if ((time->flags & barsValid) != 0)
        info.setPpqPositionOfLastBarStart(time->barStartPos);
    if ((time->flags & cyclePosValid) != 0)
        info.setLoopPoints(juce::AudioPlayHead::LoopPoints{time->cycleStartPos, time->cycleEndPos});
    info.setIsPlaying((time->flags & transportPlaying) != 0);
    info.setIsRecording((time->flags & transportRecording) != 0);
    info.setIsLooping((time->flags & transportCycleActive) != 0);
    return info;
}
}  // namespace varnoke
