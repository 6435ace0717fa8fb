// Secrets kept between runs as generic credentials of the current user in the Windows
// Credential Manager (never in the settings store).
#pragma once

#include <windows.h>

BOOL WriteCredentialByTarget(const wchar_t* target, const wchar_t* secret);
// The target is the three parts joined (at most 127 characters).
BOOL WriteCredential(const wchar_t* part1, const wchar_t* part2, const wchar_t* part3, const wchar_t* secret);
// The secret ("" when missing), in a buffer of the function's own (per thread).
const wchar_t* ReadCredentialByTarget(const wchar_t* target);
// As above; also reads entries that other programs stored as 8-bit text.
const wchar_t* ReadCredential(const wchar_t* part1, const wchar_t* part2, const wchar_t* part3);
// Removes the entry of the three parts joined; FALSE when there was none or it stays.
BOOL DeleteCredential(const wchar_t* part1, const wchar_t* part2, const wchar_t* part3);
