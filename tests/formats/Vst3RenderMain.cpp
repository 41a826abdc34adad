// varnoke-vst3-render: renders a stereo signal through a VST3 bundle's library
// with the tests' own VST3 host (Vst3Host.h), as a host does: one instance,
// the knobs set as parameter changes, then process() block by block. The
// arm64 build's check runs it under qemu and compares its output with what
// varnoke-render gives on x86-64, bit for bit.
//
// Usage: varnoke-vst3-render LIBRARY INPUT.raw OUTPUT.raw RATE LOW_CONTOUR PROCESS OUTPUT BLOCK
// The raw files hold 32-bit floats, left and right interleaved (a float WAV
// file's sample data).

#include "Vst3Host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace varnoke::test;
using namespace varnoke::test::vst3;

namespace
{
bool readInterleaved(const char* path, StereoSignal& signal)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad() || bytes.size() % (2 * sizeof(float)) != 0)
        return false;
    const std::size_t frames = bytes.size() / (2 * sizeof(float));
    std::vector<float> samples(2 * frames);
    std::memcpy(samples.data(), bytes.data(), bytes.size());
    for (std::size_t i = 0; i < frames; ++i)
    {
        signal.left.push_back(samples[2 * i]);
        signal.right.push_back(samples[2 * i + 1]);
    }
    return true;
}

bool writeInterleaved(const char* path, const StereoSignal& signal)
{
    std::vector<float> samples;
    for (std::size_t i = 0; i < signal.left.size(); ++i)
    {
        samples.push_back(signal.left[i]);
        samples.push_back(signal.right[i]);
    }
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(samples.data()),
               static_cast<std::streamsize>(samples.size() * sizeof(float)));
    return static_cast<bool>(file.flush());
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 9)
    {
        std::fprintf(stderr, "usage: %s LIBRARY INPUT.raw OUTPUT.raw RATE LOW_CONTOUR PROCESS OUTPUT BLOCK\n", argv[0]);
        return 2;
    }
    const double rate = std::atof(argv[4]);
    const int block = std::atoi(argv[8]);
    StereoSignal input;
    if (!readInterleaved(argv[2], input) || rate <= 0.0 || block <= 0)
    {
        std::fprintf(stderr, "%s: unreadable input %s, or a bad rate or block size\n", argv[0], argv[2]);
        return 2;
    }

    std::string whyNot;
    auto module = Module::load(argv[1], whyNot);
    if (module == nullptr)
    {
        std::fprintf(stderr, "%s: cannot load %s: %s\n", argv[0], argv[1], whyNot.c_str());
        return 1;
    }
    StereoSignal output;
    {
        Instance instance(*module);
        if (!instance.isComplete() || !instance.start(rate, block))
        {
            std::fprintf(stderr, "%s: the plug-in did not start at %s Hz\n", argv[0], argv[4]);
            return 1;
        }
        instance.setParameters({{released_ids::lowContour, std::atof(argv[5])},
                                {released_ids::process, std::atof(argv[6])},
                                {released_ids::output, std::atof(argv[7])}});
        output = instance.render(input, block);
        instance.stop();
    }
    if (!writeInterleaved(argv[3], output))
    {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    return 0;
}
