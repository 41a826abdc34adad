#pragma once

#include <cstddef>

// Counts heap allocations made by the calling thread, through a replacement of
// the global operator new linked into the test program.
namespace AllocationCounter
{
std::size_t allocationsOnThisThread();
}

// Fails the enclosing test when the statement allocates on this thread.
#define EXPECT_NO_ALLOCATION(statement)                                                                                \
    do                                                                                                                 \
    {                                                                                                                  \
        const std::size_t allocationsBefore = AllocationCounter::allocationsOnThisThread();                            \
        statement;                                                                                                     \
        EXPECT_EQ(allocationsBefore, AllocationCounter::allocationsOnThisThread()) << "allocated: " #statement;        \
    } while (false)
