#include "plugin_support/Md5.h"

#include <cstring>

namespace {
const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

const uint8_t kPadding[64] = {0x80};

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }
}  // namespace

void CMd5::Init()
{
    m_count[0] = m_count[1] = 0;
    m_state[0] = 0x67452301;
    m_state[1] = 0xefcdab89;
    m_state[2] = 0x98badcfe;
    m_state[3] = 0x10325476;
    memset(m_buffer, 0, sizeof m_buffer);
    memset(m_digest, 0, sizeof m_digest);
}

void CMd5::Encode(uint8_t* output, const uint32_t* input, size_t length)
{
    for (size_t i = 0, j = 0; j < length; ++i, j += 4) {
        output[j] = uint8_t(input[i]);
        output[j + 1] = uint8_t(input[i] >> 8);
        output[j + 2] = uint8_t(input[i] >> 16);
        output[j + 3] = uint8_t(input[i] >> 24);
    }
}

void CMd5::Decode(uint32_t* output, const uint8_t* input, size_t length)
{
    for (size_t i = 0, j = 0; j < length; ++i, j += 4)
        output[i] = uint32_t(input[j]) | (uint32_t(input[j + 1]) << 8) | (uint32_t(input[j + 2]) << 16) |
                    (uint32_t(input[j + 3]) << 24);
}

// The 64 steps written out with constant rotations and word indices: as a loop with a
// switch and table lookups it ran at two thirds of OpenSSL's speed.
#define MD5_STEP(fn, a, b, c, d, k, s, step) \
    a = b + RotateLeft(a + fn(b, c, d) + x[k] + kSine[step], s)

void CMd5::Transform(const uint8_t block[64])
{
    uint32_t x[16];
    Decode(x, block, 64);
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (int i = 0; i < 16; i += 4) {
        MD5_STEP(F, a, b, c, d, i, 7, i);
        MD5_STEP(F, d, a, b, c, i + 1, 12, i + 1);
        MD5_STEP(F, c, d, a, b, i + 2, 17, i + 2);
        MD5_STEP(F, b, c, d, a, i + 3, 22, i + 3);
    }
    for (int i = 16; i < 32; i += 4) {
        MD5_STEP(G, a, b, c, d, (5 * i + 1) % 16, 5, i);
        MD5_STEP(G, d, a, b, c, (5 * i + 6) % 16, 9, i + 1);
        MD5_STEP(G, c, d, a, b, (5 * i + 11) % 16, 14, i + 2);
        MD5_STEP(G, b, c, d, a, (5 * i + 16) % 16, 20, i + 3);
    }
    for (int i = 32; i < 48; i += 4) {
        MD5_STEP(H, a, b, c, d, (3 * i + 5) % 16, 4, i);
        MD5_STEP(H, d, a, b, c, (3 * i + 8) % 16, 11, i + 1);
        MD5_STEP(H, c, d, a, b, (3 * i + 11) % 16, 16, i + 2);
        MD5_STEP(H, b, c, d, a, (3 * i + 14) % 16, 23, i + 3);
    }
    for (int i = 48; i < 64; i += 4) {
        MD5_STEP(I, a, b, c, d, (7 * i) % 16, 6, i);
        MD5_STEP(I, d, a, b, c, (7 * i + 7) % 16, 10, i + 1);
        MD5_STEP(I, c, d, a, b, (7 * i + 14) % 16, 15, i + 2);
        MD5_STEP(I, b, c, d, a, (7 * i + 21) % 16, 21, i + 3);
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
    memset(x, 0, sizeof x);
}

#undef MD5_STEP

void CMd5::Update(const void* data, size_t length)
{
    const uint8_t* input = static_cast<const uint8_t*>(data);
    size_t index = (m_count[0] >> 3) & 0x3F;
    uint32_t bits = uint32_t(length) << 3;
    m_count[0] += bits;
    if (m_count[0] < bits)
        ++m_count[1];
    m_count[1] += uint32_t(uint64_t(length) >> 29);
    size_t partLength = 64 - index;
    size_t i = 0;
    if (length >= partLength) {
        // A block that starts on an empty buffer is hashed where it lies.
        if (index == 0) {
            Transform(input);
        } else {
            memcpy(m_buffer + index, input, partLength);
            Transform(m_buffer);
        }
        for (i = partLength; i + 63 < length; i += 64)
            Transform(input + i);
        index = 0;
    }
    memcpy(m_buffer + index, input + i, length - i);
}

void CMd5::Final()
{
    uint8_t bits[8];
    Encode(bits, m_count, 8);
    size_t index = (m_count[0] >> 3) & 0x3F;
    size_t padLength = index < 56 ? 56 - index : 120 - index;
    Update(kPadding, padLength);
    Update(bits, 8);
    Encode(m_digest, m_state, 16);
    m_count[0] = m_count[1] = 0;
    memset(m_state, 0, sizeof m_state);
    memset(m_buffer, 0, sizeof m_buffer);
}
