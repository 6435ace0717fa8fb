#include "telephony_support/CountryCode.h"

#include "telephony_support/NumberTranslationSeams.h"

namespace {

// The E.164 zone plan by first and second digit: 1 and 7 are whole codes; otherwise a
// two-digit code, or a prefix shared by three-digit codes. Unassigned pairs (28, 83, 89) are
// reserved for three-digit codes. Checked against the assigned list in the tests.
const char* const kLengthBySecondDigit[10] = {
    "3333333333",  // 0: no country code begins with 0
    "1111111111",  // 1: North America
    "2333333233",  // 2: 20 Egypt, 27 South Africa
    "2222232332",  // 3
    "2232222222",  // 4
    "3222222223",  // 5
    "2222222333",  // 6
    "1111111111",  // 7: Russia, Kazakhstan
    "3223232333",  // 8
    "2222223323",  // 9
};

}  // namespace

int GetCountryCodeLength(const wchar_t* number)
{
    if (!number || number[0] != L'+' || number[1] < L'0' || number[1] > L'9')
        return 3;
    const char* row = kLengthBySecondDigit[number[1] - L'0'];
    if (number[2] >= L'0' && number[2] <= L'9')
        return row[number[2] - L'0'] - '0';
    // No second digit: only the one-digit zones are sure; a 2 row waits for three digits.
    if (row[0] == '1')
        return 1;
    return number[1] == L'2' || number[1] == L'0' ? 3 : 2;
}

namespace {

// The TAPI identifiers whose dialling code differs from the identifier itself, as in the
// system's telephony country list.
const struct { DWORD id; DWORD code; } kTapiCountryExceptions[] = {
    {379, 39}, {705, 7}, {708, 7}, {2691, 269}, {5399, 53}, {5901, 590}, {6101, 61},
    {6701, 670}, {6702, 670}, {6722, 672},
};

bool CountryFromSystemList(DWORD countryId, DWORD* code)
{
    union {
        LINECOUNTRYLIST list;
        BYTE bytes[4096];
    } block = {};
    block.list.dwTotalSize = sizeof(block);
    if (g_pfnLineGetCountryW(countryId, 0x20000, &block.list) != 0)
        return false;
    const LINECOUNTRYLIST& list = block.list;
    DWORD offset = list.dwCountryListOffset;
    DWORD count = list.dwNumCountries;
    if (count == 0 || offset < sizeof(LINECOUNTRYLIST) || offset > sizeof(block) ||
        count > (sizeof(block) - offset) / sizeof(LINECOUNTRYENTRY))
        return false;
    const LINECOUNTRYENTRY* entries = reinterpret_cast<const LINECOUNTRYENTRY*>(block.bytes + offset);
    for (DWORD i = 0; i < count; ++i) {
        if (entries[i].dwCountryID == countryId && entries[i].dwCountryCode) {
            *code = entries[i].dwCountryCode;
            return true;
        }
    }
    return false;
}

}  // namespace

DWORD CountryCodeFromTapiCountry(DWORD countryId)
{
    if (countryId == 0)
        return 0;
    DWORD code = 0;
    if (CountryFromSystemList(countryId, &code))
        return code;
    if (countryId >= 101 && countryId <= 124)
        return 1;  // the North American members after the United States
    for (const auto& e : kTapiCountryExceptions)
        if (e.id == countryId)
            return e.code;
    return countryId;
}
