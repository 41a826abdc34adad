#pragma once

// The VST 2.4 binary interface as the plug-in speaks it: the declarations come
// from FST, the opcode and constant numbers from the published table, because
// FST marks several of them as unknown and gives them placeholder values.

#include <pluginterfaces/fst/aeffectx.h>

#include <cstddef>

namespace varnoke::vst
{
// Host-to-plug-in dispatcher opcodes.
enum class EffectOpcode : int
{
    open = 0,
    close = 1,
    setProgram = 2,
    getProgram = 3,
    setProgramName = 4,
    getProgramName = 5,
    getParamLabel = 6,
    getParamDisplay = 7,
    getParamName = 8,
    setSampleRate = 10,
    setBlockSize = 11,
    mainsChanged = 12,
    editGetRect = 13,
    editOpen = 14,
    editClose = 15,
    editIdle = 19,
    identify = 22,
    getChunk = 23,
    setChunk = 24,
    processEvents = 25,
    canBeAutomated = 26,
    getProgramNameIndexed = 29,
    getInputProperties = 33,
    getOutputProperties = 34,
    getPlugCategory = 35,
    setSpeakerArrangement = 42,
    setBypass = 44,
    getEffectName = 45,
    getVendorString = 47,
    getProductString = 48,
    getVendorVersion = 49,
    canDo = 51,
    getTailSize = 52,
    getVstVersion = 58,
    getCurrentMidiProgram = 63,
    getSpeakerArrangement = 69,
    setTotalSampleToProcess = 73,
    setProcessPrecision = 77,
    getNumMidiInputChannels = 78,
    getNumMidiOutputChannels = 79
};

// Plug-in-to-host callback opcodes.
enum class HostOpcode : int
{
    automate = 0,
    version = 1,
    idle = 3,
    getTime = 7,
    ioChanged = 13,
    sizeWindow = 15,
    getCurrentProcessLevel = 23,
    canDo = 37,
    updateDisplay = 42,
    beginEdit = 43,
    endEdit = 44
};

enum PinFlags : int
{
    pinIsActive = 1,
    pinIsStereo = 2,
    pinUseSpeaker = 4
};

enum SpeakerArrangementType : int
{
    speakerArrEmpty = -1,
    speakerArrMono = 0,
    speakerArrStereo = 1
};

constexpr int processLevelOffline = 4;
constexpr int timeInfoAllFields = 0xFE00;  // the filter asked of audioMasterGetTime

// The flag bits of the time record (VstTimeInfo::flags), from the published table.
namespace time_info_flags
{
constexpr int transportPlaying = 1 << 1;
constexpr int transportCycleActive = 1 << 2;
constexpr int transportRecording = 1 << 3;
constexpr int ppqPosValid = 1 << 9;
constexpr int tempoValid = 1 << 10;
constexpr int barsValid = 1 << 11;
constexpr int cyclePosValid = 1 << 12;
constexpr int timeSigValid = 1 << 13;
}  // namespace time_info_flags

// Hosts built on the original declarations read 56 reserved bytes after the
// fields that FST declares, so the record is handed out with them zeroed.
constexpr std::size_t effectReservedBytes = 56;
static_assert(sizeof(AEffect) == 136, "FST's AEffect layout changed");

// Named fields that hosts read from the original, longer records.
static_assert(offsetof(VstPinProperties, shortLabel) == 72, "pin properties layout");
static_assert(sizeof(VstSpeakerProperties) == 112, "speaker properties layout");

inline VstIntPtr callHost(audioMasterCallback host, AEffect* effect, HostOpcode opcode, int index = 0,
                          VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
{
    return host != nullptr ? host(effect, static_cast<int>(opcode), index, value, ptr, opt) : 0;
}
}  // namespace varnoke::vst
