// The host program as a test service: Wine never runs a service as "SYSTEM", so this
// program takes the account test's seam and then runs the host's own entry unchanged.
// The service manager starts it without the test's environment: the name of the plug-ins'
// recording block comes from "ServiceLauncher.txt" beside the program (one line, may be absent).
// "ServiceLauncherHold.txt" beside it (milliseconds, may be absent) holds the GUI thread at its
// first clock reading after the dispatcher thread has started, as a busy machine holds the
// host's start-up while the service manager already talks to the dispatcher.
#include "foundation/PathTools.h"
#include "foundation/Seams.h"
#include "host/app/HostMain.h"
#include "host/app/HostGlobals.h"
#include "tests/plugins/TestPluginRecord.h"

#include <cstdlib>
#include <string>

namespace {

DWORD g_mainThreadId = 0;
DWORD g_holdMs = 0;

BOOL AlwaysSystemAccount()
{
    return TRUE;
}

void WINAPI HoldingSystemTime(LPSYSTEMTIME time)
{
    if (GetCurrentThreadId() == g_mainThreadId && g_holdMs && g_dwServiceDispatcherThreadId) {
        DWORD hold = g_holdMs;
        g_holdMs = 0;
        Sleep(hold);
    }
    GetSystemTime(time);
}

// The file's text (at most 255 bytes), or "" when it is missing.
std::string ReadSideFile(const wchar_t* name)
{
    std::wstring file = std::wstring(GetModuleFolder()) + name;
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    char text[256] = "";
    DWORD read = 0;
    ReadFile(h, text, sizeof(text) - 1, &read, nullptr);
    CloseHandle(h);
    return std::string(text, read);
}

void TakeHold()
{
    std::string text = ReadSideFile(L"ServiceLauncherHold.txt");
    g_holdMs = static_cast<DWORD>(strtoul(text.c_str(), nullptr, 10));
    if (g_holdMs) {
        g_mainThreadId = GetCurrentThreadId();
        g_pfnGetSystemTime = HoldingSystemTime;
    }
}

void TakeRecordName()
{
    std::string content = ReadSideFile(L"ServiceLauncher.txt");
    if (content.empty())
        return;
    const char* text = content.c_str();
    wchar_t name[256] = L"";
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, name, 256);
    if (n <= 0)
        return;
    for (wchar_t* p = name; *p; ++p)
        if (*p == L'\r' || *p == L'\n')
            *p = L'\0';
    if (name[0])
        SetEnvironmentVariableW(kTestRecordVariable, name);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    g_pfnIsSystemAccount = AlwaysSystemAccount;
    TakeRecordName();
    TakeHold();
    int exitCode = HostMain(instance, commandLine);
    g_nHostExitCode = exitCode;
    return exitCode;
}
