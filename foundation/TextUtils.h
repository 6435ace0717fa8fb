// Reading bus values and tags, in-place text edits, number conversions and code-page copies.
//
// The readers return a buffer of their own that stays valid until the next call of the same
// reader on the same thread (each thread has its own, so threads never garble each other).
// Callers copy what they keep.
#pragma once

#include <windows.h>

#include <cstddef>

// Bus and tag readers (first occurrence, case-sensitive).
const wchar_t* GetValueByKeyword(const wchar_t* message, const wchar_t* keyword);
const wchar_t* GetValueByKeyword2(const wchar_t* message, const wchar_t* keyword);
const wchar_t* GetTagText(const wchar_t* text, const wchar_t* tag);
const wchar_t* GetTextAfterMarker(const wchar_t* text, const wchar_t* marker);
const wchar_t* GetElementText(const wchar_t* text, const wchar_t* marker);
const wchar_t* GetAttributeText(const wchar_t* text, const wchar_t* name);

// Longest value the bus readers return, in characters.
constexpr size_t kBusValueMax = 65534;

// Decodes the five XML entities (&amp; &lt; &gt; &quot; &apos;) of a bus value into dst,
// at most capacity - 1 characters; any other '&' stays as it is. Returns the length.
size_t DecodeBusValue(wchar_t* dst, size_t capacity, const wchar_t* src, size_t count);

// In-place edits.
void TrimBlanks(wchar_t* text);
void TrimLeadingBlanks(wchar_t* text, size_t size);
void RemoveBlanks(wchar_t* text);
void RemoveQuotes(wchar_t* text);
void RemoveChar(wchar_t* text, wchar_t ch);
void ReplaceChar(wchar_t* text, wchar_t oldCh, wchar_t newCh);
void BlanksToChar(wchar_t* text, wchar_t ch);
void CharToBlanks(wchar_t* text, wchar_t ch);
void QuotedBlanksToChar(wchar_t* text, wchar_t ch);
void CutAtLineEnd(wchar_t* text);

// Numbers and window texts.
const wchar_t* GetTrimmedText(const wchar_t* text);
long ParseNumber(const wchar_t* text);
// Stores at most destSize bytes; returns the number of bytes stored.
size_t ParseHexBytes(BYTE* dest, size_t destSize, const wchar_t* hex);
int IsNumberText(const wchar_t* text);
void SetWindowNumber(HWND window, unsigned number);
unsigned GetWindowNumber(HWND window);
void SetWindowPercent(HWND window, unsigned part, unsigned whole);

// Code-page copies: size counts the characters that may be written before the terminator,
// so the destination holds size + 1 units. The result is always terminated.
void AnsiToWide(wchar_t* dest, size_t size, const char* source);
void WideToAnsi(char* dest, size_t size, const wchar_t* source);
void TcharToWide(wchar_t* dest, size_t size, const wchar_t* source);
void WideToTchar(wchar_t* dest, size_t size, const wchar_t* source);
void CopyAnsiToWide(wchar_t* dest, const char* source, size_t size);
void CopyWideToAnsi(char* dest, const wchar_t* source, size_t size);
void CopyTcharToWide(wchar_t* dest, const wchar_t* source, size_t size);
void CopyWideToTchar(wchar_t* dest, const wchar_t* source, size_t size);
