// Compiled with -mavx2 (and without FMA): call only where the processor has AVX2.

#include "WideShaperLoop.h"

namespace varnoke
{
namespace
{
using Quad = double __attribute__((vector_size(32)));

// The all-pass and low-pass sections of both channels in the four lanes of one
// register (all-pass left, right, low-pass left, right), the high-pass section
// of both channels in a pair. The a1 and a2 of all three sections are the
// same, but each lane still holds its own section's coefficients.
class QuadAndPairSections
{
public:
    QuadAndPairSections(const CrossoverSections& s, const ShaperChannelState& left, const ShaperChannelState& right)
        : b0{s.allPass.b0, s.allPass.b0, s.lowPass.b0, s.lowPass.b0}
        , b1{s.allPass.b1, s.allPass.b1, s.lowPass.b1, s.lowPass.b1}
        , b2{s.allPass.b2, s.allPass.b2, s.lowPass.b2, s.lowPass.b2}
        , a1{s.allPass.a1, s.allPass.a1, s.lowPass.a1, s.lowPass.a1}
        , a2{s.allPass.a2, s.allPass.a2, s.lowPass.a2, s.lowPass.a2}
        , highB0(both(s.highPass.b0))
        , highB1(both(s.highPass.b1))
        , highB2(both(s.highPass.b2))
        , highA1(both(s.highPass.a1))
        , highA2(both(s.highPass.a2))
        , x1(spread(Pair{left.allPass.x1, right.allPass.x1}))
        , x2(spread(Pair{left.allPass.x2, right.allPass.x2}))
        , y1{left.allPass.y1, right.allPass.y1, left.lowPass.y1, right.lowPass.y1}
        , y2{left.allPass.y2, right.allPass.y2, left.lowPass.y2, right.lowPass.y2}
        , highY1{left.highPass.y1, right.highPass.y1}
        , highY2{left.highPass.y2, right.highPass.y2}
    {
    }

    void run(const Pair* input)
    {
        const Pair x = *input;
        const Quad wideX = spread(input);
        const Pair x1Pair = low(x1), x2Pair = low(x2);
        const Quad y = (((b0 * wideX + b1 * x1) + b2 * x2) - a1 * y1) - a2 * y2;
        y2 = y1;
        y1 = y;
        const Pair highY = (((highB0 * x + highB1 * x1Pair) + highB2 * x2Pair) - highA1 * highY1) - highA2 * highY2;
        highY2 = highY1;
        highY1 = highY;
        x2 = x1;
        x1 = wideX;
    }

    Pair allPass() const { return __builtin_shufflevector(y1, y1, 0, 1); }
    Pair lowPass() const { return __builtin_shufflevector(y1, y1, 2, 3); }
    Pair highPass() const { return highY1; }

    template <int lane> void store(ShaperChannelState& state) const
    {
        state.allPass = BiquadState{x1[lane], x2[lane], y1[lane], y2[lane]};
        state.lowPass = BiquadState{x1[lane], x2[lane], y1[lane + 2], y2[lane + 2]};
        state.highPass = BiquadState{x1[lane], x2[lane], highY1[lane], highY2[lane]};
    }

private:
    // The pair in both halves. From memory, the broadcast is a plain load.
    static Quad spread(const Pair* pair)
    {
        Quad wide;
        asm("vbroadcastf128 %1, %0" : "=x"(wide) : "m"(*pair));
        return wide;
    }

    static Quad spread(Pair pair) { return spread(&pair); }

    static Pair low(Quad quad) { return __builtin_shufflevector(quad, quad, 0, 1); }

    const Quad b0, b1, b2, a1, a2;
    const Pair highB0, highB1, highB2, highA1, highA2;
    Quad x1, x2;  // the inputs, spread as the input is
    Quad y1, y2;
    Pair highY1, highY2;
};
}  // namespace

void runShaperKernelAvx2(const ShaperSettings& settings, ShaperChannelState& leftState, ShaperChannelState& rightState,
                         float* left, float* right, int frames) noexcept
{
    runWideKernel<QuadAndPairSections>(settings, leftState, rightState, left, right, frames);
}
}  // namespace varnoke
