#include "CanDoTable.h"

#include <cstring>

namespace varnoke
{
namespace
{
struct CanDoEntry
{
    const char* capability;
    int answer;
};

constexpr CanDoEntry canDoEntries[] = {
    {"receiveVstEvents", -1},
    {"receiveVstMidiEvent", -1},
    {"receiveVstMidiEvents", -1},
    {"sendVstEvents", -1},
    {"sendVstMidiEvent", -1},
    {"sendVstMidiEvents", -1},
    {"receiveVstTimeInfo", 1},
    {"conformsToWindowRules", 1},
    {"bypass", 1},
    // The host is asked to open and close the editor on its UI thread.
    {"openCloseAnyThread", -1},
};
}  // namespace

int answerCanDo(const char* capability) noexcept
{
    if (capability == nullptr)
        return 0;

    for (const auto& entry : canDoEntries)
        if (std::strcmp(entry.capability, capability) == 0)
            return entry.answer;

    return 0;
}
}  // namespace varnoke
