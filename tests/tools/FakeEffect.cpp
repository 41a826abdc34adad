// A VST 2.4 library that is not Varnoke: it creates an effect of another
// name and ID, so a host tool can be shown refusing it.

#include <pluginterfaces/fst/aeffectx.h>

#include <cstring>

namespace
{
VstIntPtr dispatch(AEffect*, int opcode, int, VstIntPtr, void* ptr, float)
{
    if (opcode == 45 && ptr != nullptr)  // effGetEffectName
        std::strcpy(static_cast<char*>(ptr), "Other");
    return 0;
}

void processNothing(AEffect*, float**, float**, int) {}
void setNothing(AEffect*, int, float) {}
float getNothing(AEffect*, int)
{
    return 0.0f;
}

AEffect effect = []
{
    AEffect e{};
    e.magic = 0x56737450;  // 'VstP'
    e.dispatcher = dispatch;
    e.process = processNothing;
    e.processReplacing = processNothing;
    e.setParameter = setNothing;
    e.getParameter = getNothing;
    e.numInputs = e.numOutputs = 2;
    e.uniqueID = 0x4f746872;  // 'Othr'
    return e;
}();
}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback)
{
    return &effect;
}
