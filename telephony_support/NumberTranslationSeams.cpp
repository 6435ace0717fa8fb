#include "telephony_support/NumberTranslationSeams.h"

LONG (WINAPI* g_pfnLineTranslateAddressW)(HLINEAPP, DWORD, DWORD, LPCWSTR, DWORD, DWORD,
                                            LPLINETRANSLATEOUTPUT) = lineTranslateAddressW;
