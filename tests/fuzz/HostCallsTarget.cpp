#include "EffectHarness.h"
#include "FuzzChecks.h"
#include "FuzzInput.h"
#include "FuzzTargets.h"
#include "StateChunkBytes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace varnoke::test::fuzz
{
namespace
{
using varnoke::test::dispatch;
using varnoke::test::Op;

constexpr int maxBlockFrames = 8192;

// The chunk source that builds a state from a repeated piece of text; the
// others stay as the committed scripts use them.
constexpr std::uint8_t repeatedTextSource = 0xfe;

// Original-size records: hosts built on the original declarations allocate these.
constexpr std::size_t pinPropertiesBytes = 128;
constexpr std::size_t speakerArrangementBytes = 904;

// Opcodes that take no pointer: any index, value and opt are within contract.
constexpr Op plainOpcodes[] = {Op::open,
                               Op::setProgram,
                               Op::getProgram,
                               Op::canBeAutomated,
                               Op::identify,
                               Op::getPlugCategory,
                               Op::getVendorVersion,
                               Op::getTailSize,
                               Op::getVstVersion,
                               Op::getCurrentMidiProgram,
                               Op::setTotalSampleToProcess,
                               Op::setProcessPrecision,
                               Op::getNumMidiInputChannels,
                               Op::getNumMidiOutputChannels,
                               Op::editIdle};

// Opcodes that write a string of at most this many bytes, terminator included.
struct StringOpcode
{
    Op opcode;
    std::size_t bytes;
};
constexpr StringOpcode stringOpcodes[] = {
    {Op::getProgramName, 24},        {Op::getParamLabel, 8},  {Op::getParamDisplay, 24}, {Op::getParamName, 16},
    {Op::getProgramNameIndexed, 24}, {Op::getEffectName, 32}, {Op::getVendorString, 64}, {Op::getProductString, 64}};

// The strings hosts ask about, and room for any other.
constexpr const char* canDoStrings[] = {
    "bypass",           "receiveVstTimeInfo",  "conformsToWindowRules", "sendVstEvents", "sendVstMidiEvent",
    "receiveVstEvents", "receiveVstMidiEvent", "openCloseAnyThread",    "sizeWindow",    ""};

// Floats a host or a file may send: the fuzzer's own bit patterns, and the
// special values often enough that every script meets them.
float takeFloat(FuzzInput& input)
{
    constexpr float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                                  -std::numeric_limits<float>::quiet_NaN(),
                                  std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::denorm_min(),
                                  std::numeric_limits<float>::max(),
                                  -0.0f,
                                  0.0f,
                                  0.5f,
                                  1.0f};
    const auto selector = input.take<std::uint8_t>();
    if (selector < std::size(specials))
        return specials[selector];
    return input.take<float>();
}

std::string takeString(FuzzInput& input, std::size_t maxLength)
{
    std::string text(input.below(static_cast<std::uint32_t>(maxLength) + 1), '\0');
    text.resize(input.takeBytes(text.data(), text.size()));
    return text;  // c_str() ends it; an embedded zero just ends it early
}

class HostCallScript
{
public:
    HostCallScript(const std::uint8_t* data, std::size_t size, varnoke::test::HostWindow& window)
        : input(data, size)
        , hostWindow(window)
        , effect(varnoke::test::createPlugin())
        , closeEditorFirst(size % 2 == 0)
    {
        FUZZ_CHECK(effect != nullptr);
    }

    void run()
    {
        dispatch(effect, Op::open);
        while (!input.isExhausted())
            step();
        // Hosts close the editor before the instance, but not always.
        if (editorOpen && closeEditorFirst)
            dispatch(effect, Op::editClose);
        dispatch(effect, Op::close);
    }

private:
    void step()
    {
        switch (input.below(16))
        {
        case 0: effect->setParameter(effect, takeIndex(), takeFloat(input)); break;
        case 1:
        {
            const float value = effect->getParameter(effect, takeIndex());
            (void)value;
            break;
        }
        case 2: processBlock(); break;
        case 3:
            dispatch(effect, plainOpcodes[input.below(std::size(plainOpcodes))], takeIndex(),
                     input.take<std::int32_t>(), nullptr, takeFloat(input));
            break;
        case 4: readString(); break;
        case 5: switchOnOff(); break;
        case 6:
            bypassed = (input.take<std::uint8_t>() & 1) != 0;
            dispatch(effect, Op::setBypass, 0, bypassed ? 1 : 0);
            break;
        case 7: setArrangement(); break;
        case 8: getArrangement(); break;
        case 9: readPin(); break;
        case 10: saveChunk(); break;
        case 11: restoreChunk(); break;
        case 12:
        {
            const auto which = input.below(std::size(canDoStrings) + 1);
            const std::string text = which < std::size(canDoStrings) ? canDoStrings[which] : takeString(input, 64);
            dispatch(effect, Op::canDo, 0, 0, const_cast<char*>(text.c_str()));
            break;
        }
        case 13: editor(); break;
        case 14: otherCalls(); break;
        default: unknownOpcode(); break;
        }
    }

    int takeIndex()
    {
        // Mostly near the parameters, sometimes anything.
        const auto selector = input.take<std::uint8_t>();
        if (selector < 240)
            return static_cast<int>(selector % 9) - 2;
        return input.take<std::int32_t>();
    }

    void processBlock()
    {
        const int limit = std::min(blockSize, maxBlockFrames);
        if (limit <= 0)
            return;
        const int frames = static_cast<int>(input.below(static_cast<std::uint32_t>(limit) + 1));

        // A short pattern of samples, repeated over the block.
        std::array<float, 8> pattern{};
        const auto patternLength = 1 + input.below(pattern.size());
        for (std::size_t i = 0; i < patternLength; ++i)
            pattern[i] = takeFloat(input);

        // Exactly sized host buffers: an overrun is a fault the sanitizer sees.
        std::vector<float> in0(static_cast<std::size_t>(frames)), in1(in0.size());
        std::vector<float> out0(in0.size(), 7.0f), out1(in0.size(), 7.0f);
        for (std::size_t i = 0; i < in0.size(); ++i)
        {
            in0[i] = pattern[i % patternLength];
            in1[i] = pattern[(i + 1) % patternLength];
        }

        float* inputs[] = {in0.data(), in1.data()};
        float* outputs[] = {out0.data(), out1.data()};
        switch (input.below(4))
        {
        case 0: break;  // separate buffers
        case 1:
            outputs[0] = in0.data();
            outputs[1] = in1.data();
            break;                                // in place
        case 2: outputs[1] = out0.data(); break;  // both outputs share memory
        default: outputs[0] = in1.data(); break;  // an output is another channel's input
        }
        effect->processReplacing(effect, inputs, outputs, frames);

        // Unless bypassed (which passes the host's own samples through), the
        // output never holds a subnormal float.
        if (!bypassed)
            for (int channel = 0; channel < processedChannels; ++channel)
                for (int i = 0; i < frames; ++i)
                    FUZZ_CHECK(std::fpclassify(outputs[channel][i]) != FP_SUBNORMAL);
    }

    void readString()
    {
        const StringOpcode& entry = stringOpcodes[input.below(std::size(stringOpcodes))];
        std::vector<char> text(entry.bytes, 'x');
        const VstIntPtr answer = dispatch(effect, entry.opcode, takeIndex(), 0, text.data());
        // A program name by index is written only for a program that exists.
        if (entry.opcode != Op::getProgramNameIndexed || answer != 0)
            FUZZ_CHECK(std::find(text.begin(), text.end(), '\0') != text.end());
    }

    void switchOnOff()
    {
        switch (input.below(3))
        {
        case 0: dispatch(effect, Op::setSampleRate, 0, 0, nullptr, takeFloat(input)); break;
        case 1:
            blockSize = takeBlockSize();
            dispatch(effect, Op::setBlockSize, 0, blockSize);
            break;
        default: dispatch(effect, Op::mainsChanged, 0, input.take<std::uint8_t>() & 1); break;
        }
    }

    // Any int a host may announce (the blocks it then passes stay bounded).
    // Mostly 16-bit sizes; the lowest 16-bit value brings a whole int, so the
    // committed scripts keep their meaning.
    int takeBlockSize()
    {
        const auto size = input.take<std::int16_t>();
        if (size != std::numeric_limits<std::int16_t>::min())
            return size;
        return input.take<std::int32_t>();
    }

    void setArrangement()
    {
        std::vector<unsigned char> in(speakerArrangementBytes), out(speakerArrangementBytes);
        auto* inArrangement = reinterpret_cast<VstSpeakerArrangement*>(in.data());
        auto* outArrangement = reinterpret_cast<VstSpeakerArrangement*>(out.data());
        constexpr int channelCounts[] = {1, 2, 0, 6, 8, -1};
        inArrangement->type = static_cast<int>(input.below(4)) - 1;
        inArrangement->numChannels = channelCounts[input.below(std::size(channelCounts))];
        outArrangement->type = static_cast<int>(input.below(4)) - 1;
        outArrangement->numChannels = channelCounts[input.below(std::size(channelCounts))];
        if (dispatch(effect, Op::setSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(inArrangement),
                     outArrangement) != 0)
            processedChannels = outArrangement->numChannels;
    }

    void getArrangement()
    {
        VstSpeakerArrangement* in = nullptr;
        VstSpeakerArrangement* out = nullptr;
        dispatch(effect, Op::getSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    }

    void readPin()
    {
        std::vector<unsigned char> properties(pinPropertiesBytes);
        const Op opcode = (input.take<std::uint8_t>() & 1) != 0 ? Op::getInputProperties : Op::getOutputProperties;
        dispatch(effect, opcode, takeIndex(), 0, properties.data());
    }

    void saveChunk()
    {
        void* data = nullptr;
        const VstIntPtr size = dispatch(effect, Op::getChunk, input.take<std::uint8_t>() & 1, 0, &data);
        FUZZ_CHECK(size > 0 && data != nullptr);
        // The host reads the whole block, as it would to store it.
        const auto* bytes = static_cast<const unsigned char*>(data);
        savedChunk.assign(bytes, bytes + size);
    }

    void restoreChunk()
    {
        std::vector<std::uint8_t> chunk;
        const auto source = input.take<std::uint8_t>();
        if (source == repeatedTextSource)
        {
            chunk = repeatedTextChunk();
        }
        else if ((source & 1) != 0 && !savedChunk.empty())
        {
            chunk = savedChunk;
            // A few bytes changed, as in a damaged project file.
            for (auto edits = input.below(4); edits > 0; --edits)
                chunk[input.below(static_cast<std::uint32_t>(chunk.size()))] = input.take<std::uint8_t>();
        }
        else
        {
            chunk.resize(input.below(512));
            chunk.resize(input.takeBytes(chunk.data(), chunk.size()));
        }
        const int index = input.take<std::uint8_t>() & 1;
        dispatch(effect, Op::setChunk, index, static_cast<VstIntPtr>(chunk.size()),
                 chunk.empty() ? nullptr : chunk.data());
    }

    // A state whose text repeats a short piece up to 65536 times, between a
    // head and a tail: large enough to reach every limit of the state reader.
    std::vector<std::uint8_t> repeatedTextChunk()
    {
        std::string text = takeString(input, 64);
        const std::string piece = takeString(input, 16);
        const auto times = static_cast<std::size_t>(input.take<std::uint16_t>()) + 1;
        text.reserve(text.size() + piece.size() * times + 64);
        for (std::size_t i = 0; i < times; ++i)
            text += piece;
        text += takeString(input, 64);
        return stateChunkWithText(text);
    }

    void editor()
    {
        switch (input.below(4))
        {
        case 0:
        {
            ERect* rect = nullptr;
            if (dispatch(effect, Op::editGetRect, 0, 0, &rect) != 0)
            {
                FUZZ_CHECK(rect != nullptr);
                FUZZ_CHECK(rect->right - rect->left == 420 && rect->bottom - rect->top == 99);
            }
            break;
        }
        case 1:
            // Without a display there is no host window to embed in.
            if (hostWindow.isAvailable())
                editorOpen = dispatch(effect, Op::editOpen, 0, 0, hostWindow.handle()) != 0;
            break;
        case 2:
            dispatch(effect, Op::editClose);
            editorOpen = false;
            break;
        default: dispatch(effect, Op::editIdle); break;
        }
    }

    void otherCalls()
    {
        switch (input.below(4))
        {
        case 0:
        {
            const std::string name = takeString(input, 32);
            dispatch(effect, Op::setProgramName, 0, 0, const_cast<char*>(name.c_str()));
            break;
        }
        case 1:
        {
            VstEvents events{};
            dispatch(effect, Op::processEvents, 0, 0, &events);
            break;
        }
        case 2:
        {
            // The deprecated calls must leave the outputs alone.
            std::vector<float> in(16, 0.5f), out(16, 3.0f);
            float* inputs[] = {in.data(), in.data()};
            float* outputs[] = {out.data(), out.data()};
            effect->process(effect, inputs, outputs, 16);
            FUZZ_CHECK(out[0] == 3.0f && out[15] == 3.0f);
            break;
        }
        default:
        {
            std::vector<double> in(16, 0.5), out(16, 3.0);
            double* inputs[] = {in.data(), in.data()};
            double* outputs[] = {out.data(), out.data()};
            effect->processDoubleReplacing(effect, inputs, outputs, 16);
            FUZZ_CHECK(out[0] == 3.0 && out[15] == 3.0);
            break;
        }
        }
    }

    // An opcode the plug-in does not know; a host might pass a buffer with it.
    void unknownOpcode()
    {
        const int opcode = input.take<std::int32_t>();
        // The known opcodes, with their contracts, are the other steps' business.
        constexpr int known[] = {1,  4,  5,  6,  7,  8,  10, 11, 12, 13, 14, 15,
                                 23, 24, 25, 29, 33, 34, 42, 45, 47, 48, 51, 69};
        if (std::find(std::begin(known), std::end(known), opcode) != std::end(known))
            return;
        std::vector<unsigned char> scratch(1024);
        dispatch(effect, static_cast<Op>(opcode), input.take<std::int32_t>(), 0, scratch.data(), takeFloat(input));
    }

    FuzzInput input;
    varnoke::test::HostWindow& hostWindow;
    AEffect* effect;
    int blockSize = 1024;
    const bool closeEditorFirst;
    bool editorOpen = false;
    bool bypassed = false;
    int processedChannels = 2;
    std::vector<unsigned char> savedChunk;
};
}  // namespace

void runHostCalls(const std::uint8_t* data, std::size_t size)
{
    keepGuiLayerUp();
    static varnoke::test::HostWindow hostWindow;
    HostCallScript(data, size, hostWindow).run();
}
}  // namespace varnoke::test::fuzz
