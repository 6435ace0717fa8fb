// The rectangles of up to four monitors, and keeping windows where their title bar can be
// grabbed.
#pragma once

#include <windows.h>

class CMonitorAccess {
public:
    static constexpr int kSlots = 4;

    // Enumerates the monitors (through g_pfnEnumDisplayMonitors) into the module's table and
    // makes this object the module's instance (g_pMonitorAccess).
    CMonitorAccess();
    virtual ~CMonitorAccess();

    // Refills the table from the monitors present now.
    static void Refresh();
    // The number of monitors reported (may exceed the four slots).
    static int GetMonitorCount();
    // Slot 0 is monitor 1; slots without a monitor hold an empty rectangle at 0,0.
    static const RECT& GetMonitorRect(int slot);

    // 0 when the rectangle (the window's when null) is more than 20 pixels above the monitor,
    // within 30 pixels of its left or right edge from outside, or less than 20 pixels above
    // its bottom; else 1.
    static int IsOnMonitor(HWND window, const RECT& monitor, const RECT* rect);
    // IsOnMonitor against every slot that holds a monitor.
    static int IsOnAnyMonitor(HWND window, const RECT* rect);
    // Repairs an inverted rectangle, moves it to 50,50 on monitor 1 when it is on no monitor
    // (updating it in place) and places the window there.
    static void MoveIntoView(HWND window, HWND insertAfter, RECT* rect);
};

extern CMonitorAccess* g_pMonitorAccess;
