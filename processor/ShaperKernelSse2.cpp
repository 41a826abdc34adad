// The two-lane loop on x86-64's SSE2 registers (every x86-64 processor has them).

#include "PairShaperLoop.h"

namespace varnoke
{
void runShaperKernelSse2(const ShaperSettings& settings, ShaperChannelState& leftState, ShaperChannelState& rightState,
                         float* left, float* right, int frames) noexcept
{
    runPairKernel(settings, leftState, rightState, left, right, frames);
}
}  // namespace varnoke
