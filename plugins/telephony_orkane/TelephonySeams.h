// Replaceable entries for the platform behaviour that Wine hides from the connection layer's
// tests: Windows' coarse timer tick (a short wait lasts a tick of about 15.6 ms) and a
// websocket close that leaves a pending receive alone. Each defaults to the real function.
#pragma once

#include <windows.h>
#include <winhttp.h>

// The clock behind every bounded wait of the connection layer, in milliseconds (GetTickCount).
extern DWORD (WINAPI* g_pfnWaitClock)();
// The wait behind them: WaitForMultipleObjects (count, handles, any one, milliseconds).
extern DWORD (WINAPI* g_pfnWaitForAny)(DWORD count, const HANDLE* handles, DWORD milliseconds);
// Ends a websocket connection completely, its receive side included (WinHttpWebSocketClose).
extern DWORD (WINAPI* g_pfnWebSocketClose)(HINTERNET websocket, USHORT status, PVOID reason, DWORD length);
