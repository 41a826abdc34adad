// The kernel and processBlock on 512-frame stereo blocks: nanoseconds (and CPU
// cycles where the machine exposes a cycle counter) per stereo frame, for
// ordinary audio and for a signal that has decayed into the subnormal range.

#include "BenchSignals.h"
#include "TscClock.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include <linux/perf_event.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace varnoke;

namespace
{
constexpr int blockSize = 512;

// The hardware cycle counter of this thread, where the kernel offers one (many
// virtual machines do not).
class CycleCounter
{
public:
    CycleCounter()
    {
        perf_event_attr attributes{};
        attributes.type = PERF_TYPE_HARDWARE;
        attributes.size = sizeof attributes;
        attributes.config = PERF_COUNT_HW_CPU_CYCLES;
        attributes.disabled = 1;
        attributes.exclude_kernel = 1;
        attributes.exclude_hv = 1;
        descriptor = static_cast<int>(syscall(SYS_perf_event_open, &attributes, 0, -1, -1, 0));
    }
    ~CycleCounter()
    {
        if (descriptor >= 0)
            close(descriptor);
    }
    bool available() const { return descriptor >= 0; }
    void start()
    {
        ioctl(descriptor, PERF_EVENT_IOC_RESET, 0);
        ioctl(descriptor, PERF_EVENT_IOC_ENABLE, 0);
    }
    long long stop()
    {
        ioctl(descriptor, PERF_EVENT_IOC_DISABLE, 0);
        long long cycles = 0;
        if (read(descriptor, &cycles, sizeof cycles) != sizeof cycles)
            return 0;
        return cycles;
    }

private:
    int descriptor = -1;
};

// Where there is no cycle counter, the core clock is estimated from dependent
// chains timed with the TSC (see TscClock.h; run pinned, e.g. taskset -c 1).
const varnoke::bench::CoreClock& coreClock()
{
    static const varnoke::bench::CoreClock clock = varnoke::bench::measureCoreClock();
    return clock;
}

double estimatedGigahertz()
{
    return coreClock().cyclesPerTick * coreClock().ticksPerNanosecond;
}

void reportPerFrame(benchmark::State& state, CycleCounter& counter, long long cycles, double seconds)
{
    const auto frames = static_cast<double>(state.iterations()) * blockSize;
    state.SetItemsProcessed(static_cast<int64_t>(frames));
    state.counters["ns/frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (counter.available())
        state.counters["cycles/frame"] = static_cast<double>(cycles) / frames;
    else
    {
        state.counters["cycles/frame"] = seconds * estimatedGigahertz() * 1.0e9 / frames;
        state.SetLabel("cycles estimated from a " + std::to_string(estimatedGigahertz()).substr(0, 4) + " GHz clock" +
                       (coreClock().trustworthy() ? "" : " (NOT TRUSTWORTHY: the chains disagree)") +
                       "; per kernel: varnoke_kernel_cycles; exact instructions: bench/count-instructions.sh");
    }
}

// Times processOneBlock on copies of source, one 512-frame stereo block at a time.
template <typename ProcessOneBlock>
void runBlocks(benchmark::State& state, const juce::AudioSampleBuffer& source, ProcessOneBlock&& processOneBlock)
{
    juce::AudioSampleBuffer buffer(2, blockSize);
    CycleCounter counter;
    long long cycles = 0;
    estimatedGigahertz();  // calibrate before the clock starts
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        // Copying 4 KiB in costs well under 0.2 ns per frame; pausing the timer costs far more.
        buffer.makeCopyOf(source, true);
        if (counter.available())
            counter.start();
        processOneBlock(buffer);
        if (counter.available())
            cycles += counter.stop();
        benchmark::DoNotOptimize(buffer.getReadPointer(0));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    reportPerFrame(state, counter, cycles, seconds);
}

void runProcessorBlocks(benchmark::State& state, VarnokeAudioProcessor& processor,
                        const juce::AudioSampleBuffer& source)
{
    juce::MidiBuffer midi;
    runBlocks(state, source, [&](juce::AudioSampleBuffer& buffer) { processor.processBlock(buffer, midi); });
}

void processBlockNormal(benchmark::State& state)
{
    VarnokeAudioProcessor processor;
    prepareAtMidSettings(processor, blockSize);
    juce::AudioSampleBuffer source(2, blockSize);
    std::mt19937 random(1);
    fillNoise(source, random);
    runProcessorBlocks(state, processor, source);
}

void processBlockDecayed(benchmark::State& state)
{
    VarnokeAudioProcessor processor;
    prepareAtMidSettings(processor, blockSize);
    juce::AudioSampleBuffer source(2, blockSize);
    decayIntoTheSubnormalRange(processor, source);
    source.clear();
    runProcessorBlocks(state, processor, source);
}

// The kernel alone, at the gains of the mid settings: the arithmetic without the processor's glue.
void toneShaperNormal(benchmark::State& state)
{
    varnoke::ToneShaper shaper;
    shaper.prepare(44100.0);
    shaper.setGains({2.5, 2.5, 5.0, 1.0});
    juce::AudioSampleBuffer source(2, blockSize);
    std::mt19937 random(1);
    fillNoise(source, random);
    runBlocks(state, source,
              [&shaper](juce::AudioSampleBuffer& buffer)
              { shaper.process(buffer.getWritePointer(0), buffer.getWritePointer(1), buffer.getNumSamples()); });
}
}  // namespace

BENCHMARK(toneShaperNormal);
BENCHMARK(processBlockNormal);
BENCHMARK(processBlockDecayed);
BENCHMARK_MAIN();
