#include "foundation/Seams.h"

#include "foundation/FolderTools.h"
#include "foundation/HelpTools.h"
#include "foundation/SystemAccount.h"

int (WINAPI* g_pfnMessageBoxW)(HWND, LPCWSTR, LPCWSTR, UINT) = MessageBoxW;
BOOL (WINAPI* g_pfnTrackPopupMenuEx)(HMENU, UINT, int, int, HWND, LPTPMPARAMS) = TrackPopupMenuEx;
void (WINAPI* g_pfnOutputDebugStringW)(LPCWSTR) = OutputDebugStringW;
void (WINAPI* g_pfnGetSystemTime)(LPSYSTEMTIME) = GetSystemTime;
void (WINAPI* g_pfnGetLocalTime)(LPSYSTEMTIME) = GetLocalTime;
BOOL (*g_pfnIsSystemAccount)() = IsSystemAccountByName;
HWND (WINAPI* g_pfnHtmlHelpW)(HWND, LPCWSTR, UINT, DWORD_PTR) = HtmlHelpOnDemandW;
BOOL (WINAPI* g_pfnEnumDisplayMonitors)(HDC, LPCRECT, MONITORENUMPROC, LPARAM) = EnumDisplayMonitors;
DWORD (*g_pfnDirectoryEntryAttributes)(const wchar_t*, const WIN32_FIND_DATAW*) = FoundEntryAttributes;
