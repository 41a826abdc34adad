// The factory preset bank every format offers: names users can tell apart
// and type, URI names that stay valid, and positions that do what the names say.

#include "FactoryPresets.h"
#include "ValueText.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace varnoke::test
{
namespace
{
using core::factoryPresets;

TEST(FactoryPresetsTest, NamesAndUriNamesAreDistinctAndWellFormed)
{
    std::set<std::string> names, slugs;
    for (const auto& preset : factoryPresets)
    {
        SCOPED_TRACE(preset.name);
        EXPECT_TRUE(names.insert(preset.name).second) << "a second preset of this name";
        EXPECT_TRUE(slugs.insert(preset.slug).second) << "a second preset of this URI name";
        const std::string slug = preset.slug;
        ASSERT_FALSE(slug.empty());
        EXPECT_NE('_', slug.front());
        EXPECT_NE('_', slug.back());
        // Letters, digits and '_' only: jalv's console takes no '-' in a preset's URI.
        for (const char c : slug)
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') << slug;
        // A file name on every system the .fxp files go to.
        for (const char c : std::string(preset.name))
            EXPECT_EQ(std::string::npos, std::string("/\\:*?\"<>|").find(c)) << preset.name;
    }
}

TEST(FactoryPresetsTest, FoundByTheirExactNameOnly)
{
    for (const auto& preset : factoryPresets)
        EXPECT_EQ(&preset, core::findFactoryPreset(preset.name)) << preset.name;
    for (const char* name : {"", "flat", "Flat ", " Flat", "Warm", "warm low end", "Flat\n"})
        EXPECT_EQ(nullptr, core::findFactoryPreset(name)) << '"' << name << '"';
}

// What each name promises, in dB as hosts show it: the boosts of the low band
// (Low Contour) and the high band (Process), and the output gain.
TEST(FactoryPresetsTest, EachPresetDoesWhatItsNameSays)
{
    struct Promise
    {
        const char* name;
        bool (*keeps)(double low, double high, double output);
        const char* says;
    };
    const Promise promises[] = {
        {"Flat", [](double low, double high, double output) { return low == 0.0 && high == 0.0 && output == 0.0; },
         "no boost and unity gain"},
        {"Warm low end",
         [](double low, double high, double output) { return low > 3.0 && high == 0.0 && output < 0.0; },
         "the lows up, the highs as they are, the output trimmed"},
        {"Presence", [](double low, double high, double) { return low == 0.0 && high > 2.0 && high < 6.0; },
         "a moderate lift of the highs alone"},
        {"Bright", [](double low, double high, double output) { return low == 0.0 && high > 6.0 && output < 0.0; },
         "a strong lift of the highs, the output trimmed"},
        {"Smile", [](double low, double high, double output) { return low > 3.0 && low == high && output < 0.0; },
         "both ends up alike, so the mids stay back"},
        {"Loudness", [](double low, double high, double output) { return low > high && high > 0.0 && output == 0.0; },
         "the lows up more than the highs, at the same output"},
    };
    ASSERT_EQ(std::size(promises), factoryPresets.size());
    for (std::size_t i = 0; i < factoryPresets.size(); ++i)
    {
        const auto& preset = factoryPresets[i];
        ASSERT_STREQ(promises[i].name, preset.name);
        const auto decibels = [&preset](std::size_t index)
        { return core::decibelsAt(core::hostParameters[index].scale, preset.positions[index]); };
        EXPECT_TRUE(promises[i].keeps(decibels(0), decibels(1), decibels(2)))
            << preset.name << " should give " << promises[i].says << "; it gives " << decibels(0) << " dB low, "
            << decibels(1) << " dB high, " << decibels(2) << " dB output";
    }
}
}  // namespace
}  // namespace varnoke::test
