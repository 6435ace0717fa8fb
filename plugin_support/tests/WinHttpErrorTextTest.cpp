#include "plugin_support/WinHttpErrorText.h"

#include "foundation/DebugOutput.h"
#include "foundation/Seams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// The WinHTTP codes with their texts: the names of the SDK's ERROR_WINHTTP_ constants without
// the prefix (two keep an underscore in front), written out here independently of the table
// in the code.
struct Row {
    DWORD code;
    const wchar_t* text;
};
const Row kWinHttpRows[] = {
    {12001, L"OUT_OF_HANDLES"},
    {12002, L"TIMEOUT"},
    {12004, L"INTERNAL_ERROR"},
    {12005, L"INVALID_URL"},
    {12006, L"UNRECOGNIZED_SCHEME"},
    {12007, L"NAME_NOT_RESOLVED"},
    {12009, L"INVALID_OPTION"},
    {12011, L"OPTION_NOT_SETTABLE"},
    {12012, L"SHUTDOWN"},
    {12015, L"LOGIN_FAILURE"},
    {12017, L"OPERATION_CANCELLED"},
    {12018, L"INCORRECT_HANDLE_TYPE"},
    {12019, L"INCORRECT_HANDLE_STATE"},
    {12029, L"CANNOT_CONNECT"},
    {12030, L"CONNECTION_ERROR"},
    {12032, L"RESEND_REQUEST"},
    {12037, L"SECURE_CERT_DATE_INVALID"},
    {12038, L"SECURE_CERT_CN_INVALID"},
    {12044, L"CLIENT_AUTH_CERT_NEEDED"},
    {12045, L"SECURE_INVALID_CA"},
    {12057, L"SECURE_CERT_REV_FAILED"},
    {12100, L"CANNOT_CALL_BEFORE_OPEN"},
    {12101, L"CANNOT_CALL_BEFORE_SEND"},
    {12102, L"CANNOT_CALL_AFTER_SEND"},
    {12103, L"CANNOT_CALL_AFTER_OPEN"},
    {12150, L"HEADER_NOT_FOUND"},
    {12152, L"INVALID_SERVER_RESPONSE"},
    {12153, L"INVALID_HEADER"},
    {12154, L"INVALID_QUERY_REQUEST"},
    {12155, L"HEADER_ALREADY_EXISTS"},
    {12156, L"REDIRECT_FAILED"},
    {12157, L"_SECURE_CHANNEL_ERROR"},
    {12166, L"BAD_AUTO_PROXY_SCRIPT"},
    {12167, L"UNABLE_TO_DOWNLOAD_SCRIPT"},
    {12169, L"SECURE_INVALID_CERT"},
    {12170, L"SECURE_CERT_REVOKED"},
    {12172, L"NOT_INITIALIZED"},
    {12175, L"SECURE_FAILURE"},
    {12178, L"AUTO_PROXY_SERVICE_ERROR"},
    {12179, L"SECURE_CERT_WRONG_USAGE"},
    {12180, L"AUTODETECTION_FAILED"},
    {12181, L"HEADER_COUNT_EXCEEDED"},
    {12182, L"HEADER_SIZE_OVERFLOW"},
    {12183, L"CHUNKED_ENCODING_HEADER_SIZE_OVERFLOW"},
    {12184, L"_RESPONSE_DRAIN_OVERFLOW"},
    {12185, L"CLIENT_CERT_NO_PRIVATE_KEY"},
    {12186, L"CLIENT_CERT_NO_ACCESS_PRIVATE_KEY"},
};

// Every other code gets the system's message text, first line only. The texts are the
// system's own, so each code has the English text of Windows and that of Wine (the tests
// run under Wine); "%1" stays as the system writes it.
struct SystemText {
    DWORD code;
    const wchar_t* windows;
    const wchar_t* wine;
};
const SystemText kSystemTexts[] = {
    {2, L"The system cannot find the file specified.", L"File not found."},
    {5, L"Access is denied.", L"Access denied."},
    {87, L"The parameter is incorrect.", L"Invalid parameter."},
    {193, L"%1 is not a valid Win32 application.", L"Bad EXE format for %1."},
    {1460, L"This operation returned because the timeout period expired.", L"Timeout."},
};

testing::AssertionResult IsSystemText(const SystemText& expected, const std::wstring& text)
{
    if (text == expected.windows || text == expected.wine)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "code " << expected.code << " gave " << testing::PrintToString(text);
}

// Codes that neither the table nor the system message table knows: WinHTTP's own texts live
// in winhttp.dll, not in the system's table, so the unlisted WinHTTP codes have none.
const DWORD kUnknownCodes[] = {12003, 12008, 12010, 12187, 0x2FFFFFF1};

TEST(WinHttpErrorText, EveryTableCodeGetsItsName)
{
    for (const Row& row : kWinHttpRows) {
        SetLastError(1);
        EXPECT_EQ(std::wstring(row.text), PluginSupport::GetErrorText(row.code)) << row.code;
        EXPECT_EQ(row.code, GetLastError());
    }
    // No other code around the range has a name.
    for (DWORD code = 11990; code <= 12200; ++code) {
        bool listed = false;
        for (const Row& row : kWinHttpRows)
            listed = listed || row.code == code;
        if (!listed) {
            EXPECT_EQ(nullptr, PluginSupport::GetWinHttpErrorName(code)) << code;
        }
    }
}

TEST(WinHttpErrorText, OtherCodesGetTheSystemText)
{
    for (const SystemText& expected : kSystemTexts) {
        EXPECT_EQ(nullptr, PluginSupport::GetWinHttpErrorName(expected.code));
        std::wstring text = PluginSupport::GetErrorText(expected.code);
        EXPECT_EQ(expected.code, GetLastError());  // before anything else can change it
        EXPECT_TRUE(IsSystemText(expected, text));
    }
}

TEST(WinHttpErrorText, UnknownCodesGetAnEmptyTextNotTheOneBefore)
{
    for (DWORD code : kUnknownCodes) {
        ASSERT_TRUE(IsSystemText(kSystemTexts[1], PluginSupport::GetErrorText(5)));
        EXPECT_EQ(L"", std::wstring(PluginSupport::GetErrorText(code))) << code;
        EXPECT_EQ(code, GetLastError());
    }
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
    SetLastError(5);
    std::wstring text = PluginSupport::GetErrorText(0);
    EXPECT_EQ(5u, GetLastError());
    EXPECT_TRUE(IsSystemText(kSystemTexts[1], text));
}

TEST(WinHttpErrorText, LinksBesideTheHostForm)
{
    // Both forms in one binary: the host's knows no WinHTTP names, and the system has no
    // text for them.
    EXPECT_EQ(L"", std::wstring(::GetErrorText(12029)));
    EXPECT_EQ(L"CANNOT_CONNECT", std::wstring(PluginSupport::GetErrorText(12029)));
    EXPECT_TRUE(IsSystemText(kSystemTexts[1], ::GetErrorText(5)));
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
