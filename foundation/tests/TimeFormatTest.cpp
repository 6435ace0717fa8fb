#include "foundation/TimeFormat.h"

#include "foundation/Seams.h"

#include <gtest/gtest.h>

#include <string>

namespace {
SYSTEMTIME g_now;
void WINAPI FixedNow(LPSYSTEMTIME t) { *t = g_now; }

SYSTEMTIME Make(int y, int mo, int d, int h, int mi, int s, int ms)
{
    SYSTEMTIME t = {};
    t.wYear = y; t.wMonth = mo; t.wDay = d; t.wHour = h; t.wMinute = mi; t.wSecond = s; t.wMilliseconds = ms;
    return t;
}

class FixedClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_local = g_pfnGetLocalTime;
        m_utc = g_pfnGetSystemTime;
        g_pfnGetLocalTime = FixedNow;
        g_pfnGetSystemTime = FixedNow;
        g_now = Make(2024, 3, 5, 14, 7, 9, 123);
    }
    void TearDown() override
    {
        g_pfnGetLocalTime = m_local;
        g_pfnGetSystemTime = m_utc;
    }
    decltype(g_pfnGetLocalTime) m_local, m_utc;
};
}  // namespace

TEST(NumberTexts, Table)
{
    EXPECT_STREQ(L"-5", FormatDecimal(-5));
    EXPECT_STREQ(L"0x0000BEEF", FormatHex32(0xBEEF));
    EXPECT_STREQ(L"0x00000001 0x00000002 0x0000000A 0xFFFFFFFF", FormatDwords4(1, 2, 10, 0xFFFFFFFF));
    EXPECT_STREQ(L"010000000000000000002", IpToSortKey(L"10.0.0.2"));
    EXPECT_STREQ(L"192000168000001000010", IpToSortKey(L"192.168.1.10"));
    EXPECT_STREQ(L"000000000000000000000", IpToSortKey(L"garbage"));
}

TEST(Guids, FormsAndUniqueness)
{
    std::wstring a = CreateGuidString();
    std::wstring b = CreateGuidString();
    EXPECT_EQ(38u, a.size());
    EXPECT_EQ(L'{', a.front());
    EXPECT_NE(a, b);
    std::wstring id = CreateGuidIdentifier();
    EXPECT_EQ(37u, id.size());
    EXPECT_EQ(std::wstring::npos, id.find(L'-'));
    GUID g = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_STREQ(L"12345678-9ABC-DEF0-0102-030405060708", FormatGuid(g));
}

TEST_F(FixedClock, DateFormatsTable)
{
    SYSTEMTIME t = g_now;
    EXPECT_STREQ(L"05.03.2024 14:07:09:123", FormatSystemTimeColonMs(&t));
    EXPECT_STREQ(L"05.03.2024 14:07:09", FormatLocalNow());
    EXPECT_STREQ(L"05.03.2024 14:07:09", FormatLocalNowLong());
    EXPECT_STREQ(L"05.03.2024 14:07:09", FormatSystemTime(t));
    EXPECT_STREQ(L"05.03.2024 14:07:09.123", FormatLocalNowMs());
    EXPECT_STREQ(L"05.03.2024 14:07:09.123", FormatSystemTimeMs(t));
    EXPECT_STREQ(L"2024-03-05 14:07:09", FormatSystemTimeSortable(&t, 0));
    EXPECT_STREQ(L"20240305 14:07:09", FormatSystemTimeSortable(&t, 1));
    EXPECT_STREQ(L"20240305140709", FormatSystemTimeSortable(&t, 2));
    EXPECT_STREQ(L"_20240305_140709", LocalTimeSuffix());
    EXPECT_STREQ(L"_20240305_140709_123", LocalTimeSuffixMs());
    EXPECT_EQ(2024000305140709123ull, GetLocalTimeNumber());
    EXPECT_EQ((((5ull * 24 + 14) * 60 + 7) * 60 + 9) * 1000 + 123, GetMsOfMonth());
}

TEST(Durations, HoursMinutesSecondsTakenModulo60)
{
    EXPECT_STREQ(L"01:02:03.004", FormatDuration(3723004));
    EXPECT_STREQ(L"01:00:00.000", FormatDuration(61ull * 3600 * 1000));
    EXPECT_STREQ(L"00:00:00.000", FormatDuration(0));
}

TEST_F(FixedClock, StopwatchCountsAcrossTheEndOfAMonth)
{
    g_now = Make(2024, 1, 31, 23, 59, 59, 500);
    StartStopwatch();
    g_now = Make(2024, 2, 1, 0, 0, 1, 0);
    DWORD ms = 0;
    EXPECT_STREQ(L"00:00:00:01:500", GetStopwatchText(&ms));
    EXPECT_EQ(1500u, ms);
    g_now = Make(2024, 2, 3, 1, 0, 1, 0);
    EXPECT_STREQ(L"02:01:00:01:500", GetStopwatchText(nullptr));
}

TEST(TimeT, UtcRoundTripAndKnownValue)
{
    SYSTEMTIME t = Make(2024, 3, 5, 14, 7, 9, 0);
    EXPECT_EQ(1709647629, SystemTimeToTimeTEx(t, FALSE));
    SYSTEMTIME back;
    TimeTToSystemTimeEx(&back, 1709647629, FALSE);
    EXPECT_EQ(2024, back.wYear);
    EXPECT_EQ(14, back.wHour);
    EXPECT_EQ(2, back.wDayOfWeek) << "a Tuesday";
    SYSTEMTIME later = Make(2100, 1, 1, 0, 0, 0, 0);
    EXPECT_EQ(4102444800ll, SystemTimeToTimeTEx(later, FALSE)) << "beyond 2038: 64-bit seconds";
    SYSTEMTIME local;
    TimeTToSystemTime(&local, SystemTimeToTimeT(t));
    EXPECT_EQ(t.wHour, local.wHour);
    EXPECT_EQ(t.wDay, local.wDay);
}

TEST(Waiting, WaitWhileFlag)
{
    volatile LONG flag = 1;
    DWORD start = GetTickCount();
    WaitWhileFlag(0, &flag);
    EXPECT_LT(GetTickCount() - start, 1000u) << "returns at once";
    flag = 0;
    WaitWhileFlag(5, &flag);
    EXPECT_LT(GetTickCount() - start, 1000u) << "a cleared flag ends the wait after one round";
}
