#include "plugin_support/NumberCanonical.h"

#include "plugin_support/PredialNumbers.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

const wchar_t kNoLocations[] = L"Software\\OrvixTest\\NumberCanonicalTest\\None";

struct CanonicalCase {
    const wchar_t* in;
    const wchar_t* out;
};

std::wstring Canonical(const wchar_t* number, const wchar_t* area = nullptr)
{
    wchar_t buffer[32];
    wcscpy(buffer, number);
    return CanonicalisePhoneNumber(buffer, area);
}

}  // namespace

TEST(Canonical, GermanLocation)
{
    CPredialNumbers p(HKEY_CURRENT_USER, kNoLocations);
    p.SetTestParameters(49, L"711", L"0", L"0", L"", L"");
    const CanonicalCase cases[] = {
        {L"0711 123456", L"+49711123456"},
        {L"123456", L"+49711123456"},
        {L"711123456", L"+49711123456"},  // the area code is not doubled
        {L"0049 30 1234", L"+49301234"},
        {L"+49 (0)30 1234", L"+49301234"},
        {L"0711 / 123-45", L"+4971112345"},
        {L"1234", L"1234"},
        {L"1234567890", L"+491234567890"},  // ten digits bring their own area code
        {L"12 34 56 78", L"+4971112345678"},  // blanks do not make a number long
        {L"++49 711 1234", L"+497111234"},
        {L"+ +49 711 1234", L"+497111234"},
        {L"*31#0711123", L"*31#0711123"},  // a service code, not a local number
        {L"#31#0711123", L"#31#0711123"},
        {L"0711 123*5", L"+49711123*5"},
        {L"00431 123456", L"+431123456"},
        {L"+4307111234", L"+437111234"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.out, Canonical(c.in)) << c.in;
    EXPECT_EQ(L"+493012345", Canonical(L"1234 5", L"30")) << "an area code of the caller's";
    EXPECT_EQ(L"+4912345", Canonical(L"12345", L""));
    EXPECT_STREQ(L"", CanonicalisePhoneNumber(nullptr, nullptr));
    wchar_t edited[32] = L"0711 / 12-34";
    CanonicalisePhoneNumber(edited, nullptr);
    EXPECT_STREQ(L"07111234", edited) << "the caller's buffer is filtered in place";
}

TEST(Canonical, ItalianLocationKeepsTheTrunkZero)
{
    CPredialNumbers p(HKEY_CURRENT_USER, kNoLocations);
    p.SetTestParameters(39, L"06", L"", L"", L"", L"");
    const CanonicalCase cases[] = {
        {L"06 1234", L"+39061234"},
        {L"02 12345678", L"+390212345678"},
        {L"1234567", L"+39061234567"},
        {L"0039 06 1234", L"+39061234"},
        {L"347 1234567", L"+393471234567"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.out, Canonical(c.in)) << c.in;
}

TEST(Canonical, NoOwnCountryLeavesLocalNumbersAlone)
{
    CPredialNumbers p(HKEY_CURRENT_USER, kNoLocations);
    EXPECT_STREQ(L"", p.GetCountryCode());
    EXPECT_EQ(L"0711123456", Canonical(L"0711 123456")) << "never '+0711...'";
    EXPECT_EQ(L"+49711123456", Canonical(L"+49 711 123456"));
}

TEST(Canonical, CompactFormsAndDialStrings)
{
    CPredialNumbers p(HKEY_CURRENT_USER, kNoLocations);
    p.SetTestParameters(49, L"711", L"0", L"0", L"", L"");
    wchar_t n[32] = L"0711 12345";
    EXPECT_STREQ(L"+4971112345", GetCanonicalNumber(n, nullptr));
    wcscpy(n, L"0711 12345");
    EXPECT_STREQ(L"+49(711)12345", FormatPhoneNumberNoBlanks(n, nullptr));
    wcscpy(n, L"+33612345678");
    EXPECT_STREQ(L"+33 612345678", FormatPhoneNumberNoBlanks(n, nullptr));
    EXPECT_STREQ(L"004971112345", GetInternationalDialString(L"+4971112345"));
    EXPECT_STREQ(L"004971112345", GetInternationalDialString(L"0711 12345"));
    EXPECT_STREQ(L"711", StripCountryCode(L"+49711", L"49"));
    EXPECT_STREQ(L"+43711", StripCountryCode(L"+43711", L"49"));
    EXPECT_STREQ(L"", StripCountryCode(L"", L"49"));
}

TEST(Canonical, NumbersFromDialTexts)
{
    CPredialNumbers p(HKEY_CURRENT_USER, kNoLocations);
    p.SetTestParameters(49, L"711", L"0", L"0", L"", L"");
    const CanonicalCase cases[] = {
        {L"tel:+49-711-FLOWERS", L"00497113569377"},
        {L"abc123", L"123"},
        {L"callto:0711 12 34 5", L"071112345"},
        {L"+49+711", L"0049711"},
        {L"4907111234", L"4907111234"},  // digits that begin with the own code stay whole
        {L"*21#x", L"*21#9"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.out, NumberFromDialText(c.in)) << c.in;
    EXPECT_EQ(63u, wcslen(NumberFromDialText(std::wstring(100, L'7').c_str())));
    EXPECT_STREQ(L"", NumberFromDialText(nullptr));
}
