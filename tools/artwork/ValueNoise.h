#pragma once

#include <juce_core/juce_core.h>

#include <array>
#include <cmath>

// Smooth 2-D value noise on a 256 x 256 lattice that wraps around, filled from
// a fixed seed so the artwork comes out the same on every run.
class ValueNoise
{
public:
    explicit ValueNoise(juce::int64 seed)
    {
        juce::Random random(seed);
        for (auto& value : lattice)
            value = random.nextFloat();
    }

    // One octave, in [0, 1].
    float at(float x, float y) const
    {
        const float fx = std::floor(x);
        const float fy = std::floor(y);
        const int ix = static_cast<int>(fx);
        const int iy = static_cast<int>(fy);
        const float tx = smooth(x - fx);
        const float ty = smooth(y - fy);
        const float top = juce::jmap(tx, corner(ix, iy), corner(ix + 1, iy));
        const float bottom = juce::jmap(tx, corner(ix, iy + 1), corner(ix + 1, iy + 1));
        return juce::jmap(ty, top, bottom);
    }

    // Several octaves, each at twice the frequency and half the weight, in [0, 1].
    float fractal(float x, float y, int octaves) const
    {
        float sum = 0.0f, weight = 1.0f, total = 0.0f;
        for (int octave = 0; octave < octaves; ++octave)
        {
            sum += weight * at(x, y);
            total += weight;
            x = x * 2.0f + 17.3f;
            y = y * 2.0f + 5.1f;
            weight *= 0.5f;
        }
        return sum / total;
    }

private:
    static float smooth(float t) { return t * t * (3.0f - 2.0f * t); }

    float corner(int x, int y) const { return lattice[static_cast<size_t>((y & 255) * 256 + (x & 255))]; }

    std::array<float, 256 * 256> lattice{};
};
