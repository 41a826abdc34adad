#include "UserScaleSetting.h"

#include "EditorScale.h"

#include <cmath>

namespace varnoke::user_scale_setting
{
namespace
{
const char* const scaleKey = "windowScale";

juce::PropertiesFile::Options fileOptions()
{
    juce::PropertiesFile::Options options;
    options.applicationName = "Varnoke";
    options.filenameSuffix = ".settings";
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    // Written at once by write(); nothing is kept to save later.
    options.millisecondsBeforeSaving = -1;
    // Two windows may write at the same time, in one process or in several.
    options.processLock = nullptr;
    return options;
}

juce::File configDirectory()
{
#if JUCE_WINDOWS
    return juce::File::getSpecialLocation(juce::File::userApplicationDataDirectory);
#else
    const juce::String xdgConfigHome = juce::SystemStats::getEnvironmentVariable("XDG_CONFIG_HOME", {});
    // XDG_CONFIG_HOME counts only when it is an absolute path; a relative one is ignored.
    if (juce::File::isAbsolutePath(xdgConfigHome))
        return juce::File(xdgConfigHome);
    return juce::File::getSpecialLocation(juce::File::userHomeDirectory).getChildFile(".config");
#endif
}
}  // namespace

juce::File file()
{
    return configDirectory().getChildFile("Varnoke").getChildFile("Varnoke.settings");
}

std::optional<float> read()
{
    const juce::File settings = file();
    if (!settings.existsAsFile())
        return std::nullopt;
    juce::PropertiesFile properties(settings, fileOptions());
    const juce::String text = properties.getValue(scaleKey);
    if (text.isEmpty())
        return std::nullopt;
    const float factor = text.getFloatValue();
    if (!std::isfinite(factor) || factor <= 0.0f)
        return std::nullopt;
    return editor_scale::clamp(factor);
}

bool write(std::optional<float> factor)
{
    const juce::File settings = file();
    if (!settings.getParentDirectory().createDirectory())
        return false;
    juce::PropertiesFile properties(settings, fileOptions());
    if (factor.has_value())
        properties.setValue(scaleKey, juce::String(editor_scale::clamp(*factor)));
    else
        properties.removeValue(scaleKey);
    return properties.saveIfNeeded();
}
}  // namespace varnoke::user_scale_setting
