#pragma once

namespace varnoke
{
// One second-order section, normalised so that a0 = 1:
// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]
struct BiquadCoeffs
{
    double a1 = 0.0;
    double a2 = 0.0;
    double b0 = 0.0;
    double b1 = 0.0;
    double b2 = 0.0;
};

// The memories of one section on one channel.
struct BiquadState
{
    double x1 = 0.0;  // previous input
    double x2 = 0.0;  // second-previous input
    double y1 = 0.0;  // previous output
    double y2 = 0.0;  // second-previous output
};
}  // namespace varnoke
