// A VST 2.4 library that is not Varnoke. Built plainly, it creates an effect
// of another name and ID, so a host tool can be shown refusing it. Built with
// FAKE_EFFECT_IMITATES_VARNOKE, it answers a host's scan as Varnoke does but
// passes its input through, changed as the environment variable
// VARNOKE_FAKE_OUTPUT asks: "nan", "inf" or "-inf" put that value into one
// sample, "slow" takes 20 ms per block. It shows what a host tool does with
// outputs and timings the real plug-in may never produce.

#include <pluginterfaces/fst/aeffectx.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace
{
#ifdef FAKE_EFFECT_IMITATES_VARNOKE
constexpr const char* effectName = "Varnoke";
constexpr int effectId = 0x506c7567;  // 'Plug'
#else
constexpr const char* effectName = "Other";
constexpr int effectId = 0x4f746872;  // 'Othr'
#endif

// The frame, counted from the start, whose sample becomes non-finite.
constexpr long damagedFrame = 777;

struct Behaviour
{
    bool slow = false;
    bool damages = false;
    float damage = 0.0f;
};

Behaviour behaviourFromEnvironment()
{
    Behaviour behaviour;
    const char* request = std::getenv("VARNOKE_FAKE_OUTPUT");
    const std::string text = request != nullptr ? request : "";
    behaviour.slow = text == "slow";
    behaviour.damages = text == "nan" || text == "inf" || text == "-inf";
    behaviour.damage = text == "nan" ? std::nanf("") : (text == "inf" ? INFINITY : -INFINITY);
    return behaviour;
}

Behaviour behaviour;
// Counted over all instances; atomic, as a host may process several at once.
std::atomic<long> framesDone{0};

VstIntPtr dispatch(AEffect*, int opcode, int, VstIntPtr, void* ptr, float)
{
    if (opcode == 45 && ptr != nullptr)  // effGetEffectName
        std::strcpy(static_cast<char*>(ptr), effectName);
    if (opcode == 42)  // effSetSpeakerArrangement: any layout
        return 1;
    return 0;
}

void processReplacing(AEffect*, float** inputs, float** outputs, int frames)
{
    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < frames; ++i)
            outputs[channel][i] = inputs[channel][i];
    const long done = framesDone.fetch_add(frames);
    if (behaviour.damages && done <= damagedFrame && damagedFrame < done + frames)
        outputs[0][damagedFrame - done] = behaviour.damage;
    if (behaviour.slow)
        usleep(20000);
}

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
    e.process = processReplacing;
    e.processReplacing = processReplacing;
    e.setParameter = setNothing;
    e.getParameter = getNothing;
    e.numInputs = e.numOutputs = 2;
    e.uniqueID = effectId;
    return e;
}();
}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback)
{
    behaviour = behaviourFromEnvironment();
    framesDone = 0;
    return &effect;
}
