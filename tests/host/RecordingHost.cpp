#include "RecordingHost.h"

namespace varnoke::test
{
std::mutex RecordingHost::mutex;
std::vector<HostCall> RecordingHost::recorded;
VstIntPtr RecordingHost::versionAnswer = 2400;
VstIntPtr RecordingHost::processLevelAnswer = 2;  // realtime

VstIntPtr RecordingHost::callback(AEffect* effect, int opcode, int index, VstIntPtr value, void* ptr, float opt)
{
    HostCall call{effect, opcode, index, value, {}, opt};
    if (opcode == audioMasterCanDo && ptr != nullptr)
        call.text = static_cast<const char*>(ptr);
    {
        const std::lock_guard<std::mutex> lock(mutex);
        recorded.push_back(call);
    }

    switch (opcode)
    {
    case audioMasterVersion: return versionAnswer;
    case audioMasterGetCurrentProcessLevel: return processLevelAnswer;
    case audioMasterCanDo: return call.text == "sizeWindow" ? 1 : 0;
    case audioMasterSizeWindow: return 1;
    default: return 0;
    }
}

void RecordingHost::reset()
{
    const std::lock_guard<std::mutex> lock(mutex);
    recorded.clear();
    versionAnswer = 2400;
    processLevelAnswer = 2;
}

std::vector<HostCall> RecordingHost::calls()
{
    const std::lock_guard<std::mutex> lock(mutex);
    return recorded;
}

int RecordingHost::count(int opcode, AEffect* effect)
{
    int n = 0;
    for (const auto& call : calls())
        if (call.opcode == opcode && (effect == nullptr || call.effect == effect))
            ++n;
    return n;
}

std::vector<int> RecordingHost::opcodes(AEffect* effect)
{
    std::vector<int> result;
    for (const auto& call : calls())
        if (call.effect == effect)
            result.push_back(call.opcode);
    return result;
}
}  // namespace varnoke::test
