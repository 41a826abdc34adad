#pragma once

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace varnoke
{
// Flushes subnormal numbers to zero for the block and restores the caller's
// mode afterwards: a decaying signal would otherwise crawl through subnormals,
// which cost a hundred times more. The kernels of both processor families
// flush inputs and results alike, so they give the same bits.
class ScopedFlushToZero
{
public:
    ScopedFlushToZero() noexcept
        : saved(readMode())
    {
        writeMode(saved | flushBits);
    }
    ~ScopedFlushToZero() { writeMode(saved); }

    ScopedFlushToZero(const ScopedFlushToZero&) = delete;
    ScopedFlushToZero& operator=(const ScopedFlushToZero&) = delete;

#if defined(__x86_64__) || defined(_M_X64)
    // MXCSR: FTZ flushes subnormal results, DAZ reads subnormal inputs as zero.
    using Mode = unsigned;
    static constexpr Mode flushBits = 0x8000 | 0x0040;
    static Mode readMode() noexcept
    {
        return _mm_getcsr();
    }
    static void writeMode(Mode mode) noexcept
    {
        _mm_setcsr(mode);
    }
#elif defined(__aarch64__)
    // FPCR: FZ (bit 24) flushes subnormal inputs and results of single- and
    // double-precision arithmetic and conversions.
    using Mode = unsigned long long;
    static constexpr Mode flushBits = Mode{1} << 24;
    static Mode readMode() noexcept
    {
        Mode mode;
        asm volatile("mrs %0, fpcr" : "=r"(mode));
        return mode;
    }
    static void writeMode(Mode mode) noexcept
    {
        asm volatile("msr fpcr, %0" : : "r"(mode));
    }
#endif

private:
    const Mode saved;
};
}  // namespace varnoke
