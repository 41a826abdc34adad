// libFuzzer entry: random sequences of host calls.
#include "FuzzTargets.h"

using namespace varnoke;
using namespace varnoke::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    varnoke::test::fuzz::runHostCalls(data, size);
    return 0;
}
