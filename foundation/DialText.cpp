#include "foundation/DialText.h"

#include "foundation/FolderTools.h"
#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "foundation/TextUtils.h"

#include <cwchar>
#include <vector>

namespace {

thread_local wchar_t t_scrambled[128];
thread_local wchar_t t_unscrambled[128];

// Marks a scrambled character above 255: two pairs (high byte, low byte) follow. It lies
// outside the range that pairs use ('0' to 'N'), so texts of Latin-1 keep their old form.
constexpr wchar_t kWideMark = L'~';

}  // namespace

int IsDialChar(wchar_t ch)
{
    return (ch >= L'0' && ch <= L'9') || (ch && wcschr(L"#()*+-./", ch)) ? 1 : 0;
}

int CountDigits(const wchar_t* text)
{
    int n = 0;
    for (; text && *text; ++text)
        if (*text >= L'0' && *text <= L'9')
            ++n;
    return n;
}

int FilterDialableNumber(wchar_t* text, size_t capacity)
{
    if (!text || capacity == 0)
        return 0;
    wchar_t copy[1024];
    CopyText(copy, _countof(copy), text);
    bool plusSeen = false;
    for (wchar_t* p = copy; *p; ++p) {
        if (!IsDialChar(*p))
            *p = L' ';
        else if (*p == L'+') {
            if (plusSeen)
                *p = L' ';
            plusSeen = true;
        }
    }
    KeepAllowedChars(copy, L" +-.()#*/0123456789");
    wchar_t* out = copy;
    for (const wchar_t* in = copy; *in; ++in)
        if (!(*in == L' ' && out > copy && out[-1] == L' '))
            *out++ = *in;
    *out = L'\0';
    if (!copy[0] || CountDigits(copy) == 0)
        return 0;  // nothing to dial: the caller's text stays as it was
    TrimBlanks(copy);
    CopyText(text, capacity, copy);
    return 1;
}

void FilterText(wchar_t* text)
{
    if (!text)
        return;
    bool copying = false;
    wchar_t prev = 0;
    wchar_t* out = text;
    for (const wchar_t* in = text; *in; ++in) {
        wchar_t c = *in;
        if (c == L'{') {
            copying = false;
        } else if (c == L';') {
            copying = true;
        } else if (c == L':') {
            if (in[1] == L' ' || in[1] == L';') {
                ++in;
                if (*in == L' ' && in[1] == L';')
                    ++in;
            } else {
                copying = true;
            }
        } else if (c == L'}') {
            if (copying)
                *out++ = L'\n';
        } else if (c == L' ') {
            if (copying && prev != L' ' && prev != L':')
                *out++ = c;
        } else if (copying) {
            *out++ = c;
        }
        prev = c;
    }
    *out = L'\0';
}

const wchar_t* ScrambleText(const wchar_t* text)
{
    if (!text)
        return t_scrambled;
    size_t o = 0;
    const size_t limit = _countof(t_scrambled) - 1;
    int number = 1;
    for (const wchar_t* p = text; *p; ++p, ++number) {
        wchar_t k = static_cast<wchar_t>(number & 15);
        unsigned c = *p;
        if (c <= 255) {
            if (o + 2 > limit)
                break;
            t_scrambled[o++] = static_cast<wchar_t>(L'0' + k + ((c >> 4) & 15));
            t_scrambled[o++] = static_cast<wchar_t>(L'0' + k + (c & 15));
        } else {
            if (o + 5 > limit)
                break;
            t_scrambled[o++] = kWideMark;
            for (unsigned byte : {c >> 8, c & 0xFF}) {
                t_scrambled[o++] = static_cast<wchar_t>(L'0' + k + ((byte >> 4) & 15));
                t_scrambled[o++] = static_cast<wchar_t>(L'0' + k + (byte & 15));
            }
        }
    }
    t_scrambled[o] = L'\0';
    return t_scrambled;
}

const wchar_t* UnscrambleText(const wchar_t* text)
{
    if (!text)
        return t_unscrambled;
    size_t o = 0;
    int number = 1;
    auto pairValue = [](const wchar_t* at, int k) -> unsigned {
        int hi = at[0] - L'0' - k, lo = at[1] - L'0' - k;
        return static_cast<unsigned>(((hi & 15) << 4) | (lo & 15));
    };
    for (const wchar_t* p = text; *p && o + 1 < _countof(t_unscrambled); ++number) {
        int k = number & 15;
        if (*p == kWideMark) {
            if (!p[1] || !p[2] || !p[3] || !p[4])
                break;
            t_unscrambled[o++] = static_cast<wchar_t>((pairValue(p + 1, k) << 8) | pairValue(p + 3, k));
            p += 5;
        } else {
            if (!p[1])
                break;
            t_unscrambled[o++] = static_cast<wchar_t>(pairValue(p, k));
            p += 2;
        }
    }
    t_unscrambled[o] = L'\0';
    return t_unscrambled;
}

int GetSettingGroupValue(const wchar_t* xml, const wchar_t* groupMarker, const wchar_t* settingMarker,
                         wchar_t* destination, size_t capacity)
{
    if (destination && capacity)
        destination[0] = L'\0';
    if (!xml || !groupMarker || !*groupMarker || !settingMarker || !*settingMarker || !destination || !capacity)
        return 0;
    std::vector<wchar_t> copy(16000);
    CopyText(copy.data(), copy.size(), xml);
    wchar_t* group = wcsstr(copy.data(), groupMarker);
    if (!group)
        return 0;
    if (wchar_t* end = wcsstr(group, L"</settingGroup>"))
        *end = L'\0';
    wchar_t* setting = wcsstr(group + wcslen(groupMarker), settingMarker);
    if (!setting)
        return 0;
    wchar_t* value = wcsstr(setting, L"value=\"");
    if (!value)
        return 0;
    value += 7;
    wchar_t* close = wcschr(value, L'"');
    if (!close)
        return 0;
    CopyTextN(destination, capacity, value, static_cast<size_t>(close - value));
    return 1;
}

int ClassifyTarget(const wchar_t* text)
{
    if (!text || !*text)
        return 0;
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text, wcslen(text) >= 4 ? 4 : -1, L"HTTP", 4) == CSTR_EQUAL)
        return 1;
    return IsExistingFile(text) ? 2 : 0;
}

int Utf8UnitsToWide(wchar_t* text, size_t capacity)
{
    if (!text || capacity < 511)
        return 0;
    // The units are byte values already: take each as it is (a code page would change them).
    char bytes[512];
    size_t n = 0;
    for (; text[n] && n < 511; ++n) {
        if (text[n] > 255)
            return 0;
        bytes[n] = static_cast<char>(text[n]);
    }
    bytes[n] = '\0';
    if (n == 0) {
        text[0] = L'\0';
        return 0;
    }
    std::vector<wchar_t> wide(capacity);
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(n), wide.data(),
                                    static_cast<int>(capacity - 1));
    if (count <= 0)
        return 0;
    wide[count] = L'\0';
    CopyText(text, capacity, wide.data());
    return count;
}

int IsGermanLocaleId(LCID locale)
{
    switch (LANGIDFROMLCID(locale)) {
    case 0x0407: case 0x0807: case 0x0C07: case 0x1007: case 0x1407:
        return 1;
    default:
        return 0;
    }
}

int IsGermanLocale()
{
    wchar_t text[16] = L"";
    GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_ILANGUAGE, text, _countof(text));
    return IsGermanLocaleId(static_cast<LCID>(wcstoul(text, nullptr, 16)));
}
