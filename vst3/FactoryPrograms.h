#pragma once

#include <pluginterfaces/vst/vsttypes.h>

#include <array>
#include <optional>

namespace Steinberg::Vst
{
class Parameter;
class ProgramList;
}  // namespace Steinberg::Vst

namespace varnoke::vst3
{
// The factory presets (core/FactoryPresets.h) as the VST3 plug-in's one
// program list, on its root unit. Its program-change parameter has the list's
// ID: a new ID beside the ones of release 1.0.0, which stay as they are, and
// no part of the saved state (a program only sets the three knobs).
constexpr Steinberg::Vst::ProgramListID factoryProgramListId = 0x5072676d;  // 'Prgm'
constexpr Steinberg::Vst::ParamID programChangeId = static_cast<Steinberg::Vst::ParamID>(factoryProgramListId);

// A new program list holding the factory presets by name, in the bank's order.
Steinberg::Vst::ProgramList* createFactoryProgramList();

// The program-change parameter: a list of the programs' names, on the root unit.
Steinberg::Vst::Parameter* createProgramChangeParameter();

// The program a normalized value of the program-change parameter selects.
int programAt(double normalized) noexcept;

// The normalized value of the program-change parameter that selects a program.
double programChangeValue(int program) noexcept;

// The program whose positions are exactly these, or nothing.
std::optional<int> programWithPositions(const std::array<float, 3>& positions) noexcept;

// A program's knob positions in the order of the host parameters; nothing for an index outside the bank.
std::optional<std::array<float, 3>> programPositions(int program) noexcept;
}  // namespace varnoke::vst3
