#pragma once

#include <cstdint>
#include <cstring>

namespace varnoke::test
{
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

}  // namespace varnoke::test

#define EXPECT_SAME_BITS(expected, actual) EXPECT_EQ(::varnoke::test::bitsOf(expected), ::varnoke::test::bitsOf(actual))
#define ASSERT_SAME_BITS(expected, actual) ASSERT_EQ(::varnoke::test::bitsOf(expected), ::varnoke::test::bitsOf(actual))
