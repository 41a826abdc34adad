#pragma once

#include "ProductIdentity.h"

#include <array>
#include <cstdint>

// Who the plug-in is to a VST 2.4 host, and which channel layouts it accepts.
namespace varnoke::identity
{
constexpr const char* effectName = product::name;
constexpr const char* productString = product::name;
constexpr const char* vendorString = product::vendor;
constexpr int vendorVersion = product::vendorVersion;
constexpr std::int32_t uniqueId = product::vst2UniqueId;
constexpr std::int32_t identifyAnswer = product::fourCharacterCode("NvEf");
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
