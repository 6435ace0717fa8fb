// The host's main settings and the settings dialog's position check.
#include "host/QorConfig.h"

#include "foundation/MonitorAccess.h"
#include "foundation/RegIniAccess.h"
#include "foundation/Seams.h"
#include "host/PluginBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<RECT> g_monitors;

BOOL WINAPI FakeEnumDisplayMonitors(HDC, LPCRECT, MONITORENUMPROC callback, LPARAM param)
{
    for (RECT r : g_monitors) {
        if (!callback(nullptr, nullptr, &r, param))
            break;
    }
    return TRUE;
}

// Two monitors: the primary one and one to its left (negative coordinates).
class ConfigPosition : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = g_pfnEnumDisplayMonitors;
        g_pfnEnumDisplayMonitors = FakeEnumDisplayMonitors;
        g_monitors = {RECT{0, 0, 1920, 1080}, RECT{-1280, 0, 0, 1024}};
    }
    void TearDown() override
    {
        g_pfnEnumDisplayMonitors = m_saved;
        CMonitorAccess::Refresh();
    }
    decltype(g_pfnEnumDisplayMonitors) m_saved;
};

bool Same(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

}  // namespace

TEST_F(ConfigPosition, KeepsRealRectanglesOnAnyMonitorAndResetsTheRest)
{
    const RECT reset = {0, 0, 640, 450};
    const struct {
        RECT in;
        bool kept;
        const char* why;
    } cases[] = {
        {{10, 10, 5, 300}, false, "right before left"},
        {{10, 300, 700, 300}, false, "no height"},
        {{10, 500, 700, 100}, false, "bottom above top"},
        {{0, 0, 0, 0}, false, "never set"},
        {{100, 100, 900, 700}, true, "inside the primary monitor"},
        {{0, 0, 1920, 1080}, true, "the whole primary monitor"},
        {{-1000, 100, -200, 700}, true, "inside the monitor on the left"},
        {{1500, 100, 2100, 700}, false, "past the primary monitor's right edge"},
        {{-200, 100, 400, 700}, false, "across two monitors"},
        {{-1000, 600, -200, 1060}, false, "below the left monitor's bottom"},
    };
    for (const auto& c : cases) {
        RECT r = c.in;
        ValidateConfigPosition(&r);
        EXPECT_TRUE(Same(r, c.kept ? c.in : reset)) << c.why << ": got " << Show(r);
    }
}

namespace {

// The module INI of this test program ("QorConfig" set), emptied before and after.
class MainConfig : public ConfigPosition {
protected:
    void SetUp() override
    {
        ConfigPosition::SetUp();
        SetEnvironmentVariableW(L"QorConfig", L"1");
        m_store.Init(FALSE);
        DeleteFileW(m_store.GetIniFile());
    }
    void TearDown() override
    {
        DeleteFileW(m_store.GetIniFile());
        SetEnvironmentVariableW(L"QorConfig", nullptr);
        CPluginBase::SetLoadSortRule(nullptr);
        ConfigPosition::TearDown();
    }
    void Put(const wchar_t* key, const wchar_t* value)
    {
        WritePrivateProfileStringW(L"General", key, value, m_store.GetIniFile());
    }
    std::wstring Raw(const wchar_t* key)
    {
        wchar_t text[1100] = L"";
        GetPrivateProfileStringW(L"General", key, L"<missing>", text, _countof(text), m_store.GetIniFile());
        return text;
    }
    CRegIniAccess m_store;
};

}  // namespace

TEST_F(MainConfig, LoadTakesTheRuleOnlyWhenSwitchedOnAndSet)
{
    const struct {
        const wchar_t* use;
        const wchar_t* rule;
        const wchar_t* expected;
    } cases[] = {
        {nullptr, L"5;6;", kDefaultLoadSortRule},  // UseLoadSortRule missing counts as 0
        {L"0", L"5;6;", kDefaultLoadSortRule},
        {L"1", L"", kDefaultLoadSortRule},
        {L"1", nullptr, kDefaultLoadSortRule},
        {L"1", L"5;6;", L"5;6;"},
        {L"2", L"901;103;", L"901;103;"},
    };
    for (const auto& c : cases) {
        Put(L"UseLoadSortRule", c.use);
        Put(L"PluginLoadSortRule", c.rule);
        LoadMainConfig(&m_store);
        EXPECT_STREQ(c.expected, g_szPluginLoadSortRule) << (c.use ? c.use : L"-") << " / " << (c.rule ? c.rule : L"-");
        // The plug-in manager orders by the same rule.
        EXPECT_STREQ(c.expected, CPluginBase::GetLoadSortRule());
    }
}

TEST_F(MainConfig, PositionIsReadSignedValidatedAndSavedAsWritten)
{
    const struct {
        const wchar_t* stored;
        RECT expected;
    } cases[] = {
        {L"10 10 5 300", {0, 0, 640, 450}},
        {L"100 120 900 700", {100, 120, 900, 700}},
        {L"-1000 100 -200 700", {-1000, 100, -200, 700}},  // the monitor left of the primary
        {L"100 120", {0, 0, 640, 450}},                      // too few numbers
        {L"garbage", {0, 0, 640, 450}},
        {nullptr, {0, 0, 640, 450}},
    };
    for (const auto& c : cases) {
        Put(L"Position", c.stored);
        LoadMainConfig(&m_store);
        EXPECT_TRUE(Same(g_rcConfigPosition, c.expected)) << (c.stored ? c.stored : L"-") << ": "
                                                           << Show(g_rcConfigPosition);
    }

    g_rcConfigPosition = {-1000, 100, -200, 700};
    g_nUseLoadSortRule = 1;
    wcscpy(g_szPluginLoadSortRule, L"915;914;");
    SaveMainConfig(&m_store, FALSE);
    EXPECT_EQ(L"-1000 100 -200 700", Raw(L"Position"));
    EXPECT_EQ(L"1", Raw(L"UseLoadSortRule"));
    EXPECT_EQ(L"915;914;", Raw(L"PluginLoadSortRule"));
    g_rcConfigPosition = {};
    LoadMainConfig(&m_store);
    EXPECT_TRUE(Same(g_rcConfigPosition, RECT{-1000, 100, -200, 700})) << Show(g_rcConfigPosition);
    EXPECT_STREQ(L"915;914;", g_szPluginLoadSortRule);
}

TEST_F(MainConfig, ServiceModeSavesNothing)
{
    g_rcConfigPosition = {100, 100, 800, 600};
    SaveMainConfig(&m_store, TRUE);
    EXPECT_EQ(L"<missing>", Raw(L"Position"));
    EXPECT_EQ(L"<missing>", Raw(L"UseLoadSortRule"));
}
