#pragma once

#include "HostAbi.h"

#include <mutex>
#include <string>
#include <vector>

namespace varnoke::test
{
// The test hosts use the host side's own names for the ABI's numbers.
using namespace varnoke::host;

struct HostCall
{
    AEffect* effect;
    int opcode;
    int index;
    VstIntPtr value;
    std::string text;  // the capability of audioMasterCanDo
    float opt;
};

// An audioMasterCallback that records every call and answers like a simple
// realtime host. One per process; the tests reset it.
class RecordingHost
{
public:
    static VstIntPtr callback(AEffect* effect, int opcode, int index, VstIntPtr value, void* ptr, float opt);

    static void reset();
    static std::vector<HostCall> calls();
    static int count(int opcode, AEffect* effect = nullptr);
    static std::vector<int> opcodes(AEffect* effect);

    static VstIntPtr versionAnswer;
    static VstIntPtr processLevelAnswer;

private:
    static std::mutex mutex;
    static std::vector<HostCall> recorded;
};
}  // namespace varnoke::test
