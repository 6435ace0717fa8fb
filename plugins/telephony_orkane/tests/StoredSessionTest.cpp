// Deciphering the stored session object, checked against published RC4 vectors and against
// the fake PBX's own RC4 (tests/fake_pbx/fake_pbx.py, session_part); and the masking of
// secrets in logged PBX messages.
#include <gtest/gtest.h>

#include <string>

#include "plugins/telephony_orkane/SecretText.h"
#include "plugins/telephony_orkane/StoredSession.h"

namespace {

constexpr wchar_t kNonce[] = L"3b81e0c7d2946fa5";

TEST(StoredSession, DecodeStoredCredentialDeciphersWithTheFormattedKey)
{
    const struct {
        const wchar_t* hex;
        const wchar_t* pattern;
        const wchar_t* value1;
        const wchar_t* value2;
        const wchar_t* plain;
    } cases[] = {
        // The widely published RC4 vectors (key, plain text, cipher text).
        {L"BBF316E8D940AF0AD3", L"%s%s", L"Ke", L"y", L"Plaintext"},
        {L"1021BF0420", L"%s%s", L"Wi", L"ki", L"pedia"},
        {L"45A01F645FC35B383552544B9BF5", L"%s%s", L"Sec", L"ret", L"Attack at dawn"},
        // Lower-case hex reads the same.
        {L"bbf316e8d940af0ad3", L"%s%s", L"Ke", L"y", L"Plaintext"},
        // As the fake PBX enciphers a session's parts with its own RC4.
        {L"43FCC6A047B25EEBBB2AC4", kSessionUserKeyPattern, kNonce, L"geheim", L"sess-4f2a9c"},
        {L"90A829F0C0A44A5657B9B55421B7777A95BEB66218A1FA3D", kSessionPasswordKeyPattern, kNonce, L"geheim",
         L"9c1e77ab04d2f3e8b6a5c4d1"},
        // Key and text in the ANSI code page (1252): the password and the text hold umlauts.
        {L"7E5150F64861D12686BBDB68033F", kSessionUserKeyPattern, kNonce, L"p\u00e4ss", L"M\u00fcller-Sitzung"},
        // The wrong password gives another text, never the session's.
        {L"43FCC6A047B25EEBBB2AC4", kSessionUserKeyPattern, kNonce, L"falsch", nullptr},
        {L"", kSessionUserKeyPattern, kNonce, L"geheim", L""},
        {L"zz", kSessionUserKeyPattern, kNonce, L"geheim", L""},
    };
    for (const auto& c : cases) {
        std::wstring plain = DecodeStoredCredential(c.hex, c.pattern, c.value1, c.value2);
        if (c.plain)
            EXPECT_EQ(std::wstring(c.plain), plain) << testing::PrintToString(std::wstring(c.hex));
        else
            EXPECT_NE(std::wstring(L"sess-4f2a9c"), plain);
    }
    // A hex text longer than the buffer is cut at 256 bytes, and the result at 255 characters.
    std::wstring longHex(1000, L'4');
    EXPECT_LE(wcslen(DecodeStoredCredential(longHex.c_str(), L"%s%s", L"a", L"b")), 255u);
    // Two patterns differ: the parts of one session are enciphered with different keys.
    EXPECT_STRNE(kSessionUserKeyPattern, kSessionPasswordKeyPattern);
}

TEST(SecretText, SecretsAreMaskedAndEverythingElseKept)
{
    const struct {
        const wchar_t* text;
        const wchar_t* shown;
    } cases[] = {
        {L"{\"mt\":\"Login\",\"type\":\"user\",\"method\":\"digest\",\"username\":\"anna\",\"nonce\":\"n1\",\"response\":\"abc123\",\"userAgent\":\"x\"}",
         L"{\"mt\":\"Login\",\"type\":\"user\",\"method\":\"digest\",\"username\":\"anna\",\"nonce\":\"n1\",\"response\":\"***\",\"userAgent\":\"x\"}"},
        {L"{\"mt\":\"Login\",\"type\":\"session\",\"method\":\"digest\",\"username\":\"sess-1\",\"response\":\"ff\"}",
         L"{\"mt\":\"Login\",\"type\":\"session\",\"method\":\"digest\",\"username\":\"***\",\"response\":\"***\"}"},
        {L"{\"mt\":\"LoginResult\",\"info\":{\"user\":{\"guid\":\"g\"},\"session\":{\"usr\":\"AB\",\"pwd\":\"CD\"}}}",
         L"{\"mt\":\"LoginResult\",\"info\":{\"user\":{\"guid\":\"g\"},\"session\":\"***\"}}"},
        {L"{\"mt\":\"SessionAdded\",\"id\":\"7070c3\",\"info\":{\"current\":true}}",
         L"{\"mt\":\"SessionAdded\",\"id\":\"***\",\"info\":{\"current\":true}}"},
        {L"{\"mt\":\"CallInfo\",\"id\":\"7\",\"call\":3}", L"{\"mt\":\"CallInfo\",\"id\":\"7\",\"call\":3}"},
        {L"{\"mt\":\"AppGetLoginResult\",\"digest\":\"d1\\\"x\",\"sip\":\"a\"}",
         L"{\"mt\":\"AppGetLoginResult\",\"digest\":\"***\",\"sip\":\"a\"}"},
        {L"{\"password\":12345,\"x\":[1,{\"pwd\":[\"a\",\"b\"]}]}", L"{\"password\":\"***\",\"x\":[1,{\"pwd\":\"***\"}]}"},
        {L"not json \"response\":", L"not json \"response\":\"***\""},
        // A text cut inside a secret value or object: nothing of the value is shown.
        {L"{\"mt\":\"Login\",\"response\":\"abc1", L"{\"mt\":\"Login\",\"response\":\"***\""},
        {L"{\"session\":{\"usr\":\"AB\",\"pwd\":\"C", L"{\"session\":\"***\""},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.shown), std::wstring(RedactSecrets(c.text)));
    EXPECT_STREQ(L"", RedactSecrets(nullptr));
    std::wstring huge = L"{\"x\":\"" + std::wstring(20000, L'a') + L"\"}";
    EXPECT_EQ(8191u, wcslen(RedactSecrets(huge.c_str())));
}

}  // namespace
