#include "plugins/info_visette/PopupPosition.h"

#include "foundation/Format.h"
#include "foundation/MonitorAccess.h"

DWORD g_dwMonitorCount = 1;
DWORD g_dwUsedScreen = 0;
DWORD g_dwPreferredMonitor = 0;
RECT g_rcUsedScreen = {0, 0, 0, 0};
CMonitorPosition g_MonitorPosition;

POINT CalculatePopupPosition(const RECT& m, const RECT* taskbar, DWORD usedPosition, int width, int height)
{
    // The taskbar counts only when it reaches well into this monitor on every side.
    long th = 0, tw = 0;
    RECT t = {0, 0, 0, 0};
    if (taskbar && taskbar->right > m.left + 9 && taskbar->left < m.right - 9 && taskbar->top < m.bottom - 9 &&
        taskbar->bottom > m.top + 9) {
        t = *taskbar;
        th = t.bottom - t.top;
        tw = t.right - t.left;
    }
    const bool counts = th || tw;
    POINT p = {0, 0};
    switch (usedPosition & 3) {
    case 0:  // bottom right
        if (counts && !(t.top > m.top)) th = 0;
        if (counts && !(t.left > m.left)) tw = 0;
        p.x = m.right - tw - width - kPopupMargin;
        p.y = m.bottom - th - height - kPopupMargin;
        break;
    case 1:  // top right
        if (counts && !(t.bottom < m.bottom)) th = 0;
        if (counts && !(t.left > m.left)) tw = 0;
        p.x = m.right - tw - width - kPopupMargin;
        p.y = m.top + th + kPopupMargin;
        break;
    case 2:  // bottom left
        if (counts && !(t.top > m.top)) th = 0;
        if (counts && !(t.right < m.right)) tw = 0;
        p.x = m.left + tw + kPopupMargin;
        p.y = m.bottom - th - height - kPopupMargin;
        break;
    default:  // top left
        if (counts && !(t.bottom < m.bottom)) th = 0;
        if (counts && !(t.right < m.right)) tw = 0;
        p.x = m.left + tw + kPopupMargin;
        p.y = m.top + th + kPopupMargin;
        break;
    }
    return p;
}

void CheckScaleFactor(DWORD* scaleIndex, DWORD* percent, DWORD* width)
{
    switch (*scaleIndex) {
    case 1:
        *percent = 120;
        *width = 540;
        break;
    case 2:
        *percent = 150;
        *width = 675;
        break;
    default:
        *percent = 100;
        *width = 450;
        *scaleIndex = 0;
        break;
    }
}

namespace {

DWORD CountMonitors()
{
    CMonitorAccess::Refresh();
    int n = CMonitorAccess::GetMonitorCount();
    return n > 0 ? static_cast<DWORD>(n) : 1;
}

}  // namespace

CMonitorPosition::CMonitorPosition()
{
    g_dwUsedScreen = 0;
    g_dwPreferredMonitor = 0;
    g_dwMonitorCount = CountMonitors();
}

CMonitorPosition::~CMonitorPosition() = default;

void CMonitorPosition::UpdateMonitorRect()
{
    g_dwMonitorCount = CountMonitors();
    g_dwUsedScreen = g_dwPreferredMonitor < g_dwMonitorCount ? g_dwPreferredMonitor : 0;
    RECT r = CMonitorAccess::GetMonitorRect(static_cast<int>(g_dwUsedScreen));
    if (IsRectEmpty(&r))
        r = CMonitorAccess::GetMonitorRect(0);
    if (IsRectEmpty(&r)) {
        // No monitor reported at all: the primary screen.
        r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    g_rcUsedScreen = r;
}

void CMonitorPosition::FillMonitorCombo(HWND combo)
{
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (DWORD i = 1; i <= g_dwMonitorCount; ++i) {
        wchar_t text[16];
        FormatW(text, _countof(text), L"%u", static_cast<unsigned>(i));
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageW(combo, CB_SETCURSEL, g_dwUsedScreen, 0);
}
