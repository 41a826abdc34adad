// What a host pays per plug-in at every scan and every insert: VSTPluginMain,
// host::effOpen, switch-on and host::effClose, through the built Varnoke.so.

#include "PluginLibrary.h"

#include <benchmark/benchmark.h>

using namespace varnoke;

namespace
{
using varnoke::host::PluginLibrary;
namespace host = varnoke::host;

VstIntPtr hostCallback(AEffect*, int opcode, int, VstIntPtr, void*, float)
{
    return opcode == host::audioMasterVersion ? 2400 : 0;
}

// The built plug-in, loaded once for the process; null when it cannot be.
const PluginLibrary* loadPlugin()
{
    static const PluginLibrary library(VARNOKE_PLUGIN_PATH);
    return library.isLoaded() ? &library : nullptr;
}

void createOpenResumeClose(const PluginLibrary& library)
{
    AEffect* effect = library.create(hostCallback);
    effect->dispatcher(effect, host::effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, host::effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, host::effSetBlockSize, 0, 512, nullptr, 0.0f);
    effect->dispatcher(effect, host::effMainsChanged, 0, 1, nullptr, 0.0f);
    effect->dispatcher(effect, host::effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, host::effClose, 0, 0, nullptr, 0.0f);
}

// A scanning host: the only instance in the process, so JUCE's GUI layer comes
// up and goes down with each one.
void BM_InstanceLifeAlone(benchmark::State& state)
{
    const PluginLibrary* library = loadPlugin();
    if (library == nullptr)
    {
        state.SkipWithError("Varnoke.so could not be loaded");
        return;
    }
    for (auto _ : state)
        createOpenResumeClose(*library);
}
BENCHMARK(BM_InstanceLifeAlone)->Unit(benchmark::kMicrosecond);

// A host with another instance already loaded: the GUI layer stays up.
void BM_InstanceLifeBesideAnother(benchmark::State& state)
{
    const PluginLibrary* library = loadPlugin();
    if (library == nullptr)
    {
        state.SkipWithError("Varnoke.so could not be loaded");
        return;
    }
    AEffect* resident = library->create(hostCallback);
    for (auto _ : state)
        createOpenResumeClose(*library);
    resident->dispatcher(resident, host::effClose, 0, 0, nullptr, 0.0f);
}
BENCHMARK(BM_InstanceLifeBesideAnother)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
