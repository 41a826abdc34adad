#include "ParameterTable.h"

#include "HostParameterTable.h"
#include "ValueText.h"

#include <pluginterfaces/vst/ivsteditcontroller.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace varnoke::vst3
{
namespace
{
using Info = Steinberg::Vst::ParameterInfo;

// The knobs as the plug-in's description (core/) has them, in the processor's
// index order, then the bypass switch JUCE's wrapper added in release 1.0.0.
std::array<ParameterRow, numParameters> makeRows()
{
    std::array<ParameterRow, numParameters> rows{};
    for (int index = 0; index < core::numHostParameters; ++index)
    {
        const auto& parameter = core::hostParameters[static_cast<std::size_t>(index)];
        rows[static_cast<std::size_t>(index)] = {parameter.vst3Id,
                                                 index,
                                                 parameter.name,
                                                 parameter.shortName,
                                                 static_cast<double>(parameter.defaultValue),
                                                 0,
                                                 Info::kCanAutomate};
    }
    rows.back() = {core::vst3BypassId,
                   bypassIndex,
                   core::vst3BypassName,
                   core::vst3BypassName,
                   0.0,
                   1,
                   Info::kCanAutomate | Info::kIsBypass};
    return rows;
}

const std::array<ParameterRow, numParameters> rows = makeRows();
static_assert(numParameters == core::hostParameters.size() + 1);

std::string loweredAndTrimmed(const std::string& text)
{
    std::string result;
    for (const char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}
}  // namespace

const std::array<ParameterRow, numParameters>& parameterRows() noexcept
{
    return rows;
}

const ParameterRow* findParameter(Steinberg::Vst::ParamID id) noexcept
{
    for (const auto& row : rows)
        if (row.id == id)
            return &row;
    return nullptr;
}

std::string valueText(const ParameterRow& row, double normalized)
{
    if (row.processorIndex == bypassIndex)
        return normalized >= 0.5 ? "On" : "Off";
    const auto* parameter = core::findHostParameter(row.processorIndex);
    return core::valueText(parameter->scale, static_cast<float>(normalized));
}

std::optional<double> valueFromText(const ParameterRow& row, const std::string& text)
{
    if (row.processorIndex == bypassIndex)
    {
        const auto word = loweredAndTrimmed(text);
        if (word == "on" || word == "1")
            return 1.0;
        if (word == "off" || word == "0")
            return 0.0;
        return std::nullopt;
    }
    const auto* parameter = core::findHostParameter(row.processorIndex);
    if (const auto position = core::positionForText(parameter->scale, text))
        return static_cast<double>(*position);
    return std::nullopt;
}
}  // namespace varnoke::vst3
