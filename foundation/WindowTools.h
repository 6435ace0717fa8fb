// Placing windows, style bits, window icons and fonts for owner-drawn text.
#pragma once

#include <windows.h>

void BringWindowToFront(HWND window);
// Centres the window on its parent's window rectangle, or on the desktop; a desktop at least
// twice as wide as high counts with its left half (two monitors side by side).
void CenterWindow(HWND window);
// The top-left position that centres a window of the given rectangle's size on the reference
// rectangle; with halveWide a reference at least twice as wide as high (and not 0 high) counts
// with its left half.
POINT GetCenteredPosition(const RECT& reference, const RECT& window, bool halveWide);
// 10 pixels right of and 30 below the parent's top-left corner.
void PlaceNearParent(HWND window);

void AddWindowStyle(HWND window, DWORD bits);
void RemoveWindowStyle(HWND window, DWORD bits);
void AddWindowExStyle(HWND window, DWORD bits);
void RemoveWindowExStyle(HWND window, DWORD bits);
int HasTabStop(HWND window);
// Bit 0 of GWL_USERDATA.
void SetUserDataFlag(HWND window, int flag);
int GetUserDataFlag(HWND window);

// A stored window rectangle that is not a real area (empty, inverted, never set) becomes
// 0, 0, 600, 400. Positions on monitors left of or above the primary one are kept.
void NormaliseRect(RECT* rect);
void ScreenRectToClient(HWND window, RECT* rect);
// Selects line number `line` (from 1; 0 = the first line) of an edit control and scrolls to it.
void SelectEditLine(HWND edit, int line);
// The window's small, then big icon; else its class icon; null when none.
HICON GetWindowIcon(HWND window, HINSTANCE instance);
// Sends IDCANCEL to each visible top-most top-level window of this process.
void CancelOwnTopmostWindows();
// Moves the cursor to (x, y): at once the first time, otherwise in `steps` steps from the last
// target with `pauseMs` after each; a target within 1 pixel of the last one is ignored.
void MoveCursorGlide(int x, int y, int steps, int pauseMs);

// Fonts of the given LOGFONT height; the caller deletes them.
HFONT CreateCourierFont(int height);
HFONT CreateNormalFont(int height);
HFONT CreateBoldFont(int height);
HFONT CreateUnderlineFont(int height);
