// Version blocks made by orvix_version_resource(), read back with the system's version API.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/VersionTool.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

class VersionBlock {
public:
    explicit VersionBlock(const std::wstring& path)
    {
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
        if (size == 0)
            return;
        m_data.resize(size);
        if (!GetFileVersionInfoW(path.c_str(), 0, size, m_data.data()))
            m_data.clear();
    }
    bool empty() const { return m_data.empty(); }

    std::wstring Text(const wchar_t* key, const wchar_t* name) const
    {
        std::wstring query = std::wstring(L"\\StringFileInfo\\") + key + L"\\" + name;
        void* value = nullptr;
        UINT length = 0;
        if (m_data.empty() || !VerQueryValueW(m_data.data(), query.c_str(), &value, &length) || !value)
            return L"(none)";
        return static_cast<const wchar_t*>(value);
    }
    std::vector<WORD> Translation() const
    {
        void* value = nullptr;
        UINT length = 0;
        if (m_data.empty() || !VerQueryValueW(m_data.data(), L"\\VarFileInfo\\Translation", &value, &length))
            return {};
        const WORD* words = static_cast<const WORD*>(value);
        return std::vector<WORD>(words, words + length / sizeof(WORD));
    }
    VS_FIXEDFILEINFO Fixed() const
    {
        VS_FIXEDFILEINFO fixed = {};
        void* value = nullptr;
        UINT length = 0;
        if (!m_data.empty() && VerQueryValueW(m_data.data(), L"\\", &value, &length) && length >= sizeof(fixed))
            fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
        return fixed;
    }

private:
    std::vector<BYTE> m_data;
};

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(VersionResource, TextsReadBackUnderTheGermanUnicodeKey)
{
    VersionBlock block(OwnPath());
    ASSERT_FALSE(block.empty());
    struct Case { const wchar_t* name; const wchar_t* text; };
    const Case cases[] = {
        {L"ProductName", L"Probe \"Quoted\" \u00C4\u00F6\u00FC"},
        {L"FileDescription", L"Version block probe"},
        {L"OriginalFilename", L"foundation_resources_test.exe"},
        {L"Comments", L"Semicolons; and # marks"},
        {L"FileVersion", L"2.5.0.0"},
        {L"ProductVersion", L"65535.1.2.3"},
        {L"CompanyName", L"(none)"},  // not given, not written
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, block.Text(L"040704b0", c.name)) << c.name;
    // Only the key the readers try first; no windres sample key.
    EXPECT_EQ(L"(none)", block.Text(L"040904E4", L"ProductName"));
    EXPECT_EQ((std::vector<WORD>{0x0407, 1200}), block.Translation());
}

TEST(VersionResource, FixedPartHoldsTheNumbers)
{
    VS_FIXEDFILEINFO fixed = VersionBlock(OwnPath()).Fixed();
    EXPECT_EQ(0xFEEF04BDu, fixed.dwSignature);
    EXPECT_EQ(0x00020005u, fixed.dwFileVersionMS);
    EXPECT_EQ(0u, fixed.dwFileVersionLS);
    EXPECT_EQ(0xFFFF0001u, fixed.dwProductVersionMS);
    EXPECT_EQ(0x00020003u, fixed.dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed.dwFileType);
}

TEST(VersionResource, LanguageLibrariesCarryTheirBlock)
{
    struct Case { const wchar_t* code; const wchar_t* description; };
    const Case cases[] = {{L"De", L"Sprachressourcen Deutsch"}, {L"En", L"Language resources English"}};
    for (const Case& c : cases) {
        VersionBlock block(DistFolder() + L"Resource\\" + c.code + L"\\RESOURCE.DLL");
        ASSERT_FALSE(block.empty()) << c.code;
        EXPECT_EQ(c.description, block.Text(L"040704b0", L"FileDescription"));
        EXPECT_EQ(L"Orvix Telvane", block.Text(L"040704b0", L"ProductName"));
        EXPECT_EQ(L"RESOURCE.DLL", block.Text(L"040704b0", L"OriginalFilename"));
        EXPECT_EQ(static_cast<DWORD>(VFT_DLL), block.Fixed().dwFileType);
    }
}

// The product's own reader finds every text of a block made by orvix_version_resource().
TEST(VersionResource, VersionToolReadsTheBlock)
{
    CVersionTool own(static_cast<HMODULE>(nullptr));
    EXPECT_STREQ(L"Probe \"Quoted\" \u00C4\u00F6\u00FC", own.GetProductName());
    EXPECT_STREQ(L"Version block probe", own.GetFileDescription());
    EXPECT_STREQ(L"Semicolons; and # marks", own.GetComments());
    EXPECT_STREQ(L"foundation_resources_test.exe", own.GetOriginalFilename());
    EXPECT_STREQ(L"2.5.0.0", own.GetFileVersion());
    EXPECT_STREQ(L"65535.1.2.3", own.GetProductVersion());
    EXPECT_EQ(0x00020005u, own.GetFileVersionMS());

    CVersionTool german((DistFolder() + L"Resource\\De\\RESOURCE.DLL").c_str());
    EXPECT_STREQ(L"Orvix Telvane", german.GetProductName());
    EXPECT_STREQ(L"Sprachressourcen Deutsch", german.GetFileDescription());
    EXPECT_STREQ(L"", german.GetComments());
    EXPECT_STREQ(L"1.0.0.0", german.GetFileVersion());
}

}  // namespace
