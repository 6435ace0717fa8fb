#include "telephony_support/CountryCode.h"

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
