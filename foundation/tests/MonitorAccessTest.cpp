#include "foundation/MonitorAccess.h"

#include "foundation/Seams.h"

#include <gtest/gtest.h>

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

RECT Rect(LONG l, LONG t, LONG r, LONG b) { return RECT{l, t, r, b}; }

class Monitors : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = g_pfnEnumDisplayMonitors;
        g_pfnEnumDisplayMonitors = FakeEnumDisplayMonitors;
        m_window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(m_window);
        g_pfnEnumDisplayMonitors = m_saved;
        CMonitorAccess::Refresh();
    }
    void Use(std::vector<RECT> monitors)
    {
        g_monitors = monitors;
        CMonitorAccess::Refresh();
    }
    decltype(g_pfnEnumDisplayMonitors) m_saved;
    HWND m_window = nullptr;
};

}  // namespace

TEST_F(Monitors, TableHoldsTheFirstFourAndCountsAll)
{
    Use({Rect(0, 0, 1920, 1080), Rect(1920, 0, 3840, 1080), Rect(-1280, 0, 0, 1024), Rect(0, -1080, 1920, 0),
         Rect(5000, 0, 6000, 800)});
    CMonitorAccess access;
    EXPECT_EQ(&access, g_pMonitorAccess);
    EXPECT_EQ(5, CMonitorAccess::GetMonitorCount());
    RECT third = Rect(-1280, 0, 0, 1024);
    EXPECT_TRUE(EqualRect(&third, &CMonitorAccess::GetMonitorRect(2)));
    RECT fourth = Rect(0, -1080, 1920, 0);
    EXPECT_TRUE(EqualRect(&fourth, &CMonitorAccess::GetMonitorRect(3)));
    Use({Rect(0, 0, 800, 600)});
    EXPECT_EQ(1, CMonitorAccess::GetMonitorCount());
    EXPECT_TRUE(IsRectEmpty(&CMonitorAccess::GetMonitorRect(1))) << "slots without a monitor are emptied";
}

TEST_F(Monitors, IsOnMonitorEdges)
{
    RECT m = Rect(0, 0, 1920, 1080);
    struct Case {
        RECT r;
        int expected;
        const char* what;
    } cases[] = {
        {Rect(100, 100, 500, 400), 1, "inside"},
        {Rect(100, -20, 500, 400), 1, "top 20 above"},
        {Rect(100, -21, 500, 400), 0, "top 21 above"},
        {Rect(-470, 100, 30, 400), 1, "right edge 30 right of the left edge"},
        {Rect(-471, 100, 29, 400), 0, "right edge 29 right of the left edge"},
        {Rect(1890, 100, 2300, 400), 1, "left edge 30 left of the right edge"},
        {Rect(1891, 100, 2300, 400), 0, "left edge 29 left of the right edge"},
        {Rect(100, 1060, 500, 1400), 1, "top 20 above the bottom"},
        {Rect(100, 1061, 500, 1400), 0, "top 19 above the bottom"},
        {Rect(100, 900, 500, 2000), 1, "only the top edge counts vertically"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, CMonitorAccess::IsOnMonitor(nullptr, m, &c.r)) << c.what;
    SetWindowPos(m_window, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(1, CMonitorAccess::IsOnMonitor(m_window, m, nullptr)) << "the window's own rectangle";
}

TEST_F(Monitors, EmptySlotsDoNotCount)
{
    // One monitor right of the origin; a window at -100,-20 is on none of the monitors, but
    // it would pass the test against an empty slot at 0,0.
    Use({Rect(1920, 0, 3840, 1080)});
    RECT r = Rect(-100, -20, 500, 300);
    EXPECT_EQ(1, CMonitorAccess::IsOnMonitor(nullptr, Rect(0, 0, 0, 0), &r));
    EXPECT_EQ(0, CMonitorAccess::IsOnAnyMonitor(nullptr, &r));
    CMonitorAccess::MoveIntoView(m_window, nullptr, &r);
    EXPECT_EQ(1970, r.left);
    EXPECT_EQ(50, r.top);
}

TEST_F(Monitors, MoveIntoViewTable)
{
    Use({Rect(0, 0, 1920, 1080), Rect(-1920, 0, 0, 1080)});
    struct Case {
        RECT in;
        RECT out;
        const char* what;
    } cases[] = {
        {Rect(100, 100, 300, 200), Rect(100, 100, 300, 200), "visible: kept"},
        {Rect(-1500, 100, -1300, 200), Rect(-1500, 100, -1300, 200), "on the left monitor: kept"},
        {Rect(100, -25, 300, 75), Rect(50, 50, 250, 150), "25 above monitor 1: moved, size kept"},
        {Rect(1891, 100, 2091, 200), Rect(50, 50, 250, 150), "within 29 pixels of every right edge"},
        {Rect(5000, 5000, 4000, 4000), Rect(50, 50, 60, 60), "inverted: 10 x 10, then moved"},
    };
    for (const Case& c : cases) {
        RECT r = c.in;
        CMonitorAccess::MoveIntoView(m_window, nullptr, &r);
        EXPECT_TRUE(EqualRect(&r, &c.out)) << c.what << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        RECT placed;
        GetWindowRect(m_window, &placed);
        EXPECT_EQ(c.out.left, placed.left) << c.what;
        EXPECT_EQ(c.out.top, placed.top) << c.what;
        EXPECT_EQ(200, placed.right - placed.left) << "the window keeps its size";
    }
    RECT r = Rect(1, 2, 3, 4);
    CMonitorAccess::MoveIntoView(nullptr, nullptr, &r);
    EXPECT_EQ(1, r.left) << "nothing without a window";
}

TEST(MonitorsReal, WineReportsAtLeastOneMonitor)
{
    CMonitorAccess access;
    ASSERT_GE(CMonitorAccess::GetMonitorCount(), 1);
    EXPECT_FALSE(IsRectEmpty(&CMonitorAccess::GetMonitorRect(0)));
}
