#include "plugin_support/PluginText.h"

#include "bus/BusMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace {
TEST(ModuleBusValue, ReadsOnlyThePrefixedKeyword)
{
    const wchar_t* message =
        L"<data>\r\n <value keyword=\"User\">plain</value>\r\n"
        L" <value keyword=\"PLUGINTELEPHONYORKANE_User\">abc</value>\r\n"
        L" <value keyword=\"PLUGINTELEPHONYORKANE_Name\">a &amp; b &lt;c&gt;</value>\r\n"
        L" <value keyword=\"PLUGINTELEPHONYORKANE_Empty\"></value>\r\n"
        L" <value keyword=\"PLUGINTELEPHONYORKANE_Open\">no end\r\n</data>\r\n";
    struct Case {
        const wchar_t* key;
        const wchar_t* value;
    };
    const Case cases[] = {
        {L"User", L"abc"}, {L"user", L""}, {L"Name", L"a & b <c>"}, {L"Empty", L""}, {L"Open", L""}, {L"Missing", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::wstring(c.value), GetModuleBusValue(message, c.key)) << c.key;
    EXPECT_EQ(L"", std::wstring(GetModuleBusValue(nullptr, L"User")));
    EXPECT_EQ(L"", std::wstring(GetModuleBusValue(message, nullptr)));
    EXPECT_EQ(L"", std::wstring(GetModuleBusValue(message, std::wstring(600, L'k').c_str())));
}

TEST(ModuleBusValue, LongValuesAreCutAt65534)
{
    std::wstring message = L"<value keyword=\"PLUGINTELEPHONYORKANE_Big\">" + std::wstring(70000, L'v') + L"</value>";
    EXPECT_EQ(65534u, std::wstring(GetModuleBusValue(message.c_str(), L"Big")).size());
}

TEST(UrlPercent, Encodes)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* encoded;
    };
    const Case cases[] = {
        {L"a&b c/d", L"a%26b%20c%2Fd"},
        {L"100%", L"100%25"},
        {L"\x00E9{|}~'()*", L"\x00E9{|}~'()*"},
        {L"\"<>%\\^[]`+$,@:;/!#?=& ", L"%22%3C%3E%25%5C%5E%5B%5D%60%2B%24%2C%40%3A%3B%2F%21%23%3F%3D%26%20"},
        {L"\t\x7F-_.", L"\t\x7F-_."},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::wstring(c.encoded), UrlPercentEncode(c.text)) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(L"", std::wstring(UrlPercentEncode(nullptr)));
}

TEST(UrlPercent, ReservedSet)
{
    std::wstring reserved;
    for (unsigned c = 1; c < 0x10000; ++c)
        if (IsUrlReservedChar(static_cast<wchar_t>(c)))
            reserved += static_cast<wchar_t>(c);
    EXPECT_EQ(22u, reserved.size());
    EXPECT_EQ(L" !\"#$%&+,/:;<=>?@[\\]^`", reserved);
    EXPECT_FALSE(IsUrlReservedChar(L'\0'));
}

TEST(UrlPercent, EncodingIsCutAt8190)
{
    std::wstring longText(9000, L'x');
    EXPECT_EQ(8190u, std::wstring(UrlPercentEncode(longText.c_str())).size());
    std::wstring blanks = L"x" + std::wstring(5000, L' ');  // 15,001 encoded characters
    std::wstring encoded = UrlPercentEncode(blanks.c_str());
    EXPECT_EQ(8190u, encoded.size());
    EXPECT_EQ(L"%20%2", encoded.substr(8185));  // the last escape is cut inside
}

TEST(UrlPercent, Decodes)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* decoded;
    };
    const Case cases[] = {
        {L"a%26b%20c", L"a&b c"},
        {L"%2f", L"/"},
        {L"%2F%2f", L"//"},
        {L"a%zzb", L"a"},
        {L"a%4zb", L"a\x0004" L"b"},
        {L"a%00b", L"a"},
        {L"%E9t%C3%A9", L"\x00E9t\x00C3\x00A9"},
        {L"end%", L"end"},
        {L"end%4", L"end\x0004"},
        {L"no escapes", L"no escapes"},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::wstring(c.decoded), UrlPercentDecode(c.text)) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(L"", std::wstring(UrlPercentDecode(nullptr)));
    std::wstring longText(9000, L'y');
    EXPECT_EQ(8191u, std::wstring(UrlPercentDecode(longText.c_str())).size());
    std::wstring encoded = UrlPercentEncode(L"Name: a&b / c?d=e");
    EXPECT_EQ(L"Name: a&b / c?d=e", std::wstring(UrlPercentDecode(encoded.c_str())));
}
}  // namespace
