// Audio through processReplacing, as a host drives it.

#include "HostTestFixture.h"

#include "support/BitPatterns.h"
#include "support/ForcedKernel.h"
#include "support/Formatting.h"
#include "support/Noise.h"

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace varnoke::test
{
namespace
{
using ProcessingTest = HostTest;

constexpr std::size_t blockFrames = 64;

std::vector<std::string> firstFour(const std::vector<float>& samples)
{
    std::vector<std::string> text;
    for (std::size_t i = 0; i < 4; ++i)
        text.push_back(decimals(samples[i], 7));
    return text;
}

void expectSameBits(const std::vector<float>& expected, const std::vector<float>& actual, const char* what)
{
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(bitsOf(expected[i]), bitsOf(actual[i])) << what << ", sample " << i;
}

const std::vector<std::string> defaultImpulse{"0.6439326", "-0.5822128", "-0.3672507", "-0.2257900"};

TEST_F(ProcessingTest, ImpulseAfterSwitchOn)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    dispatch(effect, effMainsChanged, 0, 1);

    const auto out = processStereo(effect, impulse(blockFrames), std::vector<float>(blockFrames, 0.0f));
    EXPECT_EQ(defaultImpulse, firstFour(out.left));
    for (float sample : out.right)
        ASSERT_EQ(bitsOf(0.0f), bitsOf(sample));
}

TEST_F(ProcessingTest, ImpulseWithMidParameters)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    dispatch(effect, effMainsChanged, 0, 1);
    for (int index = 0; index < 4; ++index)
        effect->setParameter(effect, index, 0.5f);

    const auto out = processStereo(effect, impulse(blockFrames), impulse(blockFrames, 0.5f));
    EXPECT_EQ((std::vector<std::string>{"0.6465781", "-0.5629818", "-0.3347818", "-0.1850183"}), firstFour(out.left));
    EXPECT_EQ((std::vector<std::string>{"0.3240576", "-0.2817708", "-0.1675751", "-0.0926303"}), firstFour(out.right));
}

// A host that never switches the plug-in on still gets it prepared, with the
// stored rate; an unusable stored rate means 44100.
TEST_F(ProcessingTest, SampleRatesAtSwitchOn)
{
    struct RateCase
    {
        const char* name;
        bool setRate;
        float rate;
        bool switchOn;
        bool matches44100;
    };
    const RateCase cases[] = {
        {"never switched on", false, 0.0f, false, true},
        {"no rate given", false, 0.0f, true, true},
        {"44100", true, 44100.0f, true, true},
        {"zero", true, 0.0f, true, true},
        {"negative", true, -48000.0f, true, true},
        {"NaN", true, std::numeric_limits<float>::quiet_NaN(), true, true},
        {"subnormal", true, std::numeric_limits<float>::denorm_min(), true, true},
        {"under one hertz", true, 0.5f, true, true},
        {"48000", true, 48000.0f, true, false},
    };

    for (const auto& c : cases)
    {
        AEffect* effect = openInstance();
        ASSERT_NE(nullptr, effect);
        if (c.setRate)
            dispatch(effect, effSetSampleRate, 0, 0, nullptr, c.rate);
        if (c.switchOn)
            dispatch(effect, effMainsChanged, 0, 1);

        const auto out = processStereo(effect, impulse(blockFrames), std::vector<float>(blockFrames, 0.0f));
        EXPECT_EQ(c.matches44100, firstFour(out.left) == defaultImpulse) << c.name;
        closeInstance(effect);
    }
}

// Rates down to one hertz play through stable sections, and nothing of them
// lingers once the host switches to a usual rate. At 1000 and 1300 Hz the
// output used to reach infinity within a few samples, and after a switch to
// 44100 Hz it stayed infinite for some twenty seconds.
TEST_F(ProcessingTest, LowSampleRatesStayBoundedAndLeaveNothingBehind)
{
    constexpr std::size_t frames = 512;
    // Far above anything full-scale noise can give with the tone knobs fully up.
    static constexpr float bound = 100.0f;
    const auto expectBounded = [](const StereoOutput& out, const char* what)
    {
        for (const auto* channel : {&out.left, &out.right})
            for (const float sample : *channel)
                ASSERT_LE(std::fabs(sample), bound) << what;  // false for NaN too
    };

    for (const float rate : {1000.0f, 1300.0f, 1400.0f, 700.0f, 8.0f, 1.0f})
    {
        SCOPED_TRACE(rate);
        AEffect* effect = openInstance();
        ASSERT_NE(nullptr, effect);
        dispatch(effect, effSetSampleRate, 0, 0, nullptr, rate);
        dispatch(effect, effSetBlockSize, 0, static_cast<VstIntPtr>(frames));
        dispatch(effect, effMainsChanged, 0, 1);
        effect->setParameter(effect, 0, 1.0f);
        effect->setParameter(effect, 1, 1.0f);

        for (unsigned block = 0; block < 100; ++block)
            expectBounded(processStereo(effect, noise(frames, block), noise(frames, block + 1000)), "at the low rate");

        dispatch(effect, effMainsChanged, 0, 0);
        dispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch(effect, effMainsChanged, 0, 1);
        expectBounded(processStereo(effect, noise(frames, 7), noise(frames, 8)), "first block at 44100 Hz");
        closeInstance(effect);
    }
}

TEST_F(ProcessingTest, ProcessLevelIsAskedAtSwitchOnAndFirstBlock)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    EXPECT_EQ(0, RecordingHost::count(audioMasterGetCurrentProcessLevel, effect));

    dispatch(effect, effMainsChanged, 0, 1);
    EXPECT_EQ(1, RecordingHost::count(audioMasterGetCurrentProcessLevel, effect));

    processStereo(effect, impulse(blockFrames), impulse(blockFrames));
    EXPECT_EQ(2, RecordingHost::count(audioMasterGetCurrentProcessLevel, effect));

    processStereo(effect, impulse(blockFrames), impulse(blockFrames));
    EXPECT_EQ(2, RecordingHost::count(audioMasterGetCurrentProcessLevel, effect));
}

// Bypassed blocks carry their input and leave the filter memories where they
// were, in separate and in shared buffers.
TEST_F(ProcessingTest, BypassPassesInputAndFreezesTheFilters)
{
    AEffect* bypassed = openInstance();
    AEffect* reference = openInstance();
    ASSERT_NE(nullptr, bypassed);
    ASSERT_NE(nullptr, reference);
    dispatch(bypassed, effMainsChanged, 0, 1);
    dispatch(reference, effMainsChanged, 0, 1);

    const auto left = noise(blockFrames, 1);
    const auto right = noise(blockFrames, 2);
    const auto first = processStereo(bypassed, left, right);
    const auto firstReference = processStereo(reference, left, right);

    ASSERT_EQ(1, dispatch(bypassed, effSetBypass, 0, 1));
    const auto passed = processStereo(bypassed, noise(blockFrames, 3), noise(blockFrames, 4));
    expectSameBits(noise(blockFrames, 3), passed.left, "bypassed left");
    expectSameBits(noise(blockFrames, 4), passed.right, "bypassed right");

    auto inPlaceLeft = noise(blockFrames, 5);
    auto inPlaceRight = noise(blockFrames, 6);
    float* channels[] = {inPlaceLeft.data(), inPlaceRight.data()};
    bypassed->processReplacing(bypassed, channels, channels, static_cast<int>(blockFrames));
    expectSameBits(noise(blockFrames, 5), inPlaceLeft, "bypassed in place");

    // Bypass survives switching off and on.
    dispatch(bypassed, effMainsChanged, 0, 0);
    dispatch(bypassed, effMainsChanged, 0, 1);
    expectSameBits(noise(blockFrames, 7), processStereo(bypassed, noise(blockFrames, 7), left).left, "after resume");

    ASSERT_EQ(1, dispatch(bypassed, effSetBypass, 0, 0));
    const auto after = processStereo(bypassed, right, left);
    const auto afterReference = processStereo(reference, right, left);
    expectSameBits(afterReference.left, after.left, "left after bypass");
    expectSameBits(afterReference.right, after.right, "right after bypass");
    expectSameBits(firstReference.left, first.left, "before bypass");
}

TEST_F(ProcessingTest, InPlaceBuffersGiveTheSameOutput)
{
    AEffect* inPlace = openInstance();
    AEffect* separate = openInstance();
    ASSERT_NE(nullptr, inPlace);
    ASSERT_NE(nullptr, separate);
    dispatch(inPlace, effMainsChanged, 0, 1);
    dispatch(separate, effMainsChanged, 0, 1);
    inPlace->setParameter(inPlace, 1, 0.8f);
    separate->setParameter(separate, 1, 0.8f);

    auto left = noise(blockFrames, 11);
    auto right = noise(blockFrames, 12);
    const auto expected = processStereo(separate, left, right);
    float* channels[] = {left.data(), right.data()};
    inPlace->processReplacing(inPlace, channels, channels, static_cast<int>(blockFrames));
    expectSameBits(expected.left, left, "left");
    expectSameBits(expected.right, right, "right");
}

// Each kernel this processor runs, forced at switch-on through VARNOKE_KERNEL,
// gives the plug-in the SSE2 kernel's output bits, at several rates, with the
// parameters moved between blocks and one channel spoiled with NaN for a block.
class KernelsThroughThePlugin : public HostTest, public ::testing::WithParamInterface<const char*>
{
protected:
    StereoOutput run(const char* kernel, float rate)
    {
        AEffect* effect = nullptr;
        {
            const ForcedKernel forced(kernel);
            effect = openInstance();
            EXPECT_NE(nullptr, effect);
            if (effect == nullptr)
                return {};
            dispatch(effect, effSetSampleRate, 0, 0, nullptr, rate);
            dispatch(effect, effMainsChanged, 0, 1);
        }
        StereoOutput all;
        for (unsigned block = 0; block < 12; ++block)
        {
            effect->setParameter(effect, static_cast<int>(block % 3), 0.1f * static_cast<float>(block % 10));
            auto left = noise(blockFrames, 100 + block), right = noise(blockFrames, 200 + block);
            if (block == 5)
                left[3] = std::numeric_limits<float>::quiet_NaN();
            const auto out = processStereo(effect, left, right);
            all.left.insert(all.left.end(), out.left.begin(), out.left.end());
            all.right.insert(all.right.end(), out.right.begin(), out.right.end());
        }
        closeInstance(effect);
        return all;
    }
};

TEST_P(KernelsThroughThePlugin, GiveTheSse2KernelsOutputBits)
{
    if (!processorRunsKernel(GetParam()))
    {
        GTEST_SKIP() << cannotRunKernel(GetParam());
    }
    for (const float rate : {44100.0f, 96000.0f})
    {
        const auto expected = run("sse2", rate);
        const auto actual = run(GetParam(), rate);
        expectSameBits(expected.left, actual.left, "left");
        expectSameBits(expected.right, actual.right, "right");
    }
}

INSTANTIATE_TEST_SUITE_P(Forced, KernelsThroughThePlugin, ::testing::ValuesIn(kernelNames),
                         [](const auto& info) { return std::string(info.param); });

// Two outputs on the same memory: each channel is still processed from its own
// input, and the memory ends up with the later channel's output.
TEST_F(ProcessingTest, AliasedOutputsKeepChannelsApart)
{
    AEffect* aliased = openInstance();
    AEffect* reference = openInstance();
    ASSERT_NE(nullptr, aliased);
    ASSERT_NE(nullptr, reference);
    for (AEffect* effect : {aliased, reference})
    {
        dispatch(effect, effSetBlockSize, 0, static_cast<VstIntPtr>(blockFrames));
        dispatch(effect, effMainsChanged, 0, 1);
    }

    auto left = noise(blockFrames, 21);
    auto right = noise(blockFrames, 22);
    const auto expected = processStereo(reference, left, right);

    std::vector<float> shared(blockFrames, 99.0f);
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {shared.data(), shared.data()};
    aliased->processReplacing(aliased, inputs, outputs, static_cast<int>(blockFrames));
    expectSameBits(expected.right, shared, "shared memory");

    // The left channel's filters saw the left input: the next block agrees too.
    const auto next = processStereo(aliased, right, left);
    const auto nextExpected = processStereo(reference, right, left);
    expectSameBits(nextExpected.left, next.left, "left afterwards");
    expectSameBits(nextExpected.right, next.right, "right afterwards");

    // A host passing more frames than the announced block is still served.
    const std::size_t longFrames = 5 * blockFrames + 3;
    auto longLeft = noise(longFrames, 23);
    auto longRight = noise(longFrames, 24);
    const auto longExpected = processStereo(reference, longLeft, longRight);
    std::vector<float> longShared(longFrames, 99.0f);
    float* longInputs[] = {longLeft.data(), longRight.data()};
    float* longOutputs[] = {longShared.data(), longShared.data()};
    aliased->processReplacing(aliased, longInputs, longOutputs, static_cast<int>(longFrames));
    expectSameBits(longExpected.right, longShared, "long block");
}

// A host may announce any block size, up to the largest int (a larger one
// arrives clamped to it): the plug-in still switches on, at once or at the
// first block, and serves whatever blocks it is given, in shared output memory
// too. Sizes near the int range used to overflow while the scratch memory was
// sized, and the throw that followed killed the host at its first block.
TEST_F(ProcessingTest, AnyAnnouncedBlockSizeIsServed)
{
    struct BlockSizeCase
    {
        const char* name;
        VstIntPtr announced;
        bool switchOn;
    };
    const BlockSizeCase cases[] = {
        {"2^30", VstIntPtr{1} << 30, true},
        {"2^30, never switched on", VstIntPtr{1} << 30, false},
        {"largest int", std::numeric_limits<int>::max(), true},
        {"2^32 - 1, never switched on", VstIntPtr{4294967295}, false},
        {"smallest int", std::numeric_limits<int>::min(), true},
        {"zero, never switched on", 0, false},
    };
    // Longer than any scratch memory the plug-in keeps for shared outputs.
    constexpr std::size_t frames = (std::size_t{1} << 18) + 3;
    const auto left = noise(frames, 41);
    const auto right = noise(frames, 42);

    AEffect* reference = openInstance();
    ASSERT_NE(nullptr, reference);
    dispatch(reference, effSetBlockSize, 0, 512);
    dispatch(reference, effMainsChanged, 0, 1);
    const auto expected = processStereo(reference, left, right);
    closeInstance(reference);

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        AEffect* separate = openInstance();
        AEffect* shared = openInstance();
        ASSERT_NE(nullptr, separate);
        ASSERT_NE(nullptr, shared);
        for (AEffect* effect : {separate, shared})
        {
            dispatch(effect, effSetBlockSize, 0, c.announced);
            if (c.switchOn)
                dispatch(effect, effMainsChanged, 0, 1);
        }

        const auto out = processStereo(separate, left, right);
        expectSameBits(expected.left, out.left, "left");
        expectSameBits(expected.right, out.right, "right");

        auto inputLeft = left;
        auto inputRight = right;
        std::vector<float> sharedOutput(frames, 99.0f);
        float* inputs[] = {inputLeft.data(), inputRight.data()};
        float* outputs[] = {sharedOutput.data(), sharedOutput.data()};
        shared->processReplacing(shared, inputs, outputs, static_cast<int>(frames));
        expectSameBits(expected.right, sharedOutput, "shared memory");

        closeInstance(separate);
        closeInstance(shared);
    }
}

// After a mono arrangement only channel 0 is processed; the second channel the
// host still passes is never touched.
TEST_F(ProcessingTest, MonoArrangementLeavesTheGuardChannelAlone)
{
    AEffect* mono = openInstance();
    AEffect* stereo = openInstance();
    ASSERT_NE(nullptr, mono);
    ASSERT_NE(nullptr, stereo);
    SpeakerArrangementStorage input(speakerArrMono, 1), output(speakerArrMono, 1);
    ASSERT_EQ(1, dispatch(mono, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(input.get()), output.get()));
    dispatch(mono, effMainsChanged, 0, 1);
    dispatch(stereo, effMainsChanged, 0, 1);
    EXPECT_EQ(2, mono->numInputs);

    auto left = noise(blockFrames, 31);
    auto guardInput = std::vector<float>(blockFrames, 7.0f);
    std::vector<float> out(blockFrames, 99.0f);
    std::vector<float> guard(blockFrames, -42.0f);
    float* inputs[] = {left.data(), guardInput.data()};
    float* outputs[] = {out.data(), guard.data()};
    mono->processReplacing(mono, inputs, outputs, static_cast<int>(blockFrames));

    for (float sample : guard)
        ASSERT_EQ(bitsOf(-42.0f), bitsOf(sample));
    const auto expected = processStereo(stereo, left, std::vector<float>(blockFrames, 0.0f));
    expectSameBits(expected.left, out, "mono channel");

    // Pins report the accepted arrangement, and index 1 still answers.
    PinPropertiesStorage pin;
    ASSERT_EQ(1, dispatch(mono, effGetInputProperties, 1, 0, pin.get()));
    EXPECT_EQ(4, pin.get()->flags);
    EXPECT_EQ(speakerArrMono, pin.get()->arrangementType);
}

TEST_F(ProcessingTest, DeprecatedAndDoubleCallsWriteNothing)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    dispatch(effect, effMainsChanged, 0, 1);

    auto left = impulse(blockFrames);
    auto right = impulse(blockFrames);
    std::vector<float> outLeft(blockFrames, 99.0f), outRight(blockFrames, 99.0f);
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {outLeft.data(), outRight.data()};
    effect->process(effect, inputs, outputs, static_cast<int>(blockFrames));

    std::vector<double> dLeft(blockFrames, 1.0), dRight(blockFrames, 1.0);
    std::vector<double> dOutLeft(blockFrames, 99.0), dOutRight(blockFrames, 99.0);
    double* dInputs[] = {dLeft.data(), dRight.data()};
    double* dOutputs[] = {dOutLeft.data(), dOutRight.data()};
    effect->processDoubleReplacing(effect, dInputs, dOutputs, static_cast<int>(blockFrames));

    for (std::size_t i = 0; i < blockFrames; ++i)
    {
        ASSERT_EQ(99.0f, outLeft[i]);
        ASSERT_EQ(99.0f, outRight[i]);
        ASSERT_EQ(99.0, dOutLeft[i]);
        ASSERT_EQ(99.0, dOutRight[i]);
    }

    // Neither advanced the filters.
    EXPECT_EQ(defaultImpulse, firstFour(processStereo(effect, impulse(blockFrames), impulse(blockFrames)).left));
}

TEST_F(ProcessingTest, EmptyAndNegativeBlocksDoNothing)
{
    AEffect* effect = openInstance();
    ASSERT_NE(nullptr, effect);
    dispatch(effect, effMainsChanged, 0, 1);
    float sample = 5.0f;
    float* channels[] = {&sample, &sample};
    effect->processReplacing(effect, channels, channels, 0);
    effect->processReplacing(effect, channels, channels, -8);
    EXPECT_EQ(5.0f, sample);
    EXPECT_EQ(defaultImpulse, firstFour(processStereo(effect, impulse(blockFrames), impulse(blockFrames)).left));
}
}  // namespace
}  // namespace varnoke::test
