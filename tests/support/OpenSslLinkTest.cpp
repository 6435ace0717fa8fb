// The cross-built libcrypto links into a Windows binary and its RC4 matches RFC 6229.
#include <gtest/gtest.h>

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/rc4.h>

#include <cstring>

TEST(OpenSslLink, Rc4MatchesRfc6229KeyOf40Bits)
{
    // RFC 6229, key 0x0102030405: the key stream at offsets 0 and 16.
    const unsigned char key[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    const unsigned char expected0[16] = {0xb2, 0x39, 0x63, 0x05, 0xf0, 0x3d, 0xc0, 0x27,
                                         0xcc, 0xc3, 0x52, 0x4a, 0x0a, 0x11, 0x18, 0xa8};
    const unsigned char expected16[16] = {0x69, 0x82, 0x94, 0x4f, 0x18, 0xfc, 0x82, 0xd5,
                                          0x89, 0xc4, 0x03, 0xa4, 0x7a, 0x0d, 0x09, 0x19};
    RC4_KEY state;
    RC4_set_key(&state, sizeof(key), key);
    unsigned char zeros[32] = {0};
    unsigned char stream[32];
    RC4(&state, sizeof(zeros), zeros, stream);
    EXPECT_EQ(0, memcmp(stream, expected0, 16));
    EXPECT_EQ(0, memcmp(stream + 16, expected16, 16));
}

TEST(OpenSslLink, Rc4DecipherRestoresPlainText)
{
    const unsigned char key[] = "session-key";
    const char plain[] = "user:secret";
    unsigned char cipher[sizeof(plain)], back[sizeof(plain)];
    RC4_KEY a, b;
    RC4_set_key(&a, sizeof(key) - 1, key);
    RC4(&a, sizeof(plain), reinterpret_cast<const unsigned char*>(plain), cipher);
    RC4_set_key(&b, sizeof(key) - 1, key);
    RC4(&b, sizeof(plain), cipher, back);
    EXPECT_STREQ(plain, reinterpret_cast<char*>(back));
}
