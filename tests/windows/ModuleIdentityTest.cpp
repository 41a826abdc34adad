// What Windows and a host's plug-in scanner see of Varnoke.dll before any call:
// its export and its version resource.

#include "host/HostTestFixture.h"

#include <cstdio>
#include <string>
#include <vector>

namespace varnoke::test
{
namespace
{
TEST(ModuleExport, OrdinalOneIsTheEntry)
{
    PluginLibrary library(builtPluginPath());
    ASSERT_TRUE(library.isLoaded()) << library.error();
    const auto byName = GetProcAddress(static_cast<HMODULE>(library.nativeHandle()), "VSTPluginMain");
    const auto byOrdinal = GetProcAddress(static_cast<HMODULE>(library.nativeHandle()), MAKEINTRESOURCEA(1));
    EXPECT_NE(nullptr, byName);
    EXPECT_EQ(byName, byOrdinal);
    EXPECT_EQ(nullptr, GetProcAddress(static_cast<HMODULE>(library.nativeHandle()), MAKEINTRESOURCEA(2)));
}

class VersionResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(builtPluginPath().c_str(), &ignored);
        ASSERT_NE(0u, size) << "no version resource, error " << GetLastError();
        data.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(builtPluginPath().c_str(), 0, size, data.data()));
    }

    // The value under a version-information path, or null.
    const void* query(const std::wstring& path, UINT& length)
    {
        void* value = nullptr;
        length = 0;
        if (!VerQueryValueW(data.data(), path.c_str(), &value, &length))
            return nullptr;
        return value;
    }

    std::vector<unsigned char> data;
};

TEST_F(VersionResourceTest, FixedFileAndProductVersions)
{
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\", length));
    ASSERT_NE(nullptr, fixed);
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);  // 1.0
    EXPECT_EQ(0x00000000u, fixed->dwFileVersionLS);  // .0.0
    EXPECT_EQ(0u, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
}

TEST_F(VersionResourceTest, OneTranslationUsEnglishUtf8)
{
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation", length));
    ASSERT_NE(nullptr, translation);
    ASSERT_EQ(2 * sizeof(WORD), length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(65001, translation[1]);
}

TEST_F(VersionResourceTest, StringsOfTheTranslation)
{
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation", length));
    ASSERT_NE(nullptr, translation);
    wchar_t block[64];
    std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);

    const struct
    {
        const wchar_t* key;
        const wchar_t* value;
    } expected[] = {{L"CompanyName", L"Ostrelund"},
                    {L"FileDescription", L"Varnoke"},
                    {L"FileVersion", L"1.0.0"},
                    {L"ProductName", L"Varnoke"},
                    {L"ProductVersion", L"1.0.0"}};

    for (const auto& entry : expected)
    {
        const auto* text = static_cast<const wchar_t*>(query(std::wstring(block) + entry.key, length));
        ASSERT_NE(nullptr, text) << std::string(entry.key, entry.key + std::wcslen(entry.key));
        EXPECT_EQ(std::wstring(entry.value), std::wstring(text))
            << std::string(entry.key, entry.key + std::wcslen(entry.key));
    }
}
}  // namespace
}  // namespace varnoke::test
