// SHA-256, SHA-384 and SHA-512 (FIPS 180-4) on caller-owned contexts.
#pragma once

#include <cstddef>
#include <cstdint>

struct Sha256Context {
    uint32_t count[2];  // bytes absorbed: low, high
    uint32_t state[8];
    uint8_t block[64];
};

struct Sha512Context {
    uint64_t count[2];  // bytes absorbed: low, high
    uint64_t state[8];
    uint8_t block[128];
};

void Sha256Init(Sha256Context* context);
void Sha256Update(const void* data, size_t length, Sha256Context* context);
void Sha256Final(uint8_t digest[32], Sha256Context* context);
void Sha256Compress(Sha256Context* context, const uint8_t block[64]);

void Sha384Init(Sha512Context* context);
void Sha512Init(Sha512Context* context);
// Absorbs for both SHA-384 and SHA-512.
void Sha512Update(const void* data, size_t length, Sha512Context* context);
void Sha384Final(uint8_t digest[48], Sha512Context* context);
void Sha512Final(uint8_t digest[64], Sha512Context* context);
// Pads and writes the first n bytes of the state (48 for SHA-384, 64 for SHA-512).
void Sha512FinalN(uint8_t* digest, Sha512Context* context, size_t n);
void Sha512Compress(Sha512Context* context, const uint8_t block[128]);
