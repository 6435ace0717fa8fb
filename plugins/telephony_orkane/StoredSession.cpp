#include "plugins/telephony_orkane/StoredSession.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/rc4.h>

#include <cstring>
#include <cwchar>

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

namespace {

thread_local wchar_t t_decoded[256];

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
};

}  // namespace

const wchar_t* DecodeStoredCredential(const wchar_t* hex, const wchar_t* pattern, const wchar_t* value1,
                                      const wchar_t* value2)
{
    t_decoded[0] = L'\0';
    // Only whole pairs of hex digits are a stored part; anything else deciphers to nothing.
    if (!hex || wcslen(hex) % 2 || wcsspn(hex, L"0123456789abcdefABCDEF") != wcslen(hex))
        return t_decoded;
    BYTE data[256] = {};
    size_t count = HexToBytes(data, sizeof data, hex);
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
        AnsiToWide(t_decoded, _countof(t_decoded) - 1, reinterpret_cast<const char*>(plain));
    }
    // The key holds the password, the plain text a session secret: neither stays behind.
    SecureZeroMemory(key, sizeof key);
    SecureZeroMemory(keyBytes, sizeof keyBytes);
    SecureZeroMemory(plain, sizeof plain);
    return t_decoded;
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
}
