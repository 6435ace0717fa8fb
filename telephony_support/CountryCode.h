// The length of the international country code at the start of a number.
#pragma once

// For a text that begins with '+': 1, 2 or 3, the number of digits of the E.164 country code
// after the plus sign, told from its first two digits (country codes are prefix-free).
// A first digit 0, a non-digit or the end of the text gives 3.
int GetCountryCodeLength(const wchar_t* number);

#include <windows.h>

// The dialling code of a TAPI country identifier as the dialling locations store it
// (Canada's 107 is 1, Kazakhstan's 705 is 7): from the system's country list, or from the
// identifiers known to differ when that list cannot be read.
DWORD CountryCodeFromTapiCountry(DWORD countryId);
