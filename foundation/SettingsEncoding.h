// How the settings store keeps a text on one INI line or in one REG_SZ value.
//
// Control characters are escaped: TAB as "\t", LF as "\n", CR as "\r"; every other character,
// a backslash included, is kept, so older files read as they always have. A text that this
// form cannot carry is stored as "#UNI#" and the hex digits of its UTF-16LE bytes instead:
// one with characters above 255, one with a backslash right before 'n', 'r' or 't' (such as
// "C:\new\temp", which would read back with control characters), and one that itself begins
// with the marker.
#pragma once

#include <cstddef>

extern const wchar_t kUnicodeMarker[];  // "#UNI#"

// 1 when any character is above 255; 0 for none or a null text.
int HasWideChars(const wchar_t* text);
// The stored form of a text, escaped, cut at whole characters to capacity - 1.
void EncodeSettingText(wchar_t* dst, size_t capacity, const wchar_t* text);
// Reverses the escapes ("\x" for any other x stays as it is, and so does a backslash).
void UnescapeSettingText(wchar_t* dst, size_t capacity, const wchar_t* text);
// Decodes a "#UNI#" text in place; any other text stays as it is.
void DecodeUnicodeSetting(wchar_t* text, size_t capacity);
