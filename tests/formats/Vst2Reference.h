#pragma once

#include "VstInstance.h"

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
