#include "foundation/DebugOutput.h"

#include "foundation/Seams.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<std::wstring> g_lines;
void WINAPI Record(LPCWSTR text) { g_lines.push_back(text); }
std::vector<std::wstring> g_boxes;
int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT type)
{
    g_boxes.push_back(std::wstring(caption) + L"|" + text);
    return IDOK;
}

class DebugOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_lines.clear();
        g_boxes.clear();
        m_out = g_pfnOutputDebugStringW;
        m_box = g_pfnMessageBoxW;
        g_pfnOutputDebugStringW = Record;
        g_pfnMessageBoxW = RecordBox;
    }
    void TearDown() override
    {
        g_pfnOutputDebugStringW = m_out;
        g_pfnMessageBoxW = m_box;
    }
    decltype(g_pfnOutputDebugStringW) m_out;
    decltype(g_pfnMessageBoxW) m_box;
};
}  // namespace

TEST_F(DebugOutput, LevelGateAndLineEnd)
{
    DebugPrint(1, L"hidden");
    EXPECT_TRUE(g_lines.empty());
    DebugPrint(0, L"shown %d\r\n", 5);
    ASSERT_EQ(1u, g_lines.size());
    EXPECT_EQ(L"ZIRCOVAN: shown 5\n", g_lines[0]);
    DebugPrintRaw(L"raw");
    EXPECT_EQ(L"raw\n", g_lines[1]);
    DebugPrintText(L"text\r\n\r\n");
    EXPECT_EQ(L"text\r\n\n", g_lines[2]) << "only one CR LF is removed";
    EXPECT_EQ(10, g_nDebugPrefixLen);
}

TEST_F(DebugOutput, LongLineStaysInsideItsBuffer)
{
    std::wstring big(9000, L'x');
    DebugPrintText(big.c_str());
    ASSERT_EQ(1u, g_lines.size());
    EXPECT_EQ(8191u, g_lines[0].size()) << "the text cut so that the LF and the terminator fit its 8,192 characters";
    EXPECT_EQ(L'\n', g_lines[0].back());
}

TEST_F(DebugOutput, ErrorTextMatchesTheSystemAndKeepsTheLastError)
{
    SetLastError(0);
    EXPECT_STREQ(L"SUCCESS", GetErrorText(0)) << "no pending error";
    wchar_t system[1024] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), system, 1024, nullptr);
    std::wstring firstLine(system);
    firstLine = firstLine.substr(0, firstLine.find_first_of(L"\r\n"));
    SetLastError(0);
    EXPECT_EQ(firstLine, GetErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    GetErrorText(193);  // a text with %1 in it: inserts must be ignored, not read
    EXPECT_EQ(193u, GetLastError());
}

TEST_F(DebugOutput, ShowLastErrorOnlyWithAnError)
{
    SetLastError(0);
    ShowLastError();
    EXPECT_TRUE(g_boxes.empty());
    SetLastError(ERROR_ACCESS_DENIED);
    ShowLastError();
    ASSERT_EQ(1u, g_boxes.size());
    EXPECT_EQ(0u, g_boxes[0].find(L"Fehler aufgetreten|"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST_F(DebugOutput, AppendLineToFileAddsLines)
{
    std::wstring folder = testing_support::MakeTempFolder(L"dbg");
    std::wstring file = folder + L"out.txt";
    AppendLineToFile(file.c_str(), L"one %d", 1);
    AppendLineToFile(file.c_str(), L"two\r\n");
    auto bytes = testing_support::ReadFileBytes(file);
    EXPECT_EQ("one 1\r\ntwo\r\n", std::string(bytes.begin(), bytes.end()));
    testing_support::RemoveTree(folder);
}

TEST(CrashDump, NameRuleAndDumpFile)
{
    SYSTEMTIME t = {};
    t.wYear = 2024; t.wMonth = 3; t.wDay = 5; t.wHour = 14; t.wMinute = 25; t.wSecond = 1;
    wchar_t name[MAX_PATH];
    MakeCrashDumpName(name, MAX_PATH, L"C:\\Prog\\prog.exe", t);
    EXPECT_STREQ(L"C:\\Prog\\prog._CRASHDUMP_20240305_142501.DMP", name);
}

namespace {
int g_dumpCalls = 0;
LONG g_dumpResult = -1;
LONG CALLBACK DumpAndContinue(EXCEPTION_POINTERS* pointers)
{
    if (pointers->ExceptionRecord->ExceptionCode != 0xE0D0D0D1)
        return EXCEPTION_CONTINUE_SEARCH;
    ++g_dumpCalls;
    g_dumpResult = WriteCrashDump(pointers, 0);  // MiniDumpNormal
    return EXCEPTION_CONTINUE_EXECUTION;
}
SYSTEMTIME g_dumpTime;
void WINAPI FixedLocalTime(LPSYSTEMTIME t) { *t = g_dumpTime; }
}  // namespace

TEST(CrashDump, DumpOfARaisedExceptionIsAMinidump)
{
    g_dumpTime = {};
    g_dumpTime.wYear = 2031; g_dumpTime.wMonth = 7; g_dumpTime.wDay = 9;
    g_dumpTime.wHour = 8; g_dumpTime.wMinute = 7; g_dumpTime.wSecond = 6;
    auto savedClock = g_pfnGetLocalTime;
    g_pfnGetLocalTime = FixedLocalTime;
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    wchar_t dump[MAX_PATH + 64];
    MakeCrashDumpName(dump, _countof(dump), program, g_dumpTime);
    DeleteFileW(dump);

    // Real exception pointers: a continuable exception caught by a vectored handler.
    PVOID handler = AddVectoredExceptionHandler(1, DumpAndContinue);
    ASSERT_TRUE(handler);
    RaiseException(0xE0D0D0D1, 0, 0, nullptr);
    RemoveVectoredExceptionHandler(handler);
    g_pfnGetLocalTime = savedClock;
    EXPECT_EQ(1, g_dumpCalls);
    EXPECT_EQ(EXCEPTION_EXECUTE_HANDLER, g_dumpResult) << "what an unhandled-exception filter returns to end";

    std::vector<BYTE> bytes = testing_support::ReadFileBytes(dump);
    ASSERT_GE(bytes.size(), 32u) << "no dump beside the program: " << std::string(dump, dump + wcslen(dump));
    EXPECT_EQ("MDMP", std::string(bytes.begin(), bytes.begin() + 4));
    // The exception stream (type 6) names the raised exception: the record reached the writer.
    auto dword = [&](size_t at) {
        DWORD v = 0;
        if (at + 4 <= bytes.size())
            memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    DWORD streams = dword(8), directory = dword(12), code = 0;
    for (DWORD i = 0; i < streams; ++i) {
        if (dword(directory + i * 12) == 6)
            code = dword(dword(directory + i * 12 + 8) + 8);
    }
    EXPECT_EQ(0xE0D0D0D1u, code);
    DeleteFileW(dump);
}
