// The international display form of a number: ‘+49 (211) 123456’, or ‘+33 612345678’ where
// no area code applies.
#pragma once

#include <windows.h>

// Sorts the area-code lists once (called by the CPredialNumbers constructor).
void InitAreaCodeTables();

// In place on a 32-character buffer; areaCode as for CanonicalisePhoneNumber. A display form
// that does not fit gives the compact canonical form, and if that does not fit either the
// number stays as the caller wrote it: no digit is ever cut off.
void FormatPhoneNumber(wchar_t* number, const wchar_t* areaCode);
