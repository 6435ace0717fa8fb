#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Seams.h"
#include "foundation/TextUtils.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using testing_support::RecordingWindow;

namespace {

void WINAPI FixedClock(LPSYSTEMTIME t)
{
    *t = SYSTEMTIME{};
    t->wYear = 2026;
    t->wMonth = 3;
    t->wDay = 4;
    t->wHour = 5;
    t->wMinute = 6;
    t->wSecond = 7;
    t->wMilliseconds = 7;
}

// Right-aligned in six places, built without the code under test.
std::wstring Pad6(DWORD id)
{
    std::wstring s = std::to_wstring(id);
    return std::wstring(s.size() < 6 ? 6 - s.size() : 0, L' ') + s;
}

class LogLines : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_clock = g_pfnGetSystemTime;
        g_pfnGetSystemTime = FixedClock;
        g_hWndParent = m_host.hwnd();
        g_dwGlobalDebugLevel = 4;
        g_bIgnoreModule = 0;
        SetLogModuleName(nullptr);
        SetBusSenderName(nullptr);
    }
    void TearDown() override
    {
        g_pfnGetSystemTime = m_clock;
        g_hWndParent = nullptr;
        g_dwGlobalDebugLevel = 0;
        g_bIgnoreModule = 0;
        SetLogModuleName(nullptr);
    }
    RecordingWindow m_host;
    void(WINAPI* m_clock)(LPSYSTEMTIME) = nullptr;
};

}  // namespace

TEST_F(LogLines, GoldenLineWithTheInjectedClock)
{
    LogLine(3, L"Func.CPluginBase.Add.Param._pszFile %s", L"PluginX.DLL");
    testing_support::PumpFor(20);
    ASSERT_EQ(1u, m_host.messages().size());
    const auto& m = m_host.messages()[0];
    EXPECT_EQ(UINT(QOR_BUSMSG_LOG), m.type);
    std::wstring expected = L"2026-03-04 05:06:07.007 (" + Pad6(GetCurrentProcessId()) + L":" + Pad6(GetCurrentThreadId()) +
                            L") - MAIN.Func.CPluginBase.Add.Param._pszFile PluginX.DLL";
    EXPECT_EQ(expected, GetValueByKeyword(m.text.c_str(), L"Text"));
    EXPECT_STREQ(L"3", GetValueByKeyword(m.text.c_str(), L"Level"));
    EXPECT_EQ(std::to_wstring(GetCurrentThreadId()), GetValueByKeyword(m.text.c_str(), L"Thread"));

    SetLogModuleName(L"PLUGINTELEPHONYORKANE");
    m_host.Clear();
    LogLine(0, L"Func.X.Begin");
    testing_support::PumpFor(20);
    ASSERT_EQ(1u, m_host.messages().size());
    std::wstring text = GetValueByKeyword(m_host.messages()[0].text.c_str(), L"Text");
    EXPECT_EQ(L") - PLUGINTELEPHONYORKANE.Func.X.Begin", text.substr(text.find(L')')));
}

TEST_F(LogLines, GatingByLevelIgnoreFlagAndErrorText)
{
    struct Case {
        DWORD debugLevel;
        DWORD lineLevel;
        int ignore;
        const wchar_t* text;
        size_t posted;
    } cases[] = {
        {2, 3, 0, L"Func.LoadAllModules.Begin", 0},
        {3, 3, 0, L"Func.LoadAllModules.Begin", 1},
        {0, 0, 0, L"Func.PrintFileInfos.Begin", 1},
        {4, 0, 1, L"Func.PrintFileInfos.Begin", 0},
        {4, 3, 0, L"Func.LoadAllModules.Error._tchdir %s failed", 2},
        {2, 3, 0, L"Func.LoadAllModules.Error._tchdir %s failed", 0},
        {4, 3, 1, L"Func.LoadAllModules.Error._tchdir %s failed", 0},
        {4, 1, 0, L"Func.X.Info.text with .Error. in the middle", 2},
        {4, 1, 0, L"Func.X.Info.Error without dots", 1},
        {4, 1, 0, L"Func.X.Var.%s", 2},  // the argument brings ".Error."
    };
    for (const Case& c : cases) {
        m_host.Clear();
        g_dwGlobalDebugLevel = c.debugLevel;
        g_bIgnoreModule = c.ignore;
        LogLine(c.lineLevel, c.text, L"a.Error.b");
        testing_support::PumpFor(20);
        ASSERT_EQ(c.posted, m_host.messages().size()) << c.debugLevel << "/" << c.lineLevel << " " << c.text;
        if (c.posted > 0) {
            EXPECT_EQ(UINT(QOR_BUSMSG_LOG), m_host.messages()[0].type);
        }
        if (c.posted == 2) {
            EXPECT_EQ(UINT(QOR_BUSMSG_LASTERROR), m_host.messages()[1].type);
            EXPECT_STREQ(GetValueByKeyword(m_host.messages()[0].text.c_str(), L"Text"),
                         GetValueByKeyword(m_host.messages()[1].text.c_str(), L"LastErr"));
        }
    }
}

TEST_F(LogLines, LongLineIsCutAtTheLineCapacity)
{
    std::wstring big(10000, L'z');
    LogLine(1, L"Func.X.Var.%s", big.c_str());
    testing_support::PumpFor(20);
    ASSERT_EQ(1u, m_host.messages().size());
    std::wstring text = GetValueByKeyword(m_host.messages()[0].text.c_str(), L"Text");
    EXPECT_EQ(kLogLineCapacity - 1, text.size());
    EXPECT_EQ(L'z', text.back());
}

TEST_F(LogLines, NoHostWindowDropsTheLine)
{
    g_hWndParent = nullptr;
    LogLine(0, L"Func.X.Error.y");
    testing_support::PumpFor(20);
    EXPECT_TRUE(m_host.messages().empty());
}

TEST_F(LogLines, EightThreadsAtOnceGiveWholeLines)
{
    g_pfnGetSystemTime = GetSystemTime;
    const int kThreads = 8;
    const int kLines = 150;
    std::vector<std::thread> threads;
    std::vector<DWORD> ids(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &ids] {
            ids[t] = GetCurrentThreadId();
            std::wstring body(200 + t * 37, static_cast<wchar_t>(L'a' + t));
            for (int i = 0; i < kLines; ++i)
                LogLine(1, L"Func.Worker.Info.%d %d %s", t, i, body.c_str());
        });
    }
    for (auto& th : threads)
        th.join();
    testing_support::PumpFor(200);
    ASSERT_EQ(size_t(kThreads * kLines), m_host.messages().size());
    std::vector<int> next(kThreads, 0);
    for (const auto& m : m_host.messages()) {
        std::wstring text = GetValueByKeyword(m.text.c_str(), L"Text");
        size_t at = text.find(L"MAIN.Func.Worker.Info.");
        ASSERT_NE(std::wstring::npos, at) << "whole prefix";
        int t = -1, i = -1;
        ASSERT_EQ(2, swscanf(text.c_str() + at + 22, L"%d %d", &t, &i));
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(next[t], i) << "each thread's lines arrive whole and in its order";
        next[t] = i + 1;
        std::wstring body(200 + t * 37, static_cast<wchar_t>(L'a' + t));
        EXPECT_EQ(body, text.substr(text.size() - body.size()));
        EXPECT_EQ(text.find(L'(') + 1 + 6 + 1 + 6, text.find(L')'));
        EXPECT_EQ(Pad6(ids[t]), text.substr(text.find(L':', text.find(L'(')) + 1, 6));
        EXPECT_EQ(std::to_wstring(ids[t]), GetValueByKeyword(m.text.c_str(), L"Thread"));
    }
}
