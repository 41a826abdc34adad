#pragma once

#include "VstInstance.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace varnoke::test
{
// Knob settings in the hosts' 0 to 1 units.
struct KnobSettings
{
    float lowContour;
    float process;
    float output;
};

// A stereo signal, one vector per channel.
struct StereoSignal
{
    std::vector<float> left;
    std::vector<float> right;
};

StereoSignal noiseSignal(std::size_t frames, unsigned seed);

// Calls block(start, frames) for each run of at most blockSize frames out of
// totalFrames, in order, as a host hands a signal over block by block.
template <typename Block> void forEachBlock(std::size_t totalFrames, int blockSize, Block&& block)
{
    const auto size = static_cast<std::size_t>(blockSize);
    for (std::size_t start = 0; start < totalFrames; start += size)
        block(start, static_cast<int>(std::min(size, totalFrames - start)));
}

// The VST 2.4 plug-in, Varnoke.so, loaded as a host loads it: what the other
// formats must sound like and save.
class Vst2Reference
{
public:
    Vst2Reference();
    ~Vst2Reference();

    // Processes the signal in blocks of blockSize frames after setting the knobs.
    StereoSignal render(const KnobSettings& knobs, const StereoSignal& input, double sampleRate, int blockSize);

    // The state chunk the plug-in saves with these knob settings.
    std::vector<unsigned char> chunkFor(const KnobSettings& knobs);

    // A new instance with the knobs set, not yet started.
    std::unique_ptr<host::VstInstance> instanceWith(const KnobSettings& knobs);

    // The knob settings after restoring a chunk into a fresh instance.
    KnobSettings settingsAfterRestoring(const std::vector<unsigned char>& chunk);

private:
    struct Loaded;
    std::unique_ptr<Loaded> loaded;
};
}  // namespace varnoke::test
