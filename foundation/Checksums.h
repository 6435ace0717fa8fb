// CRC-32 (ISO-HDLC) and the 16-bit table checksum that turns folder names and texts into
// short numbers for kernel-object names.
#pragma once

#include <windows.h>

class CCrc32 {
public:
    CCrc32();
    virtual ~CCrc32() = default;
    DWORD Calculate(const void* bytes, size_t length) const;
    static DWORD Reflect(DWORD value, int bits);

private:
    void BuildTable();
    DWORD m_table[256];
};

class CSimpleCRC {
public:
    virtual ~CSimpleCRC() = default;
    unsigned Calculate(const void* bytes, size_t length) const;
    // The same over a UTF-16 text's bytes (length = 2 x characters).
    unsigned CalculateString(const void* bytes, size_t length) const { return Calculate(bytes, length); }
    // 0 for a missing, empty or unreadable file.
    unsigned CalculateFile(const wchar_t* path) const;
    unsigned GetTableEntry(unsigned value) const;
};
