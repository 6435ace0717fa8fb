#include "foundation/DialText.h"

#include <gtest/gtest.h>

#include <string>

TEST(FilterDialableNumber, Table)
{
    struct Case {
        const wchar_t* in;
        int result;
        const wchar_t* out;
    } cases[] = {
        {L"Tel: +49 (30)  1234-56 +1 ext", 1, L"+49 (30) 1234-56 1"},
        {L"  0711 / 123 45  ", 1, L"0711 / 123 45"},
        {L"*31#", 1, L"*31#"},
        {L"no digits here", 0, L"no digits here"},  // nothing to dial: left as it was
        {L"+-()", 0, L"+-()"},
        {L"", 0, L""},
    };
    for (const Case& c : cases) {
        wchar_t text[64];
        wcscpy(text, c.in);
        EXPECT_EQ(c.result, FilterDialableNumber(text, 64)) << c.in;
        EXPECT_STREQ(c.out, text) << c.in;
    }
    wchar_t small[16] = L"0123456789";
    EXPECT_EQ(1, FilterDialableNumber(small, 8));
    EXPECT_STREQ(L"0123456", small) << "cut to the capacity";
}

TEST(DialChars, CountAndClass)
{
    EXPECT_EQ(3, CountDigits(L"a1b2c3"));
    for (wchar_t c : std::wstring(L"#()*+-./0123456789"))
        EXPECT_EQ(1, IsDialChar(c)) << c;
    for (wchar_t c : std::wstring(L"a ,;"))
        EXPECT_EQ(0, IsDialChar(c)) << c;
    EXPECT_EQ(0, IsDialChar(0));
}

TEST(FilterText, FollowsItsCopySwitch)
{
    // ':' before a value switches copying on, ':' before a blank (and a following ';') does
    // not; '{' switches it off, ';' on; '}' ends a line.
    wchar_t text[128] = L"{name:Anna;city:Berlin}{x: ;y:Rom}";
    FilterText(text);
    EXPECT_STREQ(L"AnnacityBerlin\nRom\n", text);
    wchar_t blanks[64] = L"{a:x  y;}";
    FilterText(blanks);
    EXPECT_STREQ(L"x y\n", blanks) << "a blank after a blank is dropped";
}

TEST(Scramble, RoundTripAndForm)
{
    const wchar_t* samples[] = {L"secret", L"Passw\u00f6rd 1!", L"", L"\u20acuro \u4e2d", L"x"};
    for (const wchar_t* s : samples) {
        std::wstring scrambled = ScrambleText(s);
        EXPECT_STREQ(s, UnscrambleText(scrambled.c_str())) << scrambled.c_str();
    }
    // Latin-1 keeps its two-character form of digits and letters.
    std::wstring form = ScrambleText(L"A");
    EXPECT_EQ(L"52", form) << "'A' 0x41 with k = 1 gives '0'+1+4 and '0'+1+1";
    std::wstring longText(100, L'z');
    EXPECT_EQ(126u, wcslen(ScrambleText(longText.c_str()))) << "at most 127 characters: 63 pairs";
}

TEST(SettingGroup, ValueOfASettingInItsGroup)
{
    const wchar_t* xml =
        L"<settingGroup name=\"A\"><setting name=\"x\" value=\"1\"/></settingGroup>"
        L"<settingGroup name=\"B\"><setting name=\"x\" value=\"two\"/></settingGroup>";
    wchar_t v[16] = L"stale";
    EXPECT_EQ(1, GetSettingGroupValue(xml, L"name=\"B\"", L"name=\"x\"", v, 16));
    EXPECT_STREQ(L"two", v);
    EXPECT_EQ(0, GetSettingGroupValue(xml, L"name=\"C\"", L"name=\"x\"", v, 16));
    EXPECT_STREQ(L"", v);
    EXPECT_EQ(0, GetSettingGroupValue(L"<settingGroup name=\"A\"></settingGroup><setting name=\"x\" value=\"1\"/>",
                                      L"name=\"A\"", L"name=\"x\"", v, 16))
        << "a setting after the group's end is not in it";
}

TEST(Classify, TargetsAndLocale)
{
    EXPECT_EQ(1, ClassifyTarget(L"https://example.invalid/"));
    EXPECT_EQ(1, ClassifyTarget(L"hTTp://x"));
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(2, ClassifyTarget(self));
    EXPECT_EQ(0, ClassifyTarget(L"C:\\no\\such\\file.txt"));
    EXPECT_EQ(0, ClassifyTarget(L"htt"));
    EXPECT_EQ(1, IsGermanLocaleId(0x0407));
    EXPECT_EQ(1, IsGermanLocaleId(0x0807));
    EXPECT_EQ(0, IsGermanLocaleId(0x0409));
}

TEST(Utf8Units, DecodeByteUnits)
{
    wchar_t text[512] = {0x41, 0xE2, 0x82, 0xAC, 0xC3, 0xA4, 0};  // "A€ä" as UTF-8 bytes
    EXPECT_EQ(3, Utf8UnitsToWide(text, 512));
    EXPECT_STREQ(L"A\u20ac\u00e4", text);
    wchar_t bad[512] = {0x41, 0xC3, 0};
    EXPECT_EQ(0, Utf8UnitsToWide(bad, 512));
    wchar_t small[16] = L"abc";
    EXPECT_EQ(0, Utf8UnitsToWide(small, 16)) << "capacity below 511";
}
