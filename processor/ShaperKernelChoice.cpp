#include "ShaperKernelChoice.h"

#include <cstdlib>
#include <cstring>

namespace varnoke
{
namespace
{
constexpr ShaperKernel widestFirst[] = {ShaperKernel::avx512, ShaperKernel::avx2, ShaperKernel::sse2};
}  // namespace

bool processorRuns(ShaperKernel kernel) noexcept
{
    // __builtin_cpu_supports also checks that the operating system saves the
    // wide registers.
    switch (kernel)
    {
    case ShaperKernel::sse2: return true;
    case ShaperKernel::avx2: return __builtin_cpu_supports("avx2");
    case ShaperKernel::avx512: return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    }
    return false;
}

ShaperKernel chooseShaperKernel() noexcept
{
    if (const char* name = std::getenv("VARNOKE_KERNEL"))
        if (const auto named = shaperKernelNamed(name); named && processorRuns(*named))
            return *named;
    for (const ShaperKernel kernel : widestFirst)
        if (processorRuns(kernel))
            return kernel;
    return ShaperKernel::sse2;
}

ShaperKernelFunction shaperKernelFunction(ShaperKernel kernel) noexcept
{
    switch (kernel)
    {
    case ShaperKernel::avx2: return runShaperKernelAvx2;
    case ShaperKernel::avx512: return runShaperKernelAvx512;
    case ShaperKernel::sse2: break;
    }
    return runShaperKernelSse2;
}

const char* shaperKernelName(ShaperKernel kernel) noexcept
{
    switch (kernel)
    {
    case ShaperKernel::avx2: return "avx2";
    case ShaperKernel::avx512: return "avx512";
    case ShaperKernel::sse2: break;
    }
    return "sse2";
}

std::optional<ShaperKernel> shaperKernelNamed(const char* name) noexcept
{
    for (const ShaperKernel kernel : widestFirst)
        if (std::strcmp(name, shaperKernelName(kernel)) == 0)
            return kernel;
    return std::nullopt;
}
}  // namespace varnoke
