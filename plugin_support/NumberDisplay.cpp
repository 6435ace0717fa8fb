#include "plugin_support/NumberDisplay.h"

#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "plugin_support/NumberAreaData.h"
#include "plugin_support/NumberCanonical.h"
#include "plugin_support/NumberCountryRules.h"
#include "plugin_support/PredialNumbers.h"
#include "telephony_support/CountryCode.h"

#include <algorithm>
#include <cwchar>

namespace {

constexpr size_t kDisplayChars = 64;
constexpr size_t kCallerChars = 32;  // the caller's buffer; at most 31 characters used

thread_local wchar_t t_display[kDisplayChars];

struct Range {
    unsigned from, to;
};

template <size_t N>
bool In(const Range (&ranges)[N], unsigned cc)
{
    for (const Range& r : ranges)
        if (cc >= r.from && cc <= r.to)
            return true;
    return false;
}

const Range kFixed1[] = {
    {61, 61}, {64, 64}, {212, 212}, {240, 240}, {243, 244}, {252, 252}, {386, 387}, {591, 593},
    {599, 599}, {673, 673}, {690, 690}, {850, 850}, {967, 967}, {970, 970}, {975, 975}, {998, 998},
};
const Range kFixed2[] = {
    {52, 52}, {55, 55}, {93, 93}, {249, 249}, {254, 254}, {375, 375}, {380, 380}, {855, 856}, {963, 963},
};
const Range kFixed3[] = {
    {1, 1}, {7, 7}, {58, 58}, {90, 90}, {98, 98}, {213, 213}, {232, 232}, {251, 251}, {291, 291},
    {297, 297}, {966, 966},
};

// "+cc rest" or "+cc (area) rest" into the display buffer. An area code that would leave no
// subscriber digits is not split off.
void FormatWithArea(size_t n, const wchar_t* cc, const wchar_t* national)
{
    if (n == 0 || n >= wcslen(national)) {
        FormatW(t_display, kDisplayChars, L"+%s %s", cc, national);
        return;
    }
    FormatW(t_display, kDisplayChars, L"+%s (", cc);
    size_t used = wcslen(t_display);
    CopyTextN(t_display + used, kDisplayChars - used, national, n);
    AppendText(t_display, kDisplayChars, L") ");
    AppendText(t_display, kDisplayChars, national + n);
}

const AreaCodeList* FindList(unsigned cc)
{
    for (size_t i = 0; i < g_areaCodeListCount; ++i)
        if (g_areaCodeLists[i].country == cc)
            return &g_areaCodeLists[i];
    return nullptr;
}

bool InTable(const AreaCodeList& list, DWORD v)
{
    size_t low = 0, high = list.count;
    for (int step = 0; step < 19 && low < high; ++step) {
        size_t mid = (low + high) / 2;
        if (list.codes[mid] == v)
            return true;
        if (list.codes[mid] < v)
            low = mid + 1;
        else
            high = mid;
    }
    return false;
}

size_t AreaLengthByTable(const AreaCodeList& list, const wchar_t* national)
{
    DWORD v = 0;
    for (size_t i = 0; i < 8 && national[i] >= L'0' && national[i] <= L'9'; ++i)
        v = v * 10 + (national[i] - L'0');
    while (v && !InTable(list, v))
        v /= 10;
    if (!v)
        return national[0] >= L'0' && national[0] <= L'9' ? 1 : 0;
    wchar_t digits[16];
    FormatW(digits, _countof(digits), L"%u", static_cast<unsigned>(v));
    return wcslen(digits);
}

// Builds the display form of a canonical number; false when it stays canonical.
bool BuildDisplay(const wchar_t* canonical)
{
    size_t ccLen = static_cast<size_t>(GetCountryCodeLength(canonical));
    if (wcslen(canonical) < 1 + ccLen)
        return false;
    wchar_t cc[4] = L"";
    CopyTextN(cc, _countof(cc), canonical + 1, ccLen);
    const unsigned code = static_cast<unsigned>(_wtoi(cc));
    const wchar_t* national = canonical + 1 + ccLen;
    int n = -1;
    // The countries a location needs no area code for, except Brunei, shown with one digit.
    if (code != 673 && IsCountryWithoutAreaCode(code))
        n = 0;
    else if (In(kFixed1, code))
        n = 1;
    else if (In(kFixed2, code))
        n = 2;
    else if (In(kFixed3, code))
        n = 3;
    else if (const AreaCodeList* list = FindList(code))
        n = static_cast<int>(AreaLengthByTable(*list, national));
    else
        n = CountryAreaLength(code, canonical, national);
    if (n < 0)
        return false;
    FormatWithArea(static_cast<size_t>(n), cc, national);
    return true;
}

}  // namespace

void InitAreaCodeTables()
{
    for (size_t i = 0; i < g_areaCodeListCount; ++i) {
        AreaCodeList& list = g_areaCodeLists[i];
        if (list.count)
            continue;  // once
        size_t count = 0;
        while (list.codes[count])
            ++count;
        std::sort(list.codes, list.codes + count);
        list.count = count;
    }
}

void FormatPhoneNumber(wchar_t* number, const wchar_t* areaCode)
{
    if (!number || BoundedLength(number, kCallerChars) <= GetMinimumNumberLength())
        return;
    InitAreaCodeTables();
    // Canonicalising filters the caller's buffer: keep what the caller wrote.
    wchar_t original[kCallerChars];
    CopyText(original, _countof(original), number);
    wchar_t canonical[kDisplayChars];
    CopyText(canonical, _countof(canonical), CanonicalisePhoneNumber(number, areaCode));
    const wchar_t* result = canonical;
    if (wcslen(canonical) > GetMinimumNumberLength() && canonical[0] == L'+') {
        if (canonical[1] == L'0')
            result = original;
        else if (BuildDisplay(canonical))
            result = t_display;
    }
    // A form that does not fit would lose digits of the number that is then dialled.
    if (wcslen(result) >= kCallerChars)
        result = canonical;
    if (wcslen(result) >= kCallerChars)
        result = original;
    CopyText(number, kCallerChars, result);
}
