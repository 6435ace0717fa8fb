#include "plugins/telephony_orkane/TelephonySeams.h"

namespace {

DWORD WINAPI WaitForAnyReal(DWORD count, const HANDLE* handles, DWORD milliseconds)
{
    return WaitForMultipleObjects(count, handles, FALSE, milliseconds);
}

}  // namespace

DWORD (WINAPI* g_pfnWaitClock)() = GetTickCount;
DWORD (WINAPI* g_pfnWaitForAny)(DWORD, const HANDLE*, DWORD) = WaitForAnyReal;
DWORD (WINAPI* g_pfnWebSocketClose)(HINTERNET, USHORT, PVOID, DWORD) = WinHttpWebSocketClose;
