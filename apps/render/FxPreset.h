#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnoke::render
{
// The standard VST 2 preset files: a program (.fxp) or a bank (.fxb), in the
// opaque-chunk form that carries the plug-in's own state chunk, or (read only)
// the older form that lists the parameter values.
struct FxPreset
{
    enum class Kind
    {
        program,  // .fxp
        bank      // .fxb
    };

    Kind kind = Kind::program;
    std::int32_t pluginId = 0;
    std::int32_t pluginVersion = 0;
    std::string programName;           // programs only
    std::vector<unsigned char> chunk;  // opaque-chunk form
    std::vector<float> parameters;     // parameter-list form (programs only)
    bool hasChunk() const { return parameters.empty(); }
};

// Serialises a preset in the opaque-chunk form.
std::vector<unsigned char> writeFxPreset(const FxPreset& preset, std::int32_t numParameters, std::int32_t numPrograms);

// Parses a preset file; throws RenderError with a one-line reason when the
// bytes are no preset. Parameter values that are not finite numbers mark the
// file as damaged.
FxPreset readFxPreset(const std::vector<unsigned char>& bytes);

// A four-character code (product::fourCharacterCode) as text, '?' for what is not printable.
std::string fourCharacterText(std::int32_t code);

// Whether the bytes begin as a preset file does; four are enough to tell.
bool startsLikeFxPreset(const std::vector<unsigned char>& head);
}  // namespace varnoke::render
