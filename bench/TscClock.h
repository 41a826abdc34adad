#pragma once

// Time with the processor's time-stamp counter, and core cycles estimated from
// it. Where the machine exposes no cycle counter (virtual machines often do
// not), the core clock is measured as the ratio of a dependent chain of known
// latency to the ticks it takes, on the same pinned core, the quickest of many
// tries: a pre-empted try only gets slower, so the quickest is the clean one.
// Dividing by wall time instead counts every pre-emption as slowness.

#include <x86intrin.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <sched.h>

namespace varnoke::bench
{
inline std::uint64_t ticksNow()
{
    _mm_lfence();
    const std::uint64_t ticks = __rdtsc();
    _mm_lfence();
    return ticks;
}

// Pins the calling thread to one core; answers false if it cannot.
inline bool pinToCore(int core)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(core, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

struct CoreClock
{
    double cyclesPerTick = 0.0;       // from the one-cycle chain
    double cyclesPerTickCheck = 0.0;  // from the three-cycle chain
    double ticksPerNanosecond = 0.0;  // the counter's own rate, from wall time

    // The two chains agree within 3 %: the core ran at one clock while they ran.
    bool trustworthy() const
    {
        return cyclesPerTick > 0.0 && cyclesPerTickCheck > 0.0 &&
               std::max(cyclesPerTick, cyclesPerTickCheck) / std::min(cyclesPerTick, cyclesPerTickCheck) < 1.03;
    }
};

// Ticks of the quickest of many runs of 100000 dependent additions (one cycle
// each on every x86-64 core) or 33333 dependent multiplications (three each).
inline double cyclesPerTickOfChain(bool multiply)
{
    std::uint64_t quickest = ~std::uint64_t{0};
    for (int attempt = 0; attempt < 300; ++attempt)
    {
        std::uint64_t value = 1;
        const std::uint64_t start = ticksNow();
        if (multiply)
            for (int i = 0; i < 333; ++i)
                asm volatile(".rept 100\n\timul $1, %0, %0\n\t.endr" : "+r"(value));
        else
            for (int i = 0; i < 1000; ++i)
                asm volatile(".rept 100\n\tadd $1, %0\n\t.endr" : "+r"(value));
        quickest = std::min(quickest, ticksNow() - start);
    }
    const double cycles = multiply ? 3.0 * 33300.0 : 100000.0;
    return cycles / static_cast<double>(quickest);
}

inline CoreClock measureCoreClock()
{
    CoreClock clock;
    const auto wallStart = std::chrono::steady_clock::now();
    const std::uint64_t tickStart = __rdtsc();
    clock.cyclesPerTick = cyclesPerTickOfChain(false);
    clock.cyclesPerTickCheck = cyclesPerTickOfChain(true);
    const double nanoseconds =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - wallStart).count();
    clock.ticksPerNanosecond = static_cast<double>(__rdtsc() - tickStart) / nanoseconds;
    return clock;
}
}  // namespace varnoke::bench
