// Compiled with -mavx512f -mavx512vl (and -ffp-contract=off, so none of
// AVX-512F's fused multiply-adds): call only where the processor has both.

#include "WideShaperLoop.h"

namespace varnoke
{
namespace
{
using Octet = double __attribute__((vector_size(64)));

// All three sections of both channels in the lanes of one register: all-pass
// left, right, low-pass left, right, high-pass left, right, and the high-pass
// pair once more, so the spare lanes hold finite values like the others.
// Each lane holds its own section's coefficients.
class OctetSections
{
public:
    OctetSections(const CrossoverSections& s, const ShaperChannelState& left, const ShaperChannelState& right)
        : b0(spread(s, &BiquadCoeffs::b0))
        , b1(spread(s, &BiquadCoeffs::b1))
        , b2(spread(s, &BiquadCoeffs::b2))
        , a1(spread(s, &BiquadCoeffs::a1))
        , a2(spread(s, &BiquadCoeffs::a2))
        , x1(spread(Pair{left.allPass.x1, right.allPass.x1}))
        , x2(spread(Pair{left.allPass.x2, right.allPass.x2}))
        , y1(memories(left, right, &BiquadState::y1))
        , y2(memories(left, right, &BiquadState::y2))
    {
    }

    void run(const Pair* x)
    {
        const Octet wideX = spread(x);
        const Octet y = (((b0 * wideX + b1 * x1) + b2 * x2) - a1 * y1) - a2 * y2;
        y2 = y1;
        y1 = y;
        x2 = x1;
        x1 = wideX;
    }

    Pair allPass() const { return __builtin_shufflevector(y1, y1, 0, 1); }
    Pair lowPass() const { return __builtin_shufflevector(y1, y1, 2, 3); }
    Pair highPass() const { return __builtin_shufflevector(y1, y1, 4, 5); }

    template <int lane> void store(ShaperChannelState& state) const
    {
        state.allPass = BiquadState{x1[lane], x2[lane], y1[lane], y2[lane]};
        state.lowPass = BiquadState{x1[lane], x2[lane], y1[lane + 2], y2[lane + 2]};
        state.highPass = BiquadState{x1[lane], x2[lane], y1[lane + 4], y2[lane + 4]};
    }

private:
    // The pair in every quarter. From memory, the broadcast is a plain load;
    // from a register (only when the shaper starts) a shuffle.
    static Octet spread(const Pair* pair)
    {
        Octet wide;
        asm("vbroadcastf32x4 %1, %0" : "=v"(wide) : "m"(*pair));
        return wide;
    }

    static Octet spread(Pair pair) { return spread(&pair); }

    static Octet spread(const CrossoverSections& s, double BiquadCoeffs::*field)
    {
        const double ap = s.allPass.*field, lp = s.lowPass.*field, hp = s.highPass.*field;
        return Octet{ap, ap, lp, lp, hp, hp, hp, hp};
    }

    static Octet memories(const ShaperChannelState& left, const ShaperChannelState& right, double BiquadState::*field)
    {
        return Octet{left.allPass.*field,  right.allPass.*field,  left.lowPass.*field,  right.lowPass.*field,
                     left.highPass.*field, right.highPass.*field, left.highPass.*field, right.highPass.*field};
    }

    const Octet b0, b1, b2, a1, a2;
    Octet x1, x2;  // the inputs, spread as the input is
    Octet y1, y2;
};
}  // namespace

void runShaperKernelAvx512(const ShaperSettings& settings, ShaperChannelState& leftState,
                           ShaperChannelState& rightState, float* left, float* right, int frames) noexcept
{
    runWideKernel<OctetSections>(settings, leftState, rightState, left, right, frames);
}
}  // namespace varnoke
