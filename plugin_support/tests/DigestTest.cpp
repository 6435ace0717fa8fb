#include "plugin_support/DigestText.h"
#include "plugin_support/Md5.h"
#include "plugin_support/Sha2.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
#include "plugin_support/tests/DigestVectors.inc"

std::string Hex(const uint8_t* bytes, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::vector<uint8_t> Pattern(size_t n)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = uint8_t((i * 7 + 3) & 0xFF);
    return bytes;
}

// Absorbs data in pieces of the given sizes (the last size repeats), the rest at once.
std::string Sha256Of(const std::vector<uint8_t>& data, const std::vector<size_t>& pieces = {})
{
    Sha256Context c;
    Sha256Init(&c);
    size_t at = 0, k = 0;
    while (!pieces.empty() && at < data.size()) {
        size_t n = std::min(pieces[std::min(k++, pieces.size() - 1)], data.size() - at);
        Sha256Update(data.data() + at, n, &c);
        at += n;
    }
    Sha256Update(data.data() + at, data.size() - at, &c);
    uint8_t d[32];
    Sha256Final(d, &c);
    return Hex(d, 32);
}

std::string Sha512Of(const std::vector<uint8_t>& data, size_t n, const std::vector<size_t>& pieces = {})
{
    Sha512Context c;
    if (n == 48)
        Sha384Init(&c);
    else
        Sha512Init(&c);
    size_t at = 0, k = 0;
    while (!pieces.empty() && at < data.size()) {
        size_t take = std::min(pieces[std::min(k++, pieces.size() - 1)], data.size() - at);
        Sha512Update(data.data() + at, take, &c);
        at += take;
    }
    Sha512Update(data.data() + at, data.size() - at, &c);
    uint8_t d[64];
    if (n == 48)
        Sha384Final(d, &c);
    else
        Sha512Final(d, &c);
    return Hex(d, n);
}

std::string Md5Of(const std::vector<uint8_t>& data, const std::vector<size_t>& pieces = {})
{
    CMd5 md5;
    size_t at = 0, k = 0;
    while (!pieces.empty() && at < data.size()) {
        size_t take = std::min(pieces[std::min(k++, pieces.size() - 1)], data.size() - at);
        md5.Update(data.data() + at, take);
        at += take;
    }
    md5.Update(data.data() + at, data.size() - at);
    md5.Final();
    return Hex(md5.Digest(), 16);
}

std::vector<uint8_t> Bytes(const char* text) { return std::vector<uint8_t>(text, text + strlen(text)); }

TEST(Digests, Fips180Examples)
{
    const char* two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const char* four =
        "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", Sha256Of(Bytes("abc")));
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", Sha256Of(Bytes("")));
    EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1", Sha256Of(Bytes(two)));
    EXPECT_EQ("cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7",
              Sha512Of(Bytes("abc"), 48));
    EXPECT_EQ("38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b",
              Sha512Of(Bytes(""), 48));
    EXPECT_EQ("09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039",
              Sha512Of(Bytes(four), 48));
    EXPECT_EQ("ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd"
              "454d4423643ce80e2a9ac94fa54ca49f",
              Sha512Of(Bytes("abc"), 64));
    EXPECT_EQ("cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f"
              "63b931bd47417a81a538327af927da3e",
              Sha512Of(Bytes(""), 64));
    EXPECT_EQ("8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433a"
              "c7d329eeb6dd26545e96e55b874be909",
              Sha512Of(Bytes(four), 64));
    std::vector<uint8_t> million(1000000, 'a');
    EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", Sha256Of(million, {4093}));
    EXPECT_EQ("e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31b"
              "eb009c5c2c49aa2e4eadb217ad8cc09b",
              Sha512Of(million, 64, {4093}));
}

TEST(Digests, Rfc1321Suite)
{
    struct Case {
        const char* text;
        const char* md5;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(c.md5), Md5HexOfText(c.text)) << c.text;
        EXPECT_EQ(std::string(c.md5), Md5Of(Bytes(c.text), {1})) << c.text;
    }
    EXPECT_EQ(std::string("d41d8cd98f00b204e9800998ecf8427e"), Md5HexOfText(nullptr));
    const uint8_t digest[16] = {0x00, 0x01, 0xab, 0xff, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x7f};
    EXPECT_EQ(std::string("0001abff10000000000000000000007f"), Md5DigestToHex(digest));
}

TEST(Digests, PiecesAcrossBlockBoundariesMatchHashlib)
{
    const std::vector<std::vector<size_t>> splits = {{}, {1}, {63, 1}, {64}, {65}, {55, 9}, {111, 17}, {127, 1}, {128}, {3, 200}};
    for (const PatternDigest& v : kPatternDigests) {
        std::vector<uint8_t> data = Pattern(v.length);
        for (const std::vector<size_t>& pieces : splits) {
            std::string label = "length " + std::to_string(v.length) + " pieces " + testing::PrintToString(pieces);
            EXPECT_EQ(v.sha256, Sha256Of(data, pieces)) << label;
            EXPECT_EQ(v.sha384, Sha512Of(data, 48, pieces)) << label;
            EXPECT_EQ(v.sha512, Sha512Of(data, 64, pieces)) << label;
            EXPECT_EQ(v.md5, Md5Of(data, pieces)) << label;
        }
    }
}

TEST(Digests, Md5FinalKeepsOnlyTheDigest)
{
    CMd5 md5;
    md5.Update("abc", 3);
    md5.Final();
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Hex(md5.Digest(), 16));
    md5.Init();  // the same object serves the next text
    md5.Final();
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Hex(md5.Digest(), 16));
}

TEST(MixedDigestText, MatchesTheModel)
{
    ASSERT_EQ(1252u, GetACP());
    for (const MixedCase& c : kMixedCases) {
        std::wstring hex = Sha256MixedHexOfText(c.text);
        EXPECT_EQ(120u, hex.size());
        EXPECT_EQ(std::wstring(c.hex, c.hex + strlen(c.hex)), hex) << testing::PrintToString(std::wstring(c.text));
    }
    EXPECT_EQ(std::wstring(Sha256MixedHexOfText(L"")), std::wstring(Sha256MixedHexOfText(nullptr)));
}

TEST(MixedDigestText, HashesAtMost2047Bytes)
{
    std::wstring text;
    for (int i = 0; i < 3000; ++i)
        text += wchar_t(L'a' + i % 26);
    std::wstring expected(kMixedLongHex, kMixedLongHex + strlen(kMixedLongHex));
    EXPECT_EQ(expected, Sha256MixedHexOfText(text.c_str()));
    EXPECT_EQ(expected, Sha256MixedHexOfText(text.substr(0, 2047).c_str()));
    EXPECT_NE(expected, Sha256MixedHexOfText(text.substr(0, 2046).c_str()));
}
}  // namespace
