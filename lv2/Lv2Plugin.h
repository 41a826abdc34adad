#pragma once

#include "HostParameterTable.h"
#include "VarnokeAudioProcessor.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstdint>
#include <memory>

namespace varnoke::lv2
{
// One instance of the LV2 plug-in: the processor behind classic LV2 ports.
// It needs no feature of the host. It keeps no buffer sized by the block
// length (audio is processed in place in the host's output buffers), so any
// block length, announced or not, is safe.
//
// Control ports are read at the start of every run: a port whose value has
// changed since the last run (bit for bit) sets its parameter, which applies
// from the block's first frame, as the VST 2.4 plug-in applies a
// setParameter made between two blocks.
class Lv2Plugin
{
public:
    // Null when the processor cannot be built.
    static Lv2Plugin* create(double sampleRate, const LV2_Feature* const* features) noexcept;

    void connectPort(std::uint32_t index, void* data) noexcept;
    void activate() noexcept;
    void run(std::uint32_t frames) noexcept;

    // The state interface: the processor's chunk as one string property.
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    static const LV2_State_Interface stateInterface;

private:
    Lv2Plugin(std::unique_ptr<VarnokeAudioProcessor> processorToOwn, double sampleRate, const LV2_URID_Map* map);

    void applyControlPorts() noexcept;

    std::unique_ptr<VarnokeAudioProcessor> processor;
    const double sampleRate;
    juce::MidiBuffer noMidi;

    // Keys of the state, or 0 when the host gave no URID map (no state then).
    LV2_URID stateKey = 0;
    LV2_URID stringType = 0;

    const float* audioIn[2] = {nullptr, nullptr};
    float* audioOut[2] = {nullptr, nullptr};
    std::array<const float*, core::numHostParameters> controls{};

    // How a control port's value is taken at the next run.
    enum class Baseline : unsigned char
    {
        none,       // the parameter follows whatever the port holds
        adoptNext,  // the port's value becomes the baseline without being applied
        value,      // the parameter follows the port when it differs from baselineValues
    };

    // A restore makes the ports' values at that moment the baseline (or the
    // values at the next run, for ports not yet connected): a host that then
    // sets its ports to the restored values changes nothing, and one that
    // leaves them as they were (a state saved by 1.0.0, which had no control
    // ports) keeps the restored sound.
    std::array<Baseline, core::numHostParameters> baselines{};
    std::array<float, core::numHostParameters> baselineValues{};
};
}  // namespace varnoke::lv2
