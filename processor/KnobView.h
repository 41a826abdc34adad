#pragma once

namespace varnoke
{
// The three knob positions, each parameter times 10 in single precision.
struct KnobValues
{
    double low, high, output;
};

// What the processor knows of an open window: it can show knob positions.
// The editor implements it and registers itself with the processor's
// KnobMirror; the processor never sees the concrete editor.
class KnobView
{
public:
    // Sets the knobs without notifying anyone. Message thread only.
    virtual void showKnobValues(const KnobValues& values) = 0;

protected:
    ~KnobView() = default;
};
}  // namespace varnoke
