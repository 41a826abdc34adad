#pragma once

#include "ShaperKernelChoice.h"
#include "support/ForcedKernel.h"

#include <gtest/gtest.h>

#include <string>

namespace varnoke::test
{
// A test run once per kernel it is given; a kernel this processor cannot run
// is skipped, saying so.
class PerKernelTest : public ::testing::TestWithParam<ShaperKernel>
{
protected:
    void SetUp() override
    {
        if (!processorRuns(GetParam()))
            GTEST_SKIP() << cannotRunKernel(shaperKernelName(GetParam()));
    }
};

// Names each instance after its kernel ("sse2", "avx2", "avx512").
inline std::string kernelInstanceName(const ::testing::TestParamInfo<ShaperKernel>& info)
{
    return shaperKernelName(info.param);
}
}  // namespace varnoke::test
