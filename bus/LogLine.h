// Trace lines: every module formats them the same way and posts each to the host as a log
// message (and a line holding ".Error." a second time as the last error); the host's trace
// plug-ins write them.
//
//   2026-12-10 07:42:01.007 (    32:    48) - MAIN.Func.LoadAllModules.Begin
#pragma once

#include <windows.h>

// A line of level n is written while the level is at least n (level 0 always).
extern DWORD g_dwGlobalDebugLevel;
// The module is switched off: no lines at all. Plug-ins export it (DATA).
extern "C" int g_bIgnoreModule;
// The host window the lines go to.
extern HWND g_hWndParent;

// Longest line in characters, terminator included.
constexpr size_t kLogLineCapacity = 8191;

// "MAIN" for the host (the default), the module identifier for a plug-in.
void SetLogModuleName(const wchar_t* name);

// Whether a line of the given level would be written now: work done only for such a line can
// be left out.
bool LogLevelOn(DWORD level);

// Writes one line of the given level: the prefix with the UTC time, process and thread id and
// module name, then the site's text ("Func.Name.Part...") formatted with its arguments.
void LogLine(DWORD level, const wchar_t* format, ...);

// The prefix and the formatted site text as LogLine would send them (per-thread buffer).
const wchar_t* FormatLogLine(const wchar_t* format, va_list args);
