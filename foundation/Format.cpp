#include "foundation/Format.h"

#include <cstdio>
#include <cstring>

// _vsnwprintf and _vsnprintf are msvcrt's own entries (Windows printf rules), never the
// ISO implementations that MinGW puts behind swprintf in C++ mode.

int FormatVW(wchar_t* dst, size_t capacity, const wchar_t* format, va_list args)
{
    if (!dst || capacity == 0)
        return -1;
    if (!format) {
        dst[0] = L'\0';
        return 0;
    }
    int n = _vsnwprintf(dst, capacity - 1, format, args);
    if (n < 0 || static_cast<size_t>(n) >= capacity) {
        dst[capacity - 1] = L'\0';
        return -1;
    }
    dst[n] = L'\0';
    return n;
}

int FormatW(wchar_t* dst, size_t capacity, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = FormatVW(dst, capacity, format, args);
    va_end(args);
    return n;
}

int FormatVA(char* dst, size_t capacity, const char* format, va_list args)
{
    if (!dst || capacity == 0)
        return -1;
    if (!format) {
        dst[0] = '\0';
        return 0;
    }
    int n = _vsnprintf(dst, capacity - 1, format, args);
    if (n < 0 || static_cast<size_t>(n) >= capacity) {
        dst[capacity - 1] = '\0';
        return -1;
    }
    dst[n] = '\0';
    return n;
}

int FormatA(char* dst, size_t capacity, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = FormatVA(dst, capacity, format, args);
    va_end(args);
    return n;
}

size_t BoundedLength(const wchar_t* text, size_t limit)
{
    if (!text)
        return 0;
    size_t n = 0;
    while (n < limit && text[n])
        ++n;
    return n;
}

int CopyTextN(wchar_t* dst, size_t capacity, const wchar_t* src, size_t count)
{
    if (!dst || capacity == 0)
        return 1;
    size_t n = BoundedLength(src, count);
    int cut = 0;
    if (n > capacity - 1) {
        n = capacity - 1;
        cut = 1;
    }
    if (n)
        memmove(dst, src, n * sizeof(wchar_t));
    dst[n] = L'\0';
    return cut;
}

int CopyText(wchar_t* dst, size_t capacity, const wchar_t* src)
{
    if (!dst || capacity == 0)
        return 1;
    size_t n = BoundedLength(src, capacity);
    int cut = n >= capacity ? 1 : 0;
    return CopyTextN(dst, capacity, src, n) | cut;
}

int CopyTextA(char* dst, size_t capacity, const char* src)
{
    if (!dst || capacity == 0)
        return 1;
    size_t n = 0;
    if (src)
        while (n < capacity && src[n])
            ++n;
    int cut = 0;
    if (n > capacity - 1) {
        n = capacity - 1;
        cut = 1;
    }
    if (n)
        memmove(dst, src, n);
    dst[n] = '\0';
    return cut;
}

int AppendText(wchar_t* dst, size_t capacity, const wchar_t* src)
{
    if (!dst || capacity == 0)
        return 1;
    size_t len = BoundedLength(dst, capacity);
    if (len >= capacity) {  // an unterminated destination: terminate it at its end
        dst[capacity - 1] = L'\0';
        return 1;
    }
    return CopyText(dst + len, capacity - len, src);
}
