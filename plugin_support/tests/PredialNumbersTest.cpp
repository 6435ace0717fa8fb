#include "plugin_support/PredialNumbers.h"

#include "telephony_support/CountryCode.h"
#include "telephony_support/NumberTranslationSeams.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A dialling-locations key of this test's own under HKEY_CURRENT_USER, laid out as Windows
// keeps HKLM\...\Telephony\Locations.
const wchar_t kTestRoot[] = L"Software\\OrvixTest\\PredialNumbersTest";
const wchar_t kTestLocations[] = L"Software\\OrvixTest\\PredialNumbersTest\\Locations";

struct LocationValues {
    DWORD n;
    DWORD country;  // 0: no Country value
    const wchar_t* area;
    const wchar_t* outside;
    const wchar_t* longDistance;
};

class DiallingLocations : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }

    void Seed(const DWORD* currentId, std::initializer_list<LocationValues> locations)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kTestLocations, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        if (currentId)
            RegSetValueExW(key, L"CurrentID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(currentId), sizeof(DWORD));
        for (const auto& l : locations) {
            HKEY loc = nullptr;
            std::wstring name = L"Location" + std::to_wstring(l.n);
            ASSERT_EQ(ERROR_SUCCESS,
                      RegCreateKeyExW(key, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &loc, nullptr));
            if (l.country)
                RegSetValueExW(loc, L"Country", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&l.country), sizeof(DWORD));
            auto text = [&](const wchar_t* value, const wchar_t* data) {
                if (data)
                    RegSetValueExW(loc, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                   static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
            };
            text(L"AreaCode", l.area);
            text(L"OutsideAccess", l.outside);
            text(L"LongDistanceAccess", l.longDistance);
            RegCloseKey(loc);
        }
        RegCloseKey(key);
    }
};

}  // namespace

TEST_F(DiallingLocations, CurrentLocationIsReadWithItsPrefixes)
{
    DWORD current = 3;
    Seed(&current, {{1, 33, L"", L"", L""}, {3, 49, L"0711", L"0", L"9"}});
    CPredialNumbers p(HKEY_CURRENT_USER, kTestLocations);
    EXPECT_EQ(3u, p.GetCurrentLocation());
    EXPECT_STREQ(L"49", p.GetCountryCode());
    EXPECT_EQ(2u, p.GetCountryCodeLength());
    EXPECT_EQ(49u, GetCountryNumber());
    EXPECT_STREQ(L"711", p.GetAreaCode()) << "the trunk prefix is not part of the area code";
    EXPECT_STREQ(L"0", p.GetOutsideAccess());
    EXPECT_STREQ(L"9", p.GetLongDistanceAccess());
    EXPECT_STREQ(L"0", p.GetNationalPrefix());
    EXPECT_STREQ(L"00", p.GetInternationalPrefix());
    EXPECT_EQ(&p, GetPredialNumbers());
    EXPECT_TRUE(p.IsLocationComplete());
    EXPECT_TRUE(p.CheckLocationCountries());
}

TEST_F(DiallingLocations, MissingCurrentLocationFallsBackToTheLowest)
{
    DWORD current = 7;
    Seed(&current, {{5, 43, L"1", L"", L""}, {2, 41, L"044", L"", L""}});
    CPredialNumbers p(HKEY_CURRENT_USER, kTestLocations);
    EXPECT_EQ(2u, p.GetCurrentLocation());
    EXPECT_STREQ(L"41", p.GetCountryCode());
    EXPECT_STREQ(L"44", p.GetAreaCode());
}

TEST_F(DiallingLocations, TapiCountryIdentifiersBecomeDiallingCodes)
{
    DWORD current = 1;
    Seed(&current, {{1, 107, L"416", L"", L""}});
    CPredialNumbers canada(HKEY_CURRENT_USER, kTestLocations);
    EXPECT_STREQ(L"1", canada.GetCountryCode());
    EXPECT_STREQ(L"1", canada.GetNationalPrefix());
    EXPECT_STREQ(L"011", canada.GetInternationalPrefix());
    Seed(&current, {{1, 705, L"727", L"", L""}});
    CPredialNumbers kazakhstan(HKEY_CURRENT_USER, kTestLocations);
    EXPECT_STREQ(L"7", kazakhstan.GetCountryCode());
    EXPECT_STREQ(L"810", kazakhstan.GetInternationalPrefix());
}

namespace {

LONG WINAPI FailingCountryList(DWORD, DWORD, LPLINECOUNTRYLIST)
{
    return LINEERR_INIFILECORRUPT;
}

LONG WINAPI OverlongCountryList(DWORD, DWORD, LPLINECOUNTRYLIST list)
{
    list->dwNumCountries = 1000;
    list->dwCountryListOffset = 40;
    return 0;
}

}  // namespace

TEST(TapiCountries, SystemListAndFallback)
{
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            g_pfnLineGetCountryW = FailingCountryList;
        EXPECT_EQ(1u, CountryCodeFromTapiCountry(107)) << pass;
        EXPECT_EQ(1u, CountryCodeFromTapiCountry(1)) << pass;
        EXPECT_EQ(7u, CountryCodeFromTapiCountry(705)) << pass;
        EXPECT_EQ(39u, CountryCodeFromTapiCountry(379)) << pass;
        EXPECT_EQ(61u, CountryCodeFromTapiCountry(6101)) << pass;
        EXPECT_EQ(49u, CountryCodeFromTapiCountry(49)) << pass;
        EXPECT_EQ(0u, CountryCodeFromTapiCountry(0)) << pass;
    }
    // A list whose offsets point outside the block is not read.
    g_pfnLineGetCountryW = OverlongCountryList;
    EXPECT_EQ(1u, CountryCodeFromTapiCountry(107));
    g_pfnLineGetCountryW = lineGetCountryW;
}

TEST_F(DiallingLocations, AreaCodeDigitsAndTheItalianZero)
{
    DWORD current = 0;
    Seed(&current, {{0, 39, L"06", L"", L""}});
    CPredialNumbers italy(HKEY_CURRENT_USER, kTestLocations);
    EXPECT_STREQ(L"06", italy.GetAreaCode()) << "Rome's 0 belongs to the number";
    italy.SetAreaCode(L"0");
    EXPECT_STREQ(L"06", italy.GetAreaCode()) << "a zero area code leaves the stored one";

    Seed(&current, {{0, 49, L"0", L"", L""}});
    CPredialNumbers p(HKEY_CURRENT_USER, kTestLocations);
    EXPECT_STREQ(L"", p.GetAreaCode());
    p.SetAreaCode(L"0711");
    EXPECT_STREQ(L"711", p.GetAreaCode());
    p.SetAreaCode(L"");
    p.SetAreaCode(L"abc");
    EXPECT_STREQ(L"711", p.GetAreaCode());
    p.SetAreaCode(L"030x");
    EXPECT_STREQ(L"30", p.GetAreaCode());
}

TEST_F(DiallingLocations, CountriesAndCompletenessChecks)
{
    DWORD current = 1;
    Seed(&current, {{1, 33, L"", L"", L""}, {4, 0, L"", L"", L""}});
    CPredialNumbers p(HKEY_CURRENT_USER, kTestLocations);
    EXPECT_FALSE(p.CheckLocationCountries()) << "Location4 has no country";
    EXPECT_TRUE(p.IsLocationComplete()) << "France needs no area code";

    Seed(&current, {{1, 49, L"", L"", L""}});
    RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kTestLocations) + L"\\Location4").c_str());
    CPredialNumbers germany(HKEY_CURRENT_USER, kTestLocations);
    EXPECT_TRUE(germany.CheckLocationCountries());
    EXPECT_FALSE(germany.IsLocationComplete());
    Seed(&current, {{6, 49, L"30", L"", L""}});
    EXPECT_TRUE(germany.IsLocationComplete()) << "another location has an area code";
}

TEST_F(DiallingLocations, NoKeyReadsNothing)
{
    CPredialNumbers p(HKEY_CURRENT_USER, kTestLocations);
    EXPECT_FALSE(p.ReadCurrentLocation());
    EXPECT_STREQ(L"", p.GetCountryCode());
    Seed(nullptr, {{0, 49, L"711", L"", L""}});
    EXPECT_FALSE(p.ReadCurrentLocation()) << "no CurrentID";
}

TEST(DiallingPrefixes, GeneratedFromTheOwnCountry)
{
    struct Case {
        DWORD country;
        const wchar_t* national;
        const wchar_t* international;
    } cases[] = {
        {1, L"1", L"011"}, {692, L"1", L"011"}, {7, L"8", L"810"}, {998, L"8", L"810"}, {36, L"06", L"00"},
        {52, L"01", L"00"}, {53, L"0", L"119"}, {57, L"09", L"009"}, {61, L"0", L"0011"}, {82, L"0", L"001"},
        {81, L"0", L"010"}, {234, L"0", L"009"}, {255, L"0", L"000"}, {268, L"0", L"00*"}, {371, L"8", L"00"},
        {886, L"0", L"002"}, {65, L"x", L"001"}, {235, L"x", L"15"}, {685, L"x", L"0"}, {675, L"x", L"05"},
        {680, L"x", L"011"}, {850, L"x", L"99"}, {33, L"x", L"00"}, {975, L"x", L"00"}, {49, L"0", L"00"},
        {44, L"0", L"00"},
    };
    CPredialNumbers p(HKEY_CURRENT_USER, L"Software\\OrvixTest\\PredialNumbersTest\\None");
    for (const auto& c : cases) {
        p.SetNationalPrefix(L"x");
        p.SetTestParameters(c.country, L"", L"", L"", L"", L"");
        EXPECT_STREQ(c.national, p.GetNationalPrefix()) << c.country;
        EXPECT_STREQ(c.international, p.GetInternationalPrefix()) << c.country;
    }
}

TEST(DiallingPrefixes, SettersFromThePbx)
{
    CPredialNumbers p(HKEY_CURRENT_USER, L"Software\\OrvixTest\\PredialNumbersTest\\None");
    p.SetTestParameters(49, L"711", L"0", L"0", L"", L"");
    p.SetCountryCode(L"");
    EXPECT_STREQ(L"49", p.GetCountryCode());
    p.SetCountryCode(L"431");
    EXPECT_EQ(431u, GetCountryNumber());
    EXPECT_EQ(3u, p.GetCountryCodeLength());
    EXPECT_STREQ(L"0", p.GetNationalPrefix()) << "not regenerated";
    p.SetInternationalPrefix(L"");
    EXPECT_STREQ(L"00", p.GetInternationalPrefix());
    p.SetInternationalPrefix(L"000");
    EXPECT_STREQ(L"000", p.GetInternationalPrefix());
    p.SetNationalPrefix(L"");
    EXPECT_STREQ(L"", p.GetNationalPrefix());
    p.SetOutsideLinePrefix(L"9");
    EXPECT_STREQ(L"9", p.GetOutsideAccess());
    EXPECT_STREQ(L"9", p.GetLongDistanceAccess());
    p.SetOutsideLinePrefix(std::wstring(40, L'8').c_str());
    EXPECT_EQ(30u, wcslen(p.GetOutsideAccess()));
}

TEST(DialStrings, EditsOfTheCallersBuffer)
{
    CPredialNumbers p(HKEY_CURRENT_USER, L"Software\\OrvixTest\\PredialNumbersTest\\None");
    p.SetTestParameters(49, L"711", L"0", L"00", L"", L"");
    struct Case {
        void (CPredialNumbers::*edit)(wchar_t*) const;
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {&CPredialNumbers::StripToneAccess, L"T0711", L"T711"},
        {&CPredialNumbers::StripToneAccess, L"T00711", L"T0711"},  // the outside access "0" once
        {&CPredialNumbers::StripToneAccess, L"0711", L"0711"},
        {&CPredialNumbers::RemoveDialPrefix, L"0049711", L"49711"},
        {&CPredialNumbers::RemoveDialPrefix, L"0711", L"711"},
        {&CPredialNumbers::RemoveDialPrefix, L"711", L"711"},
        {&CPredialNumbers::RemoveNationalPrefixes, L"0049711", L"711"},
        {&CPredialNumbers::RemoveNationalPrefixes, L"0043711", L"0043711"},
    };
    for (const auto& c : cases) {
        wchar_t text[32];
        wcscpy(text, c.in);
        (p.*c.edit)(text);
        EXPECT_STREQ(c.out, text) << c.in;
    }
    // Only a whole access prefix is skipped, and never past the end of the number.
    p.SetTestParameters(49, L"711", L"00", L"99", L"", L"");
    wchar_t tone[32] = L"T0";
    p.StripToneAccess(tone);
    EXPECT_STREQ(L"T0", tone);
    wcscpy(tone, L"T09711");
    p.StripToneAccess(tone);
    EXPECT_STREQ(L"T09711", tone);
    wcscpy(tone, L"T99711");
    p.StripToneAccess(tone);
    EXPECT_STREQ(L"T711", tone);

    wchar_t blank[32] = L"+4971112345";
    EXPECT_TRUE(p.InsertCountryBlank(blank));
    EXPECT_TRUE(p.InsertCountryBlank(blank));
    EXPECT_STREQ(L"+49 71112345", blank) << "one blank however often";
    wcscpy(blank, L"+27115551234");
    EXPECT_FALSE(p.InsertCountryBlank(blank));
    EXPECT_STREQ(L"+27 115551234", blank);
    wchar_t full[32];
    wcscpy(full, (L"+49" + std::wstring(27, L'1')).c_str());
    p.InsertCountryBlank(full);
    EXPECT_EQ(L"+49" + std::wstring(27, L'1'), full) << "no digit is pushed out";

    wchar_t digits[32] = L"+49 (711) 12-3";
    CPredialNumbers::KeepDigits(digits);
    EXPECT_STREQ(L"49711123", digits);
    wchar_t dial[32] = L"+49+711;99";
    CPredialNumbers::CleanDialString(dial);
    EXPECT_STREQ(L"+49 711", dial);
    wcscpy(dial, L"a(0)1-2.3*#x");
    CPredialNumbers::CleanDialString(dial);
    EXPECT_STREQ(L"(0)1-2.3*#", dial);
}

TEST(DialStrings, BuiltFromCanonicalNumbers)
{
    CPredialNumbers p(HKEY_CURRENT_USER, L"Software\\OrvixTest\\PredialNumbersTest\\None");
    p.SetTestParameters(49, L"711", L"0", L"0", L"", L"");
    EXPECT_STREQ(L"007111234", p.BuildDialString(L"+497111234"));
    EXPECT_STREQ(L"00033123", p.BuildDialString(L"+33123"));
    EXPECT_STREQ(L"", p.BuildDialString(L""));
    EXPECT_STREQ(L"*31#0711", p.BuildDialString(L"*31#0711"));
    p.SetTestParameters(49, L"711", L"0", L"0", L"01033", L"");
    EXPECT_STREQ(L"010337111234", p.BuildDialString(L"+497111234"));
    p.SetTestParameters(39, L"06", L"0", L"9", L"", L"");
    EXPECT_STREQ(L"9061234", p.BuildDialString(L"+39061234"));

    // The longest dial string is built whole: three prefixes of 30 and a number.
    const std::wstring w30(30, L'1');
    p.SetTestParameters(44, L"20", w30.c_str(), w30.c_str(), L"", L"");
    p.SetInternationalPrefix(std::wstring(30, L'2').c_str());
    const std::wstring number = L"+49" + std::wstring(27, L'5');
    EXPECT_EQ(w30 + std::wstring(30, L'2') + L"49" + std::wstring(27, L'5'), p.BuildDialString(number.c_str()));
}

TEST(DialStrings, GetDialStringKeepsWhatCannotBeDialledWhole)
{
    CPredialNumbers p(HKEY_CURRENT_USER, L"Software\\OrvixTest\\PredialNumbersTest\\None");
    p.SetTestParameters(49, L"711", L"", L"", L"", L"");
    wchar_t text[32] = L"1234";
    EXPECT_TRUE(p.GetDialString(text));
    EXPECT_STREQ(L"1234", text);
    wcscpy(text, L"0711 123456");
    EXPECT_TRUE(p.GetDialString(text));
    EXPECT_STREQ(L"0711 123456", text) << "no access prefixes: dialled as written";
    wcscpy(text, L"+4930123456");
    EXPECT_TRUE(p.GetDialString(text));
    EXPECT_STREQ(L"030123456", text);

    p.SetTestParameters(49, L"711", L"0", L"0", L"", L"");
    wcscpy(text, L"123456");
    EXPECT_TRUE(p.GetDialString(text));
    EXPECT_STREQ(L"00711123456", text);
    wcscpy(text, L"+33 1 23 45 67 89");
    EXPECT_TRUE(p.GetDialString(text));
    EXPECT_STREQ(L"00033123456789", text);

    p.SetOutsideLinePrefix(std::wstring(20, L'9').c_str());
    const std::wstring longNumber = L"+3312345678901";
    wcscpy(text, longNumber.c_str());
    EXPECT_FALSE(p.GetDialString(text));
    EXPECT_EQ(longNumber, text) << "a cut dial string would reach another number";
}
