#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <vector>

namespace varnoke
{
// Lays a host's separate input and output buffers out for in-place processing.
// Each channel's input is copied into its output buffer (nothing to copy when
// the host passes the same memory for both; silence for a missing input), so
// the processor works on the output buffers. A channel whose output memory an
// earlier channel already uses gets scratch memory of its own, and the shared
// memory ends up holding the later channel's output; blocks with such channels
// are processed in slices of the scratch size.
//
// prepare() allocates (at switch-on); process() never does.
template <std::size_t maxChannels> class InPlaceChannels
{
public:
    // The scratch memory holds this many frames at most, whatever block size a
    // host announces.
    static constexpr int maxScratchFrames = 1 << 17;

    // Sizes the scratch memory for two blocks of the announced size.
    void prepare(int blockSize)
    {
        // Clamped before doubling: an announced size near the int range must not overflow.
        scratchFrames = 2 * std::clamp(blockSize, 1, maxScratchFrames / 2);
        for (auto& buffer : scratch)
            buffer.assign(static_cast<std::size_t>(scratchFrames), 0.0f);
    }

    int getScratchFrames() const noexcept { return scratchFrames; }

    // Calls processInPlace(channels, numFrames) once per slice, with numChannels
    // pointers that hold the inputs on entry and must hold the outputs on return.
    // outputs must hold numChannels non-null pointers; inputs may be null, and
    // so may any input pointer.
    template <typename ProcessInPlace>
    void process(const float* const* inputs, int numInputs, float* const* outputs, int numChannels, int numFrames,
                 ProcessInPlace&& processInPlace)
    {
        numChannels = std::min(numChannels, static_cast<int>(maxChannels));

        std::array<bool, maxChannels> aliased{};
        bool anyAliased = false;
        for (int channel = 1; channel < numChannels; ++channel)
            for (int earlier = 0; earlier < channel; ++earlier)
                if (outputs[channel] == outputs[earlier])
                {
                    aliased[static_cast<std::size_t>(channel)] = true;
                    anyAliased = true;
                }

        // Every offset is at most numFrames, so none passes the int range.
        const int sliceFrames = anyAliased ? scratchFrames : numFrames;
        for (int offset = 0; offset < numFrames;)
        {
            const int frames = std::min(sliceFrames, numFrames - offset);
            processSlice(inputs, numInputs, outputs, numChannels, offset, frames, aliased, processInPlace);
            offset += frames;
        }
    }

private:
    template <typename ProcessInPlace>
    void processSlice(const float* const* inputs, int numInputs, float* const* outputs, int numChannels, int offset,
                      int numFrames, const std::array<bool, maxChannels>& aliased, ProcessInPlace& processInPlace)
    {
        const auto bytes = static_cast<std::size_t>(numFrames) * sizeof(float);
        const auto inputOf = [&](int channel) -> const float*
        { return (inputs != nullptr && channel < numInputs) ? inputs[channel] : nullptr; };

        // Scratch channels read their input first: the shared output memory may be an input too.
        for (int channel = 0; channel < numChannels; ++channel)
        {
            const auto slot = static_cast<std::size_t>(channel);
            channels[slot] = aliased[slot] ? scratch[slot].data() : outputs[channel] + offset;
            if (aliased[slot] && inputOf(channel) != nullptr)
                std::memcpy(channels[slot], inputOf(channel) + offset, bytes);
        }
        for (int channel = 0; channel < numChannels; ++channel)
        {
            const auto slot = static_cast<std::size_t>(channel);
            const float* input = inputOf(channel);
            if (aliased[slot])
                continue;
            if (input == nullptr)
                std::memset(channels[slot], 0, bytes);
            else if (input + offset != channels[slot])
                std::memmove(channels[slot], input + offset, bytes);
        }

        processInPlace(channels.data(), numFrames);

        for (int channel = 0; channel < numChannels; ++channel)
            if (aliased[static_cast<std::size_t>(channel)])
                std::memcpy(outputs[channel] + offset, channels[static_cast<std::size_t>(channel)], bytes);
    }

    std::array<std::vector<float>, maxChannels> scratch;
    int scratchFrames = 0;
    std::array<float*, maxChannels> channels{};
};
}  // namespace varnoke
