#include "foundation/TextEncoding.h"

#include "foundation/Seams.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::GuardedBuffer;

TEST(AppendPrintf, CutsToCapacityAndReportsIt)
{
    wchar_t dst[10] = L"12345678";
    EXPECT_NE(0, AppendPrintf(dst, 10, L"%s", L"abc"));
    EXPECT_STREQ(L"12345678a", dst);
    wchar_t ok[32] = L"n=";
    EXPECT_EQ(0, AppendPrintf(ok, 32, L"%d %s %S", 5, L"wide", "narrow"));
    EXPECT_STREQ(L"n=5 wide narrow", ok);
}

struct DecodeCase {
    const wchar_t* in;
    int drop;
    const wchar_t* out;
};

class HtmlEntities : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(HtmlEntities, DecodesWholeReferencesOnly)
{
    GuardedBuffer guard(512);
    wchar_t* text = guard.PlaceText(GetParam().in);  // any over-read hits the guard page
    DecodeHtmlEntities(text, GetParam().drop);
    EXPECT_STREQ(GetParam().out, text);
}

INSTANTIATE_TEST_SUITE_P(Table, HtmlEntities, ::testing::Values(
    DecodeCase{L"&#065;", 0, L"A"},
    DecodeCase{L"&#65;B", 0, L"AB"},  // the next character is kept
    DecodeCase{L"&lt;&gt;&amp;&quot;&apos;&nbsp;", 0, L"<>&\"' "},
    DecodeCase{L"a & b", 0, L"a & b"},
    DecodeCase{L"&lt", 0, L"&lt"},
    DecodeCase{L"&#6", 0, L"&#6"},
    DecodeCase{L"&#", 0, L"&#"},
    DecodeCase{L"&", 0, L"&"},
    DecodeCase{L"&ltx;", 0, L"&ltx;"},
    DecodeCase{L"a\tb\r\nc", 1, L"abc"},
    DecodeCase{L"a\tb", 0, L"a\tb"}));

TEST(UrlDecoding, PlusSpaceAndDroppedEscapes)
{
    GuardedBuffer guard(256);
    wchar_t* t = guard.PlaceText(L"a%2bb%20c%2Bd%41e");
    DecodeUrlPlusSpace(t);
    EXPECT_STREQ(L"a+b c+de", t);
    for (const wchar_t* tail : {L"x%", L"x%4", L"x%2"}) {
        wchar_t* at = guard.PlaceText(tail);
        DecodeUrlPlusSpace(at);
        EXPECT_STREQ(L"x", at) << "a cut escape at the end";
    }
}

TEST(UnicodeEscapes, DecodeTheWholeCodeUnit)
{
    wchar_t t[64] = L"\\u00e4 \\u20ac \\u12 end";
    DecodeUnicodeEscapes(t, 64);
    EXPECT_STREQ(L"\u00e4 \u20ac \\u12 end", t);
    GuardedBuffer guard(64);
    wchar_t* at = guard.PlaceText(L"\\u00");
    DecodeUnicodeEscapes(at, 5);
    EXPECT_STREQ(L"\\u00", at);
}

TEST(ValueAfterKey, Table)
{
    EXPECT_STREQ(L"42", GetValueAfterKey(L"{id:42,name:x}", L"id", L',', 0));
    EXPECT_STREQ(L"x", GetValueAfterKey(L"{id:42,name:x}", L"name", L',', 0));
    EXPECT_STREQ(L"", GetValueAfterKey(L"k= v;", L"k", L';', 0));
    EXPECT_STREQ(L" v", GetValueAfterKey(L"k= v;", L"k", L';', 1));
    EXPECT_STREQ(L"", GetValueAfterKey(L"k=v", L"missing", L';', 0));
    GuardedBuffer guard(64);
    EXPECT_STREQ(L"", GetValueAfterKey(guard.PlaceText(L"a key"), L"key", L';', 0)) << "key at the very end";
}

TEST(Hex, BytesToHexAndBack)
{
    std::vector<BYTE> bytes(600, 0xAB);
    EXPECT_EQ(1022u, wcslen(BytesToHex(bytes.data(), bytes.size())));
    BYTE some[] = {0x00, 0x7F, 0xFE};
    EXPECT_STREQ(L"007FFE", BytesToHex(some, 3));
    BYTE out[8] = {};
    GuardedBuffer guard(64);
    EXPECT_EQ(1u, HexToBytes(out, 8, guard.PlaceText(L"4A5")));  // odd length, count larger than the text
    EXPECT_EQ(0x4A, out[0]);
    EXPECT_EQ(2u, HexToBytes(out, 8, L"zz10"));
    EXPECT_EQ(0, out[0]);
    EXPECT_EQ(0x10, out[1]);
}

TEST(Utf8, MatchesTheSystemEncoderForEveryLength)
{
    const wchar_t* samples[] = {L"A", L"\u00e9", L"\u07ff", L"\u0800", L"\u20ac", L"\uffee", L"\U0001F600", L"a\u00e9\u20ac\U0001F600z"};
    for (const wchar_t* s : samples) {
        char expected[64];
        int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, expected, sizeof(expected), nullptr, nullptr);
        ASSERT_GT(n, 0);
        const wchar_t* units = WideToUtf8Units(s);
        std::string got;
        for (const wchar_t* p = units; *p; ++p) {
            ASSERT_LE(*p, 255);
            got.push_back(static_cast<char>(*p));
        }
        EXPECT_EQ(std::string(expected), got);
    }
}

TEST(Utf8, LongTextIsCutBetweenCharacters)
{
    std::wstring euros(3000, L'\u20ac');  // 9,000 bytes of UTF-8
    const wchar_t* units = WideToUtf8Units(euros.c_str());
    EXPECT_EQ(8190u, wcslen(units)) << "2,730 whole sequences of three";
}

TEST(Utf8, PairsToLatin1)
{
    EXPECT_STREQ("a\xe4z", Utf8PairsToLatin1("a\xc3\xa4z"));
    EXPECT_STREQ("", Utf8PairsToLatin1("\xe2\x82\xac"));  // a three-byte sequence
    EXPECT_STREQ("", Utf8PairsToLatin1("\xc1\x81"));       // decodes below 128
    GuardedBuffer guard(64);
    EXPECT_STREQ("", Utf8PairsToLatin1(guard.PlaceBytes("ab\xc3")));
    std::string big(2000, 'x');
    EXPECT_EQ(511u, strlen(Utf8PairsToLatin1(big.c_str()))) << "bounded by its 512-byte result";
}

TEST(Utf8, ContainsSequence)
{
    EXPECT_EQ(1, ContainsUtf8Sequence(L"a\x00c3\x00a4"));
    EXPECT_EQ(0, ContainsUtf8Sequence(L"plain"));
    EXPECT_EQ(0, ContainsUtf8Sequence(L"\x00c3"));
    EXPECT_EQ(0, ContainsUtf8Sequence(L"\x0100\x00c3\x00a4"));
}

TEST(SmallEdits, Table)
{
    wchar_t t[64] = L"1+2++3";
    KeepFirstPlus(t);
    EXPECT_STREQ(L"123", t);
    wcscpy(t, L"+49+30");
    KeepFirstPlus(t);
    EXPECT_STREQ(L"+4930", t);
    wcscpy(t, L"a1b2c3");
    KeepAllowedChars(t, L"0123456789");
    EXPECT_STREQ(L"123", t);
    wcscpy(t, L"aXbXc");
    ReplaceAll(t, 64, L"X", L"--");
    EXPECT_STREQ(L"a--b--c", t);
    ReplaceAll(t, 5, L"-", L"+");
    EXPECT_STREQ(L"a++b", t);
    ReplaceAll(t, 64, L"", L"zz");
    EXPECT_STREQ(L"a++b", t);
    wcscpy(t, L"ab&cd");
    EXPECT_NE(nullptr, CutAtAmpersand(t));
    EXPECT_STREQ(L"ab", t);
    EXPECT_EQ(1, EndsWith(L"file.DLL", L".DLL"));
    EXPECT_EQ(0, EndsWith(L"file.dll", L".DLL"));
    EXPECT_EQ(0, EndsWith(L"", L"x"));
    EXPECT_EQ(3, CountOccurrences(L"aaaa", L"aa"));
    wcscpy(t, L"Hi #N#, #N#!");
    ReplaceMarkerFormatted(t, 64, L"#N#", L"%s%d", L"Bo", 7);
    EXPECT_STREQ(L"Hi Bo7, Bo7!", t);
}

TEST(SmallEdits, JsonStringValueAndDateTime)
{
    wchar_t v[32] = L"untouched";
    GetJsonStringValue(v, 32, L"{\"name\":\"Anna\",\"id\":\"7\"}", L"name");
    EXPECT_STREQ(L"Anna", v);
    wcscpy(v, L"untouched");
    GetJsonStringValue(v, 32, L"{\"id\":1}", L"name");
    EXPECT_STREQ(L"untouched", v);
    SYSTEMTIME st;
    ParseDateTimeText(&st, L"2024-03-05T14:25:01");
    EXPECT_EQ(2024, st.wYear);
    EXPECT_EQ(3, st.wMonth);
    EXPECT_EQ(5, st.wDay);
    EXPECT_EQ(14, st.wHour);
    EXPECT_EQ(25, st.wMinute);
    EXPECT_EQ(1, st.wSecond);
    ParseDateTimeText(&st, L"2024");
    EXPECT_EQ(2024, st.wYear);
    EXPECT_EQ(0, st.wMonth);
}

namespace {
std::vector<std::wstring> g_debugLines;
void WINAPI RecordDebug(LPCWSTR text) { g_debugLines.push_back(text); }
}  // namespace

TEST(ConversionTests, EachDirectionPrintsItsOwnKindOfText)
{
    g_debugLines.clear();
    auto saved = g_pfnOutputDebugStringW;
    g_pfnOutputDebugStringW = RecordDebug;
    MultiByteToWideCharTest("abc", CP_ACP, 0);
    WideCharToMultiByteTest(L"xyz", CP_ACP, 0);
    g_pfnOutputDebugStringW = saved;
    std::wstring all;
    for (auto& l : g_debugLines)
        all += l;
    EXPECT_NE(std::wstring::npos, all.find(L" Input:  (0003 Chars) abc\n"));
    EXPECT_NE(std::wstring::npos, all.find(L" Output: (0004 Chars) abc\n"));
    EXPECT_NE(std::wstring::npos, all.find(L" Input:  (0003 Chars) xyz\n"));
    EXPECT_NE(std::wstring::npos, all.find(L" Output: (0004 Chars) xyz\n"));
}
