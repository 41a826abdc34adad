// Reading saved states: the plug-in's own, and the costliest texts the reader
// still parses, one at each of its limits, so that growth with the square of a
// count (entity references, attribute names) shows up here.

#include "StateChunk.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace varnoke;

namespace
{
constexpr std::size_t maxTextBytes = 64 * 1024;

std::vector<unsigned char> chunkWithText(const std::string& text)
{
    std::vector<unsigned char> chunk{0x56, 0x43, 0x32, 0x21};
    const auto length = static_cast<std::uint32_t>(text.size());
    for (int shift = 0; shift < 32; shift += 8)
        chunk.push_back(static_cast<unsigned char>(length >> shift));
    chunk.insert(chunk.end(), text.begin(), text.end());
    chunk.push_back(0);
    return chunk;
}

const std::string ownState = R"(<pushState low_contour="0.25" process="0.5" output_g="0.75")";

// The references come last in a value as long as the limit allows: each one
// copies the whole value read so far.
std::string mostReferences()
{
    std::string references;
    for (int i = 0; i < 1024; ++i)
        references += "&amp;";
    const std::size_t padding = maxTextBytes - ownState.size() - references.size() - 8;
    return ownState + " x=\"" + std::string(padding, 'v') + references + "\"/>";
}

std::string mostAttributes()
{
    std::string text = ownState;
    for (int i = 0; i < 1021; ++i)
        text += " name" + std::to_string(i) + "=\"\"";
    return text + "/>";
}

std::string longestText()
{
    const std::string text = ownState + "/>";
    return text + std::string(maxTextBytes - text.size(), ' ');
}

void readState(benchmark::State& state, const std::string& text)
{
    const auto chunk = chunkWithText(text);
    for (auto _ : state)
    {
        auto values = state_chunk::read(chunk.data(), static_cast<int>(chunk.size()));
        benchmark::DoNotOptimize(values);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(chunk.size()));
}
}  // namespace

BENCHMARK_CAPTURE(readState, OwnState, ownState + "/>");
BENCHMARK_CAPTURE(readState, MostReferences, mostReferences());
BENCHMARK_CAPTURE(readState, MostAttributes, mostAttributes());
BENCHMARK_CAPTURE(readState, LongestText, longestText());

BENCHMARK_MAIN();
