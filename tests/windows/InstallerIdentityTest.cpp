// What Windows shows of the installer before it runs: the version resource of
// Varnoke-<version>-setup.exe, read as Explorer's file properties read it.
// The installer's test names the file in VARNOKE_TEST_INSTALLER; without it
// these tests skip.

#include "ProductIdentity.h"

#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace varnoke::test
{
namespace
{
std::wstring widened(const char* text)
{
    return std::wstring(text, text + std::strlen(text));
}

class InstallerIdentityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const wchar_t* installer = _wgetenv(L"VARNOKE_TEST_INSTALLER");
        if (installer == nullptr || *installer == L'\0')
            GTEST_SKIP() << "VARNOKE_TEST_INSTALLER names no installer (tests/windows/installer-test.sh sets it)";
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(installer, &ignored);
        ASSERT_NE(0u, size) << "no version resource, error " << GetLastError();
        data.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(installer, 0, size, data.data()));
    }

    const void* query(const std::wstring& path, UINT& length)
    {
        void* value = nullptr;
        length = 0;
        return VerQueryValueW(data.data(), path.c_str(), &value, &length) ? value : nullptr;
    }

    std::vector<unsigned char> data;
};

TEST_F(InstallerIdentityTest, FixedVersionsAreTheProductVersion)
{
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\", length));
    ASSERT_NE(nullptr, fixed);
    const DWORD mostSignificant = static_cast<DWORD>(product::versionMajor << 16 | product::versionMinor);
    const DWORD leastSignificant = static_cast<DWORD>(product::versionPatch << 16);
    EXPECT_EQ(mostSignificant, fixed->dwProductVersionMS);
    EXPECT_EQ(leastSignificant, fixed->dwProductVersionLS);
    EXPECT_EQ(mostSignificant, fixed->dwFileVersionMS);
    EXPECT_EQ(leastSignificant, fixed->dwFileVersionLS);
}

TEST_F(InstallerIdentityTest, StringsNameTheProductAndVendor)
{
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation", length));
    ASSERT_NE(nullptr, translation);
    ASSERT_GE(length, 2 * sizeof(WORD));
    wchar_t block[64];
    std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);

    const std::wstring version = widened(product::versionText);
    const struct
    {
        const wchar_t* key;
        std::wstring value;
    } expected[] = {{L"ProductName", widened(product::name)},
                    {L"CompanyName", widened(product::vendor)},
                    {L"ProductVersion", version},
                    {L"FileVersion", version},
                    {L"FileDescription", widened(product::name) + L" " + version + L" Setup"}};

    for (const auto& entry : expected)
    {
        const auto* text = static_cast<const wchar_t*>(query(std::wstring(block) + entry.key, length));
        ASSERT_NE(nullptr, text) << std::string(entry.key, entry.key + std::wcslen(entry.key));
        EXPECT_EQ(entry.value, std::wstring(text)) << std::string(entry.key, entry.key + std::wcslen(entry.key));
    }
}
}  // namespace
}  // namespace varnoke::test
