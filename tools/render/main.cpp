// varnoke-render: a small offline VST 2.4 host that renders audio files through
// the Varnoke plug-in, loaded the way a DAW loads it.

#include "AtomicOutputFile.h"
#include "FxPreset.h"
#include "RenderJob.h"
#include "RenderOptions.h"
#include "ResponsePlot.h"
#include "SmallFileReader.h"
#include "TemporaryFileCleanup.h"
#include "VstInstance.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_events/juce_events.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr std::int32_t varnokeId = fourCharacterCode("Plug");
constexpr int responseLength = 65536;
constexpr int responseWarmUp = 131072;  // lets the high band's fade-in settle
// Varnoke's presets are a few hundred bytes; anything far larger is no preset.
constexpr std::uint64_t maximumPresetSize = 1 << 20;

struct Failure
{
    std::string message;
};

[[noreturn]] void fail(const std::string& message)
{
    throw Failure{message};
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// The plug-in built beside this tool: in the build tree (build/tools and
// build/plugin), or installed (bin/ and lib/vst/ under one prefix, or ~/.vst).
std::string defaultPluginPath()
{
    char exe[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length > 0)
    {
        const std::string dir = directoryOf(std::string(exe, static_cast<size_t>(length)));
        const char* home = std::getenv("HOME");
        for (const std::string& candidate :
             {dir + "/../plugin/Varnoke.so", dir + "/Varnoke.so", dir + "/../lib/vst/Varnoke.so",
              std::string(home != nullptr ? home : "") + "/.vst/Varnoke.so"})
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
        fail("cannot write " + path + ": directory " + dir + " is missing or not writable");
}

void writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes)
{
    AtomicOutputFile output(path);
    std::string error;
    if (!output.open(error))
        fail(error);
    for (size_t done = 0; done < bytes.size();)
    {
        const ssize_t written = write(output.descriptor(), bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail("cannot write " + path + (written < 0 ? std::string(": ") + std::strerror(errno) : std::string()));
        done += static_cast<size_t>(written);
    }
    if (!output.commit(error))
        fail(error);
}

FxPreset loadPreset(const std::string& path)
{
    SmallFile file;
    std::string error;
    if (!readSmallFile(path, maximumPresetSize, 4, file, error))
        fail(error);
    if (file.tooLarge && startsLikeFxPreset(file.bytes))
        fail(path + " is too large for a preset (" + std::to_string(file.size) + " bytes; at most " +
             std::to_string(maximumPresetSize) + ")");
    FxPreset preset;
    if (!readFxPreset(file.bytes, preset, error))
        fail(path + ": " + error);
    if (preset.pluginId != varnokeId)
        fail(path + " is a preset for another plug-in (ID '" + fourCharacterText(preset.pluginId) + "'), not Varnoke");
    return preset;
}

// Applies a preset, then the knobs given on the command line.
void configure(host::VstInstance& plugin, const std::optional<FxPreset>& preset, const KnobSettings& knobs, bool bypass)
{
    if (preset)
    {
        if (preset->hasChunk())
            plugin.setChunk(preset->chunk, preset->kind == FxPreset::Kind::program);
        else
            for (size_t i = 0; i < preset->parameters.size() && i < 3; ++i)
                plugin.setParameter(static_cast<int>(i), preset->parameters[i]);
    }
    const std::optional<float>* values[] = {&knobs.lowContour, &knobs.process, &knobs.output};
    for (int index = 0; index < 3; ++index)
        if (*values[index])
            plugin.setParameter(index, **values[index]);
    plugin.setBypass(bypass);
}

// A state chunk may carry any text for a number; a value that is not a finite
// number means a damaged preset, not a setting.
void requireFinitePresetValues(host::VstInstance& plugin, const FxPreset& preset, const std::string& path)
{
    configure(plugin, preset, {}, false);
    for (int index = 0; index < plugin.effect().numParams; ++index)
        if (!std::isfinite(plugin.parameter(index)))
            fail(path + ": damaged preset: parameter " + std::to_string(index) + " is not a finite number");
}

// Whether two paths name one file (through links or other spellings too).
bool sameFile(const std::string& first, const std::string& second)
{
    struct stat a = {}, b = {};
    return !first.empty() && !second.empty() && stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::unique_ptr<host::VstInstance> newInstance(const std::shared_ptr<host::VstLibrary>& library)
{
    std::string error;
    auto instance = host::VstInstance::create(library, error);
    if (instance == nullptr)
        fail(error);
    return instance;
}

std::string settingsLabel(host::VstInstance& plugin, bool bypass)
{
    if (bypass)
        return "bypassed";
    char text[128];
    std::snprintf(text, sizeof text, "Low Contour %.2f, Process %.2f, Output %.2f", plugin.parameter(0),
                  plugin.parameter(1), plugin.parameter(2));
    return text;
}

ResponseCurve measureResponse(const std::shared_ptr<host::VstLibrary>& library, const std::optional<FxPreset>& preset,
                              const KnobSettings& knobs, bool bypass, double sampleRate)
{
    auto plugin = newInstance(library);
    plugin->setChannels(2);
    configure(*plugin, preset, knobs, bypass);
    const int block = 4096;
    plugin->start(sampleRate, block);

    std::vector<float> inL(block, 0.0f), inR(block, 0.0f), outL(block), outR(block);
    float* inputs[] = {inL.data(), inR.data()};
    float* outputs[] = {outL.data(), outR.data()};
    const auto requireFinite = [&outL, &outR]
    {
        for (int i = 0; i < block; ++i)
            if (!std::isfinite(outL[static_cast<size_t>(i)]) || !std::isfinite(outR[static_cast<size_t>(i)]))
                fail("cannot measure the response: the plug-in output a non-finite sample (NaN or infinity)");
    };
    for (int done = 0; done < responseWarmUp; done += block)
    {
        plugin->process(inputs, outputs, block);
        requireFinite();
    }

    std::vector<float> impulseResponse;
    inL[0] = inR[0] = 1.0f;
    for (int done = 0; done < responseLength; done += block)
    {
        plugin->process(inputs, outputs, block);
        requireFinite();
        impulseResponse.insert(impulseResponse.end(), outL.begin(), outL.end());
        inL[0] = inR[0] = 0.0f;
    }
    ResponseCurve curve = responseFromImpulse(impulseResponse, sampleRate);
    curve.label = settingsLabel(*plugin, bypass);
    return curve;
}

void printInfo(host::VstInstance& plugin, const std::string& path)
{
    const AEffect& effect = plugin.effect();
    const auto flag = [&effect](int bit, const char* name)
    { return (effect.flags & bit) != 0 ? std::string(" ") + name : std::string(); };
    std::printf("Plug-in      %s\n", path.c_str());
    std::printf("Name         %s\n", plugin.effectName().c_str());
    std::printf("Product      %s\n", plugin.productString().c_str());
    std::printf("Vendor       %s\n", plugin.vendorString().c_str());
    std::printf("Version      %d (vendor version %d)\n", effect.version, plugin.vendorVersion());
    std::printf("Unique ID    '%s' (%d)\n", fourCharacterText(effect.uniqueID).c_str(), effect.uniqueID);
    std::printf("Category     %d%s\n", plugin.category(), plugin.category() == 1 ? " (effect)" : "");
    std::printf("VST version  %d\n", plugin.vstVersion());
    std::printf("Channels     %d in, %d out\n", effect.numInputs, effect.numOutputs);
    std::printf("Programs     %d\n", effect.numPrograms);
    std::printf("Latency      %d frames\n", effect.initialDelay);
    std::printf("Flags        0x%x:%s%s%s%s%s%s\n", static_cast<unsigned>(effect.flags), flag(1, "editor").c_str(),
                flag(0x10, "replacing").c_str(), flag(0x20, "chunks").c_str(), flag(0x100, "synth").c_str(),
                flag(0x200, "no-sound-in-stop").c_str(), flag(0x1000, "double-replacing").c_str());
    std::printf("Parameters   %d\n", effect.numParams);
    for (int index = 0; index < effect.numParams; ++index)
    {
        const std::string display = plugin.parameterDisplay(index) + plugin.parameterLabel(index);
        std::printf("  %d  %-12s %.6g%s%s\n", index, plugin.parameterName(index).c_str(), plugin.parameter(index),
                    display.empty() ? "" : "  ", display.c_str());
    }
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

int run(const RenderOptions& options)
{
    const std::string pluginPath = options.plugin.empty() ? defaultPluginPath() : options.plugin;
    if (pluginPath.empty() || access(pluginPath.c_str(), F_OK) != 0)
        fail("plug-in not found: " + (pluginPath.empty() ? std::string("(none built)") : pluginPath));

    std::string error;
    const auto library = host::VstLibrary::load(pluginPath, error);
    if (library == nullptr)
        fail(error);
    auto probe = newInstance(library);
    if (probe->effect().uniqueID != varnokeId || probe->effectName() != "Varnoke")
        fail(pluginPath + " is not a Varnoke build (it is '" + probe->effectName() + "')");

    std::optional<FxPreset> preset;
    if (!options.preset.empty())
    {
        preset = loadPreset(options.preset);
        requireFinitePresetValues(*probe, *preset, options.preset);
    }

    if (options.info)
    {
        configure(*probe, preset, options.knobs, options.bypass);
        printInfo(*probe, pluginPath);
        return 0;
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
                fail(outputOption + " " + output + " is the same file as " + inputName + " " + input +
                     "; choose another name");

    double sampleRate = 44100.0;
    if (renderAudio)
    {
        std::unique_ptr<AudioSource> source =
            options.input.empty() ? openDemoSignal() : openAudioFile(options.input, error);
        if (source == nullptr)
            fail(error);
        sampleRate = source->sampleRate();

        auto plugin = newInstance(library);
        if (!plugin->setChannels(source->numChannels()))
            fail("the plug-in refused a " + std::to_string(source->numChannels()) + "-channel layout");
        configure(*plugin, preset, options.knobs, options.bypass);
        plugin->start(sampleRate, options.blockSize);

        RenderResult result;
        if (!renderToWav(*source, *plugin, options.blockSize, options.bits, outputPath, result, error))
            fail(error);
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
        FxPreset saved;
        const bool bank = juce::File(juce::String(options.savePreset)).hasFileExtension("fxb");
        saved.kind = bank ? FxPreset::Kind::bank : FxPreset::Kind::program;
        saved.pluginId = plugin->effect().uniqueID;
        saved.pluginVersion = plugin->effect().version;
        saved.programName = "Varnoke";
        saved.chunk = plugin->chunk(!bank);
        writeFileAtomically(options.savePreset,
                            writeFxPreset(saved, plugin->effect().numParams, plugin->effect().numPrograms));
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
            fail("cannot encode the plot");
        const auto* data = static_cast<const unsigned char*>(png.getData());
        writeFileAtomically(options.plot, std::vector<unsigned char>(data, data + png.getDataSize()));
        std::printf("%s: response plot of %zu setting%s\n", options.plot.c_str(), curves.size(),
                    curves.size() == 1 ? "" : "s");
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    TemporaryFileCleanup::installSignalHandlers();

    RenderOptions options;
    std::string error;
    if (!parseRenderOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
    {
        std::fprintf(stderr, "varnoke-render: %s\n", error.c_str());
        return 2;
    }
    if (options.help)
    {
        std::fputs(renderUsage(), stdout);
        return 0;
    }

    try
    {
        return run(options);
    }
    catch (const Failure& failure)
    {
        std::fprintf(stderr, "varnoke-render: %s\n", failure.message.c_str());
        return 1;
    }
}
