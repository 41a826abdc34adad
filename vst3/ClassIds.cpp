#include "ClassIds.h"

#include "ProductIdentity.h"

#include <cstdint>

namespace varnoke::vst3
{
namespace
{
// Eight hex digits of an ID's text as one of the four words FUID is built from.
std::uint32_t wordOf(const char* hex, int word)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 8; ++i)
    {
        const char c = hex[word * 8 + i];
        const auto digit = static_cast<std::uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        value = (value << 4) | digit;
    }
    return value;
}

Steinberg::FUID fromText(const char* hex)
{
    return Steinberg::FUID(wordOf(hex, 0), wordOf(hex, 1), wordOf(hex, 2), wordOf(hex, 3));
}
}  // namespace

Steinberg::FUID componentClassId()
{
    return fromText(product::vst3ComponentClassId);
}

Steinberg::FUID controllerClassId()
{
    return fromText(product::vst3ControllerClassId);
}
}  // namespace varnoke::vst3
