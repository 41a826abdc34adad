// What a host pays per plug-in at every scan and every insert: VSTPluginMain,
// effOpen, switch-on and effClose, through the built Varnoke.so.

#include <benchmark/benchmark.h>
#include <pluginterfaces/fst/aeffectx.h>

#include <dlfcn.h>

namespace
{
constexpr int effOpen = 0;
constexpr int effClose = 1;
constexpr int effSetSampleRate = 10;
constexpr int effSetBlockSize = 11;
constexpr int effMainsChanged = 12;

VstIntPtr host(AEffect*, int opcode, int, VstIntPtr, void*, float)
{
    return opcode == 1 ? 2400 : 0;  // audioMasterVersion
}

using Entry = AEffect* (*)(audioMasterCallback);

Entry loadEntry()
{
    static void* library = dlopen(VARNOKE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    return library != nullptr ? reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain")) : nullptr;
}

void createOpenResumeClose(Entry entry)
{
    AEffect* effect = entry(host);
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, 512, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

// A scanning host: the only instance in the process, so JUCE's GUI layer comes
// up and goes down with each one.
void BM_InstanceLifeAlone(benchmark::State& state)
{
    const Entry entry = loadEntry();
    if (entry == nullptr)
    {
        state.SkipWithError("Varnoke.so could not be loaded");
        return;
    }
    for (auto _ : state)
        createOpenResumeClose(entry);
}
BENCHMARK(BM_InstanceLifeAlone)->Unit(benchmark::kMicrosecond);

// A host with another instance already loaded: the GUI layer stays up.
void BM_InstanceLifeBesideAnother(benchmark::State& state)
{
    const Entry entry = loadEntry();
    if (entry == nullptr)
    {
        state.SkipWithError("Varnoke.so could not be loaded");
        return;
    }
    AEffect* resident = entry(host);
    for (auto _ : state)
        createOpenResumeClose(entry);
    resident->dispatcher(resident, effClose, 0, 0, nullptr, 0.0f);
}
BENCHMARK(BM_InstanceLifeBesideAnother)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
