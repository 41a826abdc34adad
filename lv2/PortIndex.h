#pragma once

#include "HostParameterTable.h"

#include <cstdint>

// The ports of the LV2 plug-in, as dsp.ttl.in numbers them: the four audio
// ports, then one control input per host parameter in the table's order.
namespace varnoke::lv2::port
{
constexpr std::uint32_t audioInLeft = 0;
constexpr std::uint32_t audioInRight = 1;
constexpr std::uint32_t audioOutLeft = 2;
constexpr std::uint32_t audioOutRight = 3;
constexpr std::uint32_t firstControl = 4;
constexpr std::uint32_t count = firstControl + static_cast<std::uint32_t>(core::numHostParameters);

// The host parameter a port carries, or -1 for an audio port or a foreign index.
constexpr int parameterOf(std::uint32_t index) noexcept
{
    return index >= firstControl && index < count ? static_cast<int>(index - firstControl) : -1;
}

constexpr std::uint32_t ofParameter(int parameterIndex) noexcept
{
    return firstControl + static_cast<std::uint32_t>(parameterIndex);
}
}  // namespace varnoke::lv2::port
