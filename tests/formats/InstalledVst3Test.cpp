// What a VST3 host finds when it scans the folders it searches by default
// (JUCE's VST3 hosting: ~/.vst3, /usr/lib/vst3, /usr/local/lib/vst3). The
// Debian package's test runs this after installing the package, with
// VARNOKE_TEST_INSTALLED_VST3 naming the bundle the package put there, and
// after removing it, with VARNOKE_TEST_INSTALLED_VST3=none. Without the
// variable (the normal test run) it skips: what is installed on the machine
// is not the build's business.

#include "ProductIdentity.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace varnoke::test
{
namespace
{
TEST(InstalledVst3, TheDefaultScanFindsExactlyTheInstalledBundle)
{
    const char* expected = std::getenv("VARNOKE_TEST_INSTALLED_VST3");
    if (expected == nullptr || *expected == '\0')
        GTEST_SKIP() << "VARNOKE_TEST_INSTALLED_VST3 is not set (the package test sets it)";

    juce::VST3PluginFormat format;
    juce::StringArray found;
    for (const auto& file : format.searchPathsForPlugins(format.getDefaultLocationsToSearch(), true, false))
    {
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile(types, file);
        for (const auto* type : types)
            if (type->name == product::name && type->manufacturerName == product::vendor)
                found.add(file);
    }

    if (std::string(expected) == "none")
        EXPECT_TRUE(found.isEmpty()) << "still found: " << found.joinIntoString(", ");
    else
        EXPECT_EQ(juce::StringArray(expected), found);
}
}  // namespace
}  // namespace varnoke::test
