#include "EffectHarness.h"
#include "FuzzTargets.h"

namespace fuzz
{
// At namespace scope, so leak checking sees the instance as still in use.
AEffect* guiLayerKeeper = nullptr;

void keepGuiLayerUp()
{
    // Created on the first call's thread, which thereby becomes JUCE's message
    // thread.
    if (guiLayerKeeper == nullptr)
        guiLayerKeeper = effect_harness::createPlugin();
}

void releaseGuiLayer()
{
    if (guiLayerKeeper != nullptr)
        effect_harness::dispatch(guiLayerKeeper, effect_harness::Op::close);
    guiLayerKeeper = nullptr;
}
}  // namespace fuzz
