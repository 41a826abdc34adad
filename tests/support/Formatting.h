#pragma once

#include <cstdio>
#include <string>

namespace varnoke::test
{
// A value printed with printf's %.<digits>g, for comparing against published
// decimal values that are themselves rounded to that many digits.
inline std::string significant(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

// A value printed with a fixed number of decimals (%.<decimals>f).
inline std::string decimals(double value, int places)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", places, value);
    return text;
}
}  // namespace varnoke::test
