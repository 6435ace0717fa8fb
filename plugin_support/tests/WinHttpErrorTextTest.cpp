#include "plugin_support/WinHttpErrorText.h"

#include "foundation/DebugOutput.h"
#include "foundation/Seams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// The system's own first line for a code, fetched the documented way.
std::wstring SystemFirstLine(DWORD code)
{
    std::vector<wchar_t> text(8192, L'\0');
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text.data(), 8191, nullptr);
    if (n == 0)
        return std::wstring();
    std::wstring line(text.data());
    return line.substr(0, line.find_first_of(L"\r\n"));
}

TEST(WinHttpErrorText, CodeTable)
{
    struct Case {
        DWORD code;
        const wchar_t* text;
    };
    const Case cases[] = {
        {12001, L"OUT_OF_HANDLES"},
        {12002, L"TIMEOUT"},
        {12029, L"CANNOT_CONNECT"},
        {12030, L"CONNECTION_ERROR"},
        {12157, L"_SECURE_CHANNEL_ERROR"},
        {12184, L"_RESPONSE_DRAIN_OVERFLOW"},
        {12183, L"CHUNKED_ENCODING_HEADER_SIZE_OVERFLOW"},
        {12186, L"CLIENT_CERT_NO_ACCESS_PRIVATE_KEY"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(c.text), PluginSupport::GetErrorText(c.code)) << c.code;
        EXPECT_EQ(c.code, GetLastError());
    }
    // 47 listed codes, all inside 12001..12186.
    int listed = 0;
    for (DWORD code = 11990; code <= 12200; ++code)
        if (PluginSupport::GetWinHttpErrorName(code)) {
            ++listed;
            EXPECT_GE(code, 12001u);
            EXPECT_LE(code, 12186u);
        }
    EXPECT_EQ(47, listed);
}

TEST(WinHttpErrorText, UnlistedCodesGetTheSystemText)
{
    const DWORD codes[] = {12003, 12008, 12010, 12187, 5, 2, 87, 1460, 0x2FFFFFF1};
    for (DWORD code : codes) {
        EXPECT_EQ(nullptr, PluginSupport::GetWinHttpErrorName(code));
        std::wstring expected = SystemFirstLine(code);
        std::wstring text = PluginSupport::GetErrorText(code);
        EXPECT_EQ(code, GetLastError());  // before anything else can change it
        EXPECT_EQ(expected, text) << code;
    }
    EXPECT_NE(L"", std::wstring(PluginSupport::GetErrorText(5)));
}

TEST(WinHttpErrorText, UnknownCodeLeavesNoStaleText)
{
    ASSERT_NE(L"", std::wstring(PluginSupport::GetErrorText(5)));
    const DWORD unknown = 0x2FFFFFF1;
    ASSERT_EQ(L"", SystemFirstLine(unknown));
    EXPECT_EQ(L"", std::wstring(PluginSupport::GetErrorText(unknown)));
}

TEST(WinHttpErrorText, TextsWithInsertsStayAsTheSystemWrites)
{
    int found = 0;
    for (DWORD code = 1; code < 2000 && found < 3; ++code) {
        std::wstring line = SystemFirstLine(code);
        if (line.find(L'%') == std::wstring::npos)
            continue;
        ++found;
        EXPECT_EQ(line, PluginSupport::GetErrorText(code)) << code;
    }
    if (!found)
        GTEST_SKIP() << "no system text with inserts here";
}

TEST(WinHttpErrorText, NoLineEndsLeft)
{
    for (DWORD code = 1; code < 300; ++code) {
        std::wstring text = PluginSupport::GetErrorText(code);
        EXPECT_EQ(std::wstring::npos, text.find_first_of(L"\r\n")) << code;
    }
}

TEST(WinHttpErrorText, ZeroMeansTheLastError)
{
    SetLastError(0);
    EXPECT_EQ(L"SUCCESS", std::wstring(PluginSupport::GetErrorText(0)));
    EXPECT_EQ(0u, GetLastError());
    SetLastError(12002);
    EXPECT_EQ(L"TIMEOUT", std::wstring(PluginSupport::GetErrorText(0)));
    EXPECT_EQ(12002u, GetLastError());
    std::wstring expected = SystemFirstLine(5);
    SetLastError(5);
    std::wstring text = PluginSupport::GetErrorText(0);
    EXPECT_EQ(5u, GetLastError());
    EXPECT_EQ(expected, text);
}

TEST(WinHttpErrorText, LinksBesideTheHostForm)
{
    // Both forms in one binary: the host's knows no WinHTTP names.
    EXPECT_EQ(SystemFirstLine(12029), std::wstring(::GetErrorText(12029)));
    EXPECT_EQ(L"CANNOT_CONNECT", std::wstring(PluginSupport::GetErrorText(12029)));
    EXPECT_EQ(std::wstring(::GetErrorText(5)), PluginSupport::GetErrorText(5));
}

std::vector<std::wstring> g_lines;
void WINAPI Record(LPCWSTR text) { g_lines.push_back(text); }

TEST(WinHttpErrorText, ErrorLineUsesTheWinHttpNames)
{
    auto saved = g_pfnOutputDebugStringW;
    g_pfnOutputDebugStringW = Record;
    g_lines.clear();
    SetLastError(12029);
    PluginSupport::DebugPrintLastErrorLine();
    EXPECT_EQ(12029u, GetLastError());
    SetLastError(0);
    PluginSupport::DebugPrintLastErrorLine();
    g_pfnOutputDebugStringW = saved;
    ASSERT_EQ(1u, g_lines.size());
    EXPECT_NE(std::wstring::npos, g_lines[0].find(L"Error: 12029 CANNOT_CONNECT")) << testing::PrintToString(g_lines[0]);
}
}  // namespace
