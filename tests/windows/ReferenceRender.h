#pragma once

#include "host/BuiltPlugin.h"

#include <cstdint>
#include <vector>

namespace varnoke::test
{
// A fixed programme of audio through the plug-in: impulses, seeded noise and
// very quiet noise, at several sample rates, parameter settings and block
// sizes, each case in a fresh instance. The Windows test host writes what
// Varnoke.dll makes of it to a file; a Linux test renders the same through
// Varnoke.so and compares the two bit for bit.
//
// The result holds, case after case, the left and then the right output of
// every block. Null instances give an empty result.
std::vector<float> renderReferenceProgramme(const PluginLibrary& library);

// The file format: the floats' bit patterns as little-endian 32-bit words.
bool writeSamples(const char* path, const std::vector<float>& samples);
bool readSamples(const char* path, std::vector<float>& samples);
}  // namespace varnoke::test
