#include "FactoryPrograms.h"

#include "FactoryPresets.h"

#include <pluginterfaces/base/futils.h>
#include <pluginterfaces/base/ustring.h>
#include <public.sdk/source/vst/vsteditcontroller.h>

#include <algorithm>

namespace varnoke::vst3
{
using namespace Steinberg;
using namespace Steinberg::Vst;

static_assert(core::numHostParameters == 3, "a program sets the three knobs");

namespace
{
struct Text
{
    explicit Text(const char* ascii) { UString(value, str16BufferSize(String128)).fromAscii(ascii); }
    String128 value{};
};

const char* const listName = "Factory Presets";
}  // namespace

ProgramList* createFactoryProgramList()
{
    auto* list = new ProgramList(Text(listName).value, factoryProgramListId, kRootUnitId);
    for (const core::FactoryPreset& preset : core::factoryPresets)
        list->addProgram(Text(preset.name).value);
    return list;
}

Parameter* createProgramChangeParameter()
{
    auto* parameter =
        new StringListParameter(Text(listName).value, programChangeId, nullptr,
                                ParameterInfo::kCanAutomate | ParameterInfo::kIsList | ParameterInfo::kIsProgramChange,
                                kRootUnitId, Text("Presets").value);
    for (const core::FactoryPreset& preset : core::factoryPresets)
        parameter->appendString(Text(preset.name).value);
    return parameter;
}

// As the SDK's list parameter maps a normalized value to its entries (what
// hosts show as the program's name).
int programAt(double normalized) noexcept
{
    if (!(normalized >= 0.0))  // NaN too
        return 0;
    return FromNormalized<double>(std::min(1.0, normalized), core::numFactoryPresets - 1);
}

double programChangeValue(int program) noexcept
{
    return ToNormalized<double>(program, core::numFactoryPresets - 1);
}

std::optional<int> programWithPositions(const std::array<float, 3>& positions) noexcept
{
    for (int program = 0; program < core::numFactoryPresets; ++program)
        if (core::factoryPresets[static_cast<std::size_t>(program)].positions == positions)
            return program;
    return std::nullopt;
}

std::optional<std::array<float, 3>> programPositions(int program) noexcept
{
    if (program < 0 || program >= core::numFactoryPresets)
        return std::nullopt;
    return core::factoryPresets[static_cast<std::size_t>(program)].positions;
}
}  // namespace varnoke::vst3
