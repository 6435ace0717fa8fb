// The host's replaceable shell calls: Wine lacks Shell_NotifyIconGetRect, and tests watch
// the notification-area calls. The post of another program's text is replaceable too: a
// full queue refuses it, which a test cannot bring about under Wine.
#pragma once

#include <windows.h>
#include <shellapi.h>

extern BOOL (WINAPI* g_pfnShell_NotifyIconW)(DWORD, PNOTIFYICONDATAW);
extern HRESULT (WINAPI* g_pfnShell_NotifyIconGetRect)(const NOTIFYICONIDENTIFIER*, RECT*);
extern BOOL (WINAPI* g_pfnPostMessageW)(HWND, UINT, WPARAM, LPARAM);
