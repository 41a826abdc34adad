#pragma once

#include <juce_core/juce_core.h>

#include <cstdlib>
#include <optional>
#include <string>

// Points XDG_CONFIG_HOME at a fresh temporary folder (and sets or clears
// GDK_SCALE) for as long as it lives, so no test reads or writes the user's
// own settings; restores both after.
class ScopedConfigHome
{
public:
    explicit ScopedConfigHome(std::optional<std::string> gdkScale = std::nullopt)
        : folder(juce::File::createTempFile("varnoke-config"))
        , oldConfig(get("XDG_CONFIG_HOME"))
        , oldGdkScale(get("GDK_SCALE"))
    {
        folder.createDirectory();
        setenv("XDG_CONFIG_HOME", folder.getFullPathName().toRawUTF8(), 1);
        put("GDK_SCALE", gdkScale);
    }
    ~ScopedConfigHome()
    {
        put("XDG_CONFIG_HOME", oldConfig);
        put("GDK_SCALE", oldGdkScale);
        folder.deleteRecursively();
    }
    ScopedConfigHome(const ScopedConfigHome&) = delete;
    ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;

    juce::File settingsFile() const { return folder.getChildFile("Varnoke").getChildFile("Varnoke.settings"); }

private:
    static std::optional<std::string> get(const char* name)
    {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
    static void put(const char* name, const std::optional<std::string>& value)
    {
        if (value.has_value())
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }

    juce::File folder;
    std::optional<std::string> oldConfig, oldGdkScale;
};
