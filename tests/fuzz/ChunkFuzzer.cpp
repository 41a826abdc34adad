// libFuzzer entry: the state chunk through effSetChunk.
#include "FuzzTargets.h"

using namespace varnoke;
using namespace varnoke::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    varnoke::test::fuzz::runStateChunk(data, size);
    return 0;
}
