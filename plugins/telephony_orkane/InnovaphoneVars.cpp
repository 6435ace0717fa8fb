#include "plugins/telephony_orkane/InnovaphoneVars.h"

#include <cstring>
#include <string>

#include "foundation/DebugOutput.h"
#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "foundation/TextUtils.h"
#include "plugin_support/Sha2.h"

namespace {
constexpr wchar_t kClientName[] = L"innovaphoneAppClient";
thread_local wchar_t t_sha256Hex[128];
thread_local wchar_t t_userDigest[256];
thread_local wchar_t t_sessionDigest[256];
}  // namespace

CInnovaphoneVars::CInnovaphoneVars(const wchar_t* name)
{
    tag_innovaphone_vars* fields = this;
    memset(fields, 0, sizeof *fields);
    CopyText(m_szSection, _countof(m_szSection), name);
    InitializeCriticalSection(&m_csHandles);
    InitializeCriticalSection(&m_csSend);
    m_hStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hWireLock = CreateMutexW(nullptr, FALSE, nullptr);
    m_lAnswers = 0;
    m_lLoginResults = 0;
    m_bInfoCut = FALSE;
}

CInnovaphoneVars::~CInnovaphoneVars()
{
    if (m_hStopEvent)
        ::CloseHandle(m_hStopEvent);
    if (m_hWireLock)
        ::CloseHandle(m_hWireLock);
    DeleteCriticalSection(&m_csSend);
    DeleteCriticalSection(&m_csHandles);
}

void CInnovaphoneVars::ReadConfig(const wchar_t* iniFile)
{
    CopyText(m_szConfigFile, _countof(m_szConfigFile), iniFile);
    GetPrivateProfileStringW(m_szSection, L"User", L"", m_szUser, _countof(m_szUser), m_szConfigFile);
    GetPrivateProfileStringW(m_szSection, L"Password", L"", m_szPassword, _countof(m_szPassword), m_szConfigFile);
}

void CInnovaphoneVars::WriteConfig()
{
    WritePrivateProfileStringW(m_szSection, L"User", m_szUser, m_szConfigFile);
    WritePrivateProfileStringW(m_szSection, L"Password", m_szPassword, m_szConfigFile);
}

void CInnovaphoneVars::CloseHandle(HINTERNET* handle)
{
    EnterCriticalSection(&m_csHandles);
    HINTERNET h = *handle;
    *handle = nullptr;
    LeaveCriticalSection(&m_csHandles);
    if (h)
        WinHttpCloseHandle(h);
}

void CInnovaphoneVars::CloseHandles()
{
    CloseHandle(&m_hWebSocketHandle);
    CloseHandle(&m_hConnectionHandle);
    CloseHandle(&m_hSessionHandle);
}

void CInnovaphoneVars::ResetValues()
{
    // The request text belongs to whichever thread is sending: cleared under its lock.
    EnterCriticalSection(&m_csSend);
    m_szSend[0] = L'\0';
    LeaveCriticalSection(&m_csSend);
    wchar_t* texts[] = {m_szChallenge, m_szBuild, m_szDomain, m_szType, m_szMethod,
                        m_szGUID, m_szDN, m_szCN, m_szNum, m_szSip, m_szPrefixArea,
                        m_szPrefixCountry, m_szPrefixInt, m_szPrefixNat, m_szPrefixSubs};
    for (wchar_t* text : texts)
        text[0] = L'\0';
    m_dwHandleCall = 0;
    m_bLogin = 0;
}

void CInnovaphoneVars::ToUtf8Text(wchar_t* text, size_t size)
{
    if (!text || !size)
        return;
    wchar_t lower[128];
    CopyText(lower, _countof(lower), text);
    CharLowerBuffW(lower, (DWORD)wcslen(lower));
    char utf8[128 * 3 + 1];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, lower, -1, utf8, sizeof utf8, nullptr, nullptr);
    if (bytes <= 0)
        utf8[0] = '\0';
    AnsiToWide(text, size - 1, utf8);
}

namespace {

// SHA-256 of the bytes as 64 lower-case hexadecimal digits, into the per-thread buffer.
const wchar_t* Sha256HexOfBytes(const char* bytes, size_t length)
{
    Sha256Context context;
    Sha256Init(&context);
    Sha256Update(bytes, length, &context);
    uint8_t digest[32];
    Sha256Final(digest, &context);
    // The input holds a password: the hash state goes.
    SecureZeroMemory(&context, sizeof context);
    CopyText(t_sha256Hex, _countof(t_sha256Hex), BytesToHex(digest, sizeof digest));
    CharLowerBuffW(t_sha256Hex, (DWORD)wcslen(t_sha256Hex));
    return t_sha256Hex;
}

std::string Bytes(UINT codePage, const wchar_t* text)
{
    if (!text || !*text)
        return std::string();
    int length = (int)wcslen(text);
    int n = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string bytes(n, '\0');
    WideCharToMultiByte(codePage, 0, text, length, &bytes[0], n, nullptr, nullptr);
    return bytes;
}

}  // namespace

const wchar_t* Sha256HexOfText(const wchar_t* text)
{
    char ansi[512];
    CopyWideToAnsi(ansi, text ? text : L"", sizeof ansi - 1);
    const wchar_t* hex = Sha256HexOfBytes(ansi, strlen(ansi));
    SecureZeroMemory(ansi, sizeof ansi);  // it may hold a password
    return hex;
}

const wchar_t* CInnovaphoneVars::GetUserDigest(const wchar_t* nonce) const
{
    // The user name's UTF-8 bytes go into the hash as they are: taken through the ANSI code
    // page they need not survive (on a double-byte code page a byte from 0x80 up may pair
    // with the next one), and the PBX would refuse the login.
    wchar_t user[128];
    CopyText(user, _countof(user), m_szUser);
    CharLowerBuffW(user, (DWORD)wcslen(user));
    wchar_t head[512], tail[512];
    FormatW(head, _countof(head), L"%s:user:%s:", kClientName, m_szDomain);
    FormatW(tail, _countof(tail), L":%s:%s:%s", m_szPassword, nonce ? nonce : L"", m_szChallenge);
    std::string input = Bytes(CP_ACP, head) + Bytes(CP_UTF8, user) + Bytes(CP_ACP, tail);
    CopyText(t_userDigest, _countof(t_userDigest), Sha256HexOfBytes(input.data(), input.size()));
    SecureZeroMemory(&input[0], input.size());
    SecureZeroMemory(tail, sizeof tail);
    return t_userDigest;
}

const wchar_t* CInnovaphoneVars::GetSessionDigest(const wchar_t* nonce, const wchar_t* password) const
{
    wchar_t input[512];
    FormatW(input, _countof(input), L"%s:session:%s:%s:%s:%s:%s", kClientName, m_szDomain,
            m_szSession, password ? password : L"", nonce ? nonce : L"", m_szChallenge);
    CopyText(t_sessionDigest, _countof(t_sessionDigest), Sha256HexOfText(input));
    SecureZeroMemory(input, sizeof input);
    return t_sessionDigest;
}

void CInnovaphoneVars::PrintValues() const
{
    DebugPrintText(L"PrintValues");
    const struct {
        const wchar_t* format;
        const wchar_t* text;
    } texts[] = {
        {L" m_szConfigFile: %s", m_szConfigFile}, {L" m_szSection: %s", m_szSection},
        {L" m_szURL: %s", m_szURL}, {L" m_szUser: %s", m_szUser}, {L" m_szSend: %s", m_szSend},
        {L" m_szChallenge: %s", m_szChallenge}, {L" m_szBuild: %s", m_szBuild},
        {L" m_szDomain: %s", m_szDomain}, {L" m_szType: %s", m_szType},
        {L" m_szMethod: %s", m_szMethod}, {L" m_szGUID: %s", m_szGUID}, {L" m_szDN: %s", m_szDN},
        {L" m_szCN: %s", m_szCN}, {L" m_szNum: %s", m_szNum}, {L" m_szSip: %s", m_szSip},
        {L" m_szPrefixArea: %s", m_szPrefixArea}, {L" m_szPrefixCountry: %s", m_szPrefixCountry},
        {L" m_szPrefixInt: %s", m_szPrefixInt}, {L" m_szPrefixNat: %s", m_szPrefixNat},
        {L" m_szPrefixSubs: %s", m_szPrefixSubs},
    };
    for (const auto& t : texts)
        DebugPrint(0, t.format, t.text);
    const struct {
        const wchar_t* format;
        DWORD value;
    } numbers[] = {
        {L" m_dwHandleCall: %d", m_dwHandleCall}, {L" m_bLogin: %d", (DWORD)m_bLogin},
        {L" m_hMonitorThread: %d", (DWORD)(UINT_PTR)m_hMonitorThread},
        {L" m_dwMonitorThId: %d", m_dwMonitorThId},
        {L" m_hSessionHandle: %d", (DWORD)(UINT_PTR)m_hSessionHandle},
        {L" m_hConnectionHandle: %d", (DWORD)(UINT_PTR)m_hConnectionHandle},
        {L" m_hWebSocketHandle: %d", (DWORD)(UINT_PTR)m_hWebSocketHandle},
    };
    for (const auto& n : numbers)
        DebugPrint(0, n.format, n.value);
}
