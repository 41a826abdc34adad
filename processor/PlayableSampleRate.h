#pragma once

#include <cmath>

namespace varnoke
{
// The rate to play at for a rate a host announces. One that is not a real
// rate (NaN, infinite, zero or negative, or under one hertz, where a single
// sample would last longer than a second) is played at 44100 Hz.
constexpr double fallbackSampleRate = 44100.0;
constexpr double lowestRealSampleRate = 1.0;

inline double playableSampleRate(double announced) noexcept
{
    return announced >= lowestRealSampleRate && std::isfinite(announced) ? announced : fallbackSampleRate;
}
}  // namespace varnoke
