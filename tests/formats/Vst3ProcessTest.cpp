// Varnoke.vst3 processing audio as a host drives it through IAudioProcessor:
// the same bits as the VST 2.4 plug-in, parameter changes at their sample
// offsets, bypass, and hosts that break the contract (blocks longer than they
// announced, negative lengths, absurd setups) without harm.

#include "FormatTestSupport.h"
#include "Vst3Host.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace varnoke::test::vst3
{
namespace
{
using namespace released_ids;

class Vst3ProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        module = Module::load(builtBundleLibrary(), whyNot);
        ASSERT_NE(nullptr, module) << whyNot;
    }

    std::unique_ptr<Instance> startedInstance(const KnobSettings& knobs, int maxBlock, double sampleRate = 48000.0)
    {
        auto instance = std::make_unique<Instance>(*module);
        EXPECT_TRUE(instance->isComplete());
        if (!instance->isComplete() || !instance->start(sampleRate, maxBlock))
            return nullptr;
        instance->setParameters({{lowContour, knobs.lowContour}, {process, knobs.process}, {output, knobs.output}});
        return instance;
    }

    // Processes the whole signal in one call per block of blockSize, in the
    // host's own separate input and output buffers (or in place, or with both
    // outputs in one buffer).
    enum class Buffers
    {
        separate,
        inPlace,
        sharedOutput
    };
    static StereoSignal processInCalls(Instance& instance, const StereoSignal& input, int blockSize, Buffers buffers)
    {
        StereoSignal result{input.left, input.right};
        forEachBlock(input.left.size(), blockSize,
                     [&](std::size_t start, int frames)
                     {
                         std::vector<float> inLeft(input.left.begin() + static_cast<std::ptrdiff_t>(start),
                                                   input.left.begin() + static_cast<std::ptrdiff_t>(start) + frames);
                         std::vector<float> inRight(input.right.begin() + static_cast<std::ptrdiff_t>(start),
                                                    input.right.begin() + static_cast<std::ptrdiff_t>(start) + frames);
                         std::vector<float> outLeft(static_cast<std::size_t>(frames)), outRight(outLeft.size());
                         float* inputs[] = {inLeft.data(), inRight.data()};
                         float* outputs[] = {outLeft.data(), outRight.data()};
                         if (buffers == Buffers::inPlace)
                             outputs[0] = inLeft.data(), outputs[1] = inRight.data();
                         if (buffers == Buffers::sharedOutput)
                             outputs[1] = outLeft.data();
                         ASSERT_EQ(kResultOk, instance.process(inputs, outputs, 2, frames));
                         std::copy_n(outputs[0], frames, result.left.begin() + static_cast<std::ptrdiff_t>(start));
                         std::copy_n(outputs[1], frames, result.right.begin() + static_cast<std::ptrdiff_t>(start));
                     });
        return result;
    }

    std::unique_ptr<Module> module;
    Vst2Reference vst2;
};

TEST_F(Vst3ProcessTest, SoundsLikeTheVst2PluginBitForBit)
{
    const auto input = noiseSignal(5000, 7);
    for (const auto& knobs : knobSettingsToCompare())
        for (const double sampleRate : {44100.0, 96000.0})
        {
            SCOPED_TRACE(::testing::PrintToString(knobs) + " at " + std::to_string(sampleRate));
            auto instance = startedInstance(knobs, 256, sampleRate);
            ASSERT_NE(nullptr, instance);
            EXPECT_TRUE(sameBits(vst2.render(knobs, input, sampleRate, 512),
                                 processInCalls(*instance, input, 256, Buffers::separate)));
        }
}

// Release 1.0.0 wrote past its own buffers here (heap overflow, SIGSEGV).
// The host breaks the rule that no block is longer than setupProcessing's
// maxSamplesPerBlock; the plug-in processes it in slices of that length.
TEST_F(Vst3ProcessTest, BlocksLongerThanAnnouncedAreProcessedInSlices)
{
    const KnobSettings knobs{0.3f, 0.7f, 0.6f};
    const auto input = noiseSignal(4096, 3);
    for (const auto buffers : {Buffers::separate, Buffers::inPlace, Buffers::sharedOutput})
    {
        SCOPED_TRACE(static_cast<int>(buffers));
        auto announced = startedInstance(knobs, 64);
        auto honest = startedInstance(knobs, 64);
        ASSERT_TRUE(announced && honest);
        const auto whole = processInCalls(*announced, input, 4096, buffers);
        const auto sliced = processInCalls(*honest, input, 64, buffers);
        EXPECT_TRUE(sameBits(sliced, whole));
    }
}

// Release 1.0.0 aborted. A negative length is the host's error: refused, and
// nothing is written.
TEST_F(Vst3ProcessTest, NegativeLengthsAreRefusedUntouched)
{
    auto instance = startedInstance({0.5f, 0.5f, 0.5f}, 64);
    ASSERT_NE(nullptr, instance);
    for (const int32 numSamples : {-1, -64, INT_MIN})
    {
        SCOPED_TRACE(numSamples);
        std::vector<float> left(64, 0.25f), right(64, 0.25f);
        float* channels[] = {left.data(), right.data()};
        EXPECT_EQ(kInvalidArgument, instance->process(channels, channels, 2, numSamples));
        EXPECT_EQ(std::vector<float>(64, 0.25f), left);
    }
}

// Release 1.0.0 aborted on INT_MAX and INT_MIN (it allocated for them).
TEST_F(Vst3ProcessTest, AbsurdSetupsAreRefusedOrClamped)
{
    const struct
    {
        int32 maxSamplesPerBlock;
        int32 sampleSize;
        double sampleRate;
        tresult expected;
    } cases[] = {
        {INT_MAX, Vst::kSample32, 48000.0, kResultOk}, {INT_MIN, Vst::kSample32, 48000.0, kResultFalse},
        {0, Vst::kSample32, 48000.0, kResultFalse},    {-1, Vst::kSample32, 48000.0, kResultFalse},
        {512, Vst::kSample64, 48000.0, kResultFalse},  {512, Vst::kSample32, 0.0, kResultOk},
        {512, Vst::kSample32, NAN, kResultOk},         {512, Vst::kSample32, 1e300, kResultOk},
    };
    const auto input = noiseSignal(1000, 9);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.maxSamplesPerBlock) + " " + std::to_string(c.sampleRate));
        Instance instance(*module);
        ASSERT_TRUE(instance.isComplete());
        Vst::ProcessSetup setup{Vst::kRealtime, c.sampleSize, c.maxSamplesPerBlock, c.sampleRate};
        EXPECT_EQ(c.expected, instance.processor().setupProcessing(setup));
        if (c.expected != kResultOk)
            continue;
        ASSERT_EQ(kResultOk, instance.component().setActive(true));
        const auto output = instance.render(input, 1000);
        for (const float sample : output.left)
            ASSERT_TRUE(std::isfinite(sample));
    }
}

// A change at offset k sounds as if the block ended at k and the next began with the new value.
TEST_F(Vst3ProcessTest, ParameterChangesApplyAtTheirSampleOffsets)
{
    const auto input = noiseSignal(512, 5);
    const KnobSettings knobs{0.2f, 0.4f, 0.5f};
    const struct
    {
        Vst::ParamID id;
        int32 offset;
        double value;
    } changes[] = {
        {output, 100, 0.9}, {lowContour, 100, 0.8}, {process, 300, 1.0}, {output, 301, 0.1}, {bypass, 400, 1.0}};

    auto automated = startedInstance(knobs, 512);
    auto reference = startedInstance(knobs, 512);
    ASSERT_TRUE(automated && reference);

    ParameterChanges block;
    for (const auto& change : changes)
        block.add(change.id, change.offset, change.value);
    StereoSignal whole{input.left, input.right};
    float* wholeChannels[] = {whole.left.data(), whole.right.data()};
    ASSERT_EQ(kResultOk, automated->process(wholeChannels, wholeChannels, 2, 512, &block));

    // The reference gets each change at the start of a call of its own.
    StereoSignal pieces{input.left, input.right};
    int32 start = 0;
    for (const int32 boundary : {100, 300, 301, 400, 512})
    {
        ParameterChanges atStart;
        for (const auto& change : changes)
            if (change.offset == start)
                atStart.add(change.id, 0, change.value);
        float* channels[] = {pieces.left.data() + start, pieces.right.data() + start};
        ASSERT_EQ(kResultOk, reference->process(channels, channels, 2, boundary - start, &atStart));
        start = boundary;
    }
    EXPECT_TRUE(sameBits(pieces, whole));
    // From the bypass on, the input passes as it is.
    for (std::size_t i = 400; i < 512; ++i)
        ASSERT_EQ(bitsOf(input.left[i]), bitsOf(whole.left[i])) << i;
}

// Hosts could pick the mono layout in release 1.0.0: each channel runs alone,
// so mono sounds like the left channel of stereo.
TEST_F(Vst3ProcessTest, MonoSoundsLikeTheLeftChannelOfStereo)
{
    const KnobSettings knobs{0.3f, 0.7f, 0.6f};
    const auto input = noiseSignal(3000, 13);
    auto stereo = startedInstance(knobs, 256);
    ASSERT_NE(nullptr, stereo);
    const auto expected = processInCalls(*stereo, input, 256, Buffers::separate);

    Instance mono(*module);
    ASSERT_TRUE(mono.isComplete());
    Vst::SpeakerArrangement arrangement = Vst::SpeakerArr::kMono;
    ASSERT_EQ(kResultTrue, mono.processor().setBusArrangements(&arrangement, 1, &arrangement, 1));
    ASSERT_TRUE(mono.start(48000.0, 256));
    mono.setParameters({{lowContour, knobs.lowContour}, {process, knobs.process}, {output, knobs.output}});
    std::vector<float> channel = input.left;
    forEachBlock(channel.size(), 256,
                 [&](std::size_t start, int frames)
                 {
                     float* buffers[] = {channel.data() + start};
                     ASSERT_EQ(kResultOk, mono.process(buffers, buffers, 1, frames));
                 });
    EXPECT_TRUE(sameBits({expected.left, expected.left}, {channel, channel}));
}

TEST_F(Vst3ProcessTest, BypassPassesTheInputUnchangedAndResumes)
{
    const auto input = noiseSignal(2048, 11);
    auto instance = startedInstance({1.0f, 1.0f, 1.0f}, 256);
    ASSERT_NE(nullptr, instance);
    instance->setParameters({{bypass, 1.0}});
    EXPECT_TRUE(sameBits(input, processInCalls(*instance, input, 256, Buffers::separate)));
    instance->setParameters({{bypass, 0.0}});
    const auto processed = processInCalls(*instance, input, 256, Buffers::separate);
    EXPECT_FALSE(sameBits(input, processed));
}
}  // namespace
}  // namespace varnoke::test::vst3
