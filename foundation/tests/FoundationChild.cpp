// A child process for the foundation tests. Modes:
//   window <marker hex> <ready event> <quit event>  a hidden top-level window with the marker
//                                                   in GWL_USERDATA, until the quit event
//   kill                                            ends through CKillProcess (exit code 0)
#include "foundation/KillProcess.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <cwctype>

namespace {

int RunWindow(wchar_t** argv)
{
    DWORD marker = wcstoul(argv[2], nullptr, 16);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
    if (!ready || !quit)
        return 2;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FoundationChildWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"child", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (!window)
        return 3;
    SetWindowLongW(window, GWLP_USERDATA, static_cast<LONG>(marker));
    SetEvent(ready);
    // Bounded, so a test that fails half-way leaves no process behind for long.
    DWORD until = GetTickCount() + 60000;
    while (GetTickCount() < until) {
        if (MsgWaitForMultipleObjects(1, &quit, FALSE, 200, QS_ALLINPUT) == WAIT_OBJECT_0)
            break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    DestroyWindow(window);
    return 0;
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2)
        return 1;
    if (wcscmp(argv[1], L"window") == 0 && argc >= 5)
        return RunWindow(argv);
    if (wcscmp(argv[1], L"kill") == 0) {
        {
            CKillProcess killer;
        }
        return 7;  // never reached
    }
    return 1;
}
