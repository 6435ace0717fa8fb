// MD5 (RFC 1321).
#pragma once

#include <cstddef>
#include <cstdint>

class CMd5 {
public:
    CMd5() { Init(); }
    void Init();
    void Update(const void* data, size_t length);
    // Pads, stores the digest and clears the working state; the digest stays readable.
    void Final();
    const uint8_t* Digest() const { return m_digest; }

private:
    void Transform(const uint8_t block[64]);
    static void Encode(uint8_t* output, const uint32_t* input, size_t length);
    static void Decode(uint32_t* output, const uint8_t* input, size_t length);

    uint32_t m_state[4];
    uint32_t m_count[2];  // bits absorbed: low, high
    uint8_t m_buffer[64];
    uint8_t m_digest[16];
};
