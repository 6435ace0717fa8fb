#include "foundation/Format.h"

#include <gtest/gtest.h>

TEST(Format, WideFormatsFollowWindowsRules)
{
    wchar_t out[64];
    EXPECT_EQ(9, FormatW(out, 64, L"%s+%S", L"wide", "narr"));
    EXPECT_STREQ(L"wide+narr", out);
    char narrow[64];
    EXPECT_EQ(9, FormatA(narrow, 64, "%s+%S", "narr", L"wide"));
    EXPECT_STREQ("narr+wide", narrow);
}

TEST(Format, CutsAtCapacityAndTerminatesInside)
{
    wchar_t out[8];
    wmemset(out, L'#', 8);
    EXPECT_EQ(-1, FormatW(out, 5, L"%s", L"abcdefgh"));
    EXPECT_STREQ(L"abcd", out);
    EXPECT_EQ(L'#', out[5]) << "nothing is written past the capacity";
    EXPECT_EQ(4, FormatW(out, 5, L"%s", L"abcd"));
    EXPECT_EQ(-1, FormatW(out, 0, L"x"));
}

TEST(Format, CopyAndAppendReportTheCut)
{
    wchar_t out[6] = L"";
    EXPECT_EQ(0, CopyText(out, 6, L"abc"));
    EXPECT_EQ(1, AppendText(out, 6, L"def"));
    EXPECT_STREQ(L"abcde", out);
    EXPECT_EQ(0, CopyText(out, 6, nullptr));
    EXPECT_STREQ(L"", out);
    EXPECT_EQ(0, CopyTextN(out, 6, L"abcdef", 2));
    EXPECT_STREQ(L"ab", out);
}
