// Bounded text formatting with the Windows printf rules.
//
// MinGW's swprintf follows ISO rules in C++ mode (%s is narrow there), while this code base
// writes Windows-style formats (%s wide and %S narrow in wide functions). Every wide format
// therefore goes through these helpers, built on the C runtime's _vsnwprintf. They always
// terminate inside the destination and cut the text to its capacity.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cwchar>

// Formats into dst (capacity in characters, terminator included).
// Returns the length written, or -1 when the text was cut (dst then holds capacity - 1
// characters). A capacity of 0 writes nothing and returns -1.
int FormatW(wchar_t* dst, size_t capacity, const wchar_t* format, ...);
int FormatVW(wchar_t* dst, size_t capacity, const wchar_t* format, va_list args);

// The same for byte texts (%s narrow, %S wide).
int FormatA(char* dst, size_t capacity, const char* format, ...);
int FormatVA(char* dst, size_t capacity, const char* format, va_list args);

// Copies at most capacity - 1 characters and terminates; returns 0 when everything fit,
// 1 when the text was cut. A null source gives an empty text.
int CopyText(wchar_t* dst, size_t capacity, const wchar_t* src);
int CopyTextA(char* dst, size_t capacity, const char* src);

// Appends with the same rules; returns 0 when everything fit, 1 when the text was cut.
int AppendText(wchar_t* dst, size_t capacity, const wchar_t* src);

// Copies at most count characters of src (fewer when it ends sooner), cut to the capacity.
int CopyTextN(wchar_t* dst, size_t capacity, const wchar_t* src, size_t count);

// Length of a text within a bound (never reads past limit characters); null gives 0.
size_t BoundedLength(const wchar_t* text, size_t limit);
