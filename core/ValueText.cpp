#include "ValueText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace varnoke::core
{
namespace
{
float clampedPosition(float position) noexcept
{
    if (std::isnan(position))
        return 0.0f;
    return std::clamp(position, 0.0f, 1.0f);
}

// The band gain and the output gain exactly as the processor derives them.
double bandGainAt(float position) noexcept
{
    return static_cast<double>(position * 10.0f) * 0.5;
}

double outputGainAt(float position) noexcept
{
    return static_cast<double>(position * 2.0f);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) {
                                                  return std::tolower(static_cast<unsigned char>(x)) ==
                                                         std::tolower(static_cast<unsigned char>(y));
                                              });
}

std::string_view trimmed(std::string_view text) noexcept
{
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// The number of dB a text names, without its unit; -infinity for "-inf".
std::optional<double> decibelsIn(std::string_view text)
{
    text = trimmed(text);
    if (text.size() >= 2 && equalsIgnoringCase(text.substr(text.size() - 2), "db"))
        text = trimmed(text.substr(0, text.size() - 2));
    if (equalsIgnoringCase(text, "-inf") || equalsIgnoringCase(text, "-infinity"))
        return -std::numeric_limits<double>::infinity();

    std::string number(text);
    if (!number.empty() && number.front() == '+')
        number.erase(0, 1);
    std::replace(number.begin(), number.end(), ',', '.');
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}
}  // namespace

double decibelsAt(ValueScale scale, float position) noexcept
{
    const float clamped = clampedPosition(position);
    switch (scale)
    {
    case ValueScale::bandBoostDb: return 20.0 * std::log10(1.0 + bandGainAt(clamped));
    case ValueScale::outputGainDb:
    {
        const double gain = outputGainAt(clamped);
        return gain > 0.0 ? 20.0 * std::log10(gain) : -std::numeric_limits<double>::infinity();
    }
    }
    return 0.0;
}

// Written digit by digit: printf would follow the host's locale (a ',' in many).
std::string valueText(ValueScale scale, float position)
{
    const double decibels = decibelsAt(scale, position);
    if (std::isinf(decibels))
        return "-inf dB";

    const long long tenths = std::llround(decibels * 10.0);
    const long long magnitude = std::llabs(tenths);
    std::string text = tenths > 0 ? "+" : tenths < 0 ? "-" : "";
    text += std::to_string(magnitude / 10);
    text += '.';
    text += static_cast<char>('0' + magnitude % 10);
    text += " dB";
    return text;
}

std::optional<float> positionForText(ValueScale scale, std::string_view text)
{
    const auto decibels = decibelsIn(text);
    if (!decibels)
        return std::nullopt;

    const double gain = std::pow(10.0, *decibels / 20.0);  // 0 for -inf
    const double position = scale == ValueScale::outputGainDb ? gain / 2.0 : (gain - 1.0) / 5.0;
    return clampedPosition(static_cast<float>(position));
}
}  // namespace varnoke::core
