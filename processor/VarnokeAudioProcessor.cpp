#include "VarnokeAudioProcessor.h"

#include "ChannelRestart.h"
#include "CrossoverDesign.h"
#include "PlayableSampleRate.h"
#include "StateChunk.h"
#include "VarnokeAudioProcessorEditor.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace
{
constexpr auto relaxed = std::memory_order_relaxed;

// The two channels run identical arithmetic, so they share the two lanes of an
// SSE2 register: each lane rounds exactly as the scalar code would.
using Pair = double __attribute__((vector_size(16)));
using PairBits = long long __attribute__((vector_size(16)));
using FloatPair = float __attribute__((vector_size(8)));

Pair both(double value)
{
    return Pair{value, value};
}

Pair absolute(Pair value)
{
    constexpr long long allButSign = 0x7fffffffffffffffLL;
    return reinterpret_cast<Pair>(reinterpret_cast<PairBits>(value) & PairBits{allButSign, allButSign});
}

// The numerator of one section: its feed-forward part (b0 x + b1 x1) + b2 x2.
struct Numerator
{
    explicit Numerator(const BiquadCoeffs& c)
        : b0(both(c.b0))
        , b1(both(c.b1))
        , b2(both(c.b2))
    {
    }

    Pair feedForward(Pair x, Pair x1, Pair x2) const { return (b0 * x + b1 * x1) + b2 * x2; }

    Pair b0, b1, b2;
};

// The output memories of one section on both channels.
struct Feedback
{
    Feedback(const BiquadState& left, const BiquadState& right)
        : y1{left.y1, right.y1}
        , y2{left.y2, right.y2}
    {
    }

    // y = (feedForward - a1 y1) - a2 y2, then the memories shift.
    Pair run(Pair feedForward, Pair a1, Pair a2)
    {
        const Pair y = (feedForward - a1 * y1) - a2 * y2;
        y2 = y1;
        y1 = y;
        return y;
    }

    template <int lane> void store(BiquadState& state, Pair x1, Pair x2) const
    {
        state = BiquadState{x1[lane], x2[lane], y1[lane], y2[lane]};
    }

    Pair y1, y2;
};
}  // namespace

VarnokeAudioProcessor::VarnokeAudioProcessor() = default;

VarnokeAudioProcessor::~VarnokeAudioProcessor() = default;

const juce::String VarnokeAudioProcessor::getName() const
{
    return "Varnoke";
}

void VarnokeAudioProcessor::prepareToPlay(double sampleRate, int /*estimatedSamplesPerBlock*/)
{
    smoothStep = 0.0003;
    smoothKeep = 0.9997;

    const CrossoverSections sections = designCrossover(playableSampleRate(sampleRate));
    allPassCoeffs = sections.allPass;
    lowPassCoeffs = sections.lowPass;
    highPassCoeffs = sections.highPass;

    setParameter(refreshIndex, 0.0f);
}

void VarnokeAudioProcessor::releaseResources()
{
    // The filter memories deliberately survive a switch-off.
}

void VarnokeAudioProcessor::processBlock(juce::AudioSampleBuffer& buffer, juce::MidiBuffer& /*midiMessages*/)
{
    // A decaying signal would otherwise crawl through subnormal numbers,
    // which cost a hundred times more on the audio thread.
    const juce::ScopedNoDenormals noDenormals;

    const int numSamples = buffer.getNumSamples();
    const int numChannels = buffer.getNumChannels();

    if (numChannels >= 2)
    {
        processChannels<true>(buffer.getWritePointer(0), buffer.getWritePointer(1), numSamples);
        restartIfDamaged(allPassL, lowPassL, highPassL, cvGainL, dcL);
        restartIfDamaged(allPassR, lowPassR, highPassR, cvGainR, dcR);
    }
    else if (numChannels == 1)
    {
        processChannels<false>(buffer.getWritePointer(0), nullptr, numSamples);
        restartIfDamaged(allPassL, lowPassL, highPassL, cvGainL, dcL);
    }

    // Output channels beyond the inputs carry silence.
    const int clearEnd = std::min(getTotalNumOutputChannels(), numChannels);
    for (int channel = getTotalNumInputChannels(); channel < clearEnd; ++channel)
        buffer.clear(channel, 0, numSamples);
}

// The three sections of a channel see the same input and share one denominator
// (the crossover design gives them the same a1 and a2, bit for bit), so the
// input memories and feedback coefficients are held once and the loop's state
// fits in registers; every section still evaluates its own full sum.
//
// With a single channel the right lane runs on silence and its results are
// dropped, so the channel-1 memories stay as they were.
template <bool bothChannels>
void VarnokeAudioProcessor::processChannels(float* left, float* right, int numSamples) noexcept
{
    const Pair a1 = both(allPassCoeffs.a1);
    const Pair a2 = both(allPassCoeffs.a2);
    const Numerator allPass(allPassCoeffs);
    const Numerator lowPass(lowPassCoeffs);
    const Numerator highPass(highPassCoeffs);
    const Pair step = both(smoothStep);
    const Pair keep = both(smoothKeep);
    const Pair one = both(1.0);
    const Pair zero = both(0.0);

    Pair x1{allPassL.x1, allPassR.x1};
    Pair x2{allPassL.x2, allPassR.x2};
    Feedback allPassMemories(allPassL, allPassR);
    Feedback lowPassMemories(lowPassL, lowPassR);
    Feedback highPassMemories(highPassL, highPassR);
    Pair cvGain{cvGainL, cvGainR};
    Pair dc{dcL, dcR};

    // Two passes over short runs of frames: first the three sections (whose
    // recursions are the only long dependency chains), then the gains and the
    // mix. Each pass is short enough for the processor to overlap many frames;
    // the arithmetic, and so every result, is the same as in one pass.
    constexpr int runLength = 32;
    struct Bands
    {
        Pair x, ap, lp, hp;
    };
    Bands bands[runLength];

    // Counted in runs: a start one run past the last could pass the int range.
    const int numRuns = numSamples / runLength + (numSamples % runLength != 0 ? 1 : 0);
    for (int run = 0; run < numRuns; ++run)
    {
        const int start = run * runLength;
        const int length = std::min(runLength, numSamples - start);
        float* const leftRun = left + start;
        float* const rightRun = bothChannels ? right + start : nullptr;

        for (int i = 0; i < length; ++i)
        {
            const Pair x{static_cast<double>(leftRun[i]), bothChannels ? static_cast<double>(rightRun[i]) : 0.0};
            bands[i].x = x;
            bands[i].ap = allPassMemories.run(allPass.feedForward(x, x1, x2), a1, a2);
            bands[i].lp = lowPassMemories.run(lowPass.feedForward(x, x1, x2), a1, a2);
            bands[i].hp = highPassMemories.run(highPass.feedForward(x, x1, x2), a1, a2);
            x2 = x1;
            x1 = x;
        }

        for (int i = 0; i < length; ++i)
        {
            // The gains are read afresh at every sample: a change applies from the next one.
            const Pair lowGainNow = both(lowGain.load(relaxed));
            const Pair highGainNow = both(highGain.load(relaxed));
            const Pair cvDepthNow = both(cvDepth.load(relaxed));
            const Pair outputGainNow = both(outputGain.load(relaxed));

            const Pair target = one - absolute(bands[i].x) * cvDepthNow;
            cvGain = keep * cvGain + step * target;
            const Pair mix = ((cvGain * bands[i].hp) * highGainNow + bands[i].ap) + lowGainNow * bands[i].lp;
            dc = step * mix + keep * dc;
            const Pair out = (mix - dc) * outputGainNow + zero;  // + 0.0 turns -0.0 into +0.0

            const FloatPair narrowed = __builtin_convertvector(out, FloatPair);
            leftRun[i] = narrowed[0];
            if constexpr (bothChannels)
                rightRun[i] = narrowed[1];
        }
    }

    allPassMemories.store<0>(allPassL, x1, x2);
    lowPassMemories.store<0>(lowPassL, x1, x2);
    highPassMemories.store<0>(highPassL, x1, x2);
    cvGainL = cvGain[0];
    dcL = dc[0];

    if constexpr (bothChannels)
    {
        allPassMemories.store<1>(allPassR, x1, x2);
        lowPassMemories.store<1>(lowPassR, x1, x2);
        highPassMemories.store<1>(highPassR, x1, x2);
        cvGainR = cvGain[1];
        dcR = dc[1];
    }
}

// A NaN or infinite input sample or gain would otherwise stay in the recursions
// for good, and the channel would never sound again; so would memories grown
// far beyond the float range, which decay for many seconds after a rate
// change. Such a channel starts the next block from rest, as after
// construction; finite signals never take this path.
void VarnokeAudioProcessor::restartIfDamaged(BiquadState& allPass, BiquadState& lowPass, BiquadState& highPass,
                                             double& cvGain, double& dc) noexcept
{
    if (!channelNeedsRestart(allPass, lowPass, highPass, cvGain, dc))
        return;

    allPass = lowPass = highPass = BiquadState{};
    cvGain = dc = 0.0;
}

const juce::String VarnokeAudioProcessor::getInputChannelName(int channelIndex) const
{
    return juce::String(channelIndex + 1);
}

const juce::String VarnokeAudioProcessor::getOutputChannelName(int channelIndex) const
{
    return juce::String(channelIndex + 1);
}

bool VarnokeAudioProcessor::isInputChannelStereoPair(int /*index*/) const
{
    return true;
}

bool VarnokeAudioProcessor::isOutputChannelStereoPair(int /*index*/) const
{
    return true;
}

bool VarnokeAudioProcessor::silenceInProducesSilenceOut() const
{
    return false;
}

double VarnokeAudioProcessor::getTailLengthSeconds() const
{
    return 0.0;
}

bool VarnokeAudioProcessor::acceptsMidi() const
{
    return false;
}

bool VarnokeAudioProcessor::producesMidi() const
{
    return false;
}

juce::AudioProcessorEditor* VarnokeAudioProcessor::createEditor()
{
    return new VarnokeAudioProcessorEditor(this);
}

bool VarnokeAudioProcessor::hasEditor() const
{
    return true;
}

int VarnokeAudioProcessor::getNumParameters()
{
    return numHostParameters;
}

const juce::String VarnokeAudioProcessor::getParameterName(int index)
{
    switch (index)
    {
    case lowContourIndex: return "Low Contour";
    case processIndex: return "Process";
    case outputIndex: return "Output";
    case cvIndex: return "CV";
    case noiseFloorIndex: return "Noise Floor";
    default: return "What";
    }
}

juce::String VarnokeAudioProcessor::getParameterName(int index, int maximumStringLength)
{
    return getParameterName(index).substring(0, maximumStringLength);
}

float VarnokeAudioProcessor::getParameter(int index)
{
    switch (index)
    {
    case lowContourIndex: return lowContour.load(relaxed);
    case processIndex: return process.load(relaxed);
    case outputIndex: return output.load(relaxed);
    case cvIndex: return cv.load(relaxed);
    case noiseFloorIndex: return noiseFloor.load(relaxed);
    default: return 0.0f;
    }
}

const juce::String VarnokeAudioProcessor::getParameterText(int /*index*/)
{
    return {};
}

juce::String VarnokeAudioProcessor::getParameterText(int index, int maximumStringLength)
{
    return getParameterText(index).substring(0, maximumStringLength);
}

void VarnokeAudioProcessor::setParameter(int index, float newValue)
{
    switch (index)
    {
    case lowContourIndex: lowContour.store(newValue, relaxed); break;
    case processIndex: process.store(newValue, relaxed); break;
    case outputIndex: output.store(newValue, relaxed); break;
    case cvIndex: cv.store(newValue, relaxed); break;
    // A switch: strictly above one half is on; one half itself and NaN are off.
    case noiseFloorIndex: noiseFloor.store(newValue > 0.5f ? 1.0f : 0.0f, relaxed); break;
    default: break;  // the refresh call and foreign indices store nothing
    }

    refreshDerivedGains();
    refreshEditorKnobs();
}

// The products with 10 and 2 are single precision, then widened; the halving is double.
void VarnokeAudioProcessor::refreshDerivedGains() noexcept
{
    lowGain.store(static_cast<double>(lowContour.load(relaxed) * 10.0f) * 0.5, relaxed);
    highGain.store(static_cast<double>(process.load(relaxed) * 10.0f) * 0.5, relaxed);
    cvDepth.store(static_cast<double>(cv.load(relaxed) * 10.0f), relaxed);
    outputGain.store(static_cast<double>(output.load(relaxed) * 2.0f), relaxed);
}

VarnokeAudioProcessor::KnobValues VarnokeAudioProcessor::getKnobValues() const noexcept
{
    return {static_cast<double>(lowContour.load(relaxed) * 10.0f), static_cast<double>(process.load(relaxed) * 10.0f),
            static_cast<double>(output.load(relaxed) * 10.0f)};
}

// JUCE's message thread, or a thread holding its lock. A host may build the
// editor on another thread under the lock; that thread must not touch the
// knobs once it has let go. Neither check locks or calls the system.
bool VarnokeAudioProcessor::mayTouchComponents() noexcept
{
    const auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();
    return messageManager != nullptr && messageManager->currentThreadHasLockedMessageManager();
}

// Every parameter change is mirrored into an open editor's knobs; this is the
// one place that does it. On the message thread the knobs are set at once.
// Any other thread (automation playback, possibly the audio thread) only raises
// a flag that the editor's timer picks up on the message thread, and then sets
// the knobs from the parameters as they stand, so they end at the latest values.
// That thread doesn't even look at getActiveEditor(): it takes a lock, and the
// editor it returns may be deleted by the message thread at any moment; posting
// a message instead would allocate and make a system call.
void VarnokeAudioProcessor::refreshEditorKnobs()
{
    if (!mayTouchComponents())
    {
        knobRefreshPending.store(true, std::memory_order_release);
        return;
    }

    if (auto* editor = dynamic_cast<VarnokeAudioProcessorEditor*>(getActiveEditor()))
        editor->showKnobValues(getKnobValues());
}

int VarnokeAudioProcessor::getNumPrograms()
{
    return 0;
}

int VarnokeAudioProcessor::getCurrentProgram()
{
    return 0;
}

void VarnokeAudioProcessor::setCurrentProgram(int /*index*/) {}

const juce::String VarnokeAudioProcessor::getProgramName(int /*index*/)
{
    return {};
}

void VarnokeAudioProcessor::changeProgramName(int /*index*/, const juce::String& /*newName*/) {}

void VarnokeAudioProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    StateChunk::write({lowContour.load(relaxed), process.load(relaxed), output.load(relaxed)}, destData);
}

// An unusable chunk changes nothing at all.
void VarnokeAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    const auto values = StateChunk::read(data, sizeInBytes);
    if (!values)
        return;

    lowContour.store(values->lowContour, relaxed);
    process.store(values->process, relaxed);
    output.store(values->output, relaxed);
    setParameter(refreshIndex, 0.0f);
}
