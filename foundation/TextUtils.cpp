#include "foundation/TextUtils.h"

#include "foundation/Format.h"
#include "foundation/TextEncoding.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

constexpr size_t kValueBuffer = 65536;

thread_local wchar_t t_value1[kValueBuffer];
thread_local wchar_t t_value2[kValueBuffer];
thread_local wchar_t t_tag[8000];
thread_local wchar_t t_afterMarker[256];
thread_local wchar_t t_element[1024];
thread_local wchar_t t_attribute[512];
thread_local wchar_t t_trimmed[512];

const wchar_t* FindText(const wchar_t* text, const wchar_t* what)
{
    if (!text || !what || !*what)
        return nullptr;
    return wcsstr(text, what);
}

const wchar_t* ReadValue(wchar_t* buffer, const wchar_t* message, const wchar_t* keyword)
{
    buffer[0] = L'\0';
    if (!message || !keyword)
        return buffer;
    wchar_t search[512];
    if (FormatW(search, _countof(search), L"<value keyword=\"%s\">", keyword) < 0)
        return buffer;  // a keyword that long can never have been written
    const wchar_t* start = wcsstr(message, search);
    if (!start)
        return buffer;
    start += wcslen(search);
    const wchar_t* end = wcsstr(start, L"</value>");
    if (!end)
        return buffer;
    DecodeBusValue(buffer, kBusValueMax + 1, start, static_cast<size_t>(end - start));
    return buffer;
}

bool IsBlank(wchar_t c) { return c == L' '; }

}  // namespace

size_t DecodeBusValue(wchar_t* dst, size_t capacity, const wchar_t* src, size_t count)
{
    static const struct { const wchar_t* name; size_t len; wchar_t ch; } kEntities[] = {
        {L"&amp;", 5, L'&'}, {L"&lt;", 4, L'<'}, {L"&gt;", 4, L'>'},
        {L"&quot;", 6, L'"'}, {L"&apos;", 6, L'\''},
    };
    if (!dst || capacity == 0)
        return 0;
    size_t out = 0;
    size_t i = 0;
    while (i < count && src[i] && out + 1 < capacity) {
        wchar_t c = src[i];
        if (c == L'&') {
            bool matched = false;
            for (const auto& e : kEntities) {
                if (i + e.len <= count && wcsncmp(src + i, e.name, e.len) == 0) {
                    dst[out++] = e.ch;
                    i += e.len;
                    matched = true;
                    break;
                }
            }
            if (matched)
                continue;
        }
        dst[out++] = c;
        ++i;
    }
    dst[out] = L'\0';
    return out;
}

const wchar_t* GetValueByKeyword(const wchar_t* message, const wchar_t* keyword)
{
    return ReadValue(t_value1, message, keyword);
}

const wchar_t* GetValueByKeyword2(const wchar_t* message, const wchar_t* keyword)
{
    return ReadValue(t_value2, message, keyword);
}

const wchar_t* GetTagText(const wchar_t* text, const wchar_t* tag)
{
    t_tag[0] = L'\0';
    if (!text || !tag)
        return t_tag;
    wchar_t open[64], close[64];
    if (FormatW(open, _countof(open), L"%s>", tag) < 0 || FormatW(close, _countof(close), L"</%s", tag) < 0)
        return t_tag;
    const wchar_t* start = wcsstr(text, open);
    if (!start)
        return t_tag;
    start += wcslen(open);
    if (!wcsstr(start, close))
        return t_tag;
    CopyTextN(t_tag, _countof(t_tag) - 1, start, _countof(t_tag) - 2);
    if (wchar_t* cut = wcsstr(t_tag, close))
        *cut = L'\0';
    return t_tag;
}

const wchar_t* GetTextAfterMarker(const wchar_t* text, const wchar_t* marker)
{
    t_afterMarker[0] = L'\0';
    const wchar_t* start = FindText(text, marker);
    if (!start)
        return t_afterMarker;
    start = wcschr(start + wcslen(marker), L'>');
    if (!start)
        return t_afterMarker;
    CopyTextN(t_afterMarker, _countof(t_afterMarker) - 1, start + 1, _countof(t_afterMarker) - 2);
    if (wchar_t* cut = wcschr(t_afterMarker, L'<'))
        *cut = L'\0';
    return t_afterMarker;
}

const wchar_t* GetElementText(const wchar_t* text, const wchar_t* marker)
{
    t_element[0] = L'\0';
    const wchar_t* start = FindText(text, marker);
    if (!start)
        return t_element;
    wchar_t close[128];
    if (FormatW(close, _countof(close), L"</%s", marker) < 0)
        return t_element;
    start = wcschr(start + wcslen(marker), L'>');
    if (!start)
        return t_element;
    CopyTextN(t_element, _countof(t_element) - 1, start + 1, _countof(t_element) - 2);
    if (wchar_t* cut = wcsstr(t_element, close))
        *cut = L'\0';
    return t_element;
}

const wchar_t* GetAttributeText(const wchar_t* text, const wchar_t* name)
{
    t_attribute[0] = L'\0';
    if (!text || !name)
        return t_attribute;
    wchar_t open[32];
    if (FormatW(open, _countof(open), L"<%s=", name) < 0)
        return t_attribute;
    const wchar_t* start = wcsstr(text, open);
    if (!start)
        return t_attribute;
    start += wcslen(open);
    const wchar_t* end = wcsstr(start, L"/>");
    if (!end)
        return t_attribute;
    CopyTextN(t_attribute, _countof(t_attribute) - 1, start, static_cast<size_t>(end - start));
    return t_attribute;
}

void TrimBlanks(wchar_t* text)
{
    if (!text)
        return;
    size_t lead = 0;
    while (IsBlank(text[lead]))
        ++lead;
    size_t len = wcslen(text + lead);
    memmove(text, text + lead, (len + 1) * sizeof(wchar_t));
    while (len > 0 && IsBlank(text[len - 1]))
        text[--len] = L'\0';
}

void TrimLeadingBlanks(wchar_t* text, size_t size)
{
    if (!text || size == 0)
        return;
    size_t lead = 0;
    while (IsBlank(text[lead]))
        ++lead;
    size_t len = wcslen(text + lead);
    if (len > size - 1)
        len = size - 1;
    memmove(text, text + lead, len * sizeof(wchar_t));
    text[len] = L'\0';
}

void RemoveChar(wchar_t* text, wchar_t ch)
{
    if (!text)
        return;
    wchar_t* out = text;
    for (const wchar_t* in = text; *in; ++in)
        if (*in != ch)
            *out++ = *in;
    *out = L'\0';
}

void RemoveBlanks(wchar_t* text) { RemoveChar(text, L' '); }
void RemoveQuotes(wchar_t* text) { RemoveChar(text, L'"'); }

void ReplaceChar(wchar_t* text, wchar_t oldCh, wchar_t newCh)
{
    if (!text)
        return;
    for (; *text; ++text)
        if (*text == oldCh)
            *text = newCh;
}

void BlanksToChar(wchar_t* text, wchar_t ch) { ReplaceChar(text, L' ', ch); }
void CharToBlanks(wchar_t* text, wchar_t ch) { ReplaceChar(text, ch, L' '); }

void QuotedBlanksToChar(wchar_t* text, wchar_t ch)
{
    if (!text || !*text)
        return;
    bool inside = false;
    for (wchar_t* p = text + 1; *p; ++p) {
        if (*p == L'\'') {
            inside = !inside;
            *p = L' ';
        } else if (*p == L' ' && inside) {
            *p = ch;
        }
    }
}

void CutAtLineEnd(wchar_t* text)
{
    if (!text)
        return;
    for (; *text; ++text)
        if (*text == L'\r' || *text == L'\n') {
            *text = L'\0';
            return;
        }
}

const wchar_t* GetTrimmedText(const wchar_t* text)
{
    t_trimmed[0] = L'\0';
    if (!text)
        return t_trimmed;
    while (IsBlank(*text))
        ++text;
    CopyText(t_trimmed, _countof(t_trimmed) - 1, text);
    TrimBlanks(t_trimmed);
    return t_trimmed;
}

long ParseNumber(const wchar_t* text)
{
    if (!text)
        return 0;
    if (text[0] && text[1] == L'x') {
        unsigned value = 0;
        if (swscanf(text, L"%X", &value) == 1)  // "%X" skips a leading "0x"
            return static_cast<long>(value);
        return 0;
    }
    return wcstol(text, nullptr, 10);
}

size_t ParseHexBytes(BYTE* dest, size_t destSize, const wchar_t* hex)
{
    return HexToBytes(dest, destSize, hex);
}

int IsNumberText(const wchar_t* text)
{
    if (!text || !*text)
        return 0;
    for (; *text; ++text)
        if (!wcschr(L"0123456789.", *text))
            return 0;
    return 1;
}

void SetWindowNumber(HWND window, unsigned number)
{
    wchar_t text[32];
    FormatW(text, _countof(text), L" %u", number);
    SetWindowTextW(window, text);
}

unsigned GetWindowNumber(HWND window)
{
    wchar_t text[32] = L"";
    GetWindowTextW(window, text, _countof(text));
    return static_cast<unsigned>(wcstoul(text, nullptr, 10));
}

void SetWindowPercent(HWND window, unsigned part, unsigned whole)
{
    double percent = whole ? static_cast<double>(part) / whole * 100.0 : 0.0;
    wchar_t text[64];
    FormatW(text, _countof(text), L"  %0.2f%%", percent);
    SetWindowTextW(window, text);
}

void AnsiToWide(wchar_t* dest, size_t size, const char* source)
{
    if (!dest)
        return;
    dest[0] = L'\0';
    if (!source)
        return;
    size_t n = strlen(source);
    if (n > size)
        n = size;
    int written = n ? MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, source, static_cast<int>(n), dest,
                                          static_cast<int>(size)) : 0;
    dest[written > 0 ? written : 0] = L'\0';
}

void WideToAnsi(char* dest, size_t size, const wchar_t* source)
{
    if (!dest)
        return;
    dest[0] = '\0';
    if (!source || size == 0)
        return;
    // Convert whole, then keep what fits without splitting a double-byte character.
    int need = WideCharToMultiByte(CP_ACP, 0, source, -1, nullptr, 0, nullptr, nullptr);
    if (need <= 0)
        return;
    std::vector<char> all(static_cast<size_t>(need));
    WideCharToMultiByte(CP_ACP, 0, source, -1, all.data(), need, nullptr, nullptr);
    size_t len = strlen(all.data());
    size_t keep = 0;
    while (keep < len) {
        size_t step = IsDBCSLeadByte(static_cast<BYTE>(all[keep])) && keep + 1 < len ? 2 : 1;
        if (keep + step > size)
            break;
        keep += step;
    }
    memcpy(dest, all.data(), keep);
    dest[keep] = '\0';
}

void TcharToWide(wchar_t* dest, size_t size, const wchar_t* source)
{
    if (!dest)
        return;
    CopyTextN(dest, size + 1, source, size);
}

void WideToTchar(wchar_t* dest, size_t size, const wchar_t* source) { TcharToWide(dest, size, source); }
void CopyAnsiToWide(wchar_t* dest, const char* source, size_t size) { AnsiToWide(dest, size, source); }
void CopyWideToAnsi(char* dest, const wchar_t* source, size_t size) { WideToAnsi(dest, size, source); }
void CopyTcharToWide(wchar_t* dest, const wchar_t* source, size_t size) { TcharToWide(dest, size, source); }
void CopyWideToTchar(wchar_t* dest, const wchar_t* source, size_t size) { TcharToWide(dest, size, source); }
