#include "plugin_support/PluginText.h"

#include "foundation/Format.h"
#include "foundation/TextUtils.h"

#include <cwchar>

namespace {
constexpr size_t kModuleValue = 65536;
constexpr size_t kEncoded = 8192;
constexpr size_t kDecoded = 8192;
thread_local wchar_t t_moduleValue[kModuleValue];
thread_local wchar_t t_encoded[kEncoded];
thread_local wchar_t t_decoded[kDecoded];

constexpr wchar_t kReserved[] = L"\"<>%\\^[]`+$,@:;/!#?=& ";

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}
}  // namespace

const wchar_t* GetModuleBusValue(const wchar_t* message, const wchar_t* key)
{
    t_moduleValue[0] = L'\0';
    if (!message || !key)
        return t_moduleValue;
    wchar_t keyword[512];
    if (FormatW(keyword, _countof(keyword), L"%s_%s", kPluginModuleId, key) < 0)
        return t_moduleValue;  // too long to have been written
    CopyText(t_moduleValue, kModuleValue, GetValueByKeyword(message, keyword));
    return t_moduleValue;
}

BOOL IsUrlReservedChar(wchar_t ch)
{
    if (ch < 32 || ch > 122)
        return FALSE;
    return wmemchr(kReserved, ch, _countof(kReserved) - 1) ? TRUE : FALSE;
}

const wchar_t* UrlPercentEncode(const wchar_t* text)
{
    t_encoded[0] = L'\0';
    if (!text)
        return t_encoded;
    size_t length = 0;
    for (const wchar_t* p = text; *p && length < kEncoded - 2; ++p) {
        wchar_t piece[4];
        if (IsUrlReservedChar(*p)) {
            FormatW(piece, _countof(piece), L"%%%02X", static_cast<unsigned>(*p));
        } else {
            piece[0] = *p;
            piece[1] = L'\0';
        }
        // The result holds at most 8,190 characters; an escape may be cut after its percent sign.
        for (const wchar_t* q = piece; *q && length < kEncoded - 2; ++q)
            t_encoded[length++] = *q;
    }
    t_encoded[length] = L'\0';
    return t_encoded;
}

const wchar_t* UrlPercentDecode(const wchar_t* text)
{
    t_decoded[0] = L'\0';
    if (!text)
        return t_decoded;
    size_t length = 0;
    const wchar_t* p = text;
    while (*p && length < kDecoded - 1) {
        if (*p != L'%') {
            t_decoded[length++] = *p++;
            continue;
        }
        ++p;
        unsigned value = 0;
        bool digits = true;
        size_t taken = 0;
        while (taken < 2 && p[taken]) {
            int d = HexValue(p[taken]);
            if (d < 0)
                digits = false;
            else if (digits)
                value = value * 16 + static_cast<unsigned>(d);
            ++taken;
        }
        if (value == 0)
            break;  // the unit 0 ends the decoded text
        t_decoded[length++] = static_cast<wchar_t>(value);
        p += taken;  // never past the end of the text
    }
    t_decoded[length] = L'\0';
    return t_decoded;
}
