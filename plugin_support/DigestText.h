// Digests of texts as hexadecimal text. Each returns a buffer of its own, valid until its next
// call on the same thread.
#pragma once

#include <cstdint>

// MD5 of the text's bytes (no terminator) as 32 lower-case hexadecimal digits.
const char* Md5HexOfText(const char* text);
const char* Md5DigestToHex(const uint8_t digest[16]);
// The login's mixed SHA-256 text: 120 upper-case hexadecimal digits made from the SHA-256 of
// the text in the ANSI code page (at most 2047 bytes of it).
const wchar_t* Sha256MixedHexOfText(const wchar_t* text);
