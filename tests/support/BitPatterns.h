#pragma once

#include <cstdint>
#include <cstring>

// Bit-exact comparisons: compare the IEEE bit patterns, never with a tolerance.
inline std::uint64_t bitsOf(double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline std::uint32_t bitsOf(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

#define EXPECT_SAME_BITS(expected, actual) EXPECT_EQ(bitsOf(expected), bitsOf(actual))
#define ASSERT_SAME_BITS(expected, actual) ASSERT_EQ(bitsOf(expected), bitsOf(actual))
