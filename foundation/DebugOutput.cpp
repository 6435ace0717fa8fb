#include "foundation/DebugOutput.h"

#include "foundation/Format.h"
#include "foundation/Seams.h"
#include "foundation/SecurityTools.h"
#include "foundation/TextUtils.h"

#include <dbghelp.h>

#include <cstdio>
#include <cwchar>
#include <vector>

const wchar_t g_szDebugPrefix[] = L"ZIRCOVAN: ";
int g_nDebugPrefixLen = static_cast<int>(_countof(g_szDebugPrefix) - 1);

namespace {

constexpr size_t kLine = 8192;
thread_local wchar_t t_print[kLine];
thread_local wchar_t t_thread[kLine];
thread_local wchar_t t_raw[kLine];
thread_local wchar_t t_text[kLine];
thread_local wchar_t t_box[kLine];
thread_local wchar_t t_msgBox[kLine];
thread_local wchar_t t_format[kLine];
thread_local wchar_t t_error[kLine];

// One trailing CR LF is dropped, then exactly one LF ends the line (it always fits).
void FinishLine(wchar_t* line, size_t capacity)
{
    size_t len = wcslen(line);
    if (len >= 2 && line[len - 2] == L'\r' && line[len - 1] == L'\n') {
        len -= 2;
        line[len] = L'\0';
    }
    if (len + 1 >= capacity)
        len = capacity - 2;
    line[len] = L'\n';
    line[len + 1] = L'\0';
}

void EmitV(wchar_t* buffer, const wchar_t* head, const wchar_t* format, va_list args)
{
    int used = FormatW(buffer, kLine - 1, L"%s", head);
    if (used < 0)
        used = static_cast<int>(wcslen(buffer));
    FormatVW(buffer + used, kLine - 1 - used, format, args);
    FinishLine(buffer, kLine);
    g_pfnOutputDebugStringW(buffer);
}

}  // namespace

void DebugPrint(int level, const wchar_t* format, ...)
{
    if (level >= 1)
        return;
    va_list args;
    va_start(args, format);
    EmitV(t_print, g_szDebugPrefix, format, args);
    va_end(args);
}

void DebugPrintThread(const wchar_t* format, ...)
{
    wchar_t head[64];
    FormatW(head, _countof(head), L"%s (%d) ", g_szDebugPrefix, static_cast<int>(GetCurrentThreadId()));
    va_list args;
    va_start(args, format);
    EmitV(t_thread, head, format, args);
    va_end(args);
}

void DebugPrintRaw(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    EmitV(t_raw, L"", format, args);
    va_end(args);
}

void DebugPrintText(const wchar_t* text)
{
    CopyText(t_text, kLine - 1, text);
    FinishLine(t_text, kLine);
    g_pfnOutputDebugStringW(t_text);
}

void DebugBox(int level, const wchar_t* format, ...)
{
    if (level >= 1)
        return;
    int used = FormatW(t_box, kLine - 1, L"%s", g_szDebugPrefix);
    va_list args;
    va_start(args, format);
    FormatVW(t_box + used, kLine - 1 - used, format, args);
    va_end(args);
    FinishLine(t_box, kLine);
    g_pfnMessageBoxW(nullptr, t_box, L"DebugBox", MB_ICONINFORMATION);
}

int MessageBoxFormat(HWND owner, UINT type, const wchar_t* caption, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatVW(t_msgBox, kLine, format, args);
    va_end(args);
    return g_pfnMessageBoxW(owner, t_msgBox, caption, type);
}

const wchar_t* FormatText(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatVW(t_format, kLine, format, args);
    va_end(args);
    return t_format;
}

const wchar_t* GetErrorText(DWORD code)
{
    if (code == 0)
        code = GetLastError();
    t_error[0] = L'\0';
    if (code == 0) {
        CopyText(t_error, kLine, L"SUCCESS");
    } else {
        // Inserts are ignored: some system texts hold %1, which would read missing arguments.
        DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), t_error, kLine - 1, nullptr);
        if (n == 0)
            t_error[0] = L'\0';
        t_error[kLine - 1] = L'\0';
        CutAtLineEnd(t_error);
    }
    SetLastError(code);
    return t_error;
}

static void PrintLastError(bool firstLineOnly)
{
    DWORD code = GetLastError();
    if (code == 0)
        return;
    if (firstLineOnly) {
        DebugPrint(0, L"Error: %d %s", static_cast<int>(code), GetErrorText(code));
    } else {
        std::vector<wchar_t> text(8192);
        DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text.data(),
                                 static_cast<DWORD>(text.size() - 1), nullptr);
        if (n == 0)
            text[0] = L'\0';
        DebugPrint(0, L"Error: %d %s", static_cast<int>(code), text.data());
    }
    SetLastError(code);
}

void DebugPrintLastError() { PrintLastError(false); }
void DebugPrintLastErrorLine() { PrintLastError(true); }

void ShowLastError()
{
    DWORD code = GetLastError();
    if (code == 0)
        return;
    g_pfnMessageBoxW(nullptr, GetErrorText(code), L"Fehler aufgetreten", MB_ICONEXCLAMATION | MB_TOPMOST);
    SetLastError(code);
}

void AppendLineToFile(const wchar_t* path, const wchar_t* format, ...)
{
    if (!path)
        return;
    std::vector<wchar_t> line(kLine);
    va_list args;
    va_start(args, format);
    FormatVW(line.data(), kLine - 1, format, args);
    va_end(args);
    FinishLine(line.data(), kLine);
    FILE* f = _wfopen(path, L"at");
    if (!f)
        return;
    fputws(line.data(), f);
    fflush(f);
    fclose(f);
}

void MakeCrashDumpName(wchar_t* dst, size_t capacity, const wchar_t* programPath, const SYSTEMTIME& t)
{
    size_t len = BoundedLength(programPath, MAX_PATH * 4);
    size_t keep = len >= 3 ? len - 3 : 0;  // the extension letters go, the dot stays
    CopyTextN(dst, capacity, programPath, keep);
    wchar_t tail[64];
    FormatW(tail, _countof(tail), L"_CRASHDUMP_%04d%02d%02d_%02d%02d%02d.DMP", t.wYear, t.wMonth, t.wDay,
            t.wHour, t.wMinute, t.wSecond);
    AppendText(dst, capacity, tail);
}

LONG WriteCrashDump(EXCEPTION_POINTERS* exceptionPointers, int dumpType)
{
    // The exception record comes from the system header: it is packed to 4 bytes, so on x86_64
    // its pointer sits at offset 4, not where a plain struct would put it.
    typedef BOOL(WINAPI * MiniDumpWriteDumpFn)(HANDLE, DWORD, HANDLE, int, MINIDUMP_EXCEPTION_INFORMATION*, void*,
                                               void*);
    HMODULE dbghelp = LoadLibraryW(L"DBGHELP.DLL");
    if (!dbghelp)
        return 1;
    auto writeDump = reinterpret_cast<MiniDumpWriteDumpFn>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    if (!writeDump) {
        FreeLibrary(dbghelp);
        return 1;
    }
    wchar_t program[MAX_PATH * 2] = L"";
    GetModuleFileNameW(nullptr, program, _countof(program) - 1);
    SYSTEMTIME now;
    g_pfnGetLocalTime(&now);
    wchar_t name[MAX_PATH * 2 + 64];
    MakeCrashDumpName(name, _countof(name), program, now);
    // The dump may hold secrets of the process: only the user, SYSTEM and the Administrators.
    HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              GetNullDaclSecurityAttributes(),
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        MINIDUMP_EXCEPTION_INFORMATION info = {GetCurrentThreadId(), exceptionPointers, TRUE};
        writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, dumpType,
                  exceptionPointers ? &info : nullptr, nullptr, nullptr);
        CloseHandle(file);
    }
    FreeLibrary(dbghelp);
    return 1;
}
