// The host program as a test service: Wine never runs a service as "SYSTEM", so this
// program takes the account test's seam and then runs the host's own entry unchanged.
// The service manager starts it without the test's environment: the name of the plug-ins'
// recording block comes from "ServiceLauncher.txt" beside the program (one line, may be absent).
#include "foundation/PathTools.h"
#include "foundation/Seams.h"
#include "host/app/HostMain.h"
#include "host/app/HostGlobals.h"
#include "tests/plugins/TestPluginRecord.h"

#include <string>

namespace {

BOOL AlwaysSystemAccount()
{
    return TRUE;
}

void TakeRecordName()
{
    std::wstring file = std::wstring(GetModuleFolder()) + L"ServiceLauncher.txt";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    char text[256] = "";
    DWORD read = 0;
    ReadFile(h, text, sizeof(text) - 1, &read, nullptr);
    CloseHandle(h);
    text[read] = '\0';
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
    int exitCode = HostMain(instance, commandLine);
    g_nHostExitCode = exitCode;
    return exitCode;
}
