#include "EffectHarness.h"
#include "FuzzTargets.h"

namespace varnoke::test::fuzz
{
// At namespace scope, so leak checking sees the instance as still in use.
AEffect* guiLayerKeeper = nullptr;

void keepGuiLayerUp()
{
    // Created on the first call's thread, which thereby becomes JUCE's message
    // thread.
    if (guiLayerKeeper == nullptr)
        guiLayerKeeper = varnoke::test::createPlugin();
}

void releaseGuiLayer()
{
    if (guiLayerKeeper != nullptr)
        varnoke::test::dispatch(guiLayerKeeper, varnoke::test::Op::close);
    guiLayerKeeper = nullptr;
}
}  // namespace varnoke::test::fuzz
