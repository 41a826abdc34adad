// The two-lane loop on AArch64's NEON registers (every AArch64 processor has them).

#include "PairShaperLoop.h"

namespace varnoke
{
void runShaperKernelNeon(const ShaperSettings& settings, ShaperChannelState& leftState, ShaperChannelState& rightState,
                         float* left, float* right, int frames) noexcept
{
    runPairKernel(settings, leftState, rightState, left, right, frames);
}
}  // namespace varnoke
