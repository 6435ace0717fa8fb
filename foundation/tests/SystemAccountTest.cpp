#include "foundation/SystemAccount.h"

#include "foundation/Seams.h"

#include <gtest/gtest.h>

TEST(SystemAccount, NameRule)
{
    struct Case {
        const wchar_t* name;
        BOOL expected;
    } cases[] = {
        {L"SYSTEM", TRUE},      {L"SYST\u00C8ME", TRUE}, {L"Syst\u00E8me", TRUE}, {L"system", FALSE},
        {L"SYSTEME", FALSE},    {L"SYSTEM ", FALSE},     {L"", FALSE},            {nullptr, FALSE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, IsSystemAccountName(c.name)) << (c.name ? c.name : L"(null)");
}

namespace {
BOOL ServiceAccount() { return TRUE; }
BOOL UserAccount() { return FALSE; }
}  // namespace

TEST(SystemAccount, GoesThroughTheSeam)
{
    auto saved = g_pfnIsSystemAccount;
    g_pfnIsSystemAccount = ServiceAccount;
    EXPECT_EQ(1, IsSystemAccount());
    g_pfnIsSystemAccount = UserAccount;
    EXPECT_EQ(0, IsSystemAccount());
    g_pfnIsSystemAccount = saved;
    // Wine runs as the Linux account, never as a service account.
    wchar_t user[256] = L"";
    DWORD size = 255;
    GetUserNameW(user, &size);
    EXPECT_EQ(IsSystemAccountName(user) ? 1 : 0, IsSystemAccount());
}
