#include "plugin_support/JsonParserBase.h"

#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <string>
#include <type_traits>

namespace {
const wchar_t kMessage[] =
    L"{\"s\":\"abcdef\",\"digits\":\"42\",\"n\":12.7,\"neg\":-12.7,\"t\":true,\"f\":false,\"z\":null,"
    L"\"arr\":[1,\"two\"],\"obj\":{\"b\":1,\"a\":\"x/\\u00e9\"},\"big\":3e9,\"small\":-3e9,\"inf\":1e999,"
    L"\"huge\":1e40,\"half\":2.5}";

const wchar_t* const kKeys[] = {L"s", L"n", L"t", L"f", L"z", L"arr", L"obj", L"missing"};

// What each getter gives for a member, with the empty result for every other kind.
struct Results {
    std::wstring text;
    int number;
    std::wstring numberText;
    BOOL flag;
    size_t elements;
    std::wstring objectText;
};

Results Ask(const CJsonParserBase& parser, const wchar_t* key)
{
    Results r;
    wchar_t buffer[64];
    wmemset(buffer, L'#', 64);
    parser.GetString(buffer, 64, key);
    r.text = buffer;
    r.number = parser.GetInt(key);
    r.numberText = parser.GetNumberText(key);
    r.flag = parser.GetBool(key);
    r.elements = parser.GetArray(key).size();
    r.objectText = parser.GetObjectText(key);
    return r;
}

void ExpectEmpty(const CJsonParserBase& parser, const wchar_t* key)
{
    Results r = Ask(parser, key);
    EXPECT_EQ(L"", r.text) << key;
    EXPECT_EQ(0, r.number) << key;
    EXPECT_EQ(L"", r.numberText) << key;
    EXPECT_EQ(FALSE, r.flag) << key;
    EXPECT_EQ(0u, r.elements) << key;
    EXPECT_EQ(L"", r.objectText) << key;
}

TEST(JsonParserBase, EachGetterAnswersOnlyItsKind)
{
    CJsonParserBase parser;
    ASSERT_TRUE(parser.Parse(kMessage));
    struct Expect {
        const wchar_t* key;
        Results r;
    };
    const Expect table[] = {
        {L"s", {L"abcdef", 0, L"", FALSE, 0, L""}},
        {L"digits", {L"42", 0, L"", FALSE, 0, L""}},
        {L"n", {L"", 12, L"13", FALSE, 0, L""}},
        {L"neg", {L"", -12, L"-13", FALSE, 0, L""}},
        {L"t", {L"", 0, L"", TRUE, 0, L""}},
        {L"f", {L"", 0, L"", FALSE, 0, L""}},
        {L"z", {L"", 0, L"", FALSE, 0, L""}},
        {L"arr", {L"", 0, L"", FALSE, 2, L""}},
        {L"obj", {L"", 0, L"", FALSE, 0, L"{\"a\":\"x\\/\\u00E9\",\"b\":1}"}},
        {L"missing", {L"", 0, L"", FALSE, 0, L""}},
        {L"S", {L"", 0, L"", FALSE, 0, L""}},
    };
    for (const Expect& e : table) {
        Results r = Ask(parser, e.key);
        EXPECT_EQ(e.r.text, r.text) << e.key;
        EXPECT_EQ(e.r.number, r.number) << e.key;
        EXPECT_EQ(e.r.numberText, r.numberText) << e.key;
        EXPECT_EQ(e.r.flag, r.flag) << e.key;
        EXPECT_EQ(e.r.elements, r.elements) << e.key;
        EXPECT_EQ(e.r.objectText, r.objectText) << e.key;
    }
    // A lookup adds nothing: the missing member stays missing.
    ExpectEmpty(parser, L"missing");
}

TEST(JsonParserBase, NumbersOutsideTheIntRange)
{
    CJsonParserBase parser;
    ASSERT_TRUE(parser.Parse(kMessage));
    EXPECT_EQ(INT_MAX, parser.GetInt(L"big"));
    EXPECT_EQ(INT_MIN, parser.GetInt(L"small"));
    EXPECT_EQ(INT_MAX, parser.GetInt(L"inf"));
    EXPECT_EQ(L"3000000000", std::wstring(parser.GetNumberText(L"big")));
    EXPECT_EQ(L"-3000000000", std::wstring(parser.GetNumberText(L"small")));
    // No digits for an infinite value, and no cut digits for one longer than 30.
    EXPECT_EQ(L"", std::wstring(parser.GetNumberText(L"inf")));
    EXPECT_EQ(L"", std::wstring(parser.GetNumberText(L"huge")));
    ASSERT_TRUE(parser.Parse(L"{\"m\":2147483647,\"k\":-2147483648,\"p\":2147483647.9}"));
    EXPECT_EQ(INT_MAX, parser.GetInt(L"m"));
    EXPECT_EQ(INT_MIN, parser.GetInt(L"k"));
    EXPECT_EQ(INT_MAX, parser.GetInt(L"p"));
}

TEST(JsonParserBase, GetStringStaysInsideTheBuffer)
{
    CJsonParserBase parser;
    ASSERT_TRUE(parser.Parse(kMessage));
    wchar_t buffer[8];
    wmemset(buffer, L'#', 8);
    parser.GetString(buffer, 4, L"s");
    EXPECT_EQ(std::wstring(L"abc"), buffer);
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(L'#', buffer[i]) << i;
    wmemset(buffer, L'#', 8);
    parser.GetString(buffer, 1, L"s");
    EXPECT_EQ(L'\0', buffer[0]);
    EXPECT_EQ(L'#', buffer[1]);
    parser.GetString(buffer, 7, L"s");
    EXPECT_EQ(std::wstring(L"abcdef"), buffer);
    EXPECT_EQ(L'#', buffer[7]);
    parser.GetString(buffer, 0, L"s");  // nothing to write into
    EXPECT_EQ(std::wstring(L"abcdef"), buffer);
}

TEST(JsonParserBase, OnlyObjectsAreMessages)
{
    const wchar_t* rejected[] = {L"[1,2]", L"\"s\"", L"12", L"true", L"null", L"{\"a\":1", L"", nullptr};
    for (const wchar_t* text : rejected) {
        CJsonParserBase parser;
        ASSERT_TRUE(parser.Parse(kMessage));
        EXPECT_FALSE(parser.Parse(text));
        for (const wchar_t* key : kKeys)
            ExpectEmpty(parser, key);
    }
}

// A borrowed array cannot be handed to a value that would free its elements a second time.
static_assert(!std::is_constructible<CJsonValue, JsonArrayView>::value, "views are never adopted");
static_assert(!std::is_constructible<CJsonValue, JsonArray&>::value, "containers are adopted only by move");
static_assert(!std::is_constructible<CJsonValue, JsonObject&>::value, "containers are adopted only by move");

TEST(JsonParserBase, ClearAndReuse)
{
    CJsonParserBase parser;
    for (const wchar_t* key : kKeys)
        ExpectEmpty(parser, key);
    ASSERT_TRUE(parser.Parse(kMessage));
    JsonArrayView elements = parser.GetArray(L"arr");
    ASSERT_EQ(2u, elements.size());
    EXPECT_EQ(L"two", elements[1]->AsString());
    parser.Clear();
    for (const wchar_t* key : kKeys)
        ExpectEmpty(parser, key);
    ASSERT_TRUE(parser.Parse(L"{\"s\":\"next\"}"));
    wchar_t buffer[16];
    parser.GetString(buffer, 16, L"s");
    EXPECT_EQ(std::wstring(L"next"), buffer);
    EXPECT_EQ(0u, parser.GetArray(L"arr").size());
}

TEST(JsonParserBase, NestedObjectTextParsesAgain)
{
    CJsonParserBase outer;
    ASSERT_TRUE(outer.Parse(L"{\"msg\":{\"b\":{\"y\":1,\"x\":2},\"a\":0.1,\"c\":\"\\u00e9/\"}}"));
    std::wstring text = outer.GetObjectText(L"msg");
    EXPECT_EQ(L"{\"a\":0.1,\"b\":{\"x\":2,\"y\":1},\"c\":\"\\u00E9\\/\"}", text);
    CJsonParserBase inner;
    ASSERT_TRUE(inner.Parse(text.c_str()));
    EXPECT_EQ(L"{\"x\":2,\"y\":1}", std::wstring(inner.GetObjectText(L"b")));
    wchar_t c[8];
    inner.GetString(c, 8, L"c");
    EXPECT_EQ(std::wstring(L"\x00E9/"), c);
}

TEST(JsonParserBase, ObjectTextIsCut)
{
    std::wstring message = L"{\"o\":{\"k\":\"" + std::wstring(20000, L'x') + L"\"}}";
    CJsonParserBase parser;
    ASSERT_TRUE(parser.Parse(message.c_str()));
    std::wstring text = parser.GetObjectText(L"o");
    EXPECT_EQ(15999u, text.size());
    EXPECT_EQ(L"{\"k\":\"xxx", text.substr(0, 9));
}
}  // namespace
