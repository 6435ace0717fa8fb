#include "foundation/ProgramStart.h"

#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/ProcessTools.h"
#include "foundation/Seams.h"
#include "foundation/SecurityTools.h"
#include "foundation/ShellDialogs.h"

#include <objbase.h>
#include <shellapi.h>
#include <wtsapi32.h>

#include <cwchar>

namespace {

// Each thread gets its own copy, so a second call cannot change what the first one opens.
struct OpenRequest {
    wchar_t file[512];
    wchar_t parameters[512];
    bool hasParameters;
    HWND owner;
};

DWORD WINAPI FileOpenThread(void* parameter)
{
    OpenRequest* request = static_cast<OpenRequest*>(parameter);
    Sleep(100);
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Sleep(100);
    INT_PTR result = reinterpret_cast<INT_PTR>(ShellExecuteW(request->owner, nullptr, request->file,
                                                             request->hasParameters ? request->parameters : nullptr,
                                                             nullptr, SW_SHOW));
    Sleep(100);
    if (SUCCEEDED(com))
        CoUninitialize();
    if (result <= 32)
        g_pfnMessageBoxW(nullptr, GetShellExecuteErrorText(result), L"Open File Error",
                         MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
    delete request;
    return 0;
}

HANDLE QueryUserToken()
{
    HANDLE token = nullptr;
    DWORD session = WTSGetActiveConsoleSessionId();
    if (session != 0xFFFFFFFF && WTSQueryUserToken(session, &token))
        return token;
    for (DWORD s = 0; s < 20; ++s)
        if (WTSQueryUserToken(s, &token))
            return token;
    return nullptr;
}

}  // namespace

int StartProgramInUserSession(const wchar_t* file)
{
    wchar_t user[128] = L"";
    DWORD size = _countof(user);
    if (!file || !*file || !GetUserNameW(user, &size) || !user[0])
        return 0;
    wchar_t path[1024];
    FormatW(path, _countof(path), L"%s%s", GetModuleFolder(), file);
    for (int i = 0; i < 10 && FindProcessByPath(path); ++i)
        Sleep(1000);

    HANDLE own = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &own);
    if (own)
        EnablePrivilege(own, L"SeTcbPrivilege", 1);
    int started = 0;
    if (HANDLE token = QueryUserToken()) {
        // Quoted: an unquoted path with blanks could start another program.
        wchar_t command[1100];
        FormatW(command, _countof(command), L"\"%s\"", path);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        si.lpDesktop = const_cast<LPWSTR>(L"Winsta0\\Default");
        si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
        si.wShowWindow = SW_SHOW;
        PROCESS_INFORMATION pi = {};
        if (CreateProcessAsUserW(token, path, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            started = 1;
        }
        CloseHandle(token);
    }
    if (own) {
        EnablePrivilege(own, L"SeTcbPrivilege", 0);
        CloseHandle(own);
    }
    return started;
}

HANDLE StartFileOpenThread(const wchar_t* fileOrLink, const wchar_t* parameters, HWND owner)
{
    if (!fileOrLink || !*fileOrLink)
        return nullptr;
    OpenRequest* request = new OpenRequest{};
    CopyText(request->file, _countof(request->file), fileOrLink);
    request->hasParameters = parameters != nullptr;
    CopyText(request->parameters, _countof(request->parameters), parameters);
    request->owner = owner;
    HANDLE thread = CreateThread(GetNullDaclSecurityAttributes(), 64 * 1024, FileOpenThread, request, 0, nullptr);
    if (!thread)
        delete request;
    return thread;
}
