// Each kernel side by side in one run, through the built plug-in's
// processReplacing as a host calls it (VARNOKE_KERNEL forces the kernel at
// switch-on) and through the bare ToneShaper: TSC ticks and estimated core
// cycles per stereo frame, for ordinary audio and for a signal decayed into
// the subnormal range. Usage: varnoke_kernel_cycles [CORE] (default: the core
// it starts on; pick one no other work runs on).

#include "PluginLibrary.h"
#include "ShaperKernelChoice.h"
#include "ToneShaper.h"
#include "TscClock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace varnoke;
using namespace varnoke::bench;
namespace host = varnoke::host;

namespace
{
constexpr int blockSize = 512;
constexpr int sampleRate = 44100;
constexpr int timedBlocks = 4000;

VstIntPtr hostCallback(AEffect*, int opcode, int, VstIntPtr, void*, float)
{
    return opcode == host::audioMasterVersion ? 2400 : 0;
}

std::vector<float> noise(unsigned seed, float level)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(-level, level);
    std::vector<float> samples(blockSize);
    for (float& value : samples)
        value = sample(random);
    return samples;
}

// One thing to time, one 512-frame block per call; the input is copied in
// before each call, outside the timed part.
struct Workload
{
    std::string name;
    std::function<std::uint64_t()> timedBlock;
    std::vector<std::uint64_t> ticks;
};

// A plug-in instance, switched on with the kernel forced, at the middle of
// every parameter, fed from a fixed stereo block.
class PluginStream
{
public:
    PluginStream(const host::PluginLibrary& library, const char* kernel, bool decayed)
    {
        setenv("VARNOKE_KERNEL", kernel, 1);
        effect = library.create(hostCallback);
        effect->dispatcher(effect, host::effOpen, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, host::effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
        effect->dispatcher(effect, host::effSetBlockSize, 0, blockSize, nullptr, 0.0f);
        effect->dispatcher(effect, host::effMainsChanged, 0, 1, nullptr, 0.0f);
        unsetenv("VARNOKE_KERNEL");
        for (int index = 0; index < effect->numParams; ++index)
            effect->setParameter(effect, index, 0.5f);

        sourceLeft = noise(1, 0.5f);
        sourceRight = noise(2, 0.5f);
        if (decayed)
        {
            // Loud noise, then a minute of silence, which is then what is timed.
            for (int i = 0; i < 50; ++i)
            {
                feed();
                process();
            }
            std::fill(sourceLeft.begin(), sourceLeft.end(), 0.0f);
            std::fill(sourceRight.begin(), sourceRight.end(), 0.0f);
            for (int done = 0; done < sampleRate * 60; done += blockSize)
            {
                feed();
                process();
            }
        }
    }
    ~PluginStream() { effect->dispatcher(effect, host::effClose, 0, 0, nullptr, 0.0f); }

    std::uint64_t timedBlock()
    {
        feed();
        const std::uint64_t start = ticksNow();
        process();
        return ticksNow() - start;
    }

private:
    void feed()
    {
        std::copy(sourceLeft.begin(), sourceLeft.end(), inLeft.begin());
        std::copy(sourceRight.begin(), sourceRight.end(), inRight.begin());
    }

    void process()
    {
        float* inputs[] = {inLeft.data(), inRight.data()};
        float* outputs[] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, blockSize);
    }

    AEffect* effect = nullptr;
    std::vector<float> sourceLeft, sourceRight;
    std::vector<float> inLeft = std::vector<float>(blockSize), inRight = std::vector<float>(blockSize);
    std::vector<float> outLeft = std::vector<float>(blockSize), outRight = std::vector<float>(blockSize);
};

// The bare kernel with the gains of the mid settings, processing in place.
class ShaperStream
{
public:
    explicit ShaperStream(ShaperKernel kernel)
    {
        shaper.prepare(sampleRate);
        shaper.useKernel(kernel);
        shaper.setGains({2.5, 2.5, 5.0, 1.0});
    }

    std::uint64_t timedBlock()
    {
        std::copy(sourceLeft.begin(), sourceLeft.end(), left.begin());
        std::copy(sourceRight.begin(), sourceRight.end(), right.begin());
        const std::uint64_t start = ticksNow();
        shaper.process(left.data(), right.data(), blockSize);
        return ticksNow() - start;
    }

private:
    ToneShaper shaper;
    std::vector<float> sourceLeft = noise(1, 0.5f), sourceRight = noise(2, 0.5f);
    std::vector<float> left = std::vector<float>(blockSize), right = std::vector<float>(blockSize);
};

double perFrame(std::vector<std::uint64_t> ticks, double quantile)
{
    std::sort(ticks.begin(), ticks.end());
    const auto index = static_cast<std::size_t>(quantile * static_cast<double>(ticks.size() - 1));
    return static_cast<double>(ticks[index]) / blockSize;
}
}  // namespace

int main(int argc, char** argv)
{
    const int core = argc > 1 ? std::atoi(argv[1]) : sched_getcpu();
    if (!pinToCore(core))
    {
        std::fprintf(stderr, "cannot pin to core %d\n", core);
        return 1;
    }
    const host::PluginLibrary library(VARNOKE_PLUGIN_PATH);
    if (!library.isLoaded())
    {
        std::fprintf(stderr, "cannot load %s\n", VARNOKE_PLUGIN_PATH);
        return 1;
    }

    std::vector<ShaperKernel> kernels;
    for (const ShaperKernel kernel : {ShaperKernel::sse2, ShaperKernel::avx2, ShaperKernel::avx512})
    {
        if (processorRuns(kernel))
            kernels.push_back(kernel);
        else
            std::printf("%s: this processor cannot run it, not measured\n", shaperKernelName(kernel));
    }

    // Every workload's blocks interleaved, so a change of clock or a
    // neighbour's load falls on all of them alike.
    std::vector<std::unique_ptr<PluginStream>> plugins;
    std::vector<std::unique_ptr<ShaperStream>> shapers;
    std::vector<Workload> workloads;
    for (const ShaperKernel kernel : kernels)
    {
        const std::string name = shaperKernelName(kernel);
        PluginStream* normal = plugins.emplace_back(std::make_unique<PluginStream>(library, name.c_str(), false)).get();
        PluginStream* decayed = plugins.emplace_back(std::make_unique<PluginStream>(library, name.c_str(), true)).get();
        ShaperStream* shaper = shapers.emplace_back(std::make_unique<ShaperStream>(kernel)).get();
        workloads.push_back({name + " processReplacing", [normal] { return normal->timedBlock(); }, {}});
        workloads.push_back({name + " processReplacing decayed", [decayed] { return decayed->timedBlock(); }, {}});
        workloads.push_back({name + " ToneShaper alone", [shaper] { return shaper->timedBlock(); }, {}});
    }

    const CoreClock before = measureCoreClock();
    for (int block = 0; block < timedBlocks; ++block)
        for (Workload& workload : workloads)
            workload.ticks.push_back(workload.timedBlock());
    const CoreClock after = measureCoreClock();

    const double cyclesPerTick = (before.cyclesPerTick + after.cyclesPerTick) / 2.0;
    const bool steadyClock =
        before.trustworthy() && after.trustworthy() &&
        std::max(before.cyclesPerTick, after.cyclesPerTick) / std::min(before.cyclesPerTick, after.cyclesPerTick) <
            1.03;
    std::printf("core %d; TSC %.3f GHz; core clock %.3f GHz before, %.3f GHz after (add chain), %.3f / %.3f GHz "
                "(imul chain)\n",
                core, before.ticksPerNanosecond, before.cyclesPerTick * before.ticksPerNanosecond,
                after.cyclesPerTick * after.ticksPerNanosecond, before.cyclesPerTickCheck * before.ticksPerNanosecond,
                after.cyclesPerTickCheck * after.ticksPerNanosecond);
    if (!steadyClock)
        std::printf("NOT TRUSTWORTHY: the core clock changed or the chains disagree; cycles below are rough\n");
    std::printf("%-34s %12s %12s %12s %12s\n", "per stereo frame, 512-frame blocks", "ticks med", "ticks min",
                "cycles med", "cycles min");
    bool busy = false;
    for (const Workload& workload : workloads)
    {
        const double median = perFrame(workload.ticks, 0.5), quickest = perFrame(workload.ticks, 0.0);
        // A median well above the quickest block: other work shared the core.
        const bool shared = median > 1.05 * quickest;
        busy = busy || shared;
        std::printf("%-34s %12.2f %12.2f %12.2f %12.2f%s\n", workload.name.c_str(), median, quickest,
                    median * cyclesPerTick, quickest * cyclesPerTick, shared ? "  *" : "");
    }
    if (busy)
        std::printf("* median over 5 %% above the quickest block: the core was shared, the medians are not "
                    "trustworthy (the quickest blocks are the better estimate)\n");
    // The decayed signal must cost what ordinary audio does: flush-to-zero works.
    bool decayedAsCheap = true;
    for (std::size_t k = 0; k < kernels.size(); ++k)
    {
        const double ratio = perFrame(workloads[3 * k + 1].ticks, 0.5) / perFrame(workloads[3 * k].ticks, 0.5);
        std::printf("%s: decayed / ordinary = %.3f%s\n", shaperKernelName(kernels[k]), ratio,
                    ratio <= 1.1 ? "" : "  (above 1.1)");
        decayedAsCheap = decayedAsCheap && ratio <= 1.1;
    }
    return decayedAsCheap ? 0 : 2;
}
