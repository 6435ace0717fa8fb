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
    // The real check: Wine runs the tests as the Linux account, never as a service account,
    // so the default answers 0 here.
    wchar_t user[256] = L"";
    DWORD size = 255;
    ASSERT_TRUE(GetUserNameW(user, &size));
    ASSERT_NE(L'\0', user[0]);
    for (const wchar_t* service : {L"SYSTEM", L"SYST\u00C8ME", L"Syst\u00E8me"})
        ASSERT_STRNE(service, user) << "this test expects to run under an ordinary account";
    EXPECT_EQ(0, IsSystemAccount());
}
