// The PBX session that a user login hands out and the next start re-uses: deciphering the
// stored session object, and the three Credential Manager entries of the login.
#pragma once

#include <windows.h>

// The keys of the stored session object's parts ("usr", "pwd"): two places, filled with the
// client nonce and the user's password. The PBX enciphers with the same texts.
extern const wchar_t kSessionUserKeyPattern[];
extern const wchar_t kSessionPasswordKeyPattern[];

// The hex text's bytes deciphered with RC4 under the key formatted from the pattern and the
// two values (ANSI code page), as text; a per-thread buffer of 256 characters.
const wchar_t* DecodeStoredCredential(const wchar_t* hex, const wchar_t* pattern, const wchar_t* value1,
                                      const wchar_t* value2);

// Reads "Password", "Session" and "ExSession" of the user connection's user from the
// Credential Manager into its fields.
void ReadLoginCredentials();
// Writes each of the three that is not empty.
void SaveLoginCredentials();
