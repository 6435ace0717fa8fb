#include "plugins/telephony_orkane/ConfirmDialog.h"

#include "bus/LogLine.h"
#include "foundation/DebugOutput.h"
#include "foundation/Format.h"
#include "foundation/WindowTools.h"
#include "plugins/telephony_orkane/ConfirmDialog.rc.h"
#include "plugins/telephony_orkane/ModuleObjects.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"

HANDLE volatile g_hConfirmThread;
volatile DWORD g_dwConfirmThreadId;
HWND volatile g_hWndConfirm;
volatile LONG g_bConfirmRequested;

namespace {

constexpr wchar_t kDefaultCaption[] = L"Benutzereingabe erforderlich";
constexpr wchar_t kDefaultText[] = L"Bitte best\u00e4tigen Sie Ihre Anmeldung in MyApp.";

HMODULE OwnModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

}  // namespace

BOOL LoadLanguageText(UINT id, const wchar_t* defaultText, wchar_t* buf, size_t capacity)
{
    if (g_ResourceAccess.LoadStringCopy(id, buf, capacity))
        return TRUE;
    CopyText(buf, capacity, defaultText ? defaultText : L"");
    return FALSE;
}

void OnAuthorize()
{
    DebugPrintText(L"2FA Anforderung");
    LogLine(1, L"Func.DispatchMessages.Info.Authorize");
    InterlockedExchange(&g_bConfirmRequested, 1);
    if (g_hConfirmThread)
        return;  // one dialog at a time
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 2048, ConfirmThread, nullptr, CREATE_SUSPENDED, &id);
    if (!thread) {
        LogLine(0, L"Func.DispatchMessages.Error.Confirm thread not started");
        return;
    }
    g_dwConfirmThreadId = id;
    g_hConfirmThread = thread;
    ResumeThread(thread);
}

DWORD WINAPI ConfirmThread(LPVOID)
{
    HMODULE self = PinOwnModule();
    LogLine(2, L"Func.ConfirmThread.Begin");
    INT_PTR result = DialogBoxParamW(OwnModule(), MAKEINTRESOURCEW(IDD_CONFIRM_LOGIN), nullptr, ConfirmDialogProc, 0);
    if (result == -1)
        LogLine(0, L"Func.ConfirmThread.Error.DialogBoxParamW %u", GetLastError());
    g_hWndConfirm = nullptr;
    Sleep(100);
    g_dwConfirmThreadId = 0;
    LogLine(2, L"Func.ConfirmThread.End");
    // Whoever takes the handle closes it: this thread, or a stop that waits for it.
    HANDLE own = InterlockedExchangePointer(const_cast<HANDLE*>(&g_hConfirmThread), nullptr);
    if (own)
        CloseHandle(own);
    if (self)
        FreeLibraryAndExitThread(self, 0);
    return 0;
}

INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        if (WaitForSingleObject(g_hStopWaits, 0) == WAIT_OBJECT_0) {
            EndDialog(dialog, 2);  // the plug-in stops: no question any more
            return TRUE;
        }
        g_hWndConfirm = dialog;
        CenterWindow(dialog);
        wchar_t text[512];
        LoadLanguageText(20555, kDefaultCaption, text, _countof(text));
        SetWindowTextW(dialog, text);
        LoadLanguageText(20556, kDefaultText, text, _countof(text));
        SetDlgItemTextW(dialog, IDC_CONFIRM_TEXT, text);
        return TRUE;
    }
    case WM_COMMAND:
        // OK and the close box only close the dialog: the login goes on waiting for the PBX,
        // which the user's confirmation in the myApps client completes.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            g_hWndConfirm = nullptr;
            g_dwConfirmThreadId = 0;
            EndDialog(dialog, 2);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void CloseConfirmDialog()
{
    HWND window = g_hWndConfirm;
    if (!window)
        return;
    LogLine(2, L"Func.CloseConfirmDialog.Begin");
    // The dialog belongs to its own thread: it ends itself on the command (a window of another
    // thread cannot be destroyed from here). A hung dialog thread does not hang the caller.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_COMMAND, IDOK, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, 2000, &ignored);
    g_hWndConfirm = nullptr;
    WaitForSingleObject(g_hStopWaits, 1000);
    LogLine(2, L"Func.CloseConfirmDialog.End");
}

void StopConfirmThread(DWORD wait)
{
    CloseConfirmDialog();
    HANDLE thread = InterlockedExchangePointer(const_cast<HANDLE*>(&g_hConfirmThread), nullptr);
    if (!thread)
        return;
    // A dialog that was still being created when it was closed shows up afterwards: it is
    // closed again until the thread ends or the bound is reached. Not terminated when it
    // overruns: it holds its own reference to the library and ends once its dialog is gone.
    DWORD start = GetTickCount();
    while (!WaitForThreadEnd(thread, 50)) {
        if (GetTickCount() - start >= wait) {
            LogLine(0, L"Func.StopConfirmThread.Error.Confirm thread did not stop");
            break;
        }
        if (HWND window = g_hWndConfirm)
            PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    CloseHandle(thread);
    g_dwConfirmThreadId = 0;
}
