#include "EffectHarness.h"
#include "FuzzTargets.h"

namespace fuzz
{
void keepGuiLayerUp()
{
    // Created on the first call's thread, which thereby becomes JUCE's message
    // thread, and closed only when the process ends.
    static AEffect* const keeper = effect_harness::createPlugin();
    (void)keeper;
}
}  // namespace fuzz
