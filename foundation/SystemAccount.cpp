#include "foundation/SystemAccount.h"

#include "foundation/Seams.h"

#include <cwchar>

BOOL IsSystemAccountByName()
{
    wchar_t user[256] = L"";
    DWORD size = _countof(user) - 1;
    if (!GetUserNameW(user, &size))
        return FALSE;
    user[_countof(user) - 1] = L'\0';
    return IsSystemAccountName(user);
}

BOOL IsSystemAccountName(const wchar_t* user)
{
    if (!user)
        return FALSE;
    return wcscmp(user, L"SYSTEM") == 0 || wcscmp(user, L"SYST\u00C8ME") == 0 || wcscmp(user, L"Syst\u00E8me") == 0;
}

int IsSystemAccount()
{
    return g_pfnIsSystemAccount() ? 1 : 0;
}
