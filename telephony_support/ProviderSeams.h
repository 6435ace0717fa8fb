// TAPI's provider calls, replaceable so tests can watch them (Wine only stubs them).
#pragma once

#include <windows.h>

typedef LONG(WINAPI* LineAddProviderFn)(LPCSTR, HWND, LPDWORD);
typedef LONG(WINAPI* LineRemoveProviderFn)(DWORD, HWND);

// Looks lineAddProvider up in "TAPI32.DLL" at run time; null when it is absent.
extern LONG (*g_pfnLineAddProvider)(LPCSTR providerName, HWND owner, LPDWORD permanentId);
extern LONG (WINAPI* g_pfnLineRemoveProvider)(DWORD permanentId, HWND owner);
