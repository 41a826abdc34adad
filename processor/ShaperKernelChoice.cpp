#include "ShaperKernelChoice.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace varnoke
{
bool processorRuns(ShaperKernel kernel) noexcept
{
#if defined(__x86_64__) || defined(_M_X64)
    // __builtin_cpu_supports also checks that the operating system saves the
    // wide registers.
    switch (kernel)
    {
    case ShaperKernel::sse2: return true;
    case ShaperKernel::avx2: return __builtin_cpu_supports("avx2");
    case ShaperKernel::avx512: return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    }
    return false;
#else
    return kernel == ShaperKernel::neon;
#endif
}

ShaperKernel chooseShaperKernel() noexcept
{
    if (const char* name = std::getenv("VARNOKE_KERNEL"))
        if (const auto named = shaperKernelNamed(name); named && processorRuns(*named))
            return *named;
    for (auto kernel = std::rbegin(builtShaperKernels); kernel != std::rend(builtShaperKernels); ++kernel)
        if (processorRuns(*kernel))
            return *kernel;
    return pairShaperKernel;
}

ShaperKernelFunction shaperKernelFunction(ShaperKernel kernel) noexcept
{
    switch (kernel)
    {
#if defined(__x86_64__) || defined(_M_X64)
    case ShaperKernel::avx2: return runShaperKernelAvx2;
    case ShaperKernel::avx512: return runShaperKernelAvx512;
    case ShaperKernel::sse2: break;
#else
    case ShaperKernel::neon: break;
#endif
    }
    return runPairShaperKernel;
}

const char* shaperKernelName(ShaperKernel kernel) noexcept
{
    switch (kernel)
    {
#if defined(__x86_64__) || defined(_M_X64)
    case ShaperKernel::avx2: return "avx2";
    case ShaperKernel::avx512: return "avx512";
    case ShaperKernel::sse2: return "sse2";
#else
    case ShaperKernel::neon: return "neon";
#endif
    }
    return "";
}

std::optional<ShaperKernel> shaperKernelNamed(const char* name) noexcept
{
    for (const ShaperKernel kernel : builtShaperKernels)
        if (std::strcmp(name, shaperKernelName(kernel)) == 0)
            return kernel;
    return std::nullopt;
}
}  // namespace varnoke
