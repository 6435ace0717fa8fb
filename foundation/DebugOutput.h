// Developer output beside the log lines: debugger lines, quick message boxes, error texts,
// lines appended to a file and crash dumps.
#pragma once

#include <windows.h>

extern const wchar_t g_szDebugPrefix[];
extern int g_nDebugPrefixLen;

void DebugPrint(int level, const wchar_t* format, ...);
void DebugPrintThread(const wchar_t* format, ...);
void DebugPrintRaw(const wchar_t* format, ...);
void DebugPrintText(const wchar_t* text);
void DebugBox(int level, const wchar_t* format, ...);
int MessageBoxFormat(HWND owner, UINT type, const wchar_t* caption, const wchar_t* format, ...);
const wchar_t* FormatText(const wchar_t* format, ...);
// The system's first line of text for the code (0: GetLastError()); "SUCCESS" for 0.
// GetLastError() afterwards returns the code that was asked for.
const wchar_t* GetErrorText(DWORD code);
void DebugPrintLastError();
void DebugPrintLastErrorLine();
void ShowLastError();
void AppendLineToFile(const wchar_t* path, const wchar_t* format, ...);
// The dump file's name for a program path and a local time (see WriteCrashDump).
void MakeCrashDumpName(wchar_t* dst, size_t capacity, const wchar_t* programPath, const SYSTEMTIME& localTime);
LONG WriteCrashDump(EXCEPTION_POINTERS* exceptionPointers, int dumpType);
