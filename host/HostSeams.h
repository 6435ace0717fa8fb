// The host's replaceable shell calls: Wine lacks Shell_NotifyIconGetRect, and tests watch
// the notification-area calls.
#pragma once

#include <windows.h>
#include <shellapi.h>

extern BOOL (WINAPI* g_pfnShell_NotifyIconW)(DWORD, PNOTIFYICONDATAW);
extern HRESULT (WINAPI* g_pfnShell_NotifyIconGetRect)(const NOTIFYICONIDENTIFIER*, RECT*);
