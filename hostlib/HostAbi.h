#pragma once

// The VST 2.4 numbers a host uses, written out independently of the plug-in's
// own table so the tests catch a wrong number on either side. Record layouts
// come from FST; records that FST declares shorter than the original are
// allocated at the original size.

#include <pluginterfaces/fst/aeffectx.h>

#include <cstddef>

namespace varnoke::host
{
enum Opcode : int
{
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effGetProgramNameIndexed = 29,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effSetSpeakerArrangement = 42,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effCanDo = 51,
    effGetTailSize = 52,
    effGetVstVersion = 58,
    effGetCurrentMidiProgram = 63,
    effGetSpeakerArrangement = 69,
    effSetTotalSampleToProcess = 73,
    effSetProcessPrecision = 77,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79
};

enum HostOpcode : int
{
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterIdle = 3,
    audioMasterGetTime = 7,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterCanDo = 37,
    audioMasterUpdateDisplay = 42
};

// The bits of AEffect::flags.
enum EffectFlag : int
{
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12
};

constexpr int speakerArrEmpty = -1;
constexpr int speakerArrMono = 0;
constexpr int speakerArrStereo = 1;
constexpr int speakerArr51 = 15;  // a six-channel layout

constexpr std::size_t originalEffectSize = 192;
constexpr std::size_t originalPinPropertiesSize = 128;
constexpr std::size_t originalSpeakerArrangementSize = 8 + 8 * 112;

// A speaker arrangement at the original record's full size.
struct SpeakerArrangementStorage
{
    alignas(VstSpeakerArrangement) unsigned char bytes[originalSpeakerArrangementSize] = {};

    SpeakerArrangementStorage(int type, int numChannels)
    {
        get()->type = type;
        get()->numChannels = numChannels;
    }
    VstSpeakerArrangement* get() { return reinterpret_cast<VstSpeakerArrangement*>(bytes); }
};

// Pin properties at the original record's full size.
struct PinPropertiesStorage
{
    alignas(VstPinProperties) unsigned char bytes[originalPinPropertiesSize] = {};

    VstPinProperties* get() { return reinterpret_cast<VstPinProperties*>(bytes); }
};
}  // namespace varnoke::host
