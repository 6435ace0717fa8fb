#include "foundation/TimeFormat.h"

#include "foundation/Format.h"
#include "foundation/Seams.h"

#include <objbase.h>

#include <cstdlib>
#include <ctime>
#include <cwchar>

namespace {

thread_local wchar_t t_decimal[32], t_hex[32], t_hexDate[32], t_dwords[128], t_ipKey[64];
thread_local wchar_t t_guidString[64], t_guidIdent[64], t_guid[128];
thread_local wchar_t t_colonMs[128], t_localNow[32], t_localNowLong[64], t_systemTime[32];
thread_local wchar_t t_localNowMs[32], t_systemTimeMs[32], t_sortable[64], t_suffix[64], t_suffixMs[64];
thread_local wchar_t t_duration[64], t_stopwatch[32];
thread_local SYSTEMTIME t_stopwatchStart;

SYSTEMTIME LocalNow()
{
    SYSTEMTIME st;
    g_pfnGetLocalTime(&st);
    return st;
}

const wchar_t* FormatDayTime(wchar_t* buffer, size_t capacity, const SYSTEMTIME& t, bool ms)
{
    if (ms)
        FormatW(buffer, capacity, L"%02d.%02d.%04d %02d:%02d:%02d.%03d", t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute,
                t.wSecond, t.wMilliseconds);
    else
        FormatW(buffer, capacity, L"%02d.%02d.%04d %02d:%02d:%02d", t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute,
                t.wSecond);
    return buffer;
}

uint64_t FileTimeMs(const SYSTEMTIME& t)
{
    FILETIME ft;
    if (!SystemTimeToFileTime(&t, &ft))
        return 0;
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return u.QuadPart / 10000;
}

tm ToTm(const SYSTEMTIME& t)
{
    tm fields = {};
    fields.tm_year = t.wYear - 1900;
    fields.tm_mon = t.wMonth - 1;
    fields.tm_mday = t.wDay;
    fields.tm_hour = t.wHour;
    fields.tm_min = t.wMinute;
    fields.tm_sec = t.wSecond;
    fields.tm_isdst = -1;
    return fields;
}

}  // namespace

const wchar_t* FormatDecimal(int value)
{
    FormatW(t_decimal, _countof(t_decimal), L"%d", value);
    return t_decimal;
}

const wchar_t* FormatHex32(DWORD value)
{
    FormatW(t_hex, _countof(t_hex), L"0x%08X", value);
    return t_hex;
}

const wchar_t* FormatHex32Date(DWORD value)
{
    FormatW(t_hexDate, _countof(t_hexDate), L"0x%08X", value);
    return t_hexDate;
}

const wchar_t* FormatDwords4(DWORD a, DWORD b, DWORD c, DWORD d)
{
    FormatW(t_dwords, _countof(t_dwords), L"0x%08X 0x%08X 0x%08X 0x%08X", a, b, c, d);
    return t_dwords;
}

const wchar_t* IpToSortKey(const wchar_t* ip)
{
    int a = 0, b = 0, c = 0, d = 0;
    if (ip)
        swscanf(ip, L"%d.%d.%d.%d", &a, &b, &c, &d);
    FormatW(t_ipKey, _countof(t_ipKey), L"%03d%06d%06d%06d", a, b, c, d);
    return t_ipKey;
}

// A new GUID in the given layout; the buffer keeps its content when none can be made.
static const wchar_t* FormatNewGuid(wchar_t* buffer, size_t capacity, const wchar_t* format)
{
    GUID g;
    if (SUCCEEDED(CoCreateGuid(&g)))
        FormatW(buffer, capacity, format, static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buffer;
}

const wchar_t* CreateGuidString()
{
    return FormatNewGuid(t_guidString, _countof(t_guidString), L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}");
}

const wchar_t* CreateGuidIdentifier()
{
    return FormatNewGuid(t_guidIdent, _countof(t_guidIdent), L"_%08X_%04X_%04X_%02X%02X_%02X%02X%02X%02X%02X%02X");
}

const wchar_t* FormatGuid(GUID g)
{
    FormatW(t_guid, _countof(t_guid), L"%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
            static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
            g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return t_guid;
}

const wchar_t* FormatSystemTimeColonMs(const SYSTEMTIME* t)
{
    t_colonMs[0] = L'\0';
    if (t)
        FormatW(t_colonMs, _countof(t_colonMs), L"%02d.%02d.%04d %02d:%02d:%02d:%03d", t->wDay, t->wMonth, t->wYear,
                t->wHour, t->wMinute, t->wSecond, t->wMilliseconds);
    return t_colonMs;
}

const wchar_t* FormatLocalNow() { return FormatDayTime(t_localNow, _countof(t_localNow), LocalNow(), false); }
const wchar_t* FormatLocalNowLong() { return FormatDayTime(t_localNowLong, _countof(t_localNowLong), LocalNow(), false); }
const wchar_t* FormatSystemTime(SYSTEMTIME t) { return FormatDayTime(t_systemTime, _countof(t_systemTime), t, false); }
const wchar_t* FormatLocalNowMs() { return FormatDayTime(t_localNowMs, _countof(t_localNowMs), LocalNow(), true); }
const wchar_t* FormatSystemTimeMs(SYSTEMTIME t) { return FormatDayTime(t_systemTimeMs, _countof(t_systemTimeMs), t, true); }

const wchar_t* FormatSystemTimeSortable(const SYSTEMTIME* t, int style)
{
    t_sortable[0] = L'\0';
    if (!t)
        return t_sortable;
    const wchar_t* format = style == 1   ? L"%04d%02d%02d %02d:%02d:%02d"
                            : style == 2 ? L"%04d%02d%02d%02d%02d%02d"
                                         : L"%04d-%02d-%02d %02d:%02d:%02d";
    FormatW(t_sortable, _countof(t_sortable), format, t->wYear, t->wMonth, t->wDay, t->wHour, t->wMinute, t->wSecond);
    return t_sortable;
}

const wchar_t* LocalTimeSuffix()
{
    SYSTEMTIME t = LocalNow();
    FormatW(t_suffix, _countof(t_suffix), L"_%04d%02d%02d_%02d%02d%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
            t.wSecond);
    return t_suffix;
}

const wchar_t* LocalTimeSuffixMs()
{
    SYSTEMTIME t = LocalNow();
    FormatW(t_suffixMs, _countof(t_suffixMs), L"_%04d%02d%02d_%02d%02d%02d_%03d", t.wYear, t.wMonth, t.wDay, t.wHour,
            t.wMinute, t.wSecond, t.wMilliseconds);
    return t_suffixMs;
}

const wchar_t* FormatDuration(uint64_t ms)
{
    uint64_t seconds = ms / 1000;
    FormatW(t_duration, _countof(t_duration), L"%02d:%02d:%02d.%03d", static_cast<int>((seconds / 3600) % 60),
            static_cast<int>((seconds / 60) % 60), static_cast<int>(seconds % 60), static_cast<int>(ms % 1000));
    return t_duration;
}

void StartStopwatch() { t_stopwatchStart = LocalNow(); }

const wchar_t* GetStopwatchText(DWORD* elapsedMs)
{
    // Measured on the calendar, so a run across the end of a month still counts forward.
    uint64_t start = FileTimeMs(t_stopwatchStart);
    uint64_t now = FileTimeMs(LocalNow());
    uint64_t ms = start && now > start ? now - start : 0;
    if (elapsedMs)
        *elapsedMs = static_cast<DWORD>(ms);
    uint64_t s = ms / 1000;
    FormatW(t_stopwatch, _countof(t_stopwatch), L"%02d:%02d:%02d:%02d:%03d", static_cast<int>(s / 86400),
            static_cast<int>((s / 3600) % 24), static_cast<int>((s / 60) % 60), static_cast<int>(s % 60),
            static_cast<int>(ms % 1000));
    return t_stopwatch;
}

uint64_t GetLocalTimeNumber()
{
    SYSTEMTIME t = LocalNow();
    uint64_t n = static_cast<uint64_t>(t.wYear) * 10000 + t.wMonth;
    n = n * 100 + t.wDay;
    n = n * 100 + t.wHour;
    n = n * 100 + t.wMinute;
    n = n * 100 + t.wSecond;
    return n * 1000 + t.wMilliseconds;
}

uint64_t GetMsOfMonth()
{
    SYSTEMTIME t = LocalNow();
    return ((((static_cast<uint64_t>(t.wDay) * 24 + t.wHour) * 60 + t.wMinute) * 60 + t.wSecond) * 1000) + t.wMilliseconds;
}

int RandomTimesSecond()
{
    SYSTEMTIME t;
    g_pfnGetSystemTime(&t);
    return rand() * t.wSecond;
}

int64_t SystemTimeToTimeTEx(SYSTEMTIME time, BOOL local)
{
    tm fields = ToTm(time);
    return local ? _mktime64(&fields) : _mkgmtime64(&fields);
}

int64_t SystemTimeToTimeT(SYSTEMTIME time) { return SystemTimeToTimeTEx(time, TRUE); }

void TimeTToSystemTimeEx(SYSTEMTIME* result, int64_t seconds, BOOL local)
{
    if (!result)
        return;
    *result = SYSTEMTIME{};
    __time64_t value = seconds;
    tm* fields = local ? _localtime64(&value) : _gmtime64(&value);
    if (!fields)
        return;
    result->wYear = static_cast<WORD>(fields->tm_year + 1900);
    result->wMonth = static_cast<WORD>(fields->tm_mon + 1);
    result->wDay = static_cast<WORD>(fields->tm_mday);
    result->wDayOfWeek = static_cast<WORD>(fields->tm_wday);
    result->wHour = static_cast<WORD>(fields->tm_hour);
    result->wMinute = static_cast<WORD>(fields->tm_min);
    result->wSecond = static_cast<WORD>(fields->tm_sec);
}

void TimeTToSystemTime(SYSTEMTIME* result, int64_t seconds) { TimeTToSystemTimeEx(result, seconds, TRUE); }

void WaitWhileFlag(DWORD seconds, volatile LONG* flag)
{
    for (DWORD i = 0; i < seconds * 100; ++i) {
        Sleep(10);
        if (!flag || *flag == 0)
            break;
    }
}
