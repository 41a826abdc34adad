// libFuzzer entry: random sequences of host calls.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    varnoke::test::fuzz::runHostCalls(data, size);
    return 0;
}
