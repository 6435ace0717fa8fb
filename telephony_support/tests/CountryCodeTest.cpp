#include "telephony_support/CountryCode.h"

#include "E164CountryCodes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(CountryCodeLength, EveryAssignedCodeFromTheE164List)
{
    for (unsigned code : kE164CountryCodes) {
        std::wstring number = L"+" + std::to_wstring(code) + L"5551234";
        EXPECT_EQ(static_cast<int>(std::to_wstring(code).size()), GetCountryCodeLength(number.c_str())) << code;
    }
}

TEST(CountryCodeLength, EveryPairOfLeadingDigits)
{
    std::set<std::wstring> codes;
    for (unsigned code : kE164CountryCodes)
        codes.insert(std::to_wstring(code));
    for (wchar_t d1 = L'0'; d1 <= L'9'; ++d1) {
        for (wchar_t d2 = L'0'; d2 <= L'9'; ++d2) {
            const std::wstring pair = {d1, d2};
            int expected = 3;  // a three-digit zone, or a pair kept spare for one
            if (codes.count(pair.substr(0, 1)))
                expected = 1;
            else if (codes.count(pair))
                expected = 2;
            EXPECT_EQ(expected, GetCountryCodeLength((L"+" + pair + L"1").c_str())) << pair;
        }
    }
}

TEST(CountryCodeLength, ShortAndOddTexts)
{
    EXPECT_EQ(1, GetCountryCodeLength(L"+1"));
    EXPECT_EQ(1, GetCountryCodeLength(L"+7"));
    EXPECT_EQ(3, GetCountryCodeLength(L"+2"));
    EXPECT_EQ(2, GetCountryCodeLength(L"+4"));
    EXPECT_EQ(2, GetCountryCodeLength(L"+4 9"));
    EXPECT_EQ(3, GetCountryCodeLength(L"+0"));
    EXPECT_EQ(3, GetCountryCodeLength(L"+"));
    EXPECT_EQ(3, GetCountryCodeLength(L"+x49"));
    EXPECT_EQ(3, GetCountryCodeLength(L"49"));
    EXPECT_EQ(3, GetCountryCodeLength(nullptr));
    EXPECT_EQ(2, GetCountryCodeLength(L"+27115551234")) << "South Africa";
}
