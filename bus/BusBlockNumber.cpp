#include "bus/BusBlockNumber.h"

#include "foundation/Format.h"

#include <cwchar>

void FormatBusBlockNumber(wchar_t* text, size_t capacity, HGLOBAL block)
{
    FormatW(text, capacity, L"%I64d", static_cast<long long>(reinterpret_cast<INT_PTR>(block)));
}

HGLOBAL BusBlockFromNumber(const wchar_t* text)
{
    if (!text || !*text)
        return nullptr;
    wchar_t* end = nullptr;
    long long number = _wcstoi64(text, &end, 10);
    if (end == text || *end)
        return nullptr;
    // The 32-bit form is a signed int: an address from 2 GB up is written negative.
    return reinterpret_cast<HGLOBAL>(static_cast<INT_PTR>(number));
}
