// Varnoke.dll seen from Linux: its module tables, read with objdump, and its
// output under Wine, which must equal Varnoke.so's bit for bit (same compiler
// family, same flags, no fused multiply-add contraction).

#include "ReferenceRender.h"

#include "support/BitPatterns.h"
#include "support/CommandOutput.h"
#include "support/ForcedKernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace varnoke::test
{
namespace
{
const std::string windowsBuild = VARNOKE_WINDOWS_BUILD_DIR;
const std::string dllPath = windowsBuild + "/plugin/Varnoke.dll";
// VARNOKE_WINDOWS_OUTPUT names another DLL's output (the installer's test: the installed DLL's).
const std::string windowsOutputPath = []
{
    const char* chosen = std::getenv("VARNOKE_WINDOWS_OUTPUT");
    return chosen != nullptr && *chosen != '\0' ? std::string(chosen)
                                                : windowsBuild + "/test-artifacts/windows-output.f32";
}();

bool fileExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string objdumpPrivateHeaders()
{
    const char* objdump = std::system("command -v x86_64-w64-mingw32-objdump >/dev/null 2>&1") == 0
                              ? "x86_64-w64-mingw32-objdump"
                              : "objdump";
    return commandOutput(std::string(objdump) + " -p '" + dllPath + "' 2>&1");
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        result.push_back(line);
    return result;
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

class WindowsDllTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!fileExists(dllPath))
            GTEST_SKIP() << dllPath << " is not built (scripts/build-windows.sh builds it)";
    }
};

TEST_F(WindowsDllTest, ExportsOnlyTheEntryAtOrdinalOneUnderTheDllName)
{
    // objdump -p lists the export directory's name ("Name  <rva> Varnoke.dll"),
    // the address table ("[   0] +base[   1] 13d0 Export RVA": slot, ordinal)
    // and the name table ("[   0] VSTPluginMain": address slot, name).
    std::string exportDirectoryName;
    std::vector<int> ordinals;
    std::vector<std::string> exportedNames;
    enum class Table
    {
        none,
        addresses,
        names
    } table = Table::none;

    for (const auto& line : lines(objdumpPrivateHeaders()))
    {
        const std::string text = trimmed(line);
        if (text.rfind("Name ", 0) == 0 && exportDirectoryName.empty())
            exportDirectoryName = text.substr(text.find_last_of(" \t") + 1);
        if (text.rfind("Export Address Table --", 0) == 0)
            table = Table::addresses;
        else if (text.rfind("[Ordinal/Name Pointer] Table", 0) == 0)
            table = Table::names;
        else if (text.empty() || text[0] != '[')
            table = Table::none;
        else if (table == Table::addresses)
        {
            const auto base = text.find("+base[");
            ordinals.push_back(base == std::string::npos ? -1 : std::stoi(text.substr(base + 6)));
        }
        else if (table == Table::names)
        {
            const auto slot = std::stoi(text.substr(1));
            exportedNames.push_back(text.substr(text.find_last_of(" \t") + 1) + " @" +
                                    (slot >= 0 && slot < static_cast<int>(ordinals.size())
                                         ? std::to_string(ordinals[static_cast<std::size_t>(slot)])
                                         : std::string("?")));
        }
    }

    EXPECT_EQ("Varnoke.dll", exportDirectoryName);
    EXPECT_EQ(std::vector<int>{1}, ordinals);
    EXPECT_EQ(std::vector<std::string>{"VSTPluginMain @1"}, exportedNames);
}

TEST_F(WindowsDllTest, ImportsOnlyWindowsSystemLibraries)
{
    // System DLLs that JUCE's Windows code may use; no mingw runtime
    // (libstdc++, libgcc, winpthread) and no zlib or image-library DLLs.
    const std::set<std::string> systemLibraries{
        "advapi32.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll",  "d2d1.dll",   "dwrite.dll",
        "dxgi.dll",     "gdi32.dll",    "imm32.dll",    "kernel32.dll", "msvcrt.dll", "ole32.dll",
        "oleaut32.dll", "rpcrt4.dll",   "shell32.dll",  "shlwapi.dll",  "user32.dll", "uxtheme.dll",
        "version.dll",  "winmm.dll",    "wininet.dll",  "ws2_32.dll",   "wsock32.dll"};

    std::vector<std::string> imported;
    for (const auto& line : lines(objdumpPrivateHeaders()))
    {
        const std::string text = trimmed(line);
        if (text.rfind("DLL Name:", 0) == 0)
            imported.push_back(lowerCase(trimmed(text.substr(9))));
    }

    ASSERT_FALSE(imported.empty());
    EXPECT_NE(imported.end(), std::find(imported.begin(), imported.end(), "kernel32.dll"));
    for (const auto& name : imported)
        EXPECT_TRUE(systemLibraries.count(name) == 1) << "imports " << name;
}

void expectSameOutput(const std::vector<float>& linuxOutput, const std::vector<float>& windowsOutput)
{
    ASSERT_FALSE(linuxOutput.empty());
    ASSERT_EQ(linuxOutput.size(), windowsOutput.size());
    std::size_t differing = 0;
    std::size_t first = linuxOutput.size();
    for (std::size_t i = 0; i < linuxOutput.size(); ++i)
        if (bitsOf(linuxOutput[i]) != bitsOf(windowsOutput[i]))
        {
            first = std::min(first, i);
            ++differing;
        }
    EXPECT_EQ(0u, differing) << "first at sample " << first << ": Linux " << linuxOutput[first] << ", Windows "
                             << windowsOutput[first];
}

TEST_F(WindowsDllTest, OutputUnderWineEqualsTheLinuxBuildBitForBit)
{
    std::vector<float> windowsOutput;
    if (!readSamples(windowsOutputPath.c_str(), windowsOutput))
        GTEST_SKIP() << windowsOutputPath << " is missing: the Windows test host writes it (windows_host_tests)";

    PluginLibrary library(builtPluginPath());
    ASSERT_TRUE(library.isLoaded()) << library.error();
    expectSameOutput(renderReferenceProgramme(library), windowsOutput);
}

// The same with each kernel forced on both sides (VARNOKE_KERNEL); Wine runs
// the DLL on this processor, so the kernels it runs are the ones tested here.
class WindowsDllKernelTest : public WindowsDllTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(WindowsDllKernelTest, OutputUnderWineEqualsTheLinuxBuildBitForBit)
{
    if (!processorRunsKernel(GetParam()))
    {
        GTEST_SKIP() << cannotRunKernel(GetParam());
    }
    const std::string path = windowsBuild + "/test-artifacts/windows-output-" + GetParam() + ".f32";
    std::vector<float> windowsOutput;
    if (!readSamples(path.c_str(), windowsOutput))
        GTEST_SKIP() << path << " is missing: the Windows test host writes it (windows_host_tests)";

    const ForcedKernel forced(GetParam());
    PluginLibrary library(builtPluginPath());
    ASSERT_TRUE(library.isLoaded()) << library.error();
    expectSameOutput(renderReferenceProgramme(library), windowsOutput);
}

INSTANTIATE_TEST_SUITE_P(Forced, WindowsDllKernelTest, ::testing::ValuesIn(kernelNames),
                         [](const auto& info) { return std::string(info.param); });
}  // namespace
}  // namespace varnoke::test
