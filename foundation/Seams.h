// Replaceable entries for the platform calls that Wine lacks or that would block a headless
// test (a modal box, a menu). Each defaults to the real function; tests swap the pointer.
#pragma once

#include <windows.h>

extern int (WINAPI* g_pfnMessageBoxW)(HWND, LPCWSTR, LPCWSTR, UINT);
extern BOOL (WINAPI* g_pfnTrackPopupMenuEx)(HMENU, UINT, int, int, HWND, LPTPMPARAMS);
extern void (WINAPI* g_pfnOutputDebugStringW)(LPCWSTR);
// The clock behind log lines and time stamps (UTC and local).
extern void (WINAPI* g_pfnGetSystemTime)(LPSYSTEMTIME);
extern void (WINAPI* g_pfnGetLocalTime)(LPSYSTEMTIME);
// The account test behind IsSystemAccount (nonzero: a service account).
extern BOOL (*g_pfnIsSystemAccount)();
// The HTML Help control's entry point (hhctrl.ocx, bound when first needed).
extern HWND (WINAPI* g_pfnHtmlHelpW)(HWND, LPCWSTR, UINT, DWORD_PTR);
// Monitor enumeration behind CMonitorAccess (Wine reports one monitor).
extern BOOL (WINAPI* g_pfnEnumDisplayMonitors)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
// The attributes of a directory entry as the folder walks of FolderTools see it (path: the
// entry's full path). Wine makes no junctions or folder links, so a test marks an entry as one.
extern DWORD (*g_pfnDirectoryEntryAttributes)(const wchar_t* path, const WIN32_FIND_DATAW* found);
