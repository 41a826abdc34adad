#include "RunLoopDriver.h"

#include "MessageThread.h"

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

namespace varnoke::vst3
{
namespace
{
// JUCE's connection to the X server, or -1 before it has one.
int juceDisplayDescriptor()
{
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    ::Display* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;
    return display != nullptr ? juce::X11Symbols::getInstance()->xConnectionNumber(display) : -1;
}
}  // namespace

void RunLoopDriver::start(Steinberg::Linux::IRunLoop* hostRunLoop)
{
    stop();
    runLoop = hostRunLoop;
    if (runLoop == nullptr)
        return;
    timerRegistered = runLoop->registerTimer(this, intervalMilliseconds) == Steinberg::kResultOk;
    if (const int descriptor = juceDisplayDescriptor(); descriptor >= 0)
        eventHandlerRegistered = runLoop->registerEventHandler(this, descriptor) == Steinberg::kResultOk;
}

void RunLoopDriver::stop()
{
    if (runLoop == nullptr)
        return;
    if (timerRegistered)
        runLoop->unregisterTimer(this);
    if (eventHandlerRegistered)
        runLoop->unregisterEventHandler(this);
    timerRegistered = eventHandlerRegistered = false;
    runLoop = nullptr;
}

void PLUGIN_API RunLoopDriver::onTimer()
{
    message_thread::dispatchPendingMessages();
}

void PLUGIN_API RunLoopDriver::onFDIsSet(Steinberg::Linux::FileDescriptor)
{
    message_thread::dispatchPendingMessages();
}
}  // namespace varnoke::vst3
