// Processes a given number of 512-frame stereo blocks, for instruction counting
// under callgrind (bench/count-instructions.sh): the difference between two
// runs of different lengths is the cost of the blocks alone.
//   varnoke_process_workload normal|decayed BLOCKS

#include "BenchSignals.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace varnoke;

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s normal|decayed BLOCKS\n", argv[0]);
        return 2;
    }
    const bool decayed = std::strcmp(argv[1], "decayed") == 0;
    const int blocks = std::atoi(argv[2]);

    constexpr int blockSize = 512;
    VarnokeAudioProcessor processor;
    prepareAtMidSettings(processor, blockSize);
    juce::AudioSampleBuffer source(2, blockSize);
    if (decayed)
    {
        decayIntoTheSubnormalRange(processor, source);
        source.clear();
    }
    else
    {
        std::mt19937 random(1);
        fillNoise(source, random);
    }

    juce::AudioSampleBuffer buffer(2, blockSize);
    juce::MidiBuffer midi;
    for (int i = 0; i < blocks; ++i)
    {
        buffer.makeCopyOf(source, true);
        processor.processBlock(buffer, midi);
    }
    std::printf("%g\n", static_cast<double>(buffer.getSample(0, 0)));
    return 0;
}
