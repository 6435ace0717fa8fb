#include "foundation/Credentials.h"

#include "foundation/Format.h"
#include "foundation/TextUtils.h"

#include <wincred.h>

#include <cstring>
#include <vector>

namespace {

thread_local wchar_t t_byTarget[256];
thread_local wchar_t t_byParts[256];

void JoinTarget(wchar_t* dst, size_t capacity, const wchar_t* a, const wchar_t* b, const wchar_t* c)
{
    CopyText(dst, capacity, a);
    AppendText(dst, capacity, b);
    AppendText(dst, capacity, c);
}

BOOL WriteTarget(const wchar_t* target, const wchar_t* secret)
{
    wchar_t text[256];
    CopyText(text, _countof(text), secret);
    CREDENTIALW cred = {};
    cred.Type = CRED_TYPE_GENERIC;
    cred.TargetName = const_cast<LPWSTR>(target);
    cred.CredentialBlobSize = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    cred.CredentialBlob = reinterpret_cast<LPBYTE>(text);
    cred.Persist = CRED_PERSIST_LOCAL_MACHINE;
    return CredWriteW(&cred, 0);
}

// Copies a blob that need not be terminated, never reading past its size.
void CopyBlob(wchar_t* dst, size_t capacity, const BYTE* blob, DWORD size, bool allowAnsi)
{
    dst[0] = L'\0';
    if (!blob || size == 0)
        return;
    // A first UTF-16 unit of at most 255 (its high byte 0) marks the text this module writes;
    // anything else is another program's 8-bit text.
    bool wide = size >= 2 && blob[1] == 0;
    if (wide || !allowAnsi) {
        CopyTextN(dst, capacity, reinterpret_cast<const wchar_t*>(blob), size / sizeof(wchar_t));
        return;
    }
    std::vector<char> ansi(blob, blob + size);
    ansi.push_back('\0');
    AnsiToWide(dst, capacity - 1, ansi.data());
}

const wchar_t* ReadTarget(wchar_t* result, size_t capacity, const wchar_t* target, bool allowAnsi)
{
    result[0] = L'\0';
    if (!target)
        return result;
    PCREDENTIALW cred = nullptr;
    if (!CredReadW(target, CRED_TYPE_GENERIC, 0, &cred))
        return result;
    CopyBlob(result, capacity, cred->CredentialBlob, cred->CredentialBlobSize, allowAnsi);
    CredFree(cred);
    return result;
}

}  // namespace

BOOL WriteCredentialByTarget(const wchar_t* target, const wchar_t* secret)
{
    wchar_t name[64];
    CopyText(name, _countof(name), target);
    return WriteTarget(name, secret);
}

BOOL WriteCredential(const wchar_t* part1, const wchar_t* part2, const wchar_t* part3, const wchar_t* secret)
{
    wchar_t name[128];
    JoinTarget(name, _countof(name), part1, part2, part3);
    SetLastError(0);
    return WriteTarget(name, secret);
}

const wchar_t* ReadCredentialByTarget(const wchar_t* target)
{
    wchar_t name[64];
    CopyText(name, _countof(name), target);
    return ReadTarget(t_byTarget, _countof(t_byTarget), name, false);
}

const wchar_t* ReadCredential(const wchar_t* part1, const wchar_t* part2, const wchar_t* part3)
{
    wchar_t name[128];
    JoinTarget(name, _countof(name), part1, part2, part3);
    return ReadTarget(t_byParts, _countof(t_byParts), name, true);
}

BOOL DeleteCredential(const wchar_t* part1, const wchar_t* part2, const wchar_t* part3)
{
    wchar_t name[128];
    JoinTarget(name, _countof(name), part1, part2, part3);
    return CredDeleteW(name, CRED_TYPE_GENERIC, 0);
}
