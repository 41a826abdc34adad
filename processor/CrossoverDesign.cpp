#include "CrossoverDesign.h"

#include <cmath>
#include <initializer_list>

namespace
{
// 4398.23 rad/s (700 Hz) and 2 Q = 0.46, both as the nearest single-precision
// values, held as doubles.
constexpr double cornerRadiansPerSecond = 4398.22998046875;
constexpr double twiceQ = 0.46000000834465027;
}  // namespace

CrossoverSections designCrossover(double sampleRate)
{
    const float w0 = static_cast<float>(cornerRadiansPerSecond / sampleRate);
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
