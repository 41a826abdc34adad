// Writes what Varnoke.dll makes of the fixed test programme, for the Linux test
// that compares it with Varnoke.so's output.

#include "ReferenceRender.h"

#include "host/HostTestFixture.h"

#include <cstring>

namespace varnoke::test
{
namespace
{
constexpr const char* outputFile = "windows-output.f32";

TEST(WindowsOutput, RendersTheProgrammeToAFile)
{
    PluginLibrary library(builtPluginPath());
    ASSERT_TRUE(library.isLoaded()) << library.error();
    const auto samples = renderReferenceProgramme(library);
    ASSERT_FALSE(samples.empty());
    ASSERT_TRUE(writeSamples(outputFile, samples)) << "cannot write " << outputFile;

    // A second run in the same process gives the same bits: nothing carries over between instances.
    const auto again = renderReferenceProgramme(library);
    ASSERT_EQ(samples.size(), again.size());
    EXPECT_EQ(0, std::memcmp(samples.data(), again.data(), samples.size() * sizeof(float)));
}
}  // namespace
}  // namespace varnoke::test
