// Small text filters shared by the modules: dialable numbers, setting texts, scrambling.
#pragma once

#include <windows.h>

int IsDialChar(wchar_t ch);
int CountDigits(const wchar_t* text);
// Keeps what can be dialled (digits, the first '+', " -.()#*/"), single blanks, no blank at
// either end. Returns 1 when digits remain, else 0 with the text unchanged.
int FilterDialableNumber(wchar_t* text, size_t capacity);
// Turns "{name:value;name:value}" groups into their values, one group per line.
void FilterText(wchar_t* text);
// A reversible mapping of a short text (at most 63 characters) to digits and letters.
const wchar_t* ScrambleText(const wchar_t* text);
const wchar_t* UnscrambleText(const wchar_t* text);
int GetSettingGroupValue(const wchar_t* xml, const wchar_t* groupMarker, const wchar_t* settingMarker,
                         wchar_t* destination, size_t capacity);
// 1 for an "HTTP..." address, 2 for an existing file, else 0.
int ClassifyTarget(const wchar_t* text);
// The text holds one byte per unit; decodes those bytes as UTF-8 in place. Returns the
// character count, 0 on invalid UTF-8 or a capacity below 511.
int Utf8UnitsToWide(wchar_t* text, size_t capacity);
int IsGermanLocale();
// The same test on a given locale id (the system's default in IsGermanLocale).
int IsGermanLocaleId(LCID locale);
