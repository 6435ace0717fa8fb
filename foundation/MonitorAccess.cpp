#include "foundation/MonitorAccess.h"

#include "foundation/Seams.h"

CMonitorAccess* g_pMonitorAccess = nullptr;

namespace {

int s_count = 0;
RECT s_rects[CMonitorAccess::kSlots] = {};

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM)
{
    if (s_count < CMonitorAccess::kSlots && rect)
        s_rects[s_count] = *rect;
    ++s_count;
    return TRUE;
}

}  // namespace

CMonitorAccess::CMonitorAccess()
{
    g_pMonitorAccess = this;
    Refresh();
}

CMonitorAccess::~CMonitorAccess()
{
    if (g_pMonitorAccess == this)
        g_pMonitorAccess = nullptr;
}

void CMonitorAccess::Refresh()
{
    s_count = 0;
    for (RECT& r : s_rects)
        SetRectEmpty(&r);
    g_pfnEnumDisplayMonitors(nullptr, nullptr, AddMonitor, 0);
}

int CMonitorAccess::GetMonitorCount() { return s_count; }

const RECT& CMonitorAccess::GetMonitorRect(int slot)
{
    static const RECT empty = {};
    return slot >= 0 && slot < kSlots ? s_rects[slot] : empty;
}

int CMonitorAccess::IsOnMonitor(HWND window, const RECT& monitor, const RECT* rect)
{
    RECT own;
    if (!rect) {
        if (!window || !GetWindowRect(window, &own))
            return 0;
        rect = &own;
    }
    // Only the top edge and the horizontal extent count: a title bar that can be grabbed.
    if (rect->top < monitor.top - 20 || rect->right < monitor.left + 30 || rect->left > monitor.right - 30 ||
        rect->top > monitor.bottom - 20)
        return 0;
    return 1;
}

int CMonitorAccess::IsOnAnyMonitor(HWND window, const RECT* rect)
{
    // Slots without a monitor are skipped: an empty rectangle at 0,0 is no place to be.
    int used = s_count < kSlots ? s_count : kSlots;
    for (int i = 0; i < used; ++i) {
        if (!IsRectEmpty(&s_rects[i]) && IsOnMonitor(window, s_rects[i], rect))
            return 1;
    }
    return 0;
}

void CMonitorAccess::MoveIntoView(HWND window, HWND insertAfter, RECT* rect)
{
    if (!window)
        return;
    RECT own;
    if (!rect) {
        if (!GetWindowRect(window, &own))
            return;
        rect = &own;
    }
    if (rect->right < rect->left)
        rect->right = rect->left + 10;
    if (rect->bottom < rect->top)
        rect->bottom = rect->top + 10;
    if (!IsOnAnyMonitor(window, rect))
        OffsetRect(rect, s_rects[0].left + 50 - rect->left, s_rects[0].top + 50 - rect->top);
    SetWindowPos(window, insertAfter, rect->left, rect->top, 0, 0, SWP_NOSIZE);
}
