// varnoke-preset-files: writes the factory presets of core/FactoryPresets.h
// in the forms the packages carry. Run by the build, on the build machine.
//
//   varnoke-preset-files fxp DIRECTORY
//       one VST 2 program file per preset, DIRECTORY/NAME.fxp
//   varnoke-preset-files lv2 PLUGIN_URI MANIFEST_IN DIRECTORY
//       DIRECTORY/manifest.ttl (MANIFEST_IN with the presets' entries after
//       it) and DIRECTORY/presets.ttl
//   varnoke-preset-files nsis FILE
//       for the Windows installer: a macro that removes the .fxp files by
//       name, so that the uninstaller leaves the user's own presets alone

#include "FxpProgramFile.h"
#include "Lv2PresetTurtle.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
bool writeFile(const std::string& path, const void* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out)
        std::fprintf(stderr, "varnoke-preset-files: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

bool readFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.is_open() && !in.bad();
}

int writeFxpFiles(const std::string& directory)
{
    for (const varnoke::core::FactoryPreset& preset : varnoke::core::factoryPresets)
    {
        const std::vector<unsigned char> bytes = varnoke::presets::fxpProgramFile(preset);
        if (!writeFile(directory + "/" + preset.name + ".fxp", bytes.data(), bytes.size()))
            return 1;
    }
    return 0;
}

int writeLv2Files(const std::string& pluginUri, const std::string& manifestIn, const std::string& directory)
{
    std::string manifest;
    if (!readFile(manifestIn, manifest))
    {
        std::fprintf(stderr, "varnoke-preset-files: cannot read %s\n", manifestIn.c_str());
        return 1;
    }
    manifest += varnoke::presets::lv2PresetManifestEntries(pluginUri);
    const std::string presets = varnoke::presets::lv2PresetsTurtle(pluginUri);
    return writeFile(directory + "/manifest.ttl", manifest.data(), manifest.size()) &&
                   writeFile(directory + "/presets.ttl", presets.data(), presets.size())
               ? 0
               : 1;
}
int writeNsisInclude(const std::string& path)
{
    std::string text = "; Written by varnoke-preset-files from core/FactoryPresets.h.\n"
                       "!macro DeleteFactoryPresets FOLDER\n";
    for (const varnoke::core::FactoryPreset& preset : varnoke::core::factoryPresets)
        text += std::string("  Delete \"${FOLDER}\\") + preset.name + ".fxp\"\n";
    text += "!macroend\n";
    return writeFile(path, text.data(), text.size()) ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 2 && arguments[0] == "fxp")
        return writeFxpFiles(arguments[1]);
    if (arguments.size() == 4 && arguments[0] == "lv2")
        return writeLv2Files(arguments[1], arguments[2], arguments[3]);
    if (arguments.size() == 2 && arguments[0] == "nsis")
        return writeNsisInclude(arguments[1]);
    std::fprintf(stderr, "usage: varnoke-preset-files fxp DIRECTORY\n"
                         "       varnoke-preset-files lv2 PLUGIN_URI MANIFEST_IN DIRECTORY\n"
                         "       varnoke-preset-files nsis FILE\n");
    return 2;
}
