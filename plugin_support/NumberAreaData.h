// Area-code data of the international display format (generated into NumberAreaData.cpp).
#pragma once

#include <windows.h>

#include <cstddef>

// A zero-terminated list of area codes (digits read as a decimal number, no trunk prefix);
// count and order are set by InitAreaCodeTables.
struct AreaCodeList {
    DWORD country;
    DWORD* codes;
    size_t count;
};
extern AreaCodeList g_areaCodeLists[];
extern const size_t g_areaCodeListCount;

// A national prefix and the length of the area code of numbers that begin with it; the
// longest matching prefix decides.
struct AreaPrefixRule {
    const wchar_t* prefix;
    int length;
};
extern const AreaPrefixRule g_areaPrefixes49[];
extern const size_t g_areaPrefixCount49;
extern const AreaPrefixRule g_areaPrefixes63[];
extern const size_t g_areaPrefixCount63;
