// Whether the process runs under the service (system) account.
#pragma once

#include <windows.h>

// 1 when the user name is exactly "SYSTEM", "SYSTÈME" or "Système" (case-sensitive); else 0.
// Goes through the account seam, so tests can stand in for a service account.
int IsSystemAccount();
// The real test behind the seam.
BOOL IsSystemAccountByName();
// The name rule of that test.
BOOL IsSystemAccountName(const wchar_t* userName);
