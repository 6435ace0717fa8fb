#include "plugin_support/Sha2.h"

#include <cstring>

namespace {
const uint32_t kK256[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

const uint32_t kH256[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

const uint64_t kK512[80] = {
    0x428a2f98d728ae22ULL, 0x7137449123ef65cdULL, 0xb5c0fbcfec4d3b2fULL, 0xe9b5dba58189dbbcULL, 0x3956c25bf348b538ULL,
    0x59f111f1b605d019ULL, 0x923f82a4af194f9bULL, 0xab1c5ed5da6d8118ULL, 0xd807aa98a3030242ULL, 0x12835b0145706fbeULL,
    0x243185be4ee4b28cULL, 0x550c7dc3d5ffb4e2ULL, 0x72be5d74f27b896fULL, 0x80deb1fe3b1696b1ULL, 0x9bdc06a725c71235ULL,
    0xc19bf174cf692694ULL, 0xe49b69c19ef14ad2ULL, 0xefbe4786384f25e3ULL, 0x0fc19dc68b8cd5b5ULL, 0x240ca1cc77ac9c65ULL,
    0x2de92c6f592b0275ULL, 0x4a7484aa6ea6e483ULL, 0x5cb0a9dcbd41fbd4ULL, 0x76f988da831153b5ULL, 0x983e5152ee66dfabULL,
    0xa831c66d2db43210ULL, 0xb00327c898fb213fULL, 0xbf597fc7beef0ee4ULL, 0xc6e00bf33da88fc2ULL, 0xd5a79147930aa725ULL,
    0x06ca6351e003826fULL, 0x142929670a0e6e70ULL, 0x27b70a8546d22ffcULL, 0x2e1b21385c26c926ULL, 0x4d2c6dfc5ac42aedULL,
    0x53380d139d95b3dfULL, 0x650a73548baf63deULL, 0x766a0abb3c77b2a8ULL, 0x81c2c92e47edaee6ULL, 0x92722c851482353bULL,
    0xa2bfe8a14cf10364ULL, 0xa81a664bbc423001ULL, 0xc24b8b70d0f89791ULL, 0xc76c51a30654be30ULL, 0xd192e819d6ef5218ULL,
    0xd69906245565a910ULL, 0xf40e35855771202aULL, 0x106aa07032bbd1b8ULL, 0x19a4c116b8d2d0c8ULL, 0x1e376c085141ab53ULL,
    0x2748774cdf8eeb99ULL, 0x34b0bcb5e19b48a8ULL, 0x391c0cb3c5c95a63ULL, 0x4ed8aa4ae3418acbULL, 0x5b9cca4f7763e373ULL,
    0x682e6ff3d6b2b8a3ULL, 0x748f82ee5defb2fcULL, 0x78a5636f43172f60ULL, 0x84c87814a1f0ab72ULL, 0x8cc702081a6439ecULL,
    0x90befffa23631e28ULL, 0xa4506cebde82bde9ULL, 0xbef9a3f7b2c67915ULL, 0xc67178f2e372532bULL, 0xca273eceea26619cULL,
    0xd186b8c721c0c207ULL, 0xeada7dd6cde0eb1eULL, 0xf57d4f7fee6ed178ULL, 0x06f067aa72176fbaULL, 0x0a637dc5a2c898a6ULL,
    0x113f9804bef90daeULL, 0x1b710b35131c471bULL, 0x28db77f523047d84ULL, 0x32caab7b40c72493ULL, 0x3c9ebe0a15c9bebcULL,
    0x431d67c49c100d4cULL, 0x4cc5d4becb3e42b6ULL, 0x597f299cfc657e2aULL, 0x5fcb6fab3ad6faecULL, 0x6c44198c4a475817ULL,
};

const uint64_t kH384[8] = {0xcbbb9d5dc1059ed8ULL, 0x629a292a367cd507ULL, 0x9159015a3070dd17ULL, 0x152fecd8f70e5939ULL,
                           0x67332667ffc00b31ULL, 0x8eb44a8768581511ULL, 0xdb0c2e0d64f98fa7ULL, 0x47b5481dbefa4fa4ULL};
const uint64_t kH512[8] = {0x6a09e667f3bcc908ULL, 0xbb67ae8584caa73bULL, 0x3c6ef372fe94f82bULL, 0xa54ff53a5f1d36f1ULL,
                           0x510e527fade682d1ULL, 0x9b05688c2b3e6c1fULL, 0x1f83d9abfb41bd6bULL, 0x5be0cd19137e2179ULL};

inline uint32_t Ror32(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline uint64_t Ror64(uint64_t x, int n) { return (x >> n) | (x << (64 - n)); }

inline uint32_t Load32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline uint64_t Load64(const uint8_t* p) { return (uint64_t(Load32(p)) << 32) | Load32(p + 4); }
inline void Store32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline void Store64(uint8_t* p, uint64_t v)
{
    Store32(p, uint32_t(v >> 32));
    Store32(p + 4, uint32_t(v));
}
}  // namespace

// ---- SHA-256 ------------------------------------------------------------------------------

void Sha256Init(Sha256Context* c)
{
    memset(c, 0, sizeof *c);
    memcpy(c->state, kH256, sizeof kH256);
}

// Rounds written out eight at a time, the working variables renamed instead of shifted and
// the schedule kept in a ring of 16 words: the plain loop ran at two thirds of OpenSSL's speed
// on short inputs.
#define SHA256_ROUND(a, b, c, d, e, f, g, h, t, wt)                                                       \
    do {                                                                                             \
        uint32_t t1 = h + (Ror32(e, 6) ^ Ror32(e, 11) ^ Ror32(e, 25)) + (g ^ (e & (f ^ g))) + kK256[t] + (wt); \
        uint32_t t2 = (Ror32(a, 2) ^ Ror32(a, 13) ^ Ror32(a, 22)) + ((a & b) | (c & (a | b)));       \
        d += t1;                                                                                     \
        h = t1 + t2;                                                                                 \
    } while (0)

#define SHA256_SCHEDULE(t)                                                                            \
    (w[(t) & 15] += (Ror32(w[((t) - 2) & 15], 17) ^ Ror32(w[((t) - 2) & 15], 19) ^ (w[((t) - 2) & 15] >> 10)) + \
                    w[((t) - 7) & 15] +                                                               \
                    (Ror32(w[((t) - 15) & 15], 7) ^ Ror32(w[((t) - 15) & 15], 18) ^ (w[((t) - 15) & 15] >> 3)))

void Sha256Compress(Sha256Context* c, const uint8_t block[64])
{
    uint32_t w[16];
    for (int t = 0; t < 16; ++t)
        w[t] = Load32(block + 4 * t);
    uint32_t a = c->state[0], b = c->state[1], cc = c->state[2], d = c->state[3];
    uint32_t e = c->state[4], f = c->state[5], g = c->state[6], h = c->state[7];
    for (int t = 0; t < 16; t += 8) {
        SHA256_ROUND(a, b, cc, d, e, f, g, h, t, w[t]);
        SHA256_ROUND(h, a, b, cc, d, e, f, g, t + 1, w[t + 1]);
        SHA256_ROUND(g, h, a, b, cc, d, e, f, t + 2, w[t + 2]);
        SHA256_ROUND(f, g, h, a, b, cc, d, e, t + 3, w[t + 3]);
        SHA256_ROUND(e, f, g, h, a, b, cc, d, t + 4, w[t + 4]);
        SHA256_ROUND(d, e, f, g, h, a, b, cc, t + 5, w[t + 5]);
        SHA256_ROUND(cc, d, e, f, g, h, a, b, t + 6, w[t + 6]);
        SHA256_ROUND(b, cc, d, e, f, g, h, a, t + 7, w[t + 7]);
    }
    for (int t = 16; t < 64; t += 8) {
        SHA256_ROUND(a, b, cc, d, e, f, g, h, t, SHA256_SCHEDULE(t));
        SHA256_ROUND(h, a, b, cc, d, e, f, g, t + 1, SHA256_SCHEDULE(t + 1));
        SHA256_ROUND(g, h, a, b, cc, d, e, f, t + 2, SHA256_SCHEDULE(t + 2));
        SHA256_ROUND(f, g, h, a, b, cc, d, e, t + 3, SHA256_SCHEDULE(t + 3));
        SHA256_ROUND(e, f, g, h, a, b, cc, d, t + 4, SHA256_SCHEDULE(t + 4));
        SHA256_ROUND(d, e, f, g, h, a, b, cc, t + 5, SHA256_SCHEDULE(t + 5));
        SHA256_ROUND(cc, d, e, f, g, h, a, b, t + 6, SHA256_SCHEDULE(t + 6));
        SHA256_ROUND(b, cc, d, e, f, g, h, a, t + 7, SHA256_SCHEDULE(t + 7));
    }
    c->state[0] += a;
    c->state[1] += b;
    c->state[2] += cc;
    c->state[3] += d;
    c->state[4] += e;
    c->state[5] += f;
    c->state[6] += g;
    c->state[7] += h;
}

#undef SHA256_ROUND
#undef SHA256_SCHEDULE

void Sha256Update(const void* data, size_t length, Sha256Context* c)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        size_t used = c->count[0] % 64;
        // Whole blocks are hashed where they lie; only a partial block is gathered.
        size_t take = used == 0 && length >= 64 ? length & ~static_cast<size_t>(63)
                                                 : (64 - used < length ? 64 - used : length);
        if (used == 0 && take >= 64) {
            for (size_t i = 0; i < take; i += 64)
                Sha256Compress(c, p + i);
        } else {
            memcpy(c->block + used, p, take);
            if (used + take == 64)
                Sha256Compress(c, c->block);
        }
        uint32_t low = c->count[0] + uint32_t(take);
        if (low < c->count[0])
            ++c->count[1];
        c->count[1] += uint32_t(uint64_t(take) >> 32);
        c->count[0] = low;
        p += take;
        length -= take;
    }
}

void Sha256Final(uint8_t digest[32], Sha256Context* c)
{
    size_t used = c->count[0] % 64;
    // The length in bits, before the padding changes nothing (the count is not updated).
    uint32_t bitsHigh = (c->count[1] << 3) | (c->count[0] >> 29);
    uint32_t bitsLow = c->count[0] << 3;
    c->block[used++] = 0x80;
    if (used > 56) {
        memset(c->block + used, 0, 64 - used);
        Sha256Compress(c, c->block);
        used = 0;
    }
    memset(c->block + used, 0, 56 - used);
    Store32(c->block + 56, bitsHigh);
    Store32(c->block + 60, bitsLow);
    Sha256Compress(c, c->block);
    for (int i = 0; i < 8; ++i)
        Store32(digest + 4 * i, c->state[i]);
}

// ---- SHA-384 / SHA-512 --------------------------------------------------------------------

void Sha384Init(Sha512Context* c)
{
    memset(c, 0, sizeof *c);
    memcpy(c->state, kH384, sizeof kH384);
}

void Sha512Init(Sha512Context* c)
{
    memset(c, 0, sizeof *c);
    memcpy(c->state, kH512, sizeof kH512);
}

void Sha512Compress(Sha512Context* c, const uint8_t block[128])
{
    uint64_t w[80];
    for (int t = 0; t < 16; ++t)
        w[t] = Load64(block + 8 * t);
    for (int t = 16; t < 80; ++t) {
        uint64_t s0 = Ror64(w[t - 15], 1) ^ Ror64(w[t - 15], 8) ^ (w[t - 15] >> 7);
        uint64_t s1 = Ror64(w[t - 2], 19) ^ Ror64(w[t - 2], 61) ^ (w[t - 2] >> 6);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    uint64_t a = c->state[0], b = c->state[1], cc = c->state[2], d = c->state[3];
    uint64_t e = c->state[4], f = c->state[5], g = c->state[6], h = c->state[7];
    for (int t = 0; t < 80; ++t) {
        uint64_t t1 = h + (Ror64(e, 14) ^ Ror64(e, 18) ^ Ror64(e, 41)) + ((e & f) ^ (~e & g)) + kK512[t] + w[t];
        uint64_t t2 = (Ror64(a, 28) ^ Ror64(a, 34) ^ Ror64(a, 39)) + ((a & b) ^ (a & cc) ^ (b & cc));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = cc;
        cc = b;
        b = a;
        a = t1 + t2;
    }
    c->state[0] += a;
    c->state[1] += b;
    c->state[2] += cc;
    c->state[3] += d;
    c->state[4] += e;
    c->state[5] += f;
    c->state[6] += g;
    c->state[7] += h;
}

void Sha512Update(const void* data, size_t length, Sha512Context* c)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        size_t used = size_t(c->count[0] % 128);
        size_t take = 128 - used < length ? 128 - used : length;
        memcpy(c->block + used, p, take);
        uint64_t low = c->count[0] + take;
        if (low < c->count[0])
            ++c->count[1];
        c->count[0] = low;
        p += take;
        length -= take;
        if (used + take == 128)
            Sha512Compress(c, c->block);
    }
}

void Sha512FinalN(uint8_t* digest, Sha512Context* c, size_t n)
{
    size_t used = size_t(c->count[0] % 128);
    uint64_t bitsHigh = (c->count[1] << 3) | (c->count[0] >> 61);
    uint64_t bitsLow = c->count[0] << 3;
    c->block[used++] = 0x80;
    if (used > 112) {
        memset(c->block + used, 0, 128 - used);
        Sha512Compress(c, c->block);
        used = 0;
    }
    memset(c->block + used, 0, 112 - used);
    Store64(c->block + 112, bitsHigh);
    Store64(c->block + 120, bitsLow);
    Sha512Compress(c, c->block);
    uint8_t full[64];
    for (int i = 0; i < 8; ++i)
        Store64(full + 8 * i, c->state[i]);
    memcpy(digest, full, n < 64 ? n : 64);
}

void Sha384Final(uint8_t digest[48], Sha512Context* c) { Sha512FinalN(digest, c, 48); }
void Sha512Final(uint8_t digest[64], Sha512Context* c) { Sha512FinalN(digest, c, 64); }
