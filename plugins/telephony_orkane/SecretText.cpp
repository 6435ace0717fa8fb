#include "plugins/telephony_orkane/SecretText.h"

#include <windows.h>

#include <cwchar>

#include "foundation/Format.h"
#include "plugins/telephony_orkane/JsonScan.h"

namespace {

thread_local wchar_t t_redacted[8192];

// Members whose value is secret in every message.
const wchar_t* const kAlwaysSecret[] = {L"password", L"pwd", L"usr", L"response", L"digest", L"key",
                                        L"session"};

bool IsSecretMember(const wchar_t* name, size_t length, bool sessionAdded, bool sessionLogin)
{
    for (const wchar_t* secret : kAlwaysSecret)
        if (wcslen(secret) == length && !wcsncmp(name, secret, length))
            return true;
    // The session id of "SessionAdded" and the session's user name of a session login are
    // what a stored session is re-used with.
    if (sessionAdded && length == 2 && !wcsncmp(name, L"id", 2))
        return true;
    return sessionLogin && length == 8 && !wcsncmp(name, L"username", 8);
}

// The end of the JSON value that starts at p; an unclosed one runs to the end of the text.
const wchar_t* SkipValue(const wchar_t* p)
{
    const wchar_t* end = FindJsonValueEnd(p);
    return end ? end : p + wcslen(p);
}

}  // namespace

const wchar_t* RedactSecrets(const wchar_t* text)
{
    t_redacted[0] = L'\0';
    if (!text)
        return t_redacted;
    bool sessionAdded = wcsstr(text, L"\"SessionAdded\"") != nullptr;
    bool sessionLogin = wcsstr(text, L"\"type\":\"session\"") != nullptr;
    size_t out = 0;
    const size_t capacity = _countof(t_redacted) - 1;
    auto put = [&](const wchar_t* from, size_t count) {
        for (size_t i = 0; i < count && out < capacity; ++i)
            t_redacted[out++] = from[i];
    };
    const wchar_t* p = text;
    while (*p) {
        if (*p != L'"') {
            put(p++, 1);
            continue;
        }
        // A string: a member name when a colon follows it.
        const wchar_t* end = SkipValue(p);
        const wchar_t* after = end;
        while (*after == L' ')
            ++after;
        put(p, (size_t)(end - p));
        if (*after == L':' && end - p >= 2 && IsSecretMember(p + 1, (size_t)(end - p - 2), sessionAdded, sessionLogin)) {
            put(end, (size_t)(after - end) + 1);
            const wchar_t* value = after + 1;
            while (*value == L' ')
                ++value;
            put(L"\"***\"", 5);
            p = SkipValue(value);
        } else {
            p = end;
        }
    }
    t_redacted[out] = L'\0';
    return t_redacted;
}
