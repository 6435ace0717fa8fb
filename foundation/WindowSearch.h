// Depth-first searches of the window tree (the given window first, then its children through
// GW_CHILD / GW_HWNDNEXT) and walks up the parent chain.
#pragma once

#include <windows.h>

// The marker the host puts into its hidden main window's GWL_USERDATA; finders try it and
// then the two alternates in this order.
constexpr DWORD kHostWindowMarker = 0x4578AD11;
constexpr DWORD kHostWindowMarkerAlt1 = 0x4578AD12;
constexpr DWORD kHostWindowMarkerAlt2 = 0x4578AD13;

HWND FindWindowByUserData(HWND start, DWORD marker);
// The start window when its marker matches; otherwise the first marked window of the process
// below it. A marked window of another process is passed over together with its subtree.
HWND FindProcessWindowByUserData(HWND start, DWORD marker, DWORD processId);
// The marked window of the current process among all windows; windows of other processes
// that carry the same marker (a second instance starting up) are skipped.
HWND FindOwnWindowByUserData(DWORD marker);
// The host window of the current process: the first of the three markers that is found.
HWND FindOwnHostWindow();
HWND FindWindowById(HWND start, int controlId);
// Class name equal over at most 127 characters, case-sensitive.
HWND FindWindowByClass(HWND start, const wchar_t* className);
// Without the substring flag the window text (127 characters) begins with the text (compared
// over at most 127 characters); with it the window text contains the text.
HWND FindWindowByText(HWND start, const wchar_t* text, int substring);
HWND FindWindowByTextAndStyle(HWND start, const wchar_t* text, DWORD styleMask);
HWND FindWindowByTextAndExStyle(HWND start, const wchar_t* text, DWORD exStyleMask);
// Class equal ignoring case and text by the FindWindowByText rule; at most depth levels down
// (0: the start window only).
HWND FindWindowByClassAndText(HWND start, const wchar_t* text, const wchar_t* className, int substring, int depth);
HWND FindVisibleProcessWindow(HWND start, DWORD processId);

// Climbs GetParent while the parent belongs to the window's process.
HWND GetOwnTopLevelWindow(HWND window);
// The last non-null GetParent ancestor, or the window itself.
HWND GetRootWindow(HWND window);
// The non-empty texts of the direct children, each followed by ";" (static buffer of 2,047
// characters per thread, valid until the next call).
const wchar_t* CollectChildTexts(HWND window);
