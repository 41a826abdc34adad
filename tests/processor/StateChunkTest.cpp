#include "StateChunk.h"
#include "VarnokeAudioProcessor.h"
#include "support/BitPatterns.h"
#include "support/StateChunkBytes.h"

#include <gtest/gtest.h>

#include <clocale>
#include <malloc.h>
#include <random>
#include <string>
#include <vector>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
using Bytes = std::vector<unsigned char>;

Bytes saveState(VarnokeAudioProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation(block);
    const auto* data = static_cast<const unsigned char*>(block.getData());
    return Bytes(data, data + block.getSize());
}

void restoreState(VarnokeAudioProcessor& processor, const Bytes& bytes)
{
    processor.setStateInformation(bytes.data(), static_cast<int>(bytes.size()));
}

void setLengthField(Bytes& bytes, juce::int32 length)
{
    const auto field = static_cast<juce::uint32>(length);
    const unsigned char little[] = {static_cast<unsigned char>(field), static_cast<unsigned char>(field >> 8),
                                    static_cast<unsigned char>(field >> 16), static_cast<unsigned char>(field >> 24)};
    std::copy(std::begin(little), std::end(little), bytes.begin() + 4);
}

const Bytes defaultChunk = {
    0x56, 0x43, 0x32, 0x21, 0x37, 0x00, 0x00, 0x00, 0x3c, 0x70, 0x75, 0x73, 0x68, 0x53, 0x74, 0x61,
    0x74, 0x65, 0x20, 0x6c, 0x6f, 0x77, 0x5f, 0x63, 0x6f, 0x6e, 0x74, 0x6f, 0x75, 0x72, 0x3d, 0x22,
    0x30, 0x22, 0x20, 0x70, 0x72, 0x6f, 0x63, 0x65, 0x73, 0x73, 0x3d, 0x22, 0x30, 0x22, 0x20, 0x6f,
    0x75, 0x74, 0x70, 0x75, 0x74, 0x5f, 0x67, 0x3d, 0x22, 0x30, 0x2e, 0x35, 0x22, 0x2f, 0x3e, 0x00,
};

// A processor whose every parameter and gain differs from the defaults.
void makeUnusual(VarnokeAudioProcessor& processor)
{
    processor.prepareToPlay(44100.0, 512);
    processor.setParameter(0, 0.8f);
    processor.setParameter(1, 0.6f);
    processor.setParameter(2, 0.9f);
    processor.setParameter(3, 0.1f);
    processor.setParameter(4, 1.0f);
}

void expectUnusual(VarnokeAudioProcessor& processor)
{
    EXPECT_SAME_BITS(0.8f, processor.getParameter(0));
    EXPECT_SAME_BITS(0.6f, processor.getParameter(1));
    EXPECT_SAME_BITS(0.9f, processor.getParameter(2));
    EXPECT_SAME_BITS(0.1f, processor.getParameter(3));
    EXPECT_SAME_BITS(1.0f, processor.getParameter(4));
    EXPECT_SAME_BITS(static_cast<double>(0.8f * 10.0f) * 0.5, processor.getLowGain());
    EXPECT_SAME_BITS(static_cast<double>(0.9f * 2.0f), processor.getOutputGain());
}

TEST(StateChunk, DefaultProcessorSavesTheSixtyFourKnownBytes)
{
    VarnokeAudioProcessor processor;
    EXPECT_EQ(defaultChunk, saveState(processor));
}

TEST(StateChunk, DoesNotDependOnCvOrNoiseFloor)
{
    VarnokeAudioProcessor a, b;
    b.setParameter(3, 0.7f);
    b.setParameter(4, 1.0f);
    EXPECT_EQ(saveState(a), saveState(b));
}

TEST(StateChunk, RestoringTheDefaultsResetsParametersAndGains)
{
    VarnokeAudioProcessor processor;
    makeUnusual(processor);
    restoreState(processor, defaultChunk);

    EXPECT_SAME_BITS(0.0f, processor.getParameter(0));
    EXPECT_SAME_BITS(0.0f, processor.getParameter(1));
    EXPECT_SAME_BITS(0.5f, processor.getParameter(2));
    EXPECT_SAME_BITS(0.0, processor.getLowGain());
    EXPECT_SAME_BITS(0.0, processor.getHighGain());
    EXPECT_SAME_BITS(1.0, processor.getOutputGain());
    // cv and the noise floor keep their values through a restore.
    EXPECT_SAME_BITS(0.1f, processor.getParameter(3));
    EXPECT_SAME_BITS(1.0f, processor.getParameter(4));
}

TEST(StateChunk, RoundTripsArbitraryFiniteValuesBitForBit)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<juce::uint32> anyBits;
    std::vector<float> values = {0.0f,          -0.0f, 1.0f,    0.3f,         1.0e-45f, 1.17549435e-38f,
                                 3.4028235e38f, -2.5f, 1.0e-5f, 123456789.0f, 1.0e20f,  0.1f};
    while (values.size() < 3000)
    {
        juce::uint32 bits = anyBits(random);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value))
            values.push_back(value);
    }

    for (size_t i = 0; i + 2 < values.size(); i += 3)
    {
        VarnokeAudioProcessor source, target;
        source.setParameter(0, values[i]);
        source.setParameter(1, values[i + 1]);
        source.setParameter(2, values[i + 2]);
        restoreState(target, saveState(source));
        ASSERT_SAME_BITS(values[i], target.getParameter(0));
        ASSERT_SAME_BITS(values[i + 1], target.getParameter(1));
        ASSERT_SAME_BITS(values[i + 2], target.getParameter(2));
    }
}

TEST(StateChunk, NumbersUseTwentySignificantDigitsInGeneralNotation)
{
    struct Case
    {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "0"},
        {0.5, "0.5"},
        {1.0, "1"},
        {static_cast<double>(0.3f), "0.30000001192092895508"},
        {0.0001, "0.00010000000000000000479"},
        {0.00001, "1.0000000000000000818e-05"},
        {1.0e20, "1e+20"},
        {12345678.0, "12345678"},
        {-2.5, "-2.5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(juce::String(c.text), state_chunk::formatNumber(c.value)) << c.text;
}

TEST(StateChunk, WritesAPointWhateverTheLocale)
{
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"};
    std::string previous = std::setlocale(LC_ALL, nullptr);
    for (const char* name : commaLocales)
    {
        if (std::setlocale(LC_ALL, name) != nullptr && *std::localeconv()->decimal_point == ',')
            break;
    }
    const bool commaLocale = *std::localeconv()->decimal_point == ',';

    VarnokeAudioProcessor processor;
    EXPECT_EQ(defaultChunk, saveState(processor));
    processor.setParameter(0, 0.25f);
    VarnokeAudioProcessor target;
    restoreState(target, saveState(processor));
    EXPECT_SAME_BITS(0.25f, target.getParameter(0));

    std::setlocale(LC_ALL, previous.c_str());
    if (!commaLocale)
        GTEST_SKIP() << "no locale with a decimal comma is installed; the point was checked in the C locale";
}

// Each of these must leave every parameter, gain and setting exactly as it was.
TEST(StateChunk, InvalidChunksChangeNothing)
{
    Bytes shortChunk(defaultChunk.begin(), defaultChunk.begin() + 8);
    Bytes wrongMagic = defaultChunk;
    wrongMagic[3] = 0x22;
    Bytes zeroLength = defaultChunk;
    setLengthField(zeroLength, 0);
    Bytes negativeLength = defaultChunk;
    setLengthField(negativeLength, -5);
    const Bytes notXml = stateChunkWithText("this is not xml");
    const Bytes emptyText = stateChunkWithText("");
    const Bytes zeroAtStart = stateChunkWithText(std::string("\0<pushState low_contour=\"1\"/>", 29));
    const Bytes invalidUtf8 = stateChunkWithText("<pushState low_contour=\"1\" x=\"\xff\xfe\"/>");

    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"one byte", {0x56}},
        {"eight bytes", shortChunk},
        {"wrong magic", wrongMagic},
        {"zero length", zeroLength},
        {"negative length", negativeLength},
        {"not xml", notXml},
        {"empty text", emptyText},
        {"zero byte before the text", zeroAtStart},
        {"invalid UTF-8", invalidUtf8},
    };
    for (const auto& [name, bytes] : cases)
    {
        SCOPED_TRACE(name);
        VarnokeAudioProcessor processor;
        makeUnusual(processor);
        restoreState(processor, bytes);
        expectUnusual(processor);
    }

    VarnokeAudioProcessor processor;
    makeUnusual(processor);
    processor.setStateInformation(nullptr, 64);
    expectUnusual(processor);
}

TEST(StateChunk, OtherTagAndMissingAttributesReadAsZero)
{
    VarnokeAudioProcessor processor;
    makeUnusual(processor);
    restoreState(processor, stateChunkWithText("<otherPlugin low_contour=\"1\"/>"));
    EXPECT_SAME_BITS(1.0f, processor.getParameter(0));
    EXPECT_SAME_BITS(0.0f, processor.getParameter(1));
    EXPECT_SAME_BITS(0.0f, processor.getParameter(2));
    EXPECT_SAME_BITS(0.0, processor.getOutputGain());
    EXPECT_SAME_BITS(5.0, processor.getLowGain());
}

TEST(StateChunk, LengthBeyondTheDataAndMissingTerminatorStillRestore)
{
    const std::string text = "<pushState low_contour=\"0.25\" process=\"7\" output_g=\"0.75\"/>";
    Bytes longLength = stateChunkWithText(text);
    setLengthField(longLength, 100000);
    const Bytes noTerminator = stateChunkWithText(text, false);
    Bytes trailingGarbageAfterZero = stateChunkWithText(text);
    setLengthField(trailingGarbageAfterZero, static_cast<juce::int32>(text.size() + 5));
    trailingGarbageAfterZero.insert(trailingGarbageAfterZero.end(), {'<', '<', '<', '<'});

    for (const Bytes& bytes : {longLength, noTerminator, trailingGarbageAfterZero})
    {
        VarnokeAudioProcessor processor;
        restoreState(processor, bytes);
        EXPECT_SAME_BITS(0.25f, processor.getParameter(0));
        EXPECT_SAME_BITS(7.0f, processor.getParameter(1));  // never clamped
        EXPECT_SAME_BITS(0.75f, processor.getParameter(2));
        EXPECT_SAME_BITS(35.0, processor.getHighGain());
    }
}

// JUCE's parser keeps every name it meets in a pool of names; states with
// ever-new attribute names used to grow the heap for good (by some 7 MB over
// these reads). The heap in use is compared before and after.
TEST(StateChunk, StatesWithEverNewNamesLeaveNoMemoryBehind)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' allocators keep their own books";
#endif
    int serial = 0;
    const auto readStatesWithNewNames = [&serial](int count)
    {
        for (int i = 0; i < count; ++i)
        {
            std::string text = R"(<pushState low_contour="0.5")";
            for (int name = 0; name < 100; ++name)
                text += " n" + std::to_string(serial++) + std::string(200, 'x') + "=\"\"";
            const auto chunk = stateChunkWithText(text + "/>");
            ASSERT_TRUE(state_chunk::read(chunk.data(), static_cast<int>(chunk.size())).has_value());
        }
    };
    readStatesWithNewNames(20);
    const auto before = mallinfo2().uordblks;
    readStatesWithNewNames(300);
    const auto after = mallinfo2().uordblks;
    EXPECT_LT(after, before + 1024 * 1024) << "heap in use grew from " << before << " to " << after << " bytes";
}

TEST(StateChunk, AttributeTextsReadAsLeadingNumbers)
{
    struct Case
    {
        const char* text;
        float expected;
    };
    const Case cases[] = {
        {"0.5", 0.5f},  {"  0.25", 0.25f}, {"\t1e-1", 0.1f}, {"+2", 2.0f}, {"-0.75", -0.75f},
        {"3abc", 3.0f}, {"abc", 0.0f},     {"", 0.0f},       {".5", 0.5f}, {"1e400", INFINITY},
    };
    for (const Case& c : cases)
    {
        VarnokeAudioProcessor processor;
        restoreState(processor, stateChunkWithText(std::string("<pushState low_contour=\"") + c.text + "\"/>"));
        EXPECT_SAME_BITS(c.expected, processor.getParameter(0)) << '"' << c.text << '"';
    }
}
}  // namespace
