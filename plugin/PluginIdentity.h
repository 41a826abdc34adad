#pragma once

#include <array>
#include <cstdint>

// Who the plug-in is to a host, and which channel layouts it accepts.
namespace varnoke::identity
{
constexpr std::int32_t fourCharCode(char a, char b, char c, char d)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                     static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr const char* effectName = "Varnoke";
constexpr const char* productString = "Varnoke";
constexpr const char* vendorString = "Ostrelund";
constexpr int vendorVersion = 100;  // 1.0.0 as major * 100 + minor * 10 + patch
constexpr std::int32_t uniqueId = fourCharCode('P', 'l', 'u', 'g');
constexpr std::int32_t identifyAnswer = fourCharCode('N', 'v', 'E', 'f');
constexpr int plugCategoryEffect = 1;
constexpr int vstVersion = 2400;
constexpr int maxInputs = 2;
constexpr int maxOutputs = 2;

// String limits, in bytes including the terminating zero.
constexpr int effectNameBytes = 64;
constexpr int programNameBytes = 24;
constexpr int paramDisplayBytes = 24;
constexpr int paramNameBytes = 16;
constexpr int pinLabelBytes = 63;
constexpr int pinShortLabelBytes = 7;

struct ChannelConfiguration
{
    int inputs;
    int outputs;
};

// Sorted ascending; an arrangement is matched against them from the last to the first.
constexpr std::array<ChannelConfiguration, 2> channelConfigurations{{{1, 1}, {2, 2}}};
}  // namespace varnoke::identity
