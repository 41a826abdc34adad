#include "RenderCommand.h"

#include "AtomicOutputFile.h"
#include "PluginInfo.h"
#include "PresetFile.h"
#include "ProductIdentity.h"
#include "RenderError.h"
#include "RenderJob.h"
#include "RenderPlugin.h"
#include "ResponseMeasurement.h"

#include <juce_graphics/juce_graphics.h>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace varnoke::render
{
namespace
{
std::string directoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// The plug-in built beside this tool: in the build tree (build/bin and
// build/plugin), or installed (bin/ and lib/vst/ under one prefix, or ~/.vst).
std::string defaultPluginPath()
{
    char exe[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length > 0)
    {
        const std::string dir = directoryOf(std::string(exe, static_cast<size_t>(length)));
        const char* home = std::getenv("HOME");
        const std::string file = std::string("/") + product::name + ".so";
        for (const std::string& candidate : {dir + "/../plugin" + file, dir + file, dir + "/../lib/vst" + file,
                                             std::string(home != nullptr ? home : "") + "/.vst" + file})
            if (char* resolved = realpath(candidate.c_str(), nullptr))
            {
                std::string path = resolved;
                std::free(resolved);
                return path;
            }
    }
    return {};
}

void requireWritableDirectory(const std::string& path)
{
    const std::string dir = directoryOf(path);
    if (access(dir.c_str(), W_OK) != 0)
        throw RenderError("cannot write " + path + ": directory " + dir + " is missing or not writable");
}

// Whether two paths name one file (through links or other spellings too).
bool sameFile(const std::string& first, const std::string& second)
{
    struct stat a = {}, b = {};
    return !first.empty() && !second.empty() && stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string defaultOutputName(const std::string& input)
{
    if (input.empty())
        return "varnoke-demo.wav";
    const auto slash = input.find_last_of('/');
    std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name = name.substr(0, dot);
    return name + "-varnoke.wav";
}
}  // namespace

void runRenderCommand(const RenderOptions& options)
{
    const std::string pluginPath = options.plugin.empty() ? defaultPluginPath() : options.plugin;
    if (pluginPath.empty() || access(pluginPath.c_str(), F_OK) != 0)
        throw RenderError("plug-in not found: " + (pluginPath.empty() ? std::string("(none built)") : pluginPath));

    const auto library = loadPluginLibrary(pluginPath);
    auto probe = newInstance(library);
    requireProduct(*probe, pluginPath);

    std::optional<FxPreset> preset;
    if (!options.preset.empty())
    {
        preset = loadPreset(options.preset);
        requireFinitePresetValues(*probe, *preset, options.preset);
    }

    if (options.info)
    {
        configure(*probe, preset, options.knobs, options.bypass);
        printPluginInfo(*probe, pluginPath);
        return;
    }
    probe.reset();

    const bool renderAudio =
        !options.input.empty() || !options.output.empty() || (options.plot.empty() && options.savePreset.empty());
    const std::string outputPath = options.output.empty() ? defaultOutputName(options.input) : options.output;
    for (const std::string& path : {renderAudio ? outputPath : std::string(), options.plot, options.savePreset})
        if (!path.empty())
            requireWritableDirectory(path);

    // An output must never silently replace a file the run reads. Saving over
    // the loaded preset is allowed: that is how a preset is edited.
    const std::pair<std::string, std::string> outputs[] = {
        {options.output.empty() ? "the output" : "-o", renderAudio ? outputPath : std::string()},
        {"--plot", options.plot},
        {"--save-preset", options.savePreset}};
    const std::pair<std::string, std::string> inputs[] = {
        {"the input", options.input}, {"the preset", options.preset}, {"the plug-in", pluginPath}};
    for (const auto& [outputOption, output] : outputs)
        for (const auto& [inputName, input] : inputs)
            if (sameFile(output, input) && !(outputOption == "--save-preset" && inputName == "the preset"))
                throw RenderError(outputOption + " " + output + " is the same file as " + inputName + " " + input +
                                  "; choose another name");

    double sampleRate = 44100.0;
    if (renderAudio)
    {
        const std::unique_ptr<AudioSource> source =
            options.input.empty() ? openDemoSignal() : openAudioFile(options.input);
        sampleRate = source->sampleRate();

        auto plugin = newInstance(library);
        if (!plugin->setChannels(source->numChannels()))
            throw RenderError("the plug-in refused a " + std::to_string(source->numChannels()) + "-channel layout");
        configure(*plugin, preset, options.knobs, options.bypass);
        plugin->start(sampleRate, options.blockSize);

        const RenderResult result = renderToWav(*source, *plugin, options.blockSize, options.bits, outputPath);
        const double duration = static_cast<double>(result.frames) / sampleRate;
        std::printf("%s: %lld frames at %g Hz (%.2f s, %s) in %.2f s, %.0fx real time; "
                    "in peak %.1f dBFS, RMS %.1f dBFS; out peak %.1f dBFS, RMS %.1f dBFS\n",
                    outputPath.c_str(), static_cast<long long>(result.frames), sampleRate, duration,
                    source->numChannels() == 1 ? "mono" : "stereo", result.seconds,
                    result.seconds > 0.0 ? duration / result.seconds : 0.0, result.in.peakDecibels(),
                    result.in.rmsDecibels(), result.out.peakDecibels(), result.out.rmsDecibels());
    }

    if (!options.savePreset.empty())
    {
        auto plugin = newInstance(library);
        configure(*plugin, preset, options.knobs, false);
        const bool bank = savePreset(*plugin, options.savePreset);
        std::printf("%s: %s preset saved\n", options.savePreset.c_str(), bank ? "bank" : "program");
    }

    if (!options.plot.empty())
    {
        std::vector<ResponseCurve> curves = {
            measureResponse(library, preset, options.knobs, options.bypass, sampleRate)};
        for (const KnobSettings& knobs : options.compare)
            curves.push_back(measureResponse(library, preset, knobs, false, sampleRate));

        juce::MemoryOutputStream png;
        juce::PNGImageFormat format;
        if (!format.writeImageToStream(drawResponsePlot(curves, sampleRate), png))
            throw RenderError("cannot encode the plot");
        const auto* data = static_cast<const unsigned char*>(png.getData());
        writeFileAtomically(options.plot, std::vector<unsigned char>(data, data + png.getDataSize()));
        std::printf("%s: response plot of %zu setting%s\n", options.plot.c_str(), curves.size(),
                    curves.size() == 1 ? "" : "s");
    }
}
}  // namespace varnoke::render
