#include "UiScaleOption.h"

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstring>

namespace varnoke::lv2
{
namespace
{
const void* featureData(const LV2_Feature* const* features, const char* uri)
{
    for (auto* const* feature = features; feature != nullptr && *feature != nullptr; ++feature)
        if ((*feature)->URI != nullptr && std::strcmp((*feature)->URI, uri) == 0)
            return (*feature)->data;
    return nullptr;
}
}  // namespace

std::optional<float> hostScaleFactor(const LV2_Feature* const* features)
{
    const auto* options = static_cast<const LV2_Options_Option*>(featureData(features, LV2_OPTIONS__options));
    const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, LV2_URID__map));
    if (options == nullptr || map == nullptr || map->map == nullptr)
        return std::nullopt;

    const LV2_URID scaleKey = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
    const LV2_URID doubleType = map->map(map->handle, LV2_ATOM__Double);
    // The list ends with a zeroed option.
    for (const auto* option = options; option->key != 0 || option->value != nullptr; ++option)
    {
        if (option->key != scaleKey || option->value == nullptr)
            continue;
        double factor = 0.0;
        if (option->type == floatType && option->size == sizeof(float))
        {
            float value;
            std::memcpy(&value, option->value, sizeof value);
            factor = value;
        }
        else if (option->type == doubleType && option->size == sizeof(double))
            std::memcpy(&factor, option->value, sizeof factor);
        else
            return std::nullopt;
        if (!std::isfinite(factor) || factor <= 0.0)
            return std::nullopt;
        return static_cast<float>(factor);
    }
    return std::nullopt;
}
}  // namespace varnoke::lv2
