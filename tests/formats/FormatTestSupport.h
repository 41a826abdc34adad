#pragma once

#include "Vst2Reference.h"
#include "support/BitPatterns.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace varnoke::test
{
inline void PrintTo(const KnobSettings& knobs, std::ostream* out)
{
    *out << "{" << knobs.lowContour << ", " << knobs.process << ", " << knobs.output << "}";
}

// Knob settings worth hearing: the defaults, the ends of each range, and
// values that do not fall on any round number.
inline const std::vector<KnobSettings>& knobSettingsToCompare()
{
    static const std::vector<KnobSettings> settings{
        {0.0f, 0.0f, 0.5f},
        {0.3f, 0.7f, 0.5f},
        {1.0f, 1.0f, 1.0f},
        {0.123456789f, 0.987654321f, 0.0000001f},
    };
    return settings;
}

// Where two signals first differ, bit for bit; none when they are the same.
inline ::testing::AssertionResult sameBits(const StereoSignal& expected, const StereoSignal& actual)
{
    if (expected.left.size() != actual.left.size() || expected.right.size() != actual.right.size())
        return ::testing::AssertionFailure() << "lengths differ";
    for (int channel = 0; channel < 2; ++channel)
    {
        const auto& want = channel == 0 ? expected.left : expected.right;
        const auto& got = channel == 0 ? actual.left : actual.right;
        for (std::size_t i = 0; i < want.size(); ++i)
            if (bitsOf(want[i]) != bitsOf(got[i]))
                return ::testing::AssertionFailure()
                       << "channel " << channel << " frame " << i << ": expected " << want[i] << ", got " << got[i];
    }
    return ::testing::AssertionSuccess();
}

// The process's resident memory, for the tests that bound what an instance takes.
inline long residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}
}  // namespace varnoke::test
