#include "plugin_support/DigestText.h"

#include "foundation/Format.h"
#include "foundation/TextUtils.h"
#include "plugin_support/Md5.h"
#include "plugin_support/Sha2.h"

#include <cstring>

namespace {
thread_local char t_md5Hex[256];
thread_local wchar_t t_mixedHex[256];

uint32_t LoadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void StoreLe32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
}  // namespace

const char* Md5DigestToHex(const uint8_t digest[16])
{
    t_md5Hex[0] = '\0';
    size_t length = 0;
    for (int i = 0; i < 16; ++i)
        length += FormatA(t_md5Hex + length, sizeof t_md5Hex - length, "%02x", digest[i]);
    return t_md5Hex;
}

const char* Md5HexOfText(const char* text)
{
    CMd5 md5;
    if (text)
        md5.Update(text, strlen(text));
    md5.Final();
    return Md5DigestToHex(md5.Digest());
}

const wchar_t* Sha256MixedHexOfText(const wchar_t* text)
{
    char ansi[2048];
    CopyWideToAnsi(ansi, text ? text : L"", sizeof ansi - 1);
    Sha256Context context;
    Sha256Init(&context);
    Sha256Update(ansi, strlen(ansi), &context);
    uint8_t work[128] = {};
    Sha256Final(work, &context);
    // Only the first 20 digest bytes take part; 60 to 127 stay zero.
    memcpy(work + 20, work, 20);
    memcpy(work + 40, work, 20);
    for (uint32_t round = 0; round < 100; ++round) {
        for (uint32_t i = 0; i < 60; ++i) {
            uint32_t w = LoadLe32(work + i) + i + round;
            uint32_t turn = LoadLe32(work + i + 4) % 32;
            if (turn)
                w = (w << turn) | (w >> (32 - turn));
            StoreLe32(work + i, w);
        }
    }
    t_mixedHex[0] = L'\0';
    size_t length = 0;
    for (int i = 0; i < 60; ++i)
        length += FormatW(t_mixedHex + length, _countof(t_mixedHex) - length, L"%02X", work[i]);
    return t_mixedHex;
}
