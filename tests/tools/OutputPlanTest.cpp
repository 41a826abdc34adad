// Where each input of a run is written, and the plans refused before anything
// is rendered.

#include "OutputPlan.h"
#include "RenderError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace
{
using varnoke::render::PlannedOutput;
using varnoke::render::planOutputs;
using varnoke::render::RenderError;

std::vector<std::string> outputsOf(const std::vector<PlannedOutput>& plan)
{
    std::vector<std::string> outputs;
    for (const PlannedOutput& planned : plan)
        outputs.push_back(planned.output);
    return outputs;
}

TEST(OutputPlanTest, NamesEachOutputAfterItsInput)
{
    char pattern[] = "/tmp/varnoke-plan-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    const std::string existing = pattern;

    struct Case
    {
        std::vector<std::string> inputs;
        std::string output;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{}, "", {"varnoke-demo.wav"}},
        {{}, "demo.wav", {"demo.wav"}},
        {{}, "out/", {"out/varnoke-demo.wav"}},
        {{"in/song.flac"}, "", {"song-varnoke.wav"}},
        {{"in/song.flac"}, "mix.wav", {"mix.wav"}},
        {{"in/song.flac"}, "out/", {"out/song.wav"}},
        {{"a.wav", "in/b.ogg", "c.d.aiff", ".hidden", "noextension"},
         "out/",
         {"out/a.wav", "out/b.wav", "out/c.d.wav", "out/.hidden.wav", "out/noextension.wav"}},
        {{"a.wav", "b.flac"}, "", {"a-varnoke.wav", "b-varnoke.wav"}},
        {{"a.wav", "b.flac"}, existing, {existing + "/a.wav", existing + "/b.wav"}},
        {{"a.wav", "b.flac"}, existing + "/", {existing + "/a.wav", existing + "/b.wav"}},
        // Names that differ in case or before the last dot are different files.
        {{"a.wav", "A.wav", "a.b.wav"}, "out/", {"out/a.wav", "out/A.wav", "out/a.b.wav"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.output);
        const std::vector<PlannedOutput> plan = planOutputs(c.inputs, c.output);
        EXPECT_EQ(c.expected, outputsOf(plan));
        for (size_t j = 0; j < c.inputs.size(); ++j)
            EXPECT_EQ(c.inputs[j], plan[j].input);
    }
    rmdir(existing.c_str());
}

TEST(OutputPlanTest, RefusesPlansThatWouldLoseAnOutput)
{
    struct Case
    {
        std::vector<std::string> inputs;
        std::string output;
        const char* says;
    };
    const Case cases[] = {
        {{"a.wav", "b.wav"}, "out.wav", "only one input may be written to one file"},
        {{"a.wav", "a.wav"}, "out/", "a.wav and a.wav would both be written to out/a.wav"},
        {{"x/a.wav", "y/a.flac"}, "out/", "x/a.wav and y/a.flac would both be written to out/a.wav"},
        {{"a.wav", "b.wav", "a"}, "out/", "a.wav and a would both be written to out/a.wav"},
        {{"x/a.wav", "y/a.ogg"}, "", "x/a.wav and y/a.ogg would both be written to a-varnoke.wav"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.says);
        try
        {
            planOutputs(c.inputs, c.output);
            ADD_FAILURE() << "not refused";
        }
        catch (const RenderError& error)
        {
            EXPECT_NE(std::string::npos, std::string(error.what()).find(c.says)) << error.what();
        }
    }
}
}  // namespace
