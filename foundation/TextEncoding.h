// Decoding text from web pages, URLs and JSON-like messages, hex, and formatted append.
//
// Static results are per thread and stay valid until the next call of the same function on
// that thread. Capacities count the terminator; nothing is ever written at index capacity.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstddef>

// Appends the formatted text (at most 8,190 characters) to dst, keeping at most capacity - 1
// characters. Returns 0 when everything fit, 1 when the text was cut.
int AppendPrintf(wchar_t* dst, size_t capacity, const wchar_t* format, ...);
int AppendPrintfV(wchar_t* dst, size_t capacity, const wchar_t* format, va_list args);

int DecodeHtmlEntities(wchar_t* text, int dropControls);
size_t AnsiToWideN(const char* ansi, wchar_t* dst, size_t maxChars);
void CopyTerminated(const wchar_t* src, wchar_t* dst, size_t capacity);
void KeepAllowedChars(wchar_t* text, const wchar_t* allowed);
void ReplaceAll(wchar_t* text, size_t capacity, const wchar_t* search, const wchar_t* replacement);
void KeepFirstPlus(wchar_t* text);
const wchar_t* BytesToHex(const BYTE* bytes, size_t count);
// Reads at most count whole pairs of the hex text; returns the number of bytes written.
size_t HexToBytes(BYTE* dst, size_t count, const wchar_t* hex);
const SYSTEMTIME* ParseDateTimeText(SYSTEMTIME* result, const wchar_t* text);
void DecodeUrlPlusSpace(wchar_t* text);
wchar_t* CutAtAmpersand(wchar_t* text);
void ReplaceMarkerFormatted(wchar_t* text, size_t capacity, const wchar_t* marker, const wchar_t* format, ...);
void DecodeUnicodeEscapes(wchar_t* text, size_t capacity);
int MultiByteToWideCharTest(const char* text, UINT codePage, DWORD flags);
int WideCharToMultiByteTest(const wchar_t* text, UINT codePage, DWORD flags);
int EndsWith(const wchar_t* text, const wchar_t* suffix);
wchar_t* CutAtText(wchar_t* text, const wchar_t* marker);
const wchar_t* GetValueAfterKey(const wchar_t* text, const wchar_t* key, wchar_t delimiter, int keepBlank);
int CountOccurrences(const wchar_t* text, const wchar_t* search);
void GetJsonStringValue(wchar_t* dst, size_t capacity, const wchar_t* text, const wchar_t* key);
// UTF-8 of the text, one byte value per 16-bit unit (at most 8,191 units; a cut never splits
// a character's sequence).
const wchar_t* WideToUtf8Units(const wchar_t* text);
// Two-byte sequences for 0x80-0x1FF become single bytes; anything else empties the result.
const char* Utf8PairsToLatin1(const char* bytes);
int ContainsUtf8Sequence(const wchar_t* units);
const wchar_t* FindChar(const wchar_t* text, wchar_t ch);
