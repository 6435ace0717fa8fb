#include "foundation/TextEncoding.h"

#include "foundation/DebugOutput.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

thread_local wchar_t g_szAppendScratch[8191];
thread_local wchar_t t_hex[1024];
thread_local wchar_t t_valueAfterKey[2048];
thread_local wchar_t t_utf8Units[8192];
thread_local char t_latin1[512];
thread_local SYSTEMTIME t_dateTime;

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace

int AppendPrintfV(wchar_t* dst, size_t capacity, const wchar_t* format, va_list args)
{
    if (!dst || capacity == 0)
        return 1;
    int cut = FormatVW(g_szAppendScratch, _countof(g_szAppendScratch), format, args) < 0 ? 1 : 0;
    return AppendText(dst, capacity, g_szAppendScratch) | cut;
}

int AppendPrintf(wchar_t* dst, size_t capacity, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int r = AppendPrintfV(dst, capacity, format, args);
    va_end(args);
    return r;
}

int DecodeHtmlEntities(wchar_t* text, int dropControls)
{
    static const struct { const wchar_t* name; wchar_t ch; } kNamed[] = {
        {L"&amp;", L'&'}, {L"&apos;", L'\''}, {L"&lt;", L'<'}, {L"&gt;", L'>'},
        {L"&quot;", L'"'}, {L"&nbsp;", L' '},
    };
    if (!text)
        return 0;
    wchar_t* out = text;
    const wchar_t* in = text;
    while (*in) {
        wchar_t c = *in;
        if (dropControls && (c == L'\t' || c == L'\n' || c == L'\r')) {
            ++in;
            continue;
        }
        if (c == L'&') {
            if (in[1] == L'#') {
                // "&#" decimal digits ";" (a whole reference only; anything else stays).
                const wchar_t* p = in + 2;
                unsigned long code = 0;
                int digits = 0;
                while (*p >= L'0' && *p <= L'9' && digits < 7) {
                    code = code * 10 + (*p - L'0');
                    ++p;
                    ++digits;
                }
                if (digits > 0 && *p == L';' && code > 0 && code <= 0xFFFF) {
                    *out++ = static_cast<wchar_t>(code);
                    in = p + 1;
                    continue;
                }
            } else {
                bool matched = false;
                for (const auto& e : kNamed) {
                    size_t len = wcslen(e.name);
                    if (wcsncmp(in, e.name, len) == 0) {
                        *out++ = e.ch;
                        in += len;
                        matched = true;
                        break;
                    }
                }
                if (matched)
                    continue;
            }
        }
        *out++ = c;
        ++in;
    }
    *out = L'\0';
    return 0;
}

size_t AnsiToWideN(const char* ansi, wchar_t* dst, size_t maxChars)
{
    if (!dst)
        return 0;
    dst[0] = L'\0';
    if (!ansi || maxChars == 0)
        return 0;
    int need = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ansi, -1, nullptr, 0);
    if (need <= 0)
        return 0;
    std::vector<wchar_t> all(static_cast<size_t>(need));
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ansi, -1, all.data(), need);
    size_t n = wcslen(all.data());
    if (n > maxChars)
        n = maxChars;
    wmemcpy(dst, all.data(), n);
    dst[n] = L'\0';
    return n;
}

void CopyTerminated(const wchar_t* src, wchar_t* dst, size_t capacity)
{
    CopyText(dst, capacity, src);
}

void KeepAllowedChars(wchar_t* text, const wchar_t* allowed)
{
    if (!text)
        return;
    wchar_t* out = text;
    for (const wchar_t* in = text; *in; ++in)
        if (allowed && wcschr(allowed, *in))
            *out++ = *in;
    *out = L'\0';
}

void ReplaceAll(wchar_t* text, size_t capacity, const wchar_t* search, const wchar_t* replacement)
{
    if (!text || capacity == 0 || !search || !*search)
        return;
    if (!replacement)
        replacement = L"";
    const size_t kWork = 262144;
    std::vector<wchar_t> work;  // on the heap: far too large for a thread's stack
    work.reserve(1024);
    size_t searchLen = wcslen(search);
    size_t replLen = wcslen(replacement);
    const wchar_t* p = text;
    while (*p && work.size() < kWork - 1) {
        if (wcsncmp(p, search, searchLen) == 0) {
            work.insert(work.end(), replacement, replacement + replLen);
            p += searchLen;
        } else {
            work.push_back(*p++);
        }
    }
    if (work.size() > kWork - 1)
        work.resize(kWork - 1);
    work.push_back(L'\0');
    CopyText(text, capacity, work.data());
}

void KeepFirstPlus(wchar_t* text)
{
    if (!text || !*text)
        return;
    wchar_t* out = text + 1;
    for (const wchar_t* in = text + 1; *in; ++in)
        if (*in != L'+')
            *out++ = *in;
    *out = L'\0';
}

const wchar_t* BytesToHex(const BYTE* bytes, size_t count)
{
    t_hex[0] = L'\0';
    if (!bytes)
        return t_hex;
    if (count > 511)
        count = 511;
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        t_hex[2 * i] = kDigits[bytes[i] >> 4];
        t_hex[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    t_hex[2 * count] = L'\0';
    return t_hex;
}

size_t HexToBytes(BYTE* dst, size_t count, const wchar_t* hex)
{
    if (!dst || !hex)
        return 0;
    size_t pairs = wcslen(hex) / 2;
    if (pairs > count)
        pairs = count;
    for (size_t i = 0; i < pairs; ++i) {
        int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
        dst[i] = (hi < 0 || lo < 0) ? 0 : static_cast<BYTE>(hi * 16 + lo);
    }
    return pairs;
}

const SYSTEMTIME* ParseDateTimeText(SYSTEMTIME* result, const wchar_t* text)
{
    wchar_t copy[32] = L"";
    CopyText(copy, _countof(copy), text);
    size_t len = wcslen(copy);
    auto field = [&](size_t from, size_t count) -> WORD {
        if (from >= len)
            return 0;
        wchar_t part[8] = L"";
        CopyTextN(part, _countof(part), copy + from, count);
        return static_cast<WORD>(wcstoul(part, nullptr, 10));
    };
    SYSTEMTIME st = {};
    st.wYear = field(0, 4);
    st.wMonth = field(5, 2);
    st.wDay = field(8, 2);
    st.wHour = field(11, 2);
    st.wMinute = field(14, 2);
    st.wSecond = field(17, 2);
    t_dateTime = st;
    if (result)
        *result = st;
    return &t_dateTime;
}

void DecodeUrlPlusSpace(wchar_t* text)
{
    if (!text)
        return;
    wchar_t* out = text;
    const wchar_t* in = text;
    while (*in) {
        if (*in != L'%') {
            *out++ = *in++;
            continue;
        }
        if (in[1] == L'2' && (in[2] == L'B' || in[2] == L'b')) {
            *out++ = L'+';
            in += 3;
        } else if (in[1] == L'2' && in[2] == L'0') {
            *out++ = L' ';
            in += 3;
        } else {
            // Any other escape is dropped whole; never past the terminator.
            ++in;
            for (int i = 0; i < 2 && *in; ++i)
                ++in;
        }
    }
    *out = L'\0';
}

wchar_t* CutAtAmpersand(wchar_t* text)
{
    if (!text)
        return nullptr;
    wchar_t* p = wcschr(text, L'&');
    if (p)
        *p = L'\0';
    return p;
}

void ReplaceMarkerFormatted(wchar_t* text, size_t capacity, const wchar_t* marker, const wchar_t* format, ...)
{
    if (!text || !*text || !marker || !*marker || capacity == 0)
        return;
    wchar_t value[256];
    va_list args;
    va_start(args, format);
    FormatVW(value, _countof(value), format, args);
    va_end(args);
    std::vector<wchar_t> copy(4096);
    CopyText(copy.data(), copy.size(), text);
    ReplaceAll(copy.data(), copy.size(), marker, value);
    CopyText(text, capacity, copy.data());
}

void DecodeUnicodeEscapes(wchar_t* text, size_t capacity)
{
    if (!text || capacity == 0)
        return;
    wchar_t copy[1024];
    CopyText(copy, _countof(copy), text);
    wchar_t out[1024];
    size_t o = 0;
    for (size_t i = 0; copy[i] && o + 1 < _countof(out);) {
        if (copy[i] == L'\\' && copy[i + 1] == L'u') {
            int d[4];
            bool ok = true;
            for (int k = 0; k < 4; ++k) {
                wchar_t c = copy[i + 2 + k];
                d[k] = c ? HexDigit(c) : -1;
                if (d[k] < 0) {
                    ok = false;
                    break;
                }
            }
            if (ok) {
                out[o++] = static_cast<wchar_t>((d[0] << 12) | (d[1] << 8) | (d[2] << 4) | d[3]);
                i += 6;
                continue;
            }
        }
        out[o++] = copy[i++];
    }
    out[o] = L'\0';
    CopyText(text, capacity, out);
}

int MultiByteToWideCharTest(const char* text, UINT codePage, DWORD flags)
{
    wchar_t output[512] = L"";
    int count = MultiByteToWideChar(codePage, flags, text ? text : "", -1, output, 511);
    DWORD error = GetLastError();
    output[511] = L'\0';
    DebugPrintRaw(L"---------------------------------------------");
    DebugPrintRaw(L" MultiByteToWideCharTest");
    DebugPrintRaw(L" Input:  (%04d Chars) %S", text ? static_cast<int>(strlen(text)) : 0, text ? text : "");
    DebugPrintRaw(L" Output: (%04d Chars) %s", count, output);
    if (error)
        DebugPrintRaw(L"Error: %d %s", static_cast<int>(error), GetErrorText(error));
    DebugPrintRaw(L"---------------------------------------------");
    return count;
}

int WideCharToMultiByteTest(const wchar_t* text, UINT codePage, DWORD flags)
{
    char output[512] = "";
    int count = WideCharToMultiByte(codePage, flags, text ? text : L"", -1, output, 511, nullptr, nullptr);
    DWORD error = GetLastError();
    output[511] = '\0';
    DebugPrintRaw(L"---------------------------------------------");
    DebugPrintRaw(L" WideCharToMultiByteTest");
    DebugPrintRaw(L" Input:  (%04d Chars) %s", text ? static_cast<int>(wcslen(text)) : 0, text ? text : L"");
    DebugPrintRaw(L" Output: (%04d Chars) %S", count, output);
    if (error)
        DebugPrintRaw(L"Error: %d %s", static_cast<int>(error), GetErrorText(error));
    DebugPrintRaw(L"---------------------------------------------");
    return count;
}

int EndsWith(const wchar_t* text, const wchar_t* suffix)
{
    if (!text || !suffix || !*text || !*suffix)
        return 0;
    size_t t = wcslen(text), s = wcslen(suffix);
    return s <= t && wcscmp(text + t - s, suffix) == 0 ? 1 : 0;
}

wchar_t* CutAtText(wchar_t* text, const wchar_t* marker)
{
    if (!text || !marker || !*marker)
        return nullptr;
    wchar_t* p = wcsstr(text, marker);
    if (p)
        *p = L'\0';
    return p;
}

const wchar_t* GetValueAfterKey(const wchar_t* text, const wchar_t* key, wchar_t delimiter, int keepBlank)
{
    t_valueAfterKey[0] = L'\0';
    if (!text || !key || !*key)
        return t_valueAfterKey;
    const wchar_t* p = wcsstr(text, key);
    if (!p)
        return t_valueAfterKey;
    p += wcslen(key);
    if (!*p)  // no separator: nothing follows the key
        return t_valueAfterKey;
    ++p;
    CopyText(t_valueAfterKey, _countof(t_valueAfterKey), p);
    for (wchar_t* q = t_valueAfterKey; *q; ++q)
        if (*q == delimiter || *q == L'}') {
            *q = L'\0';
            break;
        }
    if (!keepBlank && t_valueAfterKey[0] == L' ')
        t_valueAfterKey[0] = L'\0';
    return t_valueAfterKey;
}

int CountOccurrences(const wchar_t* text, const wchar_t* search)
{
    if (!text || !search || !*search)
        return 0;
    int count = 0;
    for (const wchar_t* p = wcsstr(text, search); p; p = wcsstr(p + 1, search))
        ++count;
    return count;
}

void GetJsonStringValue(wchar_t* dst, size_t capacity, const wchar_t* text, const wchar_t* key)
{
    if (!dst || capacity == 0 || !text || !key)
        return;
    wchar_t search[128];
    if (FormatW(search, _countof(search), L"\"%s\":", key) < 0)
        return;
    const wchar_t* p = wcsstr(text, search);
    if (!p)
        return;
    CopyText(dst, capacity, p + wcslen(search));
    CutAtText(dst, L"\",");
    RemoveQuotes(dst);
}

const wchar_t* WideToUtf8Units(const wchar_t* text)
{
    t_utf8Units[0] = 0;
    if (!text)
        return t_utf8Units;
    const size_t limit = _countof(t_utf8Units) - 1;
    size_t o = 0;
    for (size_t i = 0; text[i]; ++i) {
        unsigned long code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        BYTE seq[4];
        size_t n;
        if (code < 0x80) {
            seq[0] = static_cast<BYTE>(code);
            n = 1;
        } else if (code < 0x800) {
            seq[0] = static_cast<BYTE>(0xC0 | (code >> 6));
            seq[1] = static_cast<BYTE>(0x80 | (code & 63));
            n = 2;
        } else if (code < 0x10000) {
            seq[0] = static_cast<BYTE>(0xE0 | (code >> 12));
            seq[1] = static_cast<BYTE>(0x80 | ((code >> 6) & 63));
            seq[2] = static_cast<BYTE>(0x80 | (code & 63));
            n = 3;
        } else {
            seq[0] = static_cast<BYTE>(0xF0 | (code >> 18));
            seq[1] = static_cast<BYTE>(0x80 | ((code >> 12) & 63));
            seq[2] = static_cast<BYTE>(0x80 | ((code >> 6) & 63));
            seq[3] = static_cast<BYTE>(0x80 | (code & 63));
            n = 4;
        }
        if (o + n > limit)
            break;
        for (size_t k = 0; k < n; ++k)
            t_utf8Units[o++] = seq[k];
    }
    t_utf8Units[o] = 0;
    return t_utf8Units;
}

const char* Utf8PairsToLatin1(const char* bytes)
{
    t_latin1[0] = '\0';
    if (!bytes)
        return t_latin1;
    size_t o = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    while (*p) {
        unsigned char c = *p;
        unsigned char value;
        if (c < 0x80) {
            value = c;
            ++p;
        } else if (c >= 0xC0 && c <= 0xC7 && p[1] && (p[1] & 0xC0) == 0x80) {
            unsigned code = ((c & 7u) << 6) | (p[1] & 63u);
            if (code < 0x80) {
                t_latin1[0] = '\0';
                return t_latin1;
            }
            value = static_cast<unsigned char>(code);
            p += 2;
        } else {
            t_latin1[0] = '\0';
            return t_latin1;
        }
        if (o + 1 >= sizeof(t_latin1))
            break;  // cut at the buffer, never past it
        t_latin1[o++] = static_cast<char>(value);
    }
    t_latin1[o] = '\0';
    return t_latin1;
}

int ContainsUtf8Sequence(const wchar_t* units)
{
    if (!units)
        return 0;
    for (size_t i = 0; units[i]; ++i) {
        wchar_t c = units[i];
        if (c > 255)
            return 0;
        int follow = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
        if (!follow)
            continue;
        bool ok = true;
        for (int k = 1; k <= follow; ++k) {
            wchar_t n = units[i + k];
            if (n == 0 || n > 255 || (n & 0xC0) != 0x80) {
                ok = false;
                break;
            }
        }
        if (ok)
            return 1;
    }
    return 0;
}

const wchar_t* FindChar(const wchar_t* text, wchar_t ch)
{
    return text ? wcschr(text, ch) : nullptr;
}
