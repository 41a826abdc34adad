#include "ChannelRestart.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

using namespace varnoke;

namespace
{
// One channel's memories, as the processor keeps them.
struct ChannelMemories
{
    BiquadState allPass, lowPass, highPass;
    double cvGain = 0.0;
    double dc = 0.0;
};

struct RestartCase
{
    const char* name;
    std::function<void(ChannelMemories&)> damage;
    bool restarts;
};

std::ostream& operator<<(std::ostream& stream, const RestartCase& restartCase)
{
    return stream << restartCase.name;
}

constexpr double floatMax = FLT_MAX;
constexpr double inf = std::numeric_limits<double>::infinity();

const RestartCase restartCases[] = {
    {"AtRest", [](ChannelMemories&) {}, false},
    {"NanInput", [](ChannelMemories& m) { m.allPass.x1 = std::nan(""); }, true},
    {"InfiniteOutput", [](ChannelMemories& m) { m.highPass.y2 = -inf; }, true},
    {"InfiniteDc", [](ChannelMemories& m) { m.dc = inf; }, true},
    {"NanGain", [](ChannelMemories& m) { m.cvGain = std::nan(""); }, true},
    // What an unstable design leaves: finite in double, far beyond the float range.
    {"SectionsGrownFarBeyondTheFloatRange",
     [](ChannelMemories& m)
     {
         m.lowPass.y1 = 1e200;
         m.lowPass.y2 = -1e199;
     },
     true},
    {"OneOutputJustBeyondWhatAnInputCanDrive", [](ChannelMemories& m) { m.allPass.y1 = 8.5 * floatMax; }, true},
    // What inputs of the largest float leave in a stable design: played on.
    {"LargestFloatInputs",
     [](ChannelMemories& m)
     {
         m.allPass = {floatMax, -floatMax, 4.6 * floatMax, -4.6 * floatMax};
         m.lowPass = {floatMax, -floatMax, 2.1 * floatMax, floatMax};
         m.highPass = {floatMax, -floatMax, -floatMax, floatMax};
     },
     false},
    // Huge inputs and parameters carry the smoothers far out; they decay by themselves.
    {"HugeDcLevel", [](ChannelMemories& m) { m.dc = 1e300; }, false},
    {"HugeNegativeGain", [](ChannelMemories& m) { m.cvGain = -1e300; }, false},
};

class ChannelRestart : public ::testing::TestWithParam<RestartCase>
{
};

TEST_P(ChannelRestart, OnlyDamageRestartsTheChannel)
{
    ChannelMemories memories;
    GetParam().damage(memories);
    EXPECT_EQ(GetParam().restarts,
              channelNeedsRestart(memories.allPass, memories.lowPass, memories.highPass, memories.cvGain, memories.dc));
}

INSTANTIATE_TEST_SUITE_P(Memories, ChannelRestart, ::testing::ValuesIn(restartCases),
                         [](const auto& info) { return std::string(info.param.name); });
}  // namespace
