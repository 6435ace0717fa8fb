// Canonical telephone numbers: a plus sign, the country code and the national number, digits
// only, using the dialling location of GetPredialNumbers().
//
// Numbers of at most the minimum length (4) are internal extensions and stay as they are.
// Results are in buffers of this module (64 characters, per thread), valid until the next
// call of the same function.
#pragma once

#include <windows.h>

void SetMinimumNumberLength(DWORD length);
DWORD GetMinimumNumberLength();

// number is filtered in place by the first steps; areaCode null means the location's.
const wchar_t* CanonicalisePhoneNumber(wchar_t* number, const wchar_t* areaCode);
// The display form without blanks and brackets, in place (the destination of a call).
const wchar_t* GetCanonicalNumber(wchar_t* number, const wchar_t* areaCode);
// The display form; with an area code also without blanks (‘+49(711)12345’).
const wchar_t* FormatPhoneNumberNoBlanks(wchar_t* number, const wchar_t* areaCode);
// The location's international prefix and the compact number without its '+'.
const wchar_t* GetInternationalDialString(const wchar_t* number);
const wchar_t* StripCountryCode(const wchar_t* number, const wchar_t* countryCode);
// The dialable digits of a free text such as a URL target (‘tel:+49-711-FLOWERS’).
const wchar_t* NumberFromDialText(const wchar_t* text);
