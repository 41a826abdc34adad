// The dispatcher's answers, opcode by opcode, as a host sees them.

#include "HostTestFixture.h"

#include <cstring>
#include <string>

namespace varnoke::test
{
namespace
{
using DispatcherTest = HostTest;

struct ScalarCase
{
    const char* name;
    int opcode;
    int index;
    VstIntPtr value;
    VstIntPtr expected;
};

TEST_F(DispatcherTest, ScalarAnswers)
{
    const ScalarCase cases[] = {
        {"effIdentify", effIdentify, 0, 0, 0x4E764566},
        {"effGetPlugCategory", effGetPlugCategory, 0, 0, 1},
        {"effGetVendorVersion", effGetVendorVersion, 0, 0, 100},
        {"effGetVstVersion", effGetVstVersion, 0, 0, 2400},
        {"effGetTailSize", effGetTailSize, 0, 0, 0},
        {"effGetCurrentMidiProgram", effGetCurrentMidiProgram, 0, 0, -1},
        {"effSetTotalSampleToProcess", effSetTotalSampleToProcess, 0, 12345, 12345},
        {"effSetProcessPrecision double", effSetProcessPrecision, 0, 1, 0},
        {"effSetProcessPrecision single", effSetProcessPrecision, 0, 0, 0},
        {"effGetNumMidiInputChannels", effGetNumMidiInputChannels, 0, 0, 0},
        {"effGetNumMidiOutputChannels", effGetNumMidiOutputChannels, 0, 0, 0},
        {"effCanBeAutomated 0", effCanBeAutomated, 0, 0, 1},
        {"effCanBeAutomated 2", effCanBeAutomated, 2, 0, 1},
        {"effGetProgram", effGetProgram, 0, 0, 0},
        {"effProcessEvents", effProcessEvents, 0, 0, 0},
        {"effSetBypass on", effSetBypass, 0, 1, 1},
        {"effSetBypass off", effSetBypass, 0, 0, 1},
        {"effSetSampleRate", effSetSampleRate, 0, 0, 0},
        {"effSetBlockSize", effSetBlockSize, 0, 512, 0},
        {"effMainsChanged on", effMainsChanged, 0, 1, 0},
        {"effMainsChanged off", effMainsChanged, 0, 0, 0},
    };

    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, dispatch(effect, c.opcode, c.index, c.value, nullptr, 48000.0f)) << c.name;
}

// Opcodes the plug-in ignores answer 0 and leave the host's memory alone.
TEST_F(DispatcherTest, IgnoredOpcodesAnswerZeroAndWriteNothing)
{
    std::vector<int> ignored = {9, 16, 17, 18, 20, 21, 27, 28, 30, 31, 32, 43, 46, 50};
    for (int opcode = 36; opcode <= 41; ++opcode)
        ignored.push_back(opcode);
    for (int opcode = 53; opcode <= 57; ++opcode)
        ignored.push_back(opcode);
    for (int opcode : {59, 60, 61, 62, 64, 65, 66, 67, 68, 70, 71, 72, 74, 75, 76, 80, 81, 100, 1000, 100044, -1})
        ignored.push_back(opcode);

    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    for (int opcode : ignored)
    {
        unsigned char memory[1024];
        std::memset(memory, 0xAB, sizeof memory);
        EXPECT_EQ(0, dispatch(effect, opcode, 1, 1, memory, 1.0f)) << "opcode " << opcode;
        for (unsigned char byte : memory)
            ASSERT_EQ(0xAB, byte) << "opcode " << opcode << " wrote to the host's memory";
    }
    EXPECT_EQ(0x231, effect->flags);
}

struct StringCase
{
    const char* name;
    int opcode;
    int index;
    VstIntPtr expectedAnswer;
    std::string expectedText;
};

TEST_F(DispatcherTest, StringAnswers)
{
    const StringCase cases[] = {
        {"effGetEffectName", effGetEffectName, 0, 1, "Varnoke"},
        {"effGetProductString", effGetProductString, 0, 1, "Varnoke"},
        {"effGetVendorString", effGetVendorString, 0, 1, "Ostrelund"},
        {"effGetParamName 0", effGetParamName, 0, 0, "Low Contour"},
        {"effGetParamName 1", effGetParamName, 1, 0, "Process"},
        {"effGetParamName 2", effGetParamName, 2, 0, "Output"},
        {"effGetParamName 3", effGetParamName, 3, 0, "CV"},
        {"effGetParamName 5", effGetParamName, 5, 0, "What"},
        {"effGetParamLabel 0", effGetParamLabel, 0, 0, ""},
        {"effGetParamLabel 2", effGetParamLabel, 2, 0, ""},
        {"effGetParamDisplay 0", effGetParamDisplay, 0, 0, ""},
        {"effGetParamDisplay 1", effGetParamDisplay, 1, 0, ""},
        {"effGetProgramName", effGetProgramName, 0, 0, ""},
    };

    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    for (const auto& c : cases)
    {
        char text[256];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(c.expectedAnswer, dispatch(effect, c.opcode, c.index, 0, text)) << c.name;
        EXPECT_EQ(c.expectedText, std::string(text)) << c.name;
        // Nothing is written past the terminator.
        EXPECT_EQ('x', text[c.expectedText.size() + 1]) << c.name;
    }
}

TEST_F(DispatcherTest, CanDoTable)
{
    const std::pair<const char*, VstIntPtr> cases[] = {
        {"receiveVstEvents", -1},
        {"receiveVstMidiEvent", -1},
        {"receiveVstMidiEvents", -1},
        {"sendVstEvents", -1},
        {"sendVstMidiEvent", -1},
        {"sendVstMidiEvents", -1},
        {"receiveVstTimeInfo", 1},
        {"conformsToWindowRules", 1},
        {"bypass", 1},
        {"openCloseAnyThread", -1},
        {"sizeWindow", 0},
        {"Bypass", 0},
        {"BYPASS", 0},
        {"bypass ", 0},
        {"", 0},
        {"midiProgramNames", 0},
        {"receiveVstTimeInfo2", 0},
        {"offline", 0},
    };

    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    for (const auto& [capability, expected] : cases)
        EXPECT_EQ(expected, dispatch(effect, effCanDo, 0, 0, const_cast<char*>(capability)))
            << '"' << capability << '"';
    EXPECT_EQ(0, dispatch(effect, effCanDo, 0, 0, nullptr));
}

TEST_F(DispatcherTest, NoProgramsToSelectOrName)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);

    for (VstIntPtr program : {0, 1, -1, 7})
    {
        EXPECT_EQ(0, dispatch(effect, effSetProgram, 0, program));
        EXPECT_EQ(0, dispatch(effect, effGetProgram));
    }
    char name[32] = "Renamed";
    EXPECT_EQ(0, dispatch(effect, effSetProgramName, 0, 0, name));
    std::memset(name, 'x', sizeof name);
    dispatch(effect, effGetProgramName, 0, 0, name);
    EXPECT_STREQ("", name);

    for (int index : {0, 1, 2, -1})
    {
        std::memset(name, 'x', sizeof name);
        EXPECT_EQ(0, dispatch(effect, effGetProgramNameIndexed, index, 0, name)) << index;
        EXPECT_EQ('x', name[0]) << index;
    }
}

TEST_F(DispatcherTest, PinPropertiesBeforeAnyArrangement)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);

    for (int opcode : {effGetInputProperties, effGetOutputProperties})
    {
        for (int index : {0, 1})
        {
            PinPropertiesStorage pin;
            ASSERT_EQ(1, dispatch(effect, opcode, index, 0, pin.get()));
            EXPECT_EQ(3, pin.get()->flags);  // active and stereo
            EXPECT_EQ(0, pin.get()->arrangementType);
            EXPECT_STREQ(std::to_string(index + 1).c_str(), pin.get()->label);
            EXPECT_STREQ(std::to_string(index + 1).c_str(), pin.get()->shortLabel);
        }

        PinPropertiesStorage untouched;
        std::memset(untouched.bytes, 0x5A, sizeof untouched.bytes);
        EXPECT_EQ(0, dispatch(effect, opcode, 2, 0, untouched.get()));
        for (unsigned char byte : untouched.bytes)
            ASSERT_EQ(0x5A, byte);
    }
}

struct ArrangementCase
{
    const char* name;
    int inputType, inputChannels, outputType, outputChannels;
    VstIntPtr expected;
};

TEST_F(DispatcherTest, SpeakerArrangements)
{
    const ArrangementCase cases[] = {
        {"mono", speakerArrMono, 1, speakerArrMono, 1, 1},
        {"stereo", speakerArrStereo, 2, speakerArrStereo, 2, 1},
        {"types not compared", speakerArrMono, 2, speakerArrMono, 2, 1},
        {"mono in, stereo out", speakerArrMono, 1, speakerArrStereo, 2, 0},
        {"stereo in, mono out", speakerArrStereo, 2, speakerArrMono, 1, 0},
        {"six channels", speakerArr51, 6, speakerArr51, 6, 0},
        {"empty", speakerArrEmpty, 0, speakerArrEmpty, 0, 0},
    };

    for (const auto& c : cases)
    {
        AEffect* effect = openInstance();
        ASSERT_NE(nullptr, effect);
        SpeakerArrangementStorage input(c.inputType, c.inputChannels);
        SpeakerArrangementStorage output(c.outputType, c.outputChannels);
        EXPECT_EQ(c.expected,
                  dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(input.get()), output.get()))
            << c.name;
        EXPECT_EQ(2, effect->numInputs) << c.name;
        EXPECT_EQ(2, effect->numOutputs) << c.name;

        PinPropertiesStorage pin;
        ASSERT_EQ(1, dispatch(effect, effGetOutputProperties, 1, 0, pin.get()));
        if (c.expected == 1)
        {
            EXPECT_EQ(4, pin.get()->flags) << c.name;  // use speaker
            EXPECT_EQ(c.outputType, pin.get()->arrangementType) << c.name;
        }
        else
        {
            EXPECT_EQ(3, pin.get()->flags) << c.name;
            EXPECT_EQ(0, pin.get()->arrangementType) << c.name;
        }
        closeInstance(effect);
    }
}

TEST_F(DispatcherTest, RefusedArrangementKeepsTheAcceptedOne)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    SpeakerArrangementStorage stereoIn(speakerArrStereo, 2), stereoOut(speakerArrStereo, 2);
    ASSERT_EQ(
        1, dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(stereoIn.get()), stereoOut.get()));
    SpeakerArrangementStorage monoIn(speakerArrMono, 1), stereoOut2(speakerArrStereo, 2);
    EXPECT_EQ(
        0, dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(monoIn.get()), stereoOut2.get()));
    EXPECT_EQ(0, dispatch(effect, effSetSpeakerArrangement, 0, 0, nullptr));

    PinPropertiesStorage pin;
    ASSERT_EQ(1, dispatch(effect, effGetInputProperties, 0, 0, pin.get()));
    EXPECT_EQ(4, pin.get()->flags);
    EXPECT_EQ(speakerArrStereo, pin.get()->arrangementType);
}

TEST_F(DispatcherTest, GetSpeakerArrangementClearsBothPointers)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    SpeakerArrangementStorage something(speakerArrStereo, 2);
    VstSpeakerArrangement* input = something.get();
    VstSpeakerArrangement* output = something.get();
    EXPECT_EQ(0, dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output));
    EXPECT_EQ(nullptr, input);
    EXPECT_EQ(nullptr, output);
}

// The processor gives an editor: the rectangle is its size and the editor
// flag stays set.
TEST_F(DispatcherTest, EditorRectangleIsTheEditorSize)
{
    if (!windowSystemAvailable())
        GTEST_SKIP() << "needs an X display (run under xvfb-run)";

    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    ERect* rect = nullptr;
    const VstIntPtr answer = dispatch(effect, effEditGetRect, 0, 0, &rect);
    ASSERT_NE(0, answer);
    ASSERT_EQ(reinterpret_cast<VstIntPtr>(rect), answer);
    EXPECT_EQ(1, effect->flags & 1);
    EXPECT_EQ(0, rect->top);
    EXPECT_EQ(0, rect->left);
    EXPECT_EQ(99, rect->bottom);
    EXPECT_EQ(420, rect->right);
    EXPECT_EQ(0, dispatch(effect, effEditClose));
    EXPECT_EQ(0, dispatch(effect, effEditIdle));
}
}  // namespace
}  // namespace varnoke::test
