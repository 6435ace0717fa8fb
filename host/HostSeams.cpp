#include "host/HostSeams.h"

namespace {

// Looked up at run time: older shells do not export it.
HRESULT WINAPI NotifyIconGetRectAtRunTime(const NOTIFYICONIDENTIFIER* id, RECT* rect)
{
    typedef HRESULT(WINAPI * Fn)(const NOTIFYICONIDENTIFIER*, RECT*);
    static Fn fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"SHELL32.DLL"), "Shell_NotifyIconGetRect")));
    return fn ? fn(id, rect) : E_NOTIMPL;
}

}  // namespace

BOOL (WINAPI* g_pfnShell_NotifyIconW)(DWORD, PNOTIFYICONDATAW) = Shell_NotifyIconW;
HRESULT (WINAPI* g_pfnShell_NotifyIconGetRect)(const NOTIFYICONIDENTIFIER*, RECT*) = NotifyIconGetRectAtRunTime;
BOOL (WINAPI* g_pfnPostMessageW)(HWND, UINT, WPARAM, LPARAM) = PostMessageW;
