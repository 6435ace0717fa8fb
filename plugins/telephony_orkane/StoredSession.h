// The PBX session that a user login hands out and the next start re-uses: deciphering the
// stored session object, and the three Credential Manager entries of the login.
#pragma once

#include <windows.h>

// The keys of the stored session object's parts ("usr", "pwd"): two places, filled with the
// client nonce and the user's password. The PBX enciphers with the same texts.
extern const wchar_t kSessionUserKeyPattern[];
extern const wchar_t kSessionPasswordKeyPattern[];

class CInnovaphoneVars;

// The client nonce of sessions stored before every login had its own.
extern const wchar_t kFixedClientNonce[];
// The nonce of the login that issued the stored session object (credential "SessionNonce");
// empty for a session of the fixed nonce. Under g_csDispatch.
extern wchar_t g_szSessionNonce[32];

// The hex text's bytes deciphered with RC4 under the key formatted from the pattern and the
// two values (ANSI code page), as text; a per-thread buffer of 256 characters.
const wchar_t* DecodeStoredCredential(const wchar_t* hex, const wchar_t* pattern, const wchar_t* value1,
                                      const wchar_t* value2);

// The same into out (capacity characters); out may be the hex text itself.
void DecodeStoredCredentialInto(wchar_t* out, size_t capacity, const wchar_t* hex, const wchar_t* pattern,
                                const wchar_t* value1, const wchar_t* value2);

// A new client nonce for one login: 16 lower-case hex digits from the system's random source,
// remembered as the nonce of the latest login sent. FALSE (and "") when there is no random.
BOOL MakeLoginNonce(wchar_t* nonce, size_t capacity);
// The nonce to decipher the stored session object with.
void ReadSessionNonce(wchar_t* nonce, size_t capacity);
// The dispatcher's store of a session object that a "LoginResult" handed out: it keeps the
// nonce of the login it answered beside it.
void AdoptSessionObject(CInnovaphoneVars* conn, const wchar_t* object);
// Removes the user's stored session ("Session", "ExSession", "SessionNonce") from the
// Credential Manager.
void ForgetStoredSession(const wchar_t* user);

// Reads "Password", "Session", "ExSession" and "SessionNonce" of the user connection's user from the
// Credential Manager into its fields.
void ReadLoginCredentials();
// Writes each of the three that is not empty.
void SaveLoginCredentials();
