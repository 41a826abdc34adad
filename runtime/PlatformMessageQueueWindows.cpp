#include "PlatformMessageQueue.h"

#include <juce_gui_basics/juce_gui_basics.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace juce
{
// JUCE's hidden window that receives its posted messages and timer callbacks.
extern HWND juce_messageWindowHandle;
}  // namespace juce

namespace varnoke
{
// The host's own message loop runs on this thread too: take only the messages
// addressed to JUCE's window, never the host's.
void dispatchQueuedJuceWork(std::chrono::steady_clock::time_point deadline)
{
    MSG message;
    while (juce::juce_messageWindowHandle != nullptr &&
           PeekMessageW(&message, juce::juce_messageWindowHandle, 0, 0, PM_REMOVE))
    {
        DispatchMessageW(&message);
        if (std::chrono::steady_clock::now() >= deadline)
            break;
    }

    // JUCE queues repaints until the display's next vertical blank; paint them now.
    for (int i = 0; i < juce::ComponentPeer::getNumPeers(); ++i)
        if (auto* peer = juce::ComponentPeer::getPeer(i))
            peer->performAnyPendingRepaintsNow();
}

bool juceMessageQueueCanChangeThreads() noexcept
{
    return false;
}
}  // namespace varnoke
