#pragma once

#include <cstddef>
#include <random>
#include <vector>

namespace varnoke::test
{
// Full-scale white noise, the same samples for the same seed.
inline std::vector<float> noise(std::size_t frames, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(-1.0f, 1.0f);
    std::vector<float> samples(frames);
    for (auto& sample : samples)
        sample = distribution(generator);
    return samples;
}
}  // namespace varnoke::test
