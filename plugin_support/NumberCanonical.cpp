#include "plugin_support/NumberCanonical.h"

#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "foundation/TextUtils.h"
#include "plugin_support/NumberDisplay.h"
#include "plugin_support/PredialNumbers.h"

#include <cwchar>

namespace {

constexpr size_t kResultChars = 64;

DWORD g_minimumLength = 4;

thread_local wchar_t t_canonical[kResultChars];
thread_local wchar_t t_intlDial[kResultChars];
thread_local wchar_t t_stripped[kResultChars];
thread_local wchar_t t_dialText[kResultChars];

struct Location {
    const wchar_t* country;
    const wchar_t* area;
    const wchar_t* national;
    const wchar_t* international;
    DWORD number;
};

Location CurrentLocation()
{
    const CPredialNumbers* p = GetPredialNumbers();
    if (!p)
        return {L"", L"", L"", L"", 0};
    return {p->GetCountryCode(), p->GetAreaCode(), p->GetNationalPrefix(), p->GetInternationalPrefix(),
            GetCountryNumber()};
}

bool StartsWith(const wchar_t* text, const wchar_t* prefix)
{
    size_t n = wcslen(prefix);
    return n && wcsncmp(text, prefix, n) == 0;
}

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

wchar_t KeypadDigit(wchar_t c)
{
    static const char kKeys[] = "22233344455566677778889999";
    if (c >= L'a' && c <= L'z')
        return static_cast<wchar_t>(kKeys[c - L'a']);
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(kKeys[c - L'A']);
    return 0;
}

void AppendNational(wchar_t* r, const wchar_t* number, const Location& loc, const wchar_t* area);

}  // namespace

void SetMinimumNumberLength(DWORD length)
{
    g_minimumLength = length;
}

DWORD GetMinimumNumberLength()
{
    return g_minimumLength;
}

const wchar_t* CanonicalisePhoneNumber(wchar_t* number, const wchar_t* areaCode)
{
    wchar_t* r = t_canonical;
    r[0] = L'\0';
    if (!number || !number[0])
        return r;
    const Location loc = CurrentLocation();
    const wchar_t* area = areaCode ? areaCode : loc.area;
    // Long numbers bring their own area code; blanks and dashes do not make a number long.
    size_t digits = 0;
    for (const wchar_t* p = number; *p; ++p)
        digits += IsDigit(*p) ? 1 : 0;
    if (digits > 9)
        area = L"";

    KeepAllowedChars(number, L"+-0123456789()#*");
    if (StartsWith(number, loc.international)) {
        size_t n = wcslen(loc.international);
        number[0] = L'+';
        wmemmove(number + 1, number + n, wcslen(number + n) + 1);
    }
    // One leading '+' at most ("++49" is "+49"), then digits, '#' and '*'.
    wchar_t* out = number;
    bool kept = false, plus = false;
    for (const wchar_t* in = number; *in; ++in) {
        wchar_t c = *in;
        if (IsDigit(c) || c == L'#' || c == L'*') {
            *out++ = c;
            kept = true;
        } else if (c == L'+' && !kept && !plus) {
            *out++ = c;
            plus = true;
        }
    }
    *out = L'\0';

    const size_t len = wcslen(number);
    // Extensions, international numbers, service codes ("*31#...") and numbers without an
    // own country to put in front stay as they are.
    if (len <= g_minimumLength || number[0] == L'*' || number[0] == L'#' || !loc.country[0] || number[0] == L'+') {
        CopyText(r, kResultChars, number);
        if (len <= g_minimumLength || number[0] != L'+')
            return r;
    } else {
        AppendNational(r, number, loc, area);
    }
    // A trunk 0 written after the code (‘+49 (0)711’) is not part of these countries' numbers.
    if ((StartsWith(r, L"+49") || StartsWith(r, L"+43") || StartsWith(r, L"+41")) && r[3] == L'0')
        wmemmove(r + 3, r + 4, wcslen(r + 4) + 1);
    return r;
}

namespace {

void AppendNational(wchar_t* r, const wchar_t* number, const Location& loc, const wchar_t* area)
{
    FormatW(r, kResultChars, L"+%s", loc.country);
    if (StartsWith(number, loc.national)) {
        bool keepsTrunk = loc.number == 37 || loc.number == 39;
        AppendText(r, kResultChars, keepsTrunk ? number : number + wcslen(loc.national));
    } else if (loc.national[0]) {
        if (area[0] && !StartsWith(number, area))
            AppendText(r, kResultChars, area);
        AppendText(r, kResultChars, number);
    } else {
        AppendText(r, kResultChars, number);
    }
}

}  // namespace

const wchar_t* GetCanonicalNumber(wchar_t* number, const wchar_t* areaCode)
{
    if (!number)
        return L"";
    FormatPhoneNumber(number, areaCode);
    KeepAllowedChars(number, L"+0123456789#*");
    return number;
}

const wchar_t* FormatPhoneNumberNoBlanks(wchar_t* number, const wchar_t* areaCode)
{
    if (!number)
        return L"";
    FormatPhoneNumber(number, areaCode);
    if (wcschr(number, L'('))
        RemoveChar(number, L' ');
    return number;
}

const wchar_t* GetInternationalDialString(const wchar_t* number)
{
    wchar_t compact[32];
    CopyText(compact, _countof(compact), number);
    GetCanonicalNumber(compact, nullptr);
    const Location loc = CurrentLocation();
    if (compact[0] == L'+')
        FormatW(t_intlDial, kResultChars, L"%s%s", loc.international, compact + 1);
    else
        CopyText(t_intlDial, kResultChars, compact);
    return t_intlDial;
}

const wchar_t* StripCountryCode(const wchar_t* number, const wchar_t* countryCode)
{
    CopyText(t_stripped, kResultChars, number);
    if (number && number[0] && countryCode && StartsWith(number + 1, countryCode))
        CopyText(t_stripped, kResultChars, number + 1 + wcslen(countryCode));
    return t_stripped;
}

const wchar_t* NumberFromDialText(const wchar_t* text)
{
    wchar_t* r = t_dialText;
    size_t n = 0;
    bool digitsSeen = false, plusSeen = false;
    auto put = [&](wchar_t c) {
        if (n + 1 < kResultChars)
            r[n++] = c;
    };
    for (const wchar_t* p = text ? text : L""; *p; ++p) {
        wchar_t c = *p;
        if (IsDigit(c) || c == L'#' || c == L'*') {
            put(c);
            digitsSeen = true;
        } else if (c == L'+') {
            if (!plusSeen && n == 0) {
                put(L'0');
                put(L'0');
            }
            plusSeen = true;
        } else if (digitsSeen && KeypadDigit(c)) {
            put(KeypadDigit(c));
        }
    }
    r[n] = L'\0';
    // The digits are given back as they are, also when they begin with the own country code:
    // cutting the code out of them would dial another number.
    return r;
}
