#pragma once

#include "ShaperKernel.h"

#include <optional>

namespace varnoke
{
// Which loops this processor (and its operating system) can run.
bool processorRuns(ShaperKernel kernel) noexcept;

// The widest loop this processor runs, unless the environment variable
// VARNOKE_KERNEL names another one it runs ("sse2", "avx2" or "avx512" on
// x86-64, "neon" on AArch64): tests and measurements use it to force each
// loop, also through the built plug-in.
// A name this processor cannot run, or no name at all, gives the widest.
ShaperKernel chooseShaperKernel() noexcept;

ShaperKernelFunction shaperKernelFunction(ShaperKernel kernel) noexcept;

const char* shaperKernelName(ShaperKernel kernel) noexcept;
std::optional<ShaperKernel> shaperKernelNamed(const char* name) noexcept;
}  // namespace varnoke
