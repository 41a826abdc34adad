#pragma once

namespace varnoke
{
// Hears when the user starts and stops touching a knob in the window, so that
// a host can record the touch as one gesture (VST3's beginEdit / endEdit, LV2's
// ui:touch). The value changes of the touch come in between as ordinary
// parameter changes. Parameters are by processor index. Message thread only.
//
// The VST 2.4 plug-in registers no listener: its hosts hear of knob moves
// only as display refreshes.
class KnobGestureListener
{
public:
    virtual void knobGestureBegan(int parameterIndex) = 0;
    virtual void knobGestureEnded(int parameterIndex) = 0;

protected:
    ~KnobGestureListener() = default;
};
}  // namespace varnoke
