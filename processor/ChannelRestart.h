#pragma once

#include "Biquad.h"

namespace varnoke
{
// Whether a channel's memories can no longer carry a signal, so that the
// channel must start again from rest: a value in them is NaN or infinite, or
// a section's output memory lies beyond anything a float input can drive a
// stable section to (which only damage can leave behind, such as a run
// through an unstable design). The smoothed gain and DC level may be huge but
// finite: huge inputs and parameters carry them there, and they decay by
// themselves.
bool channelNeedsRestart(const BiquadState& allPass, const BiquadState& lowPass, const BiquadState& highPass,
                         double cvGain, double dc) noexcept;
}  // namespace varnoke
