#include "RenderOptions.h"

#include "FactoryPresets.h"
#include "RenderError.h"
#include "TemporaryFileCleanup.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace varnoke::render
{
namespace
{
// More than most machines' cores; each job holds a plug-in instance and a
// temporary output that a signal must not leave behind.
constexpr int maxJobs = 256;
static_assert(maxJobs + 2 <= cleanup::maxPaths, "every job's temporary output can be cleaned up");

bool parseNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != nullptr && *end == '\0' && std::isfinite(value);
}

void parseKnob(const std::string& option, const std::string& text, std::optional<float>& knob)
{
    double value = 0.0;
    if (!parseNumber(text, value))
        throw RenderError(option + " needs a number from 0 to 1, not '" + text + "'");
    if (value < 0.0 || value > 1.0)
        throw RenderError(option + " " + text + " is out of range (0 to 1)");
    knob = static_cast<float>(value);
}

int parseInteger(const std::string& option, const std::string& text, int lowest, int highest)
{
    double number = 0.0;
    if (!parseNumber(text, number) || number != std::floor(number))
        throw RenderError(option + " needs a whole number, not '" + text + "'");
    if (number < lowest || number > highest)
        throw RenderError(option + " " + text + " is out of range (" + std::to_string(lowest) + " to " +
                          std::to_string(highest) + ")");
    return static_cast<int>(number);
}

// "LOW,PROCESS,OUTPUT", each 0..1.
KnobSettings parseComparison(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t comma = text.find(',');; comma = text.find(',', start))
    {
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (parts.size() != 3)
        throw RenderError("--compare needs three values LOW,PROCESS,OUTPUT, not '" + text + "'");
    KnobSettings knobs;
    parseKnob("--compare", parts[0], knobs.lowContour);
    parseKnob("--compare", parts[1], knobs.process);
    parseKnob("--compare", parts[2], knobs.output);
    return knobs;
}
// A factory preset's positions for the knobs the command line leaves unset:
// a knob option overrides the preset, wherever it stands.
void applyFactoryPreset(const std::string& name, KnobSettings& knobs)
{
    const core::FactoryPreset* preset = core::findFactoryPreset(name);
    if (preset == nullptr)
    {
        std::string names;
        for (const core::FactoryPreset& known : core::factoryPresets)
            names += std::string(names.empty() ? "" : ", ") + "\"" + known.name + "\"";
        throw RenderError("no factory preset is named '" + name + "'; the presets are " + names +
                          " (see --list-presets)");
    }
    std::optional<float>* values[] = {&knobs.lowContour, &knobs.process, &knobs.output};
    static_assert(std::size(values) == core::numHostParameters, "one knob per host parameter");
    for (std::size_t index = 0; index < std::size(values); ++index)
        if (!*values[index])
            *values[index] = preset->positions[index];
}
}  // namespace

std::string factoryPresetList()
{
    std::string list;
    for (const core::FactoryPreset& preset : core::factoryPresets)
        list += std::string(preset.name) + "\n";
    return list;
}

const char* renderUsage()
{
    return R"(Usage: varnoke-render [INPUT...] [options]

Renders audio files through the Varnoke plug-in, loaded as a host loads it.
Without INPUT, renders a built-in demo (a few seconds of bass, chords and hi-hats).

  -o, --output-file FILE  output WAV (default: INPUT's name with "-varnoke.wav",
                          or varnoke-demo.wav for the demo)
  -o DIRECTORY/           write each INPUT as DIRECTORY/NAME.wav (NAME: the input's
                          name without its extension); the directory is created
                          when the name ends with "/"; needed for several inputs
  --jobs N                render up to N inputs at once, each through its own
                          plug-in instance (default: one per processor core)
  --low-contour X         Low Contour knob, 0 to 1 (lifts the lows)
  --process X             Process knob, 0 to 1 (brings up the highs)
  --output X              Output knob, 0 to 1 (0.5 leaves the level unchanged)
  --bypass                pass the audio through untouched
  --block N               host block size in frames (default 512)
  --bits 16|24|32         output sample format (default 32: floating point)
  --preset FILE           load a .fxp or .fxb preset before the knob options
  --preset-name NAME      start from the factory preset NAME (quote names with
                          spaces); knob options change it further
  --list-presets          print the factory presets' names, one a line, then stop
  --save-preset FILE      save the settings as a .fxp (or .fxb) preset
  --plot FILE.png         plot the magnitude response of the settings
  --compare L,P,O         add the response of other settings to the plot (repeatable)
  --info                  show what a host sees when it scans the plug-in, then stop
  --plugin PATH           the plug-in to load (default: the one built beside this tool)
  -h, --help              show this help

Inputs: WAV, AIFF, FLAC or Ogg Vorbis, mono or stereo, at any sample rate.

Several inputs are rendered in parallel, each exactly as a run with that input
alone would render it. Each file written gets a summary line on standard
output; an input that fails gets a line on standard error, leaves no output
file, and does not stop the others. Two inputs that would be written under
the same name are refused before anything is rendered.

Exit status: 0 when every output was written; 1 when the run could not start
or any input failed (the other outputs are still written); 2 when the command
line is invalid.
)";
}

RenderOptions parseRenderOptions(const std::vector<std::string>& arguments)
{
    RenderOptions options;
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        const std::string& argument = arguments[i];
        const auto value = [&]() -> const std::string&
        {
            if (i + 1 >= arguments.size())
                throw RenderError(argument + " needs a value");
            return arguments[++i];
        };

        if (argument == "-h" || argument == "--help")
            options.help = true;
        else if (argument == "--info")
            options.info = true;
        else if (argument == "--bypass")
            options.bypass = true;
        else if (argument == "-o" || argument == "--output-file")
            options.output = value();
        else if (argument == "--low-contour" || argument == "--process" || argument == "--output")
        {
            std::optional<float>& knob = argument == "--low-contour" ? options.knobs.lowContour
                                         : argument == "--process"   ? options.knobs.process
                                                                     : options.knobs.output;
            parseKnob(argument, value(), knob);
        }
        else if (argument == "--block")
            options.blockSize = parseInteger(argument, value(), 1, 65536);
        else if (argument == "--bits")
        {
            const std::string& bits = value();
            options.bits = parseInteger(argument, bits, 16, 32);
            if (options.bits != 16 && options.bits != 24 && options.bits != 32)
                throw RenderError("--bits must be 16, 24 or 32, not " + bits);
        }
        else if (argument == "--preset")
            options.preset = value();
        else if (argument == "--preset-name")
            options.presetName = value();
        else if (argument == "--list-presets")
            options.listPresets = true;
        else if (argument == "--save-preset")
            options.savePreset = value();
        else if (argument == "--plot")
            options.plot = value();
        else if (argument == "--compare")
            options.compare.push_back(parseComparison(value()));
        else if (argument == "--plugin")
            options.plugin = value();
        else if (argument == "--jobs")
            options.jobs = parseInteger(argument, value(), 1, maxJobs);
        else if (!argument.empty() && argument[0] == '-' && argument != "-")
            throw RenderError("unknown option " + argument + " (see --help)");
        else
            options.inputs.push_back(argument);
    }

    if (!options.preset.empty() && options.presetName)
        throw RenderError("--preset and --preset-name both set every knob: give one of them");
    if (options.presetName)
        applyFactoryPreset(*options.presetName, options.knobs);
    if (!options.compare.empty() && options.plot.empty())
        throw RenderError("--compare adds curves to a plot: give --plot FILE.png too");
    if (options.inputs.size() > 1 && !options.plot.empty())
        throw RenderError("--plot measures at the input's sample rate: give only one input with it");
    return options;
}
}  // namespace varnoke::render
