#include "CrossoverDesign.h"

#include <cmath>
#include <initializer_list>

namespace varnoke
{
namespace
{
// 4398.23 rad/s (700 Hz) and 2 Q = 0.46, both as the nearest single-precision
// values, held as doubles.
constexpr double cornerRadiansPerSecond = 4398.22998046875;
constexpr double twiceQ = 0.46000000834465027;

// The sections are stable only while the corner lies below the Nyquist
// frequency. 700 Hz reaches it at 1400 Hz, and below that w0 wraps around the
// circle into arbitrary, mostly unstable designs. Lower rates get the design
// of this rate instead, whose corner lies just under Nyquist (0.9993 of it);
// at this rate and above, the design is what it always was.
constexpr double lowestDesignRate = 1401.0;
}  // namespace

CrossoverSections designCrossover(double sampleRate)
{
    const double designRate = sampleRate >= lowestDesignRate ? sampleRate : lowestDesignRate;
    const float w0 = static_cast<float>(cornerRadiansPerSecond / designRate);
    // The sine and cosine of the single w0, rounded to single. Going through the
    // double functions gives the correctly rounded single result with any C
    // library, where single-precision sinf/cosf may differ in the last bit.
    const float s = static_cast<float>(std::sin(static_cast<double>(w0)));
    const float c = static_cast<float>(std::cos(static_cast<double>(w0)));
    const float alpha = static_cast<float>(static_cast<double>(s) / twiceQ);

    const double n = 1.0 / (static_cast<double>(alpha) + 1.0);
    const double a1 = (static_cast<double>(c) * -2.0) * n;
    const double a2 = (1.0 - static_cast<double>(alpha)) * n;

    CrossoverSections sections;
    for (BiquadCoeffs* set : {&sections.allPass, &sections.lowPass, &sections.highPass})
    {
        set->a1 = a1;
        set->a2 = a2;
    }

    sections.allPass.b0 = a2;
    sections.allPass.b1 = a1;
    sections.allPass.b2 = 1.0;

    sections.lowPass.b1 = (1.0 - static_cast<double>(c)) * n;
    sections.lowPass.b0 = sections.lowPass.b1 * 0.5;
    sections.lowPass.b2 = sections.lowPass.b1 * 0.5;

    sections.highPass.b1 = -((static_cast<double>(c) + 1.0) * n);
    sections.highPass.b0 = sections.highPass.b1 * -0.5;
    sections.highPass.b2 = sections.highPass.b1 * -0.5;

    return sections;
}
}  // namespace varnoke
