// Connection values and the login digests, checked against the fake PBX's hashlib model.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/TextUtils.h"
#include "plugins/telephony_orkane/InnovaphoneVars.h"

namespace {

struct LoginDigestCase {
    const wchar_t* domain;
    const wchar_t* user;
    const wchar_t* password;
    const wchar_t* nonce;
    const wchar_t* challenge;
    const wchar_t* session;
    const char* userDigest;
    const char* sessionDigest;
};
#include "plugins/telephony_orkane/tests/LoginDigestVectors.inc"

std::wstring Wide(const char* text) { return std::wstring(text, text + strlen(text)); }

bool Ascii(const wchar_t* text)
{
    for (; *text; ++text)
        if (*text >= 0x80)
            return false;
    return true;
}

// The model takes the parts other than the user name in code page 1252 (Wine's). This test
// also runs on code page 932 (orkane_vars_cp932_test, ORVIX_EXPECT_ACP=932), where only the
// cases whose other parts are ASCII are comparable; the user name's UTF-8 bytes must enter the
// digest unchanged whatever the code page.
TEST(LoginDigest, MatchesTheIndependentModel)
{
    char expected[16] = "";
    if (GetEnvironmentVariableA("ORVIX_EXPECT_ACP", expected, sizeof expected)) {
        ASSERT_EQ(strtoul(expected, nullptr, 10), GetACP()) << "the Unix locale did not give the code page";
    }
    const bool modelPage = GetACP() == 1252;
    size_t compared = 0;
    for (const LoginDigestCase& c : kLoginDigestCases) {
        const bool othersAscii = Ascii(c.domain) && Ascii(c.password) && Ascii(c.nonce) && Ascii(c.challenge);
        if (!modelPage && !othersAscii)
            continue;
        ++compared;
        CInnovaphoneVars conn(L"User");
        wcscpy(conn.m_szDomain, c.domain);
        wcscpy(conn.m_szUser, c.user);
        wcscpy(conn.m_szPassword, c.password);
        wcscpy(conn.m_szChallenge, c.challenge);
        wcscpy(conn.m_szSession, c.session);
        EXPECT_EQ(Wide(c.userDigest), conn.GetUserDigest(c.nonce)) << "user " << testing::PrintToString(std::wstring(c.user));
        if (modelPage || Ascii(c.session)) {
            EXPECT_EQ(Wide(c.sessionDigest), conn.GetSessionDigest(c.nonce, c.password))
                << "session " << testing::PrintToString(std::wstring(c.session));
        }
    }
    EXPECT_LE(6u, compared);
}

TEST(LoginDigest, Sha256OfAbcIsThePublishedDigestInLowerCase)
{
    EXPECT_EQ(Wide(kAbcSha256), Sha256HexOfText(L"abc"));
    EXPECT_EQ(64u, wcslen(Sha256HexOfText(L"")));
}

TEST(LoginDigest, UserNameGoesLowerCasedAsUtf8Bytes)
{
    // The result, taken back to the ANSI code page, is the UTF-8 of the lower-cased name.
    const struct {
        const wchar_t* name;
        const char* utf8;
    } cases[] = {
        {L"M\u00dcLLER", "m\xc3\xbcller"},
        {L"\u00c1", "\xc3\xa1"},
        {L"\u20ac", "\xe2\x82\xac"},
        {L"\u5f20", "\xe5\xbc\xa0"},
        {L"Plain", "plain"},
    };
    for (const auto& c : cases) {
        wchar_t text[128];
        wcscpy(text, c.name);
        CInnovaphoneVars::ToUtf8Text(text, _countof(text));
        char bytes[512];
        CopyWideToAnsi(bytes, text, sizeof bytes - 1);
        EXPECT_STREQ(c.utf8, bytes);
    }
}

TEST(LoginDigest, LongTextsStayInsideTheirBuffers)
{
    // A 127-character name of three-byte letters is 381 bytes: cut to the buffer, terminated.
    wchar_t text[128];
    for (int i = 0; i < 127; ++i)
        text[i] = L'\u5f20';
    text[127] = L'\0';
    CInnovaphoneVars::ToUtf8Text(text, _countof(text));
    EXPECT_EQ(127u, wcslen(text));

    CInnovaphoneVars conn(L"User");
    for (int i = 0; i < 255; ++i)
        conn.m_szDomain[i] = conn.m_szChallenge[i] = L'd';
    for (int i = 0; i < 127; ++i)
        conn.m_szUser[i] = conn.m_szPassword[i] = conn.m_szSession[i] = L'u';
    EXPECT_EQ(64u, wcslen(conn.GetUserDigest(L"3b81e0c7d2946fa5")));
    EXPECT_EQ(64u, wcslen(conn.GetSessionDigest(L"3b81e0c7d2946fa5", conn.m_szPassword)));
}

TEST(ConnectionValues, ResetKeepsCredentialsAndStoredSession)
{
    CInnovaphoneVars conn(L"A connection name longer than thirty-one characters");
    EXPECT_EQ(31u, wcslen(conn.m_szSection));
    wcscpy(conn.m_szUser, L"anna");
    wcscpy(conn.m_szPassword, L"pw");
    wcscpy(conn.m_szSession, L"sess");
    wcscpy(conn.m_szExSession, L"{\"usr\":\"00\"}");
    wcscpy(conn.m_szURL, L"ws://pbx/");
    wcscpy(conn.m_szInfo, L"{\"cn\":\"x\"}");
    wcscpy(conn.m_szDigest, L"dg");
    wcscpy(conn.m_szGUID, L"{guid}");
    wcscpy(conn.m_szChallenge, L"ch");
    wcscpy(conn.m_szPrefixSubs, L"0");
    wcscpy(conn.m_szSend, L"{}");
    conn.m_bLogin = 1;
    conn.m_dwHandleCall = 7;
    conn.ResetValues();
    EXPECT_STREQ(L"anna", conn.m_szUser);
    EXPECT_STREQ(L"pw", conn.m_szPassword);
    EXPECT_STREQ(L"sess", conn.m_szSession);
    EXPECT_STREQ(L"{\"usr\":\"00\"}", conn.m_szExSession);
    EXPECT_STREQ(L"ws://pbx/", conn.m_szURL);
    EXPECT_STREQ(L"{\"cn\":\"x\"}", conn.m_szInfo);
    EXPECT_STREQ(L"dg", conn.m_szDigest);
    EXPECT_STREQ(L"", conn.m_szGUID);
    EXPECT_STREQ(L"", conn.m_szChallenge);
    EXPECT_STREQ(L"", conn.m_szPrefixSubs);
    EXPECT_STREQ(L"", conn.m_szSend);
    EXPECT_EQ(0, conn.m_bLogin);
    EXPECT_EQ(0u, conn.m_dwHandleCall);
}

}  // namespace
