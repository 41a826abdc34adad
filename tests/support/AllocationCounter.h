#pragma once

#include <cstddef>

// Counts heap allocations made by the calling thread, through a replacement of
// the global operator new linked into the test program.
namespace varnoke::test
{
std::size_t allocationsOnThisThread();
}  // namespace varnoke::test

// Fails the enclosing test when the statement allocates on this thread.
#define EXPECT_NO_ALLOCATION(statement)                                                                                \
    do                                                                                                                 \
    {                                                                                                                  \
        const std::size_t allocationsBefore = varnoke::test::allocationsOnThisThread();                                \
        statement;                                                                                                     \
        EXPECT_EQ(allocationsBefore, varnoke::test::allocationsOnThisThread()) << "allocated: " #statement;            \
    } while (false)
