#pragma once

#include "KnobGestureListener.h"
#include "KnobView.h"

#include <atomic>

namespace varnoke
{
// Mirrors parameter changes into the registered knob view, from any thread.
//
// On JUCE's message thread (or a thread holding its lock) the view is set at
// once. Any other thread (automation playback, possibly the audio thread) only
// raises a flag, which the view polls on the message thread: it never looks at
// the view, which the message thread may delete at any moment, and posting a
// message instead would allocate and make a system call.
class KnobMirror
{
public:
    // Message thread (or holding its lock). A view stays registered until it
    // unregisters itself; registering another replaces it.
    void registerView(KnobView& view) noexcept;
    void unregisterView(KnobView& view) noexcept;

    // Any thread; lock-free. currentValues is called only where the view is
    // touched at once.
    template <typename ValuesFunction> void parametersChanged(ValuesFunction&& currentValues)
    {
        if (!mayTouchView())
        {
            refreshPending.store(true, std::memory_order_release);
            return;
        }
        if (view != nullptr)
            view->showKnobValues(currentValues());
    }

    // True once for every run of changes made off the message thread since the last call.
    bool takePendingRefresh() noexcept { return refreshPending.exchange(false, std::memory_order_acquire); }

    // The other way round: the window tells whoever speaks to the host (a
    // format layer's listener; none by default) when a knob's touch starts and
    // ends. Message thread only.
    void setGestureListener(KnobGestureListener* listener) noexcept { gestureListener = listener; }
    void knobGestureBegan(int parameterIndex);
    void knobGestureEnded(int parameterIndex);

private:
    static bool mayTouchView() noexcept;

    KnobView* view = nullptr;  // touched only where mayTouchView() holds
    KnobGestureListener* gestureListener = nullptr;
    std::atomic<bool> refreshPending{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
};
}  // namespace varnoke
