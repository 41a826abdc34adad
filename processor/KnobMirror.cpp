#include "KnobMirror.h"

#include <juce_events/juce_events.h>

namespace varnoke
{
void KnobMirror::registerView(KnobView& newView) noexcept
{
    view = &newView;
}

void KnobMirror::unregisterView(KnobView& oldView) noexcept
{
    if (view == &oldView)
        view = nullptr;
}

void KnobMirror::knobGestureBegan(int parameterIndex)
{
    if (gestureListener != nullptr)
        gestureListener->knobGestureBegan(parameterIndex);
}

void KnobMirror::knobGestureEnded(int parameterIndex)
{
    if (gestureListener != nullptr)
        gestureListener->knobGestureEnded(parameterIndex);
}

// JUCE's message thread, or a thread holding its lock. A host may build the
// editor on another thread under the lock; that thread must not touch the
// knobs once it has let go. Neither check locks or calls the system.
bool KnobMirror::mayTouchView() noexcept
{
    const auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();
    return messageManager != nullptr && messageManager->currentThreadHasLockedMessageManager();
}
}  // namespace varnoke
