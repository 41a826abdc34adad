// Every committed fuzz input runs through its target in the normal test suite,
// among them each input that once found a fault.

#include "FuzzTargets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace varnoke;
using namespace varnoke::test;

namespace
{
namespace fs = std::filesystem;

struct Target
{
    const char* corpus;
    void (*run)(const std::uint8_t*, std::size_t);
};

class CorpusReplay : public ::testing::TestWithParam<Target>
{
};

std::vector<std::uint8_t> readFile(const fs::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

TEST_P(CorpusReplay, EveryInputRunsCleanly)
{
    const fs::path directory = fs::path(VARNOKE_FUZZ_CORPUS) / GetParam().corpus;
    ASSERT_TRUE(fs::is_directory(directory)) << directory;

    std::vector<fs::path> inputs;
    for (const auto& entry : fs::directory_iterator(directory))
        if (entry.is_regular_file())
            inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    ASSERT_FALSE(inputs.empty()) << "no seed inputs in " << directory;

    for (const auto& path : inputs)
    {
        SCOPED_TRACE(path.filename().string());
        const auto bytes = readFile(path);
        GetParam().run(bytes.data(), bytes.size());
    }
    varnoke::test::fuzz::releaseGuiLayer();
}

INSTANTIATE_TEST_SUITE_P(Targets, CorpusReplay,
                         ::testing::Values(Target{"state_chunk", varnoke::test::fuzz::runStateChunk},
                                           Target{"host_calls", varnoke::test::fuzz::runHostCalls}),
                         [](const auto& info) { return std::string(info.param.corpus); });
}  // namespace
