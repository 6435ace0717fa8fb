// Corner placement over monitor rectangles, with and without a taskbar on the monitor.
#include "plugins/info_visette/PopupPosition.h"

#include "foundation/Seams.h"

#include <gtest/gtest.h>

TEST(PopupPosition, CornersOfAMonitorWithItsTaskbar)
{
    const RECT primary = {0, 0, 1920, 1080};
    const RECT left = {-1280, -200, 0, 824};  // a second monitor left of and above the primary
    const RECT bottomBar = {0, 1040, 1920, 1080};
    const RECT topBar = {0, 0, 1920, 40};
    const RECT rightBar = {1860, 0, 1920, 1080};
    const RECT leftBarOnLeft = {-1280, -200, -1220, 824};
    const RECT elsewhere = {0, 1040, 1920, 1080};  // the primary's bar, seen from the left monitor
    struct Case {
        const char* what;
        RECT monitor;
        const RECT* taskbar;
        DWORD corner;
        LONG x, y;
    } cases[] = {
        {"no taskbar, bottom right", primary, nullptr, 0, 1920 - 450 - 20, 1080 - 150 - 20},
        {"no taskbar, top right", primary, nullptr, 1, 1920 - 450 - 20, 20},
        {"no taskbar, bottom left", primary, nullptr, 2, 20, 1080 - 150 - 20},
        {"no taskbar, top left", primary, nullptr, 3, 20, 20},
        {"bottom bar lifts a bottom corner", primary, &bottomBar, 0, 1920 - 450 - 20, 1080 - 40 - 150 - 20},
        {"bottom bar leaves a top corner", primary, &bottomBar, 1, 1920 - 450 - 20, 20},
        {"bottom bar lifts bottom left", primary, &bottomBar, 2, 20, 1080 - 40 - 150 - 20},
        {"top bar lowers top left", primary, &topBar, 3, 20, 40 + 20},
        {"top bar leaves bottom right", primary, &topBar, 0, 1920 - 450 - 20, 1080 - 150 - 20},
        {"right bar moves a right corner in", primary, &rightBar, 1, 1920 - 60 - 450 - 20, 20},
        {"right bar leaves a left corner", primary, &rightBar, 3, 20, 20},
        {"negative coordinates, bottom right", left, nullptr, 0, -450 - 20, 824 - 150 - 20},
        {"negative coordinates, top left", left, nullptr, 3, -1280 + 20, -200 + 20},
        {"left bar on the negative monitor", left, &leftBarOnLeft, 2, -1280 + 60 + 20, 824 - 150 - 20},
        {"another monitor's taskbar does not count", left, &elsewhere, 0, -450 - 20, 824 - 150 - 20},
        {"only the two low bits choose the corner", primary, nullptr, 7, 20, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        POINT p = CalculatePopupPosition(c.monitor, c.taskbar, c.corner, 450, 150);
        EXPECT_EQ(c.x, p.x);
        EXPECT_EQ(c.y, p.y);
    }
}

TEST(PopupPosition, ScaleIndexGivesPercentAndWidth)
{
    struct Case {
        DWORD index, expectedIndex, percent, width;
    } cases[] = {{0, 0, 100, 450}, {1, 1, 120, 540}, {2, 2, 150, 675}, {5, 0, 100, 450}, {0xFFFFFFFF, 0, 100, 450}};
    for (const Case& c : cases) {
        DWORD index = c.index, percent = 0, width = 0;
        CheckScaleFactor(&index, &percent, &width);
        EXPECT_EQ(c.expectedIndex, index) << c.index;
        EXPECT_EQ(c.percent, percent) << c.index;
        EXPECT_EQ(c.width, width) << c.index;
        // The wider popup still keeps its margin in the corner.
        POINT p = CalculatePopupPosition({0, 0, 1920, 1080}, nullptr, 0, static_cast<int>(width), 150);
        EXPECT_EQ(static_cast<LONG>(1920 - width - 20), p.x);
    }
}

TEST(PopupPosition, UsedScreenFallsBackToTheFirstMonitor)
{
    g_dwPreferredMonitor = 5;
    g_MonitorPosition.UpdateMonitorRect();
    EXPECT_EQ(0u, g_dwUsedScreen);
    EXPECT_GE(g_dwMonitorCount, 1u);
    MONITORINFO info = {sizeof(info)};
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    EXPECT_EQ(info.rcMonitor.right - info.rcMonitor.left, g_rcUsedScreen.right - g_rcUsedScreen.left);
    g_dwPreferredMonitor = 0;
}

namespace {

const RECT kFakeMonitors[] = {{0, 0, 1920, 1080}, {-1280, -200, 0, 824}};

BOOL WINAPI FakeEnumMonitors(HDC, LPCRECT, MONITORENUMPROC proc, LPARAM param)
{
    for (const RECT& r : kFakeMonitors) {
        RECT copy = r;
        if (!proc(nullptr, nullptr, &copy, param))
            break;
    }
    return TRUE;
}

}  // namespace

TEST(PopupPosition, PreferredMonitorChoosesItsRectangleAndTheCombo)
{
    auto real = g_pfnEnumDisplayMonitors;
    g_pfnEnumDisplayMonitors = FakeEnumMonitors;
    struct Case {
        DWORD preferred, used;
        RECT rect;
    } cases[] = {{0, 0, kFakeMonitors[0]}, {1, 1, kFakeMonitors[1]}, {2, 0, kFakeMonitors[0]}};
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_POPUP, 0, 0, 80, 200, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, combo);
    for (const Case& c : cases) {
        g_dwPreferredMonitor = c.preferred;
        g_MonitorPosition.UpdateMonitorRect();
        EXPECT_EQ(2u, g_dwMonitorCount);
        EXPECT_EQ(c.used, g_dwUsedScreen) << c.preferred;
        EXPECT_TRUE(EqualRect(&c.rect, &g_rcUsedScreen)) << c.preferred;
        g_MonitorPosition.FillMonitorCombo(combo);
        EXPECT_EQ(2, SendMessageW(combo, CB_GETCOUNT, 0, 0));
        EXPECT_EQ(static_cast<LRESULT>(c.used), SendMessageW(combo, CB_GETCURSEL, 0, 0));
        wchar_t text[8] = L"";
        SendMessageW(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(L"2", text);
    }
    DestroyWindow(combo);
    g_pfnEnumDisplayMonitors = real;
    g_dwPreferredMonitor = 0;
}
