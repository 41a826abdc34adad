#include "ToneShaper.h"

#include "ChannelRestart.h"
#include "PlayableSampleRate.h"
#include "ScopedFlushToZero.h"
#include "ShaperKernelChoice.h"

namespace varnoke
{
namespace
{
constexpr auto relaxed = std::memory_order_relaxed;
}  // namespace

void ToneShaper::prepare(double sampleRate) noexcept
{
    settings.smoothStep = smoothingStep;
    settings.smoothKeep = smoothingKeep;
    settings.sections = designCrossover(playableSampleRate(sampleRate));
    kernel = chooseShaperKernel();
    runKernel = shaperKernelFunction(kernel);
}

bool ToneShaper::useKernel(ShaperKernel newKernel) noexcept
{
    if (!processorRuns(newKernel))
        return false;
    kernel = newKernel;
    runKernel = shaperKernelFunction(kernel);
    return true;
}

void ToneShaper::reset() noexcept
{
    leftState = rightState = ShaperChannelState{};
}

void ToneShaper::setGains(const Gains& gains) noexcept
{
    settings.lowGain.store(gains.low, relaxed);
    settings.highGain.store(gains.high, relaxed);
    settings.cvDepth.store(gains.cvDepth, relaxed);
    settings.outputGain.store(gains.output, relaxed);
}

ToneShaper::Gains ToneShaper::getGains() const noexcept
{
    return {settings.lowGain.load(relaxed), settings.highGain.load(relaxed), settings.cvDepth.load(relaxed),
            settings.outputGain.load(relaxed)};
}

void ToneShaper::process(float* left, float* right, int frames) noexcept
{
    const ScopedFlushToZero flushToZero;

    runKernel(settings, leftState, rightState, left, right, frames);
    restartIfDamaged(leftState);
    if (right != nullptr)
        restartIfDamaged(rightState);
}

// A NaN or infinite input sample or gain would otherwise stay in the recursions
// for good, and the channel would never sound again; so would memories grown
// far beyond the float range, which decay for many seconds after a rate
// change. Such a channel starts the next block from rest, as after
// construction; finite signals never take this path.
void ToneShaper::restartIfDamaged(ShaperChannelState& channel) noexcept
{
    if (channelNeedsRestart(channel.allPass, channel.lowPass, channel.highPass, channel.cvGain, channel.dc))
        channel = ShaperChannelState{};
}
}  // namespace varnoke
