#include "plugins/telephony_orkane/JsonScan.h"

const wchar_t* FindJsonValueEnd(const wchar_t* p)
{
    if (*p == L'"') {
        for (++p; *p; ++p) {
            if (*p == L'\\' && p[1])
                ++p;
            else if (*p == L'"')
                return p + 1;
        }
        return nullptr;
    }
    if (*p == L'{' || *p == L'[') {
        int depth = 0;
        bool inString = false;
        for (; *p; ++p) {
            if (inString) {
                if (*p == L'\\' && p[1])
                    ++p;
                else if (*p == L'"')
                    inString = false;
            } else if (*p == L'"') {
                inString = true;
            } else if (*p == L'{' || *p == L'[') {
                ++depth;
            } else if ((*p == L'}' || *p == L']') && --depth == 0) {
                return p + 1;
            }
        }
        return nullptr;
    }
    while (*p && *p != L',' && *p != L'}' && *p != L']')
        ++p;
    return p;
}
