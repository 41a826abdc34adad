#include "OutputPlan.h"

#include "RenderError.h"

#include <map>
#include <sys/stat.h>

namespace varnoke::render
{
namespace
{
// The input's file name without its extension; "varnoke-demo" for the demo.
std::string stemOf(const std::string& input)
{
    if (input.empty())
        return "varnoke-demo";
    const auto slash = input.find_last_of('/');
    std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name = name.substr(0, dot);
    return name;
}

std::string defaultOutputName(const std::string& input)
{
    return input.empty() ? "varnoke-demo.wav" : stemOf(input) + "-varnoke.wav";
}
}  // namespace

bool namesDirectory(const std::string& output)
{
    struct stat status = {};
    return !output.empty() && (output.back() == '/' || (stat(output.c_str(), &status) == 0 && S_ISDIR(status.st_mode)));
}

std::vector<PlannedOutput> planOutputs(const std::vector<std::string>& inputs, const std::string& output)
{
    const std::vector<std::string> sources = inputs.empty() ? std::vector<std::string>{""} : inputs;
    const bool intoDirectory = namesDirectory(output);
    if (sources.size() > 1 && !output.empty() && !intoDirectory)
        throw RenderError("only one input may be written to one file (-o " + output +
                          "); for several inputs, -o names a directory (ending in /)");

    std::vector<PlannedOutput> plan;
    std::map<std::string, std::string> inputOfOutput;
    for (const std::string& input : sources)
    {
        std::string path;
        if (intoDirectory)
            path = output + (output.back() == '/' ? "" : "/") + stemOf(input) + ".wav";
        else
            path = output.empty() ? defaultOutputName(input) : output;
        const auto [taken, added] = inputOfOutput.emplace(path, input);
        if (!added)
            throw RenderError(taken->second + " and " + input + " would both be written to " + path +
                              "; render them into different directories, or rename one");
        plan.push_back({input, path});
    }
    return plan;
}
}  // namespace varnoke::render
