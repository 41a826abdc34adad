#pragma once

#include "CrossoverDesign.h"
#include "ToneShaper.h"

#include <cmath>

namespace varnoke::test
{
// A plain scalar model of the per-sample signal path, one channel at a time,
// written straight from the processing steps. The processor's vectorised loop
// must agree with it bit for bit.
class ReferenceSignalPath
{
public:
    struct Gains
    {
        double low = 0.0, high = 0.0, cv = 0.0, output = 1.0;
    };

    void prepare(double sampleRate)
    {
        const CrossoverSections s = designCrossover(sampleRate);
        allPass = s.allPass;
        lowPass = s.lowPass;
        highPass = s.highPass;
    }

    float process(float input, const Gains& g)
    {
        const double x = input;
        const double ap = run(allPass, allPassState, x);
        const double lp = run(lowPass, lowPassState, x);
        const double hp = run(highPass, highPassState, x);
        const double target = 1.0 - std::fabs(x) * g.cv;
        cvGain = keep * cvGain + step * target;
        const double mix = ((cvGain * hp) * g.high + ap) + g.low * lp;
        dc = step * mix + keep * dc;
        const double out = (mix - dc) * g.output + 0.0;
        return static_cast<float>(out);
    }

    // The memories in the kernel's form: outputs are floats, where a double
    // rounded otherwise would hardly ever show, so the tests compare these too.
    ShaperChannelState memories() const { return {cvGain, allPassState, lowPassState, highPassState, dc}; }

private:
    static double run(const BiquadCoeffs& c, BiquadState& s, double x)
    {
        const double y = (((c.b0 * x + c.b1 * s.x1) + c.b2 * s.x2) - c.a1 * s.y1) - c.a2 * s.y2;
        s.x2 = s.x1;
        s.x1 = x;
        s.y2 = s.y1;
        s.y1 = y;
        return y;
    }

    static constexpr double step = varnoke::ToneShaper::smoothingStep;
    static constexpr double keep = varnoke::ToneShaper::smoothingKeep;

    BiquadCoeffs allPass, lowPass, highPass;
    BiquadState allPassState, lowPassState, highPassState;
    double cvGain = 0.0;
    double dc = 0.0;
};
}  // namespace varnoke::test
