// Where the popup goes: a corner of the used monitor, clear of the taskbar when the taskbar
// lies on that monitor at a side the corner touches.
#pragma once

#include <windows.h>

// UsedPosition: 0 bottom right, 1 top right, 2 bottom left, 3 top left.
constexpr int kPopupMargin = 20;

// monitor: the monitor's rectangle; taskbar: its window rectangle or null when none.
POINT CalculatePopupPosition(const RECT& monitor, const RECT* taskbar, DWORD usedPosition, int width, int height);

// CheckScaleFactor: ScaleIndex 1 → 120 % / 540, 2 → 150 % / 675, else 100 % / 450 and the
// index is reset to 0.
void CheckScaleFactor(DWORD* scaleIndex, DWORD* percent, DWORD* width);

// The monitors as the system enumerates them.
class CMonitorPosition {
public:
    CMonitorPosition();
    virtual ~CMonitorPosition();
    // Recounts; the used screen becomes the preferred monitor (0 when that is not below the
    // count) and its rectangle is kept.
    void UpdateMonitorRect();
    void FillMonitorCombo(HWND combo);
};

extern DWORD g_dwMonitorCount;
extern DWORD g_dwUsedScreen;
extern DWORD g_dwPreferredMonitor;
extern RECT g_rcUsedScreen;

// The one object (it has no data of its own).
extern CMonitorPosition g_MonitorPosition;
