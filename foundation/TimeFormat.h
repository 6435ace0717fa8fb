// Time stamps, durations, GUIDs and number texts. Each function writes into a buffer of its
// own (per thread) that stays valid until its next call.
#pragma once

#include <windows.h>

#include <cstdint>

const wchar_t* FormatDecimal(int value);
const wchar_t* FormatHex32(DWORD value);
const wchar_t* FormatHex32Date(DWORD value);
const wchar_t* FormatDwords4(DWORD a, DWORD b, DWORD c, DWORD d);
const wchar_t* IpToSortKey(const wchar_t* ip);
const wchar_t* CreateGuidString();
const wchar_t* CreateGuidIdentifier();
const wchar_t* FormatGuid(GUID guid);

const wchar_t* FormatSystemTimeColonMs(const SYSTEMTIME* time);
const wchar_t* FormatLocalNow();
const wchar_t* FormatLocalNowLong();
const wchar_t* FormatSystemTime(SYSTEMTIME time);
const wchar_t* FormatLocalNowMs();
const wchar_t* FormatSystemTimeMs(SYSTEMTIME time);
const wchar_t* FormatSystemTimeSortable(const SYSTEMTIME* time, int style);
const wchar_t* LocalTimeSuffix();
const wchar_t* LocalTimeSuffixMs();
const wchar_t* FormatDuration(uint64_t milliseconds);
void StartStopwatch();
const wchar_t* GetStopwatchText(DWORD* elapsedMs);
uint64_t GetLocalTimeNumber();
uint64_t GetMsOfMonth();
int RandomTimesSecond();
int64_t SystemTimeToTimeT(SYSTEMTIME time);
int64_t SystemTimeToTimeTEx(SYSTEMTIME time, BOOL local);
void TimeTToSystemTime(SYSTEMTIME* result, int64_t seconds);
void TimeTToSystemTimeEx(SYSTEMTIME* result, int64_t seconds, BOOL local);
void WaitWhileFlag(DWORD seconds, volatile LONG* flag);
