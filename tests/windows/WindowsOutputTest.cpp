// Writes what Varnoke.dll makes of the fixed test programme, for the Linux test
// that compares it with Varnoke.so's output.

#include "ReferenceRender.h"

#include "host/HostTestFixture.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace varnoke::test
{
namespace
{
// With VARNOKE_KERNEL set (the run forces each kernel in turn), the file is
// named after the kernel: windows-output-avx2.f32, for instance.
std::string outputFileName()
{
    const char* kernel = std::getenv("VARNOKE_KERNEL");
    return kernel != nullptr && *kernel != '\0' ? "windows-output-" + std::string(kernel) + ".f32"
                                                : "windows-output.f32";
}

TEST(WindowsOutput, RendersTheProgrammeToAFile)
{
    const std::string outputFile = outputFileName();
    PluginLibrary library(builtPluginPath());
    ASSERT_TRUE(library.isLoaded()) << library.error();
    const auto samples = renderReferenceProgramme(library);
    ASSERT_FALSE(samples.empty());
    ASSERT_TRUE(writeSamples(outputFile.c_str(), samples)) << "cannot write " << outputFile;

    // A second run in the same process gives the same bits: nothing carries over between instances.
    const auto again = renderReferenceProgramme(library);
    ASSERT_EQ(samples.size(), again.size());
    EXPECT_EQ(0, std::memcmp(samples.data(), again.data(), samples.size() * sizeof(float)));
}
}  // namespace
}  // namespace varnoke::test
