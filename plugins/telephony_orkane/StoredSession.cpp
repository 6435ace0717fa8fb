#include "plugins/telephony_orkane/StoredSession.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/rc4.h>

#include <bcrypt.h>

#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "bus/LogLine.h"
#include "foundation/Credentials.h"
#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "foundation/TextUtils.h"
#include "plugins/telephony_orkane/InnovaphoneVars.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "plugins/telephony_orkane/Settings.h"

const wchar_t kSessionUserKeyPattern[] = L"innovaphoneAppClient:usr:%s:%s";
const wchar_t kSessionPasswordKeyPattern[] = L"innovaphoneAppClient:pwd:%s:%s";
const wchar_t kFixedClientNonce[] = L"3b81e0c7d2946fa5";
wchar_t g_szSessionNonce[32];

namespace {

thread_local wchar_t t_decoded[256];
// The nonce of the latest login sent: a session object in its answer was enciphered with it.
wchar_t g_szLoginNonce[32];

struct CredentialField {
    const wchar_t* entry;
    wchar_t* field;
    size_t capacity;
};

// The user connection's three login secrets in the Credential Manager, under the module, the
// user name and the entry name.
const CredentialField kCredentialFields[] = {
    {L"Password", InnovaphoneVarsUser.m_szPassword, _countof(InnovaphoneVarsUser.m_szPassword)},
    {L"Session", InnovaphoneVarsUser.m_szSession, _countof(InnovaphoneVarsUser.m_szSession)},
    {L"ExSession", InnovaphoneVarsUser.m_szExSession, _countof(InnovaphoneVarsUser.m_szExSession)},
    {L"SessionNonce", g_szSessionNonce, _countof(g_szSessionNonce)},
};

}  // namespace

const wchar_t* DecodeStoredCredential(const wchar_t* hex, const wchar_t* pattern, const wchar_t* value1,
                                      const wchar_t* value2)
{
    DecodeStoredCredentialInto(t_decoded, _countof(t_decoded), hex, pattern, value1, value2);
    return t_decoded;
}

void DecodeStoredCredentialInto(wchar_t* out, size_t capacity, const wchar_t* hex, const wchar_t* pattern,
                                const wchar_t* value1, const wchar_t* value2)
{
    if (!out || !capacity)
        return;
    // The hex text may be the output buffer itself: it is read before the buffer is written.
    BYTE data[256] = {};
    bool valid = hex && wcslen(hex) % 2 == 0 && wcsspn(hex, L"0123456789abcdefABCDEF") == wcslen(hex);
    size_t count = valid ? HexToBytes(data, sizeof data, hex) : 0;
    out[0] = L'\0';
    // Only whole pairs of hex digits are a stored part; anything else deciphers to nothing.
    if (!valid)
        return;
    wchar_t key[256];
    FormatW(key, _countof(key), pattern ? pattern : L"", value1 ? value1 : L"", value2 ? value2 : L"");
    char keyBytes[256];
    CopyWideToAnsi(keyBytes, key, sizeof keyBytes - 1);
    size_t keyLength = strlen(keyBytes);
    // The last byte stays 0, so the plain text is always terminated.
    BYTE plain[512] = {};
    if (keyLength && count) {
        RC4_KEY state;
        RC4_set_key(&state, (int)keyLength, reinterpret_cast<const unsigned char*>(keyBytes));
        RC4(&state, count, data, plain);
        SecureZeroMemory(&state, sizeof state);
        AnsiToWide(out, capacity - 1, reinterpret_cast<const char*>(plain));
    }
    // The key holds the password, the plain text a session secret: neither stays behind.
    SecureZeroMemory(key, sizeof key);
    SecureZeroMemory(keyBytes, sizeof keyBytes);
    SecureZeroMemory(plain, sizeof plain);
}

BOOL MakeLoginNonce(wchar_t* nonce, size_t capacity)
{
    BYTE bytes[8];
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        LogLine(0, L"Func.MakeLoginNonce.Error.No random numbers");
        CopyText(nonce, capacity, L"");
        return FALSE;
    }
    CopyText(nonce, capacity, BytesToHex(bytes, sizeof bytes));
    CharLowerBuffW(nonce, (DWORD)wcslen(nonce));
    EnterCriticalSection(&g_csDispatch);
    CopyText(g_szLoginNonce, _countof(g_szLoginNonce), nonce);
    LeaveCriticalSection(&g_csDispatch);
    return TRUE;
}

void ReadSessionNonce(wchar_t* nonce, size_t capacity)
{
    EnterCriticalSection(&g_csDispatch);
    // A session stored without its nonce came from a login with the fixed one.
    CopyText(nonce, capacity, g_szSessionNonce[0] ? g_szSessionNonce : kFixedClientNonce);
    LeaveCriticalSection(&g_csDispatch);
}

void AdoptSessionObject(CInnovaphoneVars* conn, const wchar_t* object)
{
    EnterCriticalSection(&g_csDispatch);
    CopyText(conn->m_szExSession, _countof(conn->m_szExSession), object);
    if (conn == &InnovaphoneVarsUser)
        CopyText(g_szSessionNonce, _countof(g_szSessionNonce), g_szLoginNonce);
    LeaveCriticalSection(&g_csDispatch);
}

void ForgetStoredSession(const wchar_t* user)
{
    for (const wchar_t* entry : {L"Session", L"ExSession", L"SessionNonce"})
        DeleteCredential(kTelephonyModuleId, user, entry);
}

// The dispatcher writes the session fields from the PBX's answers on a receive thread, and the
// login thread reads the password, each under the dispatch lock: so are the copies here.
void ReadLoginCredentials()
{
    for (const CredentialField& f : kCredentialFields) {
        wchar_t value[256];
        CopyText(value, _countof(value), ReadCredential(kTelephonyModuleId, InnovaphoneVarsUser.m_szUser, f.entry));
        EnterCriticalSection(&g_csDispatch);
        CopyText(f.field, f.capacity, value);
        LeaveCriticalSection(&g_csDispatch);
        SecureZeroMemory(value, sizeof value);
    }
}

void SaveLoginCredentials()
{
    for (const CredentialField& f : kCredentialFields) {
        wchar_t value[256];
        EnterCriticalSection(&g_csDispatch);
        CopyText(value, _countof(value), f.field);
        LeaveCriticalSection(&g_csDispatch);
        // The entry's name only: the secret itself never goes into a line.
        if (value[0] && !WriteCredential(kTelephonyModuleId, InnovaphoneVarsUser.m_szUser, f.entry, value))
            LogLine(0, L"Func.DoSaveSettings.Error.Write Credential ERROR! (%s)", f.entry);
        SecureZeroMemory(value, sizeof value);
    }
    // A session object kept without a nonce (one of the fixed nonce) must not be paired with
    // the nonce of an earlier session left in the store.
    EnterCriticalSection(&g_csDispatch);
    bool unpaired = InnovaphoneVarsUser.m_szExSession[0] && !g_szSessionNonce[0];
    LeaveCriticalSection(&g_csDispatch);
    if (unpaired)
        DeleteCredential(kTelephonyModuleId, InnovaphoneVarsUser.m_szUser, L"SessionNonce");
}
