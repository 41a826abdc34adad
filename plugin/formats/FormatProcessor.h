#pragma once

#include "VarnokeAudioProcessor.h"

#include <memory>

namespace varnoke
{
// The processor as JUCE's VST3 and LV2 wrappers load it: the same processor
// and editor as the VST 2.4 plug-in's, whose three host parameters are also
// parameter objects with IDs of their own. Without them the wrappers name the
// parameters by index, and LV2's Turtle names cannot tell "0", "1" and "2" apart.
class FormatProcessor final : public VarnokeAudioProcessor
{
public:
    // The IDs hosts store automation under: never change them once released.
    static constexpr const char* parameterIds[numHostParameters] = {"lowContour", "process", "output"};

    FormatProcessor();

    // The channel layouts the VST 2.4 plug-in offers its hosts: mono in and
    // out, or stereo in and out.
    bool isBusesLayoutSupported(const BusesLayout& layout) const override;

    static std::unique_ptr<FormatProcessor> create();
};
}  // namespace varnoke
