#include "RenderCommand.h"

#include "AtomicOutputFile.h"
#include "BatchRender.h"
#include "OutputPlan.h"
#include "PluginInfo.h"
#include "PresetFile.h"
#include "ProductIdentity.h"
#include "ProgressBar.h"
#include "RenderError.h"
#include "RenderJob.h"
#include "RenderPlugin.h"
#include "ResponseMeasurement.h"
#include "SourceRendering.h"

#include <juce_graphics/juce_graphics.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <thread>
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

// The directory -o names, created when its name ends with "/" and it does
// not exist yet; removed again unless an output was written into it (when the
// run stops early, or when every input fails). Only removed while empty.
class OutputDirectory
{
public:
    explicit OutputDirectory(const std::string& output)
    {
        if (output.empty() || output.back() != '/' || access(output.c_str(), F_OK) == 0)
            return;
        if (mkdir(output.c_str(), 0777) != 0)
            throw RenderError("cannot create directory " + output + ": " + std::strerror(errno));
        created = output;
    }
    ~OutputDirectory()
    {
        if (!created.empty())
            rmdir(created.c_str());  // only when still empty
    }
    void keep() { created.clear(); }

private:
    std::string created;
};

int jobCount(int requested)
{
    if (requested > 0)
        return requested;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
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
    const bool renderAudio =
        !options.inputs.empty() || !options.output.empty() || (options.plot.empty() && options.savePreset.empty());
    const std::vector<PlannedOutput> plan =
        renderAudio ? planOutputs(options.inputs, options.output) : std::vector<PlannedOutput>{};
    OutputDirectory outputDirectory(renderAudio ? options.output : std::string());
    std::vector<std::string> paths = {options.plot, options.savePreset};
    for (const PlannedOutput& planned : plan)
        paths.push_back(planned.output);
    for (const std::string& path : paths)
        if (!path.empty())
            requireWritableDirectory(path);

    // An output must never silently replace a file the run reads. Saving over
    // the loaded preset is allowed: that is how a preset is edited.
    std::vector<std::pair<std::string, std::string>> outputs = {{"--plot", options.plot},
                                                                {"--save-preset", options.savePreset}};
    for (const PlannedOutput& planned : plan)
        outputs.insert(outputs.begin(), {options.output.empty() ? "the output" : "-o", planned.output});
    std::vector<std::pair<std::string, std::string>> inputs = {{"the preset", options.preset},
                                                               {"the plug-in", pluginPath}};
    for (const std::string& input : options.inputs)
        inputs.insert(inputs.begin(), {"the input", input});
    for (const auto& [outputOption, output] : outputs)
        for (const auto& [inputName, input] : inputs)
            if (sameFile(output, input) && !(outputOption == "--save-preset" && inputName == "the preset"))
                throw RenderError(outputOption + " " + output + " is the same file as " + inputName + " " + input +
                                  "; choose another name");

    double sampleRate = 44100.0;
    BatchOutcome batch;
    RenderSettings settings;
    settings.preset = preset;
    settings.knobs = options.knobs;
    settings.bypass = options.bypass;
    settings.blockSize = options.blockSize;
    settings.bits = options.bits;
    if (plan.size() == 1)
    {
        probe.reset();
        const std::string& input = plan.front().input;
        const std::unique_ptr<AudioSource> source = input.empty() ? openDemoSignal() : openAudioFile(input);
        sampleRate = source->sampleRate();
        ProgressBar progress(source->numFrames(),
                             ProgressBar::worthShowing(static_cast<double>(source->numFrames()) / sampleRate));
        const RenderedFile rendered = renderSource(library, *source, settings, plan.front().output,
                                                   [&progress](juce::int64 done) { progress.update(done); });
        progress.clear();
        std::printf("%s\n", summaryLine(rendered).c_str());
        outputDirectory.keep();
    }
    else if (!plan.empty())
    {
        // The probe stays open meanwhile: the plug-in's shared parts stay up
        // on this thread while the workers' instances come and go.
        batch = renderBatch(library, plan, settings, jobCount(options.jobs));
        if (batch.written > 0)
            outputDirectory.keep();
    }
    probe.reset();

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

    if (batch.failed > 0)
        throw RenderError(std::to_string(batch.failed) + " of " + std::to_string(plan.size()) +
                          " inputs failed; the other outputs were written");
}
}  // namespace varnoke::render
