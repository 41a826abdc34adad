#include "ChannelRestart.h"

#include <cfloat>
#include <cmath>
#include <initializer_list>

namespace varnoke
{
namespace
{
// A stable section's output stays within the sum of its impulse response's
// magnitudes times the largest input: at most about 4.6 times the largest float
// for any rate. A plain block of the largest float already leaves the all-pass
// a hair above it, so the float range itself is no bound.
constexpr double sectionMemoryLimit = 8.0 * static_cast<double>(FLT_MAX);

bool isWithinLimit(double value)
{
    return std::fabs(value) <= sectionMemoryLimit;  // false for NaN too
}
}  // namespace

bool channelNeedsRestart(const BiquadState& allPass, const BiquadState& lowPass, const BiquadState& highPass,
                         double cvGain, double dc) noexcept
{
    bool healthy = std::isfinite(cvGain) && std::isfinite(dc);
    for (const BiquadState* state : {&allPass, &lowPass, &highPass})
        healthy = healthy && isWithinLimit(state->x1) && isWithinLimit(state->x2) && isWithinLimit(state->y1) &&
                  isWithinLimit(state->y2);
    return !healthy;
}
}  // namespace varnoke
