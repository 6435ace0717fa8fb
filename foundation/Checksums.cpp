#include "foundation/Checksums.h"

#include <cstdio>
#include <vector>

#include "foundation/SimpleCrcTable.inc"

CCrc32::CCrc32() : m_table{}
{
    BuildTable();
}

DWORD CCrc32::Reflect(DWORD value, int bits)
{
    DWORD result = 0;
    for (int i = 0; i < bits; ++i)
        if (value & (1u << i))
            result |= 1u << (bits - 1 - i);
    return result;
}

void CCrc32::BuildTable()
{
    for (DWORD i = 0; i < 256; ++i) {
        DWORD r = Reflect(i, 8) << 24;
        for (int k = 0; k < 8; ++k)
            r = (r << 1) ^ ((r & 0x80000000u) ? 0x04C11DB7u : 0);
        m_table[i] = Reflect(r, 32);
    }
}

DWORD CCrc32::Calculate(const void* bytes, size_t length) const
{
    const BYTE* p = static_cast<const BYTE*>(bytes);
    DWORD crc = 0xFFFFFFFFu;
    for (size_t i = 0; p && i < length; ++i)
        crc = (crc >> 8) ^ m_table[(crc ^ p[i]) & 0xFF];
    return ~crc;
}

unsigned CSimpleCRC::Calculate(const void* bytes, size_t length) const
{
    const BYTE* p = static_cast<const BYTE*>(bytes);
    unsigned crc = 0xFFFF;
    for (size_t i = 0; p && i < length; ++i)
        crc = ((crc << 8) & 0xFFFF) ^ kSimpleCrcTable[crc >> 8] ^ p[i];
    return crc;
}

unsigned CSimpleCRC::CalculateFile(const wchar_t* path) const
{
    if (!path)
        return 0;
    FILE* f = _wfopen(path, L"rb");
    if (!f)
        return 0;
    std::vector<BYTE> data;
    BYTE chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    fclose(f);
    return data.empty() ? 0 : Calculate(data.data(), data.size());
}

unsigned CSimpleCRC::GetTableEntry(unsigned value) const
{
    return kSimpleCrcTable[value & 0xFF];
}
