#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace varnoke::test
{
// Points XDG_CONFIG_HOME at a fresh temporary folder while it lives, so the
// plug-in neither reads nor writes the user's own settings; restores it after.
class TemporaryConfigHome
{
public:
    TemporaryConfigHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "varnoke-config-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            folder = pattern;
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            previous = old;
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    ~TemporaryConfigHome()
    {
        if (previous.has_value())
            setenv("XDG_CONFIG_HOME", previous->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    TemporaryConfigHome(const TemporaryConfigHome&) = delete;
    TemporaryConfigHome& operator=(const TemporaryConfigHome&) = delete;

    std::filesystem::path settingsFile() const { return folder / "Varnoke" / "Varnoke.settings"; }

    // The settings file's text; empty when there is none.
    std::string settings() const
    {
        std::ifstream in(settingsFile());
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path folder;
    std::optional<std::string> previous;
};
}  // namespace varnoke::test
