#include "plugin_support/Json.h"

#include "foundation/Format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace {
std::wstring Compact(const wchar_t* text)
{
    std::unique_ptr<CJsonValue> value(JsonParse(text));
    return value ? value->Stringify(false) : L"<parse failed>";
}

TEST(JsonWriter, WritesNumbersAsPercentDot15g)
{
    struct Case {
        double value;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0.1, L"0.1"},
        {100, L"100"},
        {0.0001, L"0.0001"},
        {0.00001, L"1e-05"},
        {1e15, L"1e+15"},
        {1e20, L"1e+20"},
        {123456789012345.0, L"123456789012345"},
        {999999999999999.0, L"999999999999999"},
        {9999999999999999.0, L"1e+16"},
        {1.0 / 3, L"0.333333333333333"},
        {-2.5, L"-2.5"},
        {0.0, L"0"},
        {-0.0, L"-0"},
        {1e-300, L"1e-300"},
        {1.7976931348623157e308, L"1.79769313486232e+308"},
        {123.456, L"123.456"},
        {-0.000123, L"-0.000123"},
        {12.7, L"12.7"},
        {std::numeric_limits<double>::infinity(), L"null"},
        {-std::numeric_limits<double>::infinity(), L"null"},
        {std::numeric_limits<double>::quiet_NaN(), L"null"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::wstring(c.text), CJsonValue(c.value).Stringify()) << c.value;
    EXPECT_EQ(L"-42", CJsonValue(-42).Stringify());
}

TEST(JsonWriter, NumbersIgnoreTheLocale)
{
    struct RestoreLocale {
        std::string saved;
        ~RestoreLocale() { setlocale(LC_ALL, saved.c_str()); }
    } restore{setlocale(LC_ALL, nullptr) ? setlocale(LC_ALL, nullptr) : "C"};
    if (!setlocale(LC_ALL, "German_Germany.1252") && !setlocale(LC_ALL, "de-DE"))
        GTEST_SKIP() << "no German locale in this C runtime";
    ASSERT_EQ(',', *localeconv()->decimal_point);
    wchar_t runtime[32];
    FormatW(runtime, _countof(runtime), L"%.15g", 0.5);
    EXPECT_EQ(std::wstring(L"0,5"), runtime);  // what the C runtime itself would write
    EXPECT_EQ(L"0.5", CJsonValue(0.5).Stringify());
    EXPECT_EQ(L"[1.25e-07,-3.5]", Compact(L"[1.25e-7,-3.5]"));
}

TEST(JsonWriter, EscapesToPlainAscii)
{
    EXPECT_EQ(L"\"a\\/b\"", CJsonValue(L"a/b").Stringify());
    EXPECT_EQ(L"\"\\u00E9\"", CJsonValue(L"\x00E9").Stringify());
    EXPECT_EQ(L"\"\\\"\\\\\\b\\f\\n\\r\\t\"", CJsonValue(L"\"\\\b\f\n\r\t").Stringify());
    EXPECT_EQ(L"\"\\u0001\\u001F \\u007F~\\uD834\\uDD1E\\uFFFF\"",
              CJsonValue(std::wstring(L"\x0001\x001F \x007F~\xD834\xDD1E\xFFFF")).Stringify());
    EXPECT_EQ(L"\"\\u0000\"", CJsonValue(std::wstring(1, L'\0')).Stringify());
}

TEST(JsonWriter, WritesCompactTreesInNameOrder)
{
    EXPECT_EQ(L"{\"a\":2,\"b\":1}", Compact(L"{ \"b\" : 1 , \"a\" : 2 }"));
    EXPECT_EQ(L"[true,false,null,\"x\",[],{}]", Compact(L"[TRUE, False, nULL, \"x\", [ ], { }]"));
    EXPECT_EQ(L"{\"a\":{\"c\":[1,2],\"d\":\"\\u00E9\\/\"}}", Compact(L"{\"a\":{\"d\":\"\\u00e9/\",\"c\":[1,2]}}"));
    EXPECT_EQ(L"[1e+20,150,0.2,null]", Compact(L"[1e20,1.5e2,2E-1,1e999]"));
    EXPECT_EQ(L"", JsonStringify(nullptr));
    CJsonValue value(L"x");
    EXPECT_EQ(L"\"x\"", JsonStringify(&value));
}

TEST(JsonWriter, WritesIndentedTrees)
{
    EXPECT_EQ(L"{\n  \"a\":1,\"b\":2\n}", std::unique_ptr<CJsonValue>(JsonParse(L"{\"b\":2,\"a\":1}"))->Stringify(true));
    EXPECT_EQ(L"[\n  1,[\n    2,3\n  ]\n]", std::unique_ptr<CJsonValue>(JsonParse(L"[1,[2,3]]"))->Stringify(true));
    EXPECT_EQ(L"{\n  \"a\":{\n    \"b\":null\n  }\n}",
              std::unique_ptr<CJsonValue>(JsonParse(L"{\"a\":{\"b\":null}}"))->Stringify(true));
    EXPECT_EQ(L"\"s\"", CJsonValue(L"s").Stringify(true));
}

TEST(JsonWriter, WrittenTextReadsBackTheSame)
{
    const wchar_t* texts[] = {
        L"{\"z\":[1,2.5,-3e-07,\"\\u0001\\t\\u00E9\\uD834\\uDD1E\"],\"a\":{\"n\":null,\"t\":true}}",
        L"[[],{},\"\\/\\\\\\\"\",0.333333333333333,1e+300]",
    };
    for (const wchar_t* text : texts) {
        std::wstring once = Compact(text);
        EXPECT_EQ(once, Compact(once.c_str()));
        std::unique_ptr<CJsonValue> value(JsonParse(text));
        ASSERT_TRUE(value);
        std::wstring pretty = value->Stringify(true);
        EXPECT_EQ(once, Compact(pretty.c_str()));
    }
}
}  // namespace
