#pragma once

#include "Biquad.h"

namespace varnoke
{
// The three sections of the fixed 700 Hz, Q = 0.23 crossover for one sample
// rate. They share a1 and a2; only the numerators differ.
struct CrossoverSections
{
    BiquadCoeffs allPass;
    BiquadCoeffs lowPass;
    BiquadCoeffs highPass;
};

// Designs the sections for a sample rate in Hz. Each intermediate value is
// rounded exactly where the design puts it (single-precision w0, sine, cosine
// and alpha; double for the rest), so the result is the same bit pattern on
// every machine. Any positive rate gets stable sections: below 1401 Hz, where
// the corner would reach Nyquist, the rate is designed as 1401 Hz.
CrossoverSections designCrossover(double sampleRate);
}  // namespace varnoke
