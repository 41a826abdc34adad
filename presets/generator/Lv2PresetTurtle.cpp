#include "Lv2PresetTurtle.h"

#include <charconv>

namespace varnoke::presets
{
namespace
{
// The shortest decimal that reads back as the same float, as hosts read it.
std::string turtleNumber(float value)
{
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed);
    std::string text(digits, result.ptr);
    if (text.find('.') == std::string::npos)
        text += ".0";  // a Turtle decimal, not an integer
    return text;
}

// Labels are plain names; a quote or backslash would end or escape the literal.
std::string turtleString(const char* text)
{
    std::string literal = "\"";
    for (const char* c = text; *c != '\0'; ++c)
    {
        if (*c == '"' || *c == '\\')
            literal += '\\';
        literal += *c;
    }
    return literal + '"';
}
}  // namespace

std::string lv2PresetUri(const std::string& pluginUri, const core::FactoryPreset& preset)
{
    return pluginUri + ":preset:" + preset.slug;
}

std::string lv2PresetManifestEntries(const std::string& pluginUri)
{
    std::string text = "\n# The factory presets (written with presets.ttl from core/FactoryPresets.h).\n";
    for (const core::FactoryPreset& preset : core::factoryPresets)
    {
        text += "\n<" + lv2PresetUri(pluginUri, preset) + ">\n";
        text += "\ta pset:Preset ;\n";
        text += "\tlv2:appliesTo <" + pluginUri + "> ;\n";
        text += "\trdfs:seeAlso <presets.ttl> .\n";
    }
    return text;
}

std::string lv2PresetsTurtle(const std::string& pluginUri)
{
    std::string text = "# Varnoke's factory presets, written from core/FactoryPresets.h by the build.\n"
                       "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
                       "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                       "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
    for (const core::FactoryPreset& preset : core::factoryPresets)
    {
        text += "\n<" + lv2PresetUri(pluginUri, preset) + ">\n";
        text += "\ta pset:Preset ;\n";
        text += "\tlv2:appliesTo <" + pluginUri + "> ;\n";
        text += "\trdfs:label " + turtleString(preset.name) + " ;\n";
        text += "\tlv2:port ";
        for (std::size_t index = 0; index < core::hostParameters.size(); ++index)
        {
            text += index == 0 ? "[\n" : " , [\n";
            text += std::string("\t\tlv2:symbol \"") + core::hostParameters[index].lv2Symbol + "\" ;\n";
            text += "\t\tpset:value " + turtleNumber(preset.positions[index]) + "\n\t]";
        }
        text += " .\n";
    }
    return text;
}
}  // namespace varnoke::presets
