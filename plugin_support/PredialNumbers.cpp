#include "plugin_support/PredialNumbers.h"

#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "plugin_support/NumberDisplay.h"
#include "telephony_support/CountryCode.h"
#include "telephony_support/NumberTranslation.h"

#include <cwchar>
#include <initializer_list>

const wchar_t kTelephonyLocationsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";

namespace {

constexpr size_t kFieldCopy = 31;  // 32-character fields keep at most 30 characters

CPredialNumbers* g_predials = nullptr;
DWORD g_countryNumber = 0;

// Dial strings of up to three prefixes and the number: never cut inside this buffer.
thread_local wchar_t t_dialString[128];

struct Range {
    DWORD from, to;
};

bool InRanges(const Range* ranges, size_t count, DWORD code)
{
    for (size_t i = 0; i < count; ++i)
        if (code >= ranges[i].from && code <= ranges[i].to)
            return true;
    return false;
}

const Range kNoAreaCode[] = {
    {33, 34}, {45, 45}, {47, 47}, {65, 65}, {216, 216}, {220, 231}, {235, 239}, {241, 242}, {245, 248},
    {250, 250}, {253, 253}, {257, 257}, {261, 262}, {265, 269}, {290, 290}, {298, 299}, {350, 350},
    {352, 352}, {354, 354}, {356, 356}, {376, 379}, {388, 388}, {423, 423}, {500, 509}, {590, 590},
    {594, 594}, {596, 597}, {670, 670}, {673, 683}, {685, 689}, {691, 692}, {800, 809}, {852, 853},
    {870, 879}, {881, 882}, {960, 960}, {965, 965}, {968, 968}, {973, 974}, {979, 979}, {991, 991},
    {999, 999},
};

// Countries whose own prefixes differ from "0" and "00". A null national prefix leaves it.
struct PredialRow {
    const Range* codes;
    size_t count;
    const wchar_t* national;
    const wchar_t* international;
};
const Range kP1[] = {{1, 1}, {691, 692}};
const Range kP8[] = {{7, 7}, {375, 375}, {380, 380}, {992, 993}, {995, 995}, {998, 998}};
const Range kP36[] = {{36, 36}};
const Range kP52[] = {{52, 52}};
const Range kP53[] = {{53, 53}};
const Range kP57[] = {{57, 57}};
const Range kP61[] = {{61, 61}};
const Range kP001[] = {{62, 62}, {66, 66}, {82, 82}, {855, 855}};
const Range kP81[] = {{81, 81}};
const Range kP234[] = {{234, 234}};
const Range kP000[] = {{254, 256}};
const Range kP268[] = {{268, 268}};
const Range kP370[] = {{370, 371}};
const Range kP886[] = {{886, 886}};
const Range kU001[] = {{65, 65}, {592, 592}, {852, 852}};
const Range kU15[] = {{235, 235}};
const Range kU0[] = {{238, 238}, {685, 685}};
const Range kU05[] = {{675, 675}};
const Range kU011[] = {{680, 680}};
const Range kU99[] = {{850, 850}};
const Range kU00[] = {
    {33, 34}, {45, 45}, {47, 47}, {95, 95}, {220, 231}, {236, 237}, {239, 242}, {245, 248}, {250, 250},
    {252, 253}, {257, 258}, {261, 262}, {265, 267}, {290, 290}, {297, 299}, {350, 352}, {354, 354},
    {356, 357}, {376, 378}, {420, 420}, {423, 423}, {500, 504}, {506, 509}, {590, 590}, {594, 594},
    {596, 597}, {670, 670}, {674, 674}, {676, 679}, {681, 683}, {687, 690}, {853, 853}, {960, 960},
    {968, 968}, {973, 975},
};
#define ROW(r, n, i) {r, _countof(r), n, i}
const PredialRow kPredials[] = {
    ROW(kP1, L"1", L"011"), ROW(kP8, L"8", L"810"), ROW(kP36, L"06", L"00"), ROW(kP52, L"01", L"00"),
    ROW(kP53, L"0", L"119"), ROW(kP57, L"09", L"009"), ROW(kP61, L"0", L"0011"), ROW(kP001, L"0", L"001"),
    ROW(kP81, L"0", L"010"), ROW(kP234, L"0", L"009"), ROW(kP000, L"0", L"000"), ROW(kP268, L"0", L"00*"),
    ROW(kP370, L"8", L"00"), ROW(kP886, L"0", L"002"), ROW(kU001, nullptr, L"001"), ROW(kU15, nullptr, L"15"),
    ROW(kU0, nullptr, L"0"), ROW(kU05, nullptr, L"05"), ROW(kU011, nullptr, L"011"), ROW(kU99, nullptr, L"99"),
    ROW(kU00, nullptr, L"00"),
};
#undef ROW

bool StartsWith(const wchar_t* text, const wchar_t* prefix)
{
    size_t n = wcslen(prefix);
    return n && wcsncmp(text, prefix, n) == 0;
}

void RemoveHead(wchar_t* text, size_t count)
{
    size_t len = wcslen(text);
    if (count > len)
        count = len;
    wmemmove(text, text + count, len - count + 1);
}

}  // namespace

BOOL IsCountryWithoutAreaCode(DWORD code)
{
    return InRanges(kNoAreaCode, _countof(kNoAreaCode), code);
}

CPredialNumbers* GetPredialNumbers()
{
    return g_predials;
}

DWORD GetCountryNumber()
{
    return g_countryNumber;
}

CPredialNumbers::CPredialNumbers(HKEY root, const wchar_t* locationsKey)
    : m_root(root), m_currentLocation(0), m_countryCodeLength(0)
{
    CopyText(m_locationsKey, _countof(m_locationsKey), locationsKey);
    m_countryCode[0] = m_areaCode[0] = m_outsideAccess[0] = m_longDistanceAccess[0] = L'\0';
    m_nationalPrefix[0] = m_internationalPrefix[0] = m_longDistanceCarrierCode[0] = m_internationalCarrierCode[0] = L'\0';
    g_predials = this;
    ReadCurrentLocation();
    InitAreaCodeTables();
}

CPredialNumbers::~CPredialNumbers()
{
    if (g_predials == this)
        g_predials = nullptr;
}

DWORD CPredialNumbers::GetCountryNumber() const
{
    return g_countryNumber;
}

bool CPredialNumbers::OpenLocation(DWORD n)
{
    wchar_t path[300];
    if (FormatW(path, _countof(path), L"%s\\Location%d", m_locationsKey, static_cast<int>(n)) < 0)
        return false;
    return OpenExistingKey(m_root, path) == ERROR_SUCCESS;
}

// A string value cut to a 32-character field; empty when absent.
void CPredialNumbers::ReadText(const wchar_t* name, wchar_t* field)
{
    ReadString(name, field, kFieldCopy, L"");
}

BOOL CPredialNumbers::ReadCurrentLocation()
{
    if (OpenExistingKey(m_root, m_locationsKey) != ERROR_SUCCESS)
        return FALSE;
    DWORD current = 0;
    bool read = ReadDword(L"CurrentID", &current, 0) != 0;
    CloseKey();
    if (!read)
        return FALSE;
    if (LoadSubLocation(current)) {
        m_currentLocation = current;
    } else {
        for (DWORD n = 0; n < 20; ++n) {
            if (LoadSubLocation(n)) {
                m_currentLocation = n;
                break;
            }
        }
    }
    GeneratePredials();
    return TRUE;
}

void CPredialNumbers::SetCountry(DWORD code)
{
    g_countryNumber = code;
    FormatW(m_countryCode, kFieldCopy, L"%d", static_cast<int>(code));
    m_countryCodeLength = static_cast<DWORD>(wcslen(m_countryCode));
}

// Keeps the digits of an area code without the trunk prefix ("0711" is "711"); Italy keeps
// its leading 0, which belongs to the number there ("06" for Rome). An empty or zero area
// code leaves the stored one.
void CPredialNumbers::StoreAreaCode(const wchar_t* text)
{
    if (!text)
        return;
    while (*text == L' ')
        ++text;
    wchar_t digits[32];
    size_t n = 0;
    while (n + 1 < kFieldCopy && text[n] >= L'0' && text[n] <= L'9') {
        digits[n] = text[n];
        ++n;
    }
    digits[n] = L'\0';
    const wchar_t* first = digits;
    while (*first == L'0')
        ++first;
    if (!*first)
        return;
    CopyText(m_areaCode, kFieldCopy, g_countryNumber == 39 ? digits : first);
}

BOOL CPredialNumbers::LoadSubLocation(DWORD n)
{
    if (!OpenLocation(n))
        return FALSE;
    DWORD country = 0;
    if (ReadDword(L"Country", &country, 0))
        SetCountry(CountryCodeFromTapiCountry(country));
    wchar_t area[32];
    ReadText(L"AreaCode", area);
    StoreAreaCode(area);
    ReadText(L"OutsideAccess", m_outsideAccess);
    ReadText(L"LongDistanceAccess", m_longDistanceAccess);
    ReadText(L"LongDistanceCarrierCode", m_longDistanceCarrierCode);
    ReadText(L"InternationalCarrierCode", m_internationalCarrierCode);
    CloseKey();
    return TRUE;
}

BOOL CPredialNumbers::CheckLocationCountries()
{
    BOOL allSet = TRUE;
    for (DWORD n = 0; n < 50; ++n) {
        if (!OpenLocation(n))
            continue;
        DWORD country = 0;
        ReadDword(L"Country", &country, 0);
        CloseKey();
        if (country == 0)
            allSet = FALSE;
    }
    return allSet;
}

BOOL CPredialNumbers::IsLocationComplete()
{
    wchar_t area[32] = L"";
    DWORD country = 0;
    if (OpenLocation(m_currentLocation)) {
        ReadText(L"AreaCode", area);
        ReadDword(L"Country", &country, 0);
        CloseKey();
    }
    if (area[0])
        return TRUE;
    if (IsCountryWithoutAreaCode(CountryCodeFromTapiCountry(country)))
        return TRUE;
    for (DWORD n = 0; n < 10; ++n) {
        if (OpenLocation(n)) {
            ReadText(L"AreaCode", area);
            CloseKey();
            if (area[0])
                return TRUE;
        }
    }
    return FALSE;
}

void CPredialNumbers::SetTestParameters(DWORD country, const wchar_t* area, const wchar_t* outsideAccess,
                                        const wchar_t* longDistanceAccess, const wchar_t* longDistanceCarrier,
                                        const wchar_t* internationalCarrier)
{
    SetCountry(country);
    CopyText(m_areaCode, kFieldCopy, area);
    CopyText(m_outsideAccess, kFieldCopy, outsideAccess);
    CopyText(m_longDistanceAccess, kFieldCopy, longDistanceAccess);
    CopyText(m_longDistanceCarrierCode, kFieldCopy, longDistanceCarrier);
    CopyText(m_internationalCarrierCode, kFieldCopy, internationalCarrier);
    GeneratePredials();
}

void CPredialNumbers::SetCountryCode(const wchar_t* text)
{
    if (!text || !text[0])
        return;
    CopyText(m_countryCode, kFieldCopy, text);
    g_countryNumber = static_cast<DWORD>(_wtoi(m_countryCode));
    m_countryCodeLength = static_cast<DWORD>(wcslen(m_countryCode));
}

void CPredialNumbers::SetAreaCode(const wchar_t* text)
{
    StoreAreaCode(text);
}

void CPredialNumbers::SetInternationalPrefix(const wchar_t* text)
{
    if (text && text[0])
        CopyText(m_internationalPrefix, kFieldCopy, text);
}

void CPredialNumbers::SetNationalPrefix(const wchar_t* text)
{
    CopyText(m_nationalPrefix, kFieldCopy, text);
}

void CPredialNumbers::SetOutsideLinePrefix(const wchar_t* text)
{
    CopyText(m_outsideAccess, kFieldCopy, text);
    CopyText(m_longDistanceAccess, kFieldCopy, text);
}

void CPredialNumbers::GeneratePredials()
{
    for (const PredialRow& row : kPredials) {
        if (InRanges(row.codes, row.count, g_countryNumber)) {
            if (row.national)
                CopyText(m_nationalPrefix, kFieldCopy, row.national);
            CopyText(m_internationalPrefix, kFieldCopy, row.international);
            return;
        }
    }
    CopyText(m_nationalPrefix, kFieldCopy, L"0");
    CopyText(m_internationalPrefix, kFieldCopy, L"00");
}

void CPredialNumbers::StripToneAccess(wchar_t* text) const
{
    if (!text || text[0] != L'T')
        return;
    // Only a whole access prefix is skipped: comparing its first character alone would skip
    // digits of the number, or read past a short one.
    for (const wchar_t* access : {m_outsideAccess, m_longDistanceAccess}) {
        if (StartsWith(text + 1, access)) {
            RemoveHead(text + 1, wcslen(access));
            return;
        }
    }
}

void CPredialNumbers::RemoveDialPrefix(wchar_t* text) const
{
    if (!text)
        return;
    if (StartsWith(text, m_internationalPrefix))
        RemoveHead(text, wcslen(m_internationalPrefix));
    else if (StartsWith(text, m_nationalPrefix))
        RemoveHead(text, wcslen(m_nationalPrefix));
}

void CPredialNumbers::RemoveNationalPrefixes(wchar_t* text) const
{
    if (!text || !m_internationalPrefix[0])
        return;
    wchar_t prefix[64];
    FormatW(prefix, _countof(prefix), L"%s%d", m_internationalPrefix, static_cast<int>(g_countryNumber));
    if (StartsWith(text, prefix))
        RemoveHead(text, wcslen(prefix));
}

BOOL CPredialNumbers::InsertCountryBlank(wchar_t* text) const
{
    if (!text)
        return TRUE;
    return NormalizeInternationalNumber(text, static_cast<LONG>(g_countryNumber));
}

void CPredialNumbers::KeepDigits(wchar_t* text)
{
    KeepAllowedChars(text, L"0123456789");
}

void CPredialNumbers::CleanDialString(wchar_t* text)
{
    if (!text)
        return;
    wchar_t* out = text;
    bool plusSeen = false;
    for (const wchar_t* in = text; *in && *in != L';'; ++in) {
        wchar_t c = *in;
        if (c == L'+') {
            *out++ = plusSeen ? L' ' : L'+';
            plusSeen = true;
        } else if ((c >= L'0' && c <= L'9') || wcschr(L" #()*-.", c)) {
            *out++ = c;
        }
    }
    *out = L'\0';
}

const wchar_t* CPredialNumbers::BuildDialString(const wchar_t* text) const
{
    wchar_t* b = t_dialString;
    const size_t cap = _countof(t_dialString);
    b[0] = L'\0';
    if (!text || !text[0])
        return b;
    if (text[0] != L'+') {
        CopyText(b, cap, text);
    } else {
        size_t len = wcslen(text);
        size_t ccLen = static_cast<size_t>(::GetCountryCodeLength(text));
        if (ccLen > len - 1)
            ccLen = len - 1;
        const wchar_t* rest = text + 1 + ccLen;
        bool own = m_countryCode[0] && wcslen(m_countryCode) == ccLen && wcsncmp(text + 1, m_countryCode, ccLen) == 0;
        if (own && !m_longDistanceCarrierCode[0]) {
            CopyText(b, cap, m_longDistanceAccess);
            if (g_countryNumber != 39)
                AppendText(b, cap, m_nationalPrefix);
            AppendText(b, cap, rest);
        } else if (own) {
            CopyText(b, cap, m_longDistanceCarrierCode);
            AppendText(b, cap, rest);
        } else {
            CopyText(b, cap, m_longDistanceAccess);
            AppendText(b, cap, m_internationalPrefix);
            AppendText(b, cap, text + 1);
        }
    }
    KeepAllowedChars(b, L"+0123456789*#");
    return b;
}

BOOL CPredialNumbers::GetDialString(wchar_t* text) const
{
    if (!text || BoundedLength(text, 32) <= 4)
        return TRUE;
    wchar_t number[32];
    CopyText(number, kFieldCopy, text);
    if (number[0] != L'+') {
        if (!m_outsideAccess[0] && !m_longDistanceAccess[0])
            return TRUE;
    }
    FormatPhoneNumber(number, m_areaCode);
    wchar_t dial[_countof(t_dialString)];
    CopyText(dial, _countof(dial), BuildDialString(number));
    CleanDialString(dial);
    // A cut dial string would dial another number: keep the caller's one instead.
    if (wcslen(dial) + 1 > kFieldCopy)
        return FALSE;
    CopyText(text, kFieldCopy, dial);
    return TRUE;
}
