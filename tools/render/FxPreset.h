#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// Parses a preset file. On failure, returns false and sets a one-line reason.
// Parameter values that are not finite numbers mark the file as damaged.
bool readFxPreset(const std::vector<unsigned char>& bytes, FxPreset& preset, std::string& error);

// Four-character codes as VST 2 writes them: the first character in the most significant byte.
constexpr std::int32_t fourCharacterCode(const char (&code)[5])
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
                                     static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])));
}

std::string fourCharacterText(std::int32_t code);

// Whether the bytes begin as a preset file does; four are enough to tell.
bool startsLikeFxPreset(const std::vector<unsigned char>& head);
