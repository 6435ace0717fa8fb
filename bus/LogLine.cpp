#include "bus/LogLine.h"

#include "bus/BusBuilders.h"
#include "foundation/Format.h"
#include "foundation/Seams.h"
#include "foundation/TextEncoding.h"

#include <cstdarg>
#include <cwchar>

DWORD g_dwGlobalDebugLevel = 0;
extern "C" {
int g_bIgnoreModule = 0;
}
HWND g_hWndParent = nullptr;

namespace {

wchar_t g_szLogModule[64] = L"MAIN";

// Per thread: the telephony plug-in writes lines from its login, receive and GUI threads.
thread_local wchar_t t_line[kLogLineCapacity + 1];

}  // namespace

void SetLogModuleName(const wchar_t* name)
{
    CopyText(g_szLogModule, _countof(g_szLogModule), name && *name ? name : L"MAIN");
}

const wchar_t* FormatLogLine(const wchar_t* format, va_list args)
{
    SYSTEMTIME now = {};
    g_pfnGetSystemTime(&now);
    FormatW(t_line, kLogLineCapacity, L"%04d-%02d-%02d %02d:%02d:%02d.%03d (%6d:%6d) - %s.", now.wYear, now.wMonth,
            now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, static_cast<int>(GetCurrentProcessId()),
            static_cast<int>(GetCurrentThreadId()), g_szLogModule);
    if (format)
        AppendPrintfV(t_line, kLogLineCapacity, format, args);
    return t_line;
}

bool LogLevelOn(DWORD level) { return level <= g_dwGlobalDebugLevel && !g_bIgnoreModule; }

void LogLine(DWORD level, const wchar_t* format, ...)
{
    if (!LogLevelOn(level))
        return;
    va_list args;
    va_start(args, format);
    const wchar_t* line = FormatLogLine(format, args);
    va_end(args);
    SendBusLog(g_hWndParent, level, line);
    if (wcsstr(line, L".Error."))
        SendBusLastError(g_hWndParent, line);
}
