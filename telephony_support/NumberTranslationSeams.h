// Replaceable entry for the telephony dialling-rules call (Wine has only a stub that writes
// nothing). Defaults to the real function; tests swap the pointer.
#pragma once

#include <windows.h>
#include <tapi.h>

extern LONG (WINAPI* g_pfnLineTranslateAddressW)(HLINEAPP, DWORD, DWORD, LPCWSTR, DWORD, DWORD,
                                                   LPLINETRANSLATEOUTPUT);
// The system's telephony country list (for the dialling code of a TAPI country identifier).
extern LONG (WINAPI* g_pfnLineGetCountryW)(DWORD, DWORD, LPLINECOUNTRYLIST);
