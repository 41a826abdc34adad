#pragma once

#include <string>
#include <vector>

namespace varnoke::render
{
// One rendering of a run: an input (empty for the demo) and its output file.
struct PlannedOutput
{
    std::string input;
    std::string output;
};

// Whether -o names a directory: it ends with "/" or is an existing directory.
bool namesDirectory(const std::string& output);

// Where each input is written. With -o naming a directory, DIRECTORY/NAME.wav
// (NAME: the input's file name without its extension); with -o naming a file,
// that file, for one input only; without -o, NAME-varnoke.wav in the current
// directory (varnoke-demo.wav for the demo). Throws RenderError when several
// inputs are given one file, or when two inputs would be written to the same
// file; nothing has been rendered then.
std::vector<PlannedOutput> planOutputs(const std::vector<std::string>& inputs, const std::string& output);
}  // namespace varnoke::render
