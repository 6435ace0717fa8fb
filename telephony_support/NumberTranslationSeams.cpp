#include "telephony_support/NumberTranslationSeams.h"

LONG (WINAPI* g_pfnLineTranslateAddressW)(HLINEAPP, DWORD, DWORD, LPCWSTR, DWORD, DWORD,
                                            LPLINETRANSLATEOUTPUT) = lineTranslateAddressW;
LONG (WINAPI* g_pfnLineGetCountryW)(DWORD, DWORD, LPLINECOUNTRYLIST) = lineGetCountryW;
