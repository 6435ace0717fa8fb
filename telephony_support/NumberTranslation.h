// Preparing numbers for dialling through the Windows telephony dialling rules, and cleaning
// caller-identification texts as some telephony providers deliver them.
//
// Number buffers hold 32 characters; they are edited with a capacity of 31 (terminator
// included). Results in static buffers are per thread and valid until the next call.
#pragma once

#include <windows.h>

constexpr size_t kNumberBufferCapacity = 31;

// The dialable number for the current dialling location: the digits and commas of what the
// dialling rules give. GetLastError() is 0 on success, else a LINEERR_ code; then the number
// is returned untranslated (with the blank behind its country code).
const wchar_t* TranslateNumber(const wchar_t* number, LONG ownCountryCode);

// Puts a blank behind the country code of a number that begins with '+' (‘+493012345’ becomes
// ‘+49 3012345’), unless one is already there or the number would lose a character. TRUE when
// the number has no '+' or its country code is the own one.
BOOL NormalizeInternationalNumber(wchar_t* number, LONG ownCountryCode);

// ‘NCaller <0301234>’ and ‘T0301234’ become ‘0301234’; other texts stay.
void CleanCallerId(wchar_t* callerId);
