// SHA-256 and MD5 of the plug-in support library against the project's own OpenSSL
// libcrypto, on short texts (as the login digests hash) and on long buffers. The digests of
// both are compared first; rounds alternate and the figure is the median round.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <openssl/md5.h>
#include <openssl/sha.h>

#include "bench/BenchStats.h"
#include "plugin_support/Md5.h"
#include "plugin_support/Sha2.h"

namespace {

volatile uint8_t g_sink;

void OursSha256(const uint8_t* data, size_t n, uint8_t out[32])
{
    Sha256Context c;
    Sha256Init(&c);
    Sha256Update(data, n, &c);
    Sha256Final(out, &c);
}

void TheirsSha256(const uint8_t* data, size_t n, uint8_t out[32])
{
    SHA256_CTX c;
    SHA256_Init(&c);
    SHA256_Update(&c, data, n);
    SHA256_Final(out, &c);
}

void OursMd5(const uint8_t* data, size_t n, uint8_t out[16])
{
    CMd5 md5;
    md5.Update(data, n);
    md5.Final();
    memcpy(out, md5.Digest(), 16);
}

void TheirsMd5(const uint8_t* data, size_t n, uint8_t out[16])
{
    MD5_CTX c;
    MD5_Init(&c);
    MD5_Update(&c, data, n);
    MD5_Final(out, &c);
}

typedef void (*DigestFn)(const uint8_t*, size_t, uint8_t*);

// Bytes per second of one round of at least the given seconds.
double Round(DigestFn fn, const std::vector<uint8_t>& data, size_t n, double seconds)
{
    uint8_t out[64];
    size_t bytes = 0;
    double start = bench::Now(), elapsed = 0;
    do {
        for (int i = 0; i < 64; ++i) {
            fn(data.data() + (i & 7), n, out);
            g_sink ^= out[0];
            bytes += n;
        }
        elapsed = bench::Now() - start;
    } while (elapsed < seconds);
    return (double)bytes / elapsed;
}

bool Compare(const char* id, const char* name, DigestFn ours, DigestFn theirs, size_t digestSize, double seconds)
{
    std::vector<uint8_t> data(1 << 20);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (uint8_t)(i * 2654435761u >> 13);
    for (size_t n : {0u, 1u, 55u, 56u, 64u, 1000u, 65536u}) {
        uint8_t a[64], b[64];
        ours(data.data() + 3, n, a);
        theirs(data.data() + 3, n, b);
        if (memcmp(a, b, digestSize)) {
            fprintf(stderr, "DigestBench: %s differs from OpenSSL for %u bytes\n", name, (unsigned)n);
            return false;
        }
    }
    for (size_t n : {64u, 65536u}) {
        std::vector<double> a, b;
        for (int i = 0; i < 5; ++i) {
            a.push_back(Round(ours, data, n, seconds / 10));
            b.push_back(Round(theirs, data, n, seconds / 10));
        }
        double x = bench::Median(a), y = bench::Median(b);
        char what[96];
        snprintf(what, sizeof(what), "%s of %u-byte inputs", name, (unsigned)n);
        bench::Row(id, what, bench::Fmt("%.1f MB/s", x / 1e6), bench::Fmt("OpenSSL %.1f MB/s", y / 1e6), x / y,
                   "≥ 0.8×", x / y >= 0.8);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = argc > 1 ? atof(argv[1]) : 3.0;
    bool ok = Compare("P6", "SHA-256", OursSha256, TheirsSha256, 32, seconds);
    ok = Compare("P6", "MD5", OursMd5, TheirsMd5, 16, seconds) && ok;
    return ok ? 0 : 1;
}
