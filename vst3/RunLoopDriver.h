#pragma once

#include <base/source/fobject.h>
#include <pluginterfaces/gui/iplugview.h>

namespace varnoke::vst3
{
// Runs JUCE's messages, timers, repaints and X events from a Linux host's run
// loop while a window is open, as the VST 2 plug-in does from effEditIdle: a
// timer, and a handler for JUCE's X connection that answers input at once.
class RunLoopDriver final : public Steinberg::FObject,
                            public Steinberg::Linux::ITimerHandler,
                            public Steinberg::Linux::IEventHandler
{
public:
    static constexpr Steinberg::Linux::TimerInterval intervalMilliseconds = 20;

    // Registers with the run loop; does nothing without one.
    void start(Steinberg::Linux::IRunLoop* hostRunLoop);
    // Unregisters; safe to call more than once.
    void stop();

    void PLUGIN_API onTimer() override;
    void PLUGIN_API onFDIsSet(Steinberg::Linux::FileDescriptor fd) override;

    OBJ_METHODS(RunLoopDriver, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::Linux::ITimerHandler)
    DEF_INTERFACE(Steinberg::Linux::IEventHandler)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)

private:
    Steinberg::IPtr<Steinberg::Linux::IRunLoop> runLoop;
    bool timerRegistered = false;
    bool eventHandlerRegistered = false;
};
}  // namespace varnoke::vst3
