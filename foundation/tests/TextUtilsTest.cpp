#include "foundation/TextUtils.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

const wchar_t kMessage[] =
    L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n"
    L" <value keyword=\"Type\">3</value>\r\n"
    L" <value keyword=\"Partner\">+49301234</value>\r\n"
    L" <value keyword=\"Partner\">second</value>\r\n"
    L" <value keyword=\"Name\">M&amp;M &lt;b&gt; &quot;x&quot; &apos;y&apos; &copy; &amp</value>\r\n"
    L" <value keyword=\"Open\">no end\r\n"
    L"</data>\r\n";

struct ValueCase {
    const wchar_t* keyword;
    const wchar_t* expected;
};

}  // namespace

class BusValueReading : public ::testing::TestWithParam<ValueCase> {};

TEST_P(BusValueReading, ReadsByKeyword)
{
    EXPECT_STREQ(GetParam().expected, GetValueByKeyword(kMessage, GetParam().keyword));
    EXPECT_STREQ(GetParam().expected, GetValueByKeyword2(kMessage, GetParam().keyword));
}

INSTANTIATE_TEST_SUITE_P(Table, BusValueReading, ::testing::Values(
    ValueCase{L"Type", L"3"},
    ValueCase{L"type", L""},              // case-sensitive
    ValueCase{L"Part", L""},              // a prefix is no keyword
    ValueCase{L"Partner", L"+49301234"},  // the first of two
    ValueCase{L"Open", L""},              // no closing tag
    ValueCase{L"Missing", L""},
    // exactly the five entities are decoded; others stay
    ValueCase{L"Name", L"M&M <b> \"x\" 'y' &copy; &amp"}));

TEST(BusValueReadingLimits, LongValueIsCutAndBuffersAreIndependent)
{
    std::wstring big(70000, L'v');
    std::wstring msg = L" <value keyword=\"Big\">" + big + L"</value>\r\n <value keyword=\"Small\">s</value>";
    const wchar_t* v1 = GetValueByKeyword(msg.c_str(), L"Big");
    EXPECT_EQ(kBusValueMax, wcslen(v1));
    const wchar_t* v2 = GetValueByKeyword2(msg.c_str(), L"Small");
    EXPECT_EQ(kBusValueMax, wcslen(v1)) << "the second reader keeps the first result";
    EXPECT_STREQ(L"s", v2);
    GetValueByKeyword(msg.c_str(), L"Small");
    EXPECT_STREQ(L"s", v1) << "a second call of the same reader overwrites";
    EXPECT_STREQ(L"", GetValueByKeyword(nullptr, L"x"));
    EXPECT_STREQ(L"", GetValueByKeyword(L"x", nullptr));
}

TEST(BusValueReadingLimits, ThreadsHaveTheirOwnResults)
{
    const wchar_t* mine = GetValueByKeyword(kMessage, L"Type");
    std::thread other([] { GetValueByKeyword(kMessage, L"Partner"); });
    other.join();
    EXPECT_STREQ(L"3", mine);
}

TEST(BusValueReadingLimits, KeyAtTheEndOfTheBufferIsNotOverRead)
{
    testing_support::GuardedBuffer guard(4096);
    EXPECT_STREQ(L"", GetValueByKeyword(guard.PlaceText(L" <value keyword=\"Type\">"), L"Type"));
    EXPECT_STREQ(L"", GetValueByKeyword(guard.PlaceText(L" <value keyword=\"Type\">3</valu"), L"Type"));
    EXPECT_STREQ(L"3", GetValueByKeyword(guard.PlaceText(L" <value keyword=\"Type\">3</value>"), L"Type"));
    EXPECT_STREQ(L"a &am", GetValueByKeyword(guard.PlaceText(L"<value keyword=\"T\">a &am</value>"), L"T"));
}

TEST(TagReaders, Table)
{
    EXPECT_STREQ(L"inner", GetTagText(L"<a><name>inner</name></a>", L"name"));
    EXPECT_STREQ(L"", GetTagText(L"<name>never closed", L"name"));
    EXPECT_STREQ(L"text", GetTextAfterMarker(L"<td class=x>text<br>", L"class"));
    EXPECT_STREQ(L"", GetTextAfterMarker(L"marker without", L"marker"));
    EXPECT_STREQ(L"body", GetElementText(L"<item id=1>body</item>", L"item"));
    EXPECT_STREQ(L"open end", GetElementText(L"<item>open end", L"item"));
    EXPECT_STREQ(L"\"5\" ", GetAttributeText(L"<x=\"5\" />", L"x"));
    EXPECT_STREQ(L"", GetAttributeText(L"<x=\"5\"", L"x"));
}

TEST(TagReaders, LongTagTextKeepsItsHead)
{
    std::wstring text = L"<t>" + std::wstring(9000, L'x') + L"</t>";
    EXPECT_EQ(7998u, wcslen(GetTagText(text.c_str(), L"t")));
}

TEST(InPlaceEdits, Table)
{
    wchar_t t[64];
    wcscpy(t, L"  a b  ");
    TrimBlanks(t);
    EXPECT_STREQ(L"a b", t);
    wcscpy(t, L"   ");
    TrimBlanks(t);
    EXPECT_STREQ(L"", t);
    wcscpy(t, L"\t a ");
    TrimBlanks(t);
    EXPECT_STREQ(L"\t a", t) << "only blanks are trimmed";
    wcscpy(t, L"   abcdef");
    TrimLeadingBlanks(t, 4);
    EXPECT_STREQ(L"abc", t);
    wcscpy(t, L"a b \"c\"");
    RemoveBlanks(t);
    RemoveQuotes(t);
    EXPECT_STREQ(L"abc", t);
    wcscpy(t, L"x'a b' c");
    QuotedBlanksToChar(t, L'_');
    EXPECT_STREQ(L"x a_b  c", t);
    wcscpy(t, L"one\r\ntwo");
    CutAtLineEnd(t);
    EXPECT_STREQ(L"one", t);
    wcscpy(t, L"a b");
    BlanksToChar(t, L'-');
    EXPECT_STREQ(L"a-b", t);
    CharToBlanks(t, L'-');
    EXPECT_STREQ(L"a b", t);
}

TEST(Numbers, ParseAndTest)
{
    EXPECT_EQ(16, ParseNumber(L"0x10"));
    EXPECT_EQ(31, ParseNumber(L"0x1F"));
    EXPECT_EQ(12, ParseNumber(L"12ab"));
    EXPECT_EQ(-7, ParseNumber(L"  -7"));
    EXPECT_EQ(0, ParseNumber(L"abc"));
    EXPECT_EQ(0, IsNumberText(L""));
    EXPECT_EQ(0, IsNumberText(nullptr));
    EXPECT_EQ(1, IsNumberText(L"1.5"));
    EXPECT_EQ(0, IsNumberText(L"-1"));
    EXPECT_STREQ(L"a b", GetTrimmedText(L"  a b  "));
}

TEST(Numbers, ParseHexBytesIsBoundedByTheDestination)
{
    // The bytes right behind the destination, in the same object, so that a write past its
    // end lands in them.
    struct {
        BYTE out[3];
        BYTE behind[4];
    } block = {{0, 0, 0}, {0xEE, 0xEE, 0xEE, 0xEE}};
    EXPECT_EQ(3u, ParseHexBytes(block.out, 3, L"0A1bFF7766"));
    EXPECT_EQ(0x0A, block.out[0]);
    EXPECT_EQ(0x1B, block.out[1]);
    EXPECT_EQ(0xFF, block.out[2]);
    for (BYTE b : block.behind)
        EXPECT_EQ(0xEE, b);
    testing_support::GuardedBuffer guard(64);
    BYTE two[4] = {};
    EXPECT_EQ(1u, ParseHexBytes(two, 4, guard.PlaceText(L"41F")));  // the odd last digit is ignored
    EXPECT_EQ(0x41, two[0]);
}

TEST(WindowTexts, NumberAndPercent)
{
    HWND w = CreateWindowW(L"STATIC", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, w);
    SetWindowNumber(w, 42);
    wchar_t text[32];
    GetWindowTextW(w, text, 32);
    EXPECT_STREQ(L" 42", text);
    EXPECT_EQ(42u, GetWindowNumber(w));
    SetWindowPercent(w, 1, 3);
    GetWindowTextW(w, text, 32);
    EXPECT_STREQ(L"  33.33%", text);
    SetWindowPercent(w, 1, 0);
    GetWindowTextW(w, text, 32);
    EXPECT_STREQ(L"  0.00%", text);
    DestroyWindow(w);
}

TEST(CodePages, ConversionsAlwaysTerminate)
{
    wchar_t wide[8];
    wmemset(wide, L'#', 8);
    AnsiToWide(wide, 4, "abcdefgh");
    EXPECT_STREQ(L"abcd", wide);
    EXPECT_EQ(L'#', wide[5]);
    char ansi[8];
    memset(ansi, '#', 8);
    WideToAnsi(ansi, 4, L"\u00e4bcdefg");
    EXPECT_EQ(4u, strlen(ansi));
    EXPECT_EQ('\xe4', ansi[0]) << "code page 1252";
    WideToAnsi(ansi, 4, nullptr);
    EXPECT_STREQ("", ansi);
    CopyWideToTchar(wide, L"xyz12345", 3);
    EXPECT_STREQ(L"xyz", wide);
}
