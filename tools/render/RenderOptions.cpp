#include "RenderOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace
{
bool parseNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != nullptr && *end == '\0' && std::isfinite(value);
}

bool parseKnob(const std::string& option, const std::string& text, std::optional<float>& knob, std::string& error)
{
    double value = 0.0;
    if (!parseNumber(text, value))
    {
        error = option + " needs a number from 0 to 1, not '" + text + "'";
        return false;
    }
    if (value < 0.0 || value > 1.0)
    {
        error = option + " " + text + " is out of range (0 to 1)";
        return false;
    }
    knob = static_cast<float>(value);
    return true;
}

bool parseInteger(const std::string& option, const std::string& text, int lowest, int highest, int& value,
                  std::string& error)
{
    double number = 0.0;
    if (!parseNumber(text, number) || number != std::floor(number))
    {
        error = option + " needs a whole number, not '" + text + "'";
        return false;
    }
    if (number < lowest || number > highest)
    {
        error = option + " " + text + " is out of range (" + std::to_string(lowest) + " to " + std::to_string(highest) +
                ")";
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

// "LOW,PROCESS,OUTPUT", each 0..1.
bool parseComparison(const std::string& text, KnobSettings& knobs, std::string& error)
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
    {
        error = "--compare needs three values LOW,PROCESS,OUTPUT, not '" + text + "'";
        return false;
    }
    return parseKnob("--compare", parts[0], knobs.lowContour, error) &&
           parseKnob("--compare", parts[1], knobs.process, error) &&
           parseKnob("--compare", parts[2], knobs.output, error);
}
}  // namespace

const char* renderUsage()
{
    return R"(Usage: varnoke-render [INPUT] [options]

Renders an audio file through the Varnoke plug-in, loaded as a host loads it.
Without INPUT, renders a built-in demo (a few seconds of bass, chords and hi-hats).

  -o, --output-file FILE  output WAV (default: INPUT's name with "-varnoke.wav",
                          or varnoke-demo.wav for the demo)
  --low-contour X         Low Contour knob, 0 to 1 (lifts the lows)
  --process X             Process knob, 0 to 1 (brings up the highs)
  --output X              Output knob, 0 to 1 (0.5 leaves the level unchanged)
  --bypass                pass the audio through untouched
  --block N               host block size in frames (default 512)
  --bits 16|24|32         output sample format (default 32: floating point)
  --preset FILE           load a .fxp or .fxb preset before the knob options
  --save-preset FILE      save the settings as a .fxp (or .fxb) preset
  --plot FILE.png         plot the magnitude response of the settings
  --compare L,P,O         add the response of other settings to the plot (repeatable)
  --info                  show what a host sees when it scans the plug-in, then stop
  --plugin PATH           the plug-in to load (default: the one built beside this tool)
  -h, --help              show this help

Inputs: WAV, AIFF, FLAC or Ogg Vorbis, mono or stereo, at any sample rate.
)";
}

bool parseRenderOptions(const std::vector<std::string>& arguments, RenderOptions& options, std::string& error)
{
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        const std::string& argument = arguments[i];
        const auto needValue = [&](std::string& value)
        {
            if (i + 1 >= arguments.size())
            {
                error = argument + " needs a value";
                return false;
            }
            value = arguments[++i];
            return true;
        };

        std::string value;
        if (argument == "-h" || argument == "--help")
            options.help = true;
        else if (argument == "--info")
            options.info = true;
        else if (argument == "--bypass")
            options.bypass = true;
        else if (argument == "-o" || argument == "--output-file")
        {
            if (!needValue(options.output))
                return false;
        }
        else if (argument == "--low-contour" || argument == "--process" || argument == "--output")
        {
            std::optional<float>& knob = argument == "--low-contour" ? options.knobs.lowContour
                                         : argument == "--process"   ? options.knobs.process
                                                                     : options.knobs.output;
            if (!needValue(value) || !parseKnob(argument, value, knob, error))
                return false;
        }
        else if (argument == "--block")
        {
            if (!needValue(value) || !parseInteger(argument, value, 1, 65536, options.blockSize, error))
                return false;
        }
        else if (argument == "--bits")
        {
            if (!needValue(value) || !parseInteger(argument, value, 16, 32, options.bits, error))
                return false;
            if (options.bits != 16 && options.bits != 24 && options.bits != 32)
            {
                error = "--bits must be 16, 24 or 32, not " + value;
                return false;
            }
        }
        else if (argument == "--preset")
        {
            if (!needValue(options.preset))
                return false;
        }
        else if (argument == "--save-preset")
        {
            if (!needValue(options.savePreset))
                return false;
        }
        else if (argument == "--plot")
        {
            if (!needValue(options.plot))
                return false;
        }
        else if (argument == "--compare")
        {
            KnobSettings knobs;
            if (!needValue(value) || !parseComparison(value, knobs, error))
                return false;
            options.compare.push_back(knobs);
        }
        else if (argument == "--plugin")
        {
            if (!needValue(options.plugin))
                return false;
        }
        else if (!argument.empty() && argument[0] == '-' && argument != "-")
        {
            error = "unknown option " + argument + " (see --help)";
            return false;
        }
        else if (options.input.empty())
            options.input = argument;
        else
        {
            error = "only one input file may be given (got '" + options.input + "' and '" + argument + "')";
            return false;
        }
    }

    if (!options.compare.empty() && options.plot.empty())
    {
        error = "--compare adds curves to a plot: give --plot FILE.png too";
        return false;
    }
    return true;
}
