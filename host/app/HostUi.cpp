// The tray menu texts, the about box, the program end, the shared block and the monitor
// thread that watches it and the tray icon.
#include "host/app/HostUi.h"

#include "bus/BusBuilders.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/HelpTools.h"
#include "foundation/PathTools.h"
#include "foundation/ResourceAccess.h"
#include "foundation/SecurityTools.h"
#include "foundation/SharedMem.h"
#include "foundation/VersionTool.h"
#include "foundation/WindowTools.h"
#include "host/HostSeams.h"
#include "host/InfoIcon.h"
#include "host/QorConfig.h"
#include "host/SharedMemName.h"
#include "host/TrayCheck.h"
#include "host/app/ConfigDialog.h"
#include "host/app/HostGlobals.h"
#include "host/app/ServiceMode.h"
#include "host/app/ServiceWindow.h"
#include "resources/host/HostResource.h"

#include <objbase.h>

namespace {

HWND g_hAbout = nullptr;
HWND g_hAboutLink = nullptr;
HFONT g_hLinkFont = nullptr;
HBRUSH g_hFaceBrush = nullptr;
BOOL g_bOverLink = FALSE;

DWORD WINAPI OpenLinkThread(void* param)
{
    wchar_t* url = static_cast<wchar_t*>(param);
    Sleep(100);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, SW_SHOWNORMAL);
    CoUninitialize();
    Sleep(100);
    delete[] url;
    return 0;
}

void OpenLink()
{
    wchar_t text[260] = L"";
    GetWindowTextW(g_hAboutLink, text, _countof(text));
    wchar_t* url = new wchar_t[272];
    FormatW(url, 272, L"https://%s", text);
    HANDLE thread = CreateThread(nullptr, 2048, OpenLinkThread, url, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        delete[] url;
}

// The link shows whether the mouse is over it.
void SetOverLink(BOOL over)
{
    if (over == g_bOverLink)
        return;
    g_bOverLink = over;
    InvalidateRect(g_hAboutLink, nullptr, TRUE);
}

// The link label is a notifying static: it takes the mouse itself and reports a click
// (button down and up on it) as STN_CLICKED; the dialog learns where the mouse is from
// WM_SETCURSOR, which names the window under it.
INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        g_hAbout = dialog;
        g_hAboutLink = GetDlgItem(dialog, IDC_ABOUT_LINK);
        if (!g_hLinkFont)
            g_hLinkFont = CreateFontW(16, 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg");
        if (!g_hFaceBrush)
            g_hFaceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
        SendMessageW(g_hAboutLink, WM_SETFONT, reinterpret_cast<WPARAM>(g_hLinkFont), TRUE);
        CenterWindow(dialog);
        HICON icon = static_cast<HICON>(
            LoadImageW(g_hInstance, MAKEINTRESOURCEW(IDI_TRAY_RUNNING), IMAGE_ICON, 16, 16, LR_SHARED));
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        g_ResourceAccess.SetWndText(dialog, 1015, L"Programminformation");
        CVersionTool version(static_cast<HMODULE>(nullptr));
        SetDlgItemTextW(dialog, IDC_ABOUT_PRODUCT, version.GetProductName());
        SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, version.GetProductVersion());
        g_ResourceAccess.SetItemText(dialog, IDOK, 1016, L"OK");
        return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        bool link = reinterpret_cast<HWND>(lParam) == g_hAboutLink;
        SetTextColor(dc, link ? (g_bOverLink ? RGB(0xC0, 0x00, 0xC0) : RGB(0x00, 0x00, 0xC0)) : RGB(0, 0, 0));
        return reinterpret_cast<INT_PTR>(g_hFaceBrush);
    }
    case WM_SETCURSOR:
        SetOverLink(reinterpret_cast<HWND>(wParam) == g_hAboutLink);
        if (g_bOverLink) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        // Over the dialog itself, so no longer over the link.
        SetOverLink(FALSE);
        break;
    case WM_HELP:
        ShowHelp(1, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_ABOUT_LINK && HIWORD(wParam) == STN_CLICKED) {
            OpenLink();
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    case WM_DESTROY:
        g_hAbout = nullptr;
        g_hAboutLink = nullptr;
        g_bOverLink = FALSE;
        break;
    default:
        break;
    }
    return FALSE;
}

}  // namespace

void BuildTrayMenu()
{
    g_InfoIcon.BuildMenu(g_ResourceAccess, HelpFileExists(g_szHelpFile));
}

void ShowAbout()
{
    if (g_hAbout) {
        SetForegroundWindow(g_hAbout);
        return;
    }
    DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_ABOUT), nullptr, AboutProc, 0);
}

void CloseAbout()
{
    if (g_hAbout)
        SendMessageW(g_hAbout, WM_COMMAND, IDOK, 0);
}

void RequestProgramEnd(BOOL switchIconOff)
{
    // Nothing on the way may wait for the user: no pending-change question, and the end
    // question or a plug-in's message box, if open, simply ends with the process.
    if (g_bServiceRunning) {
        CloseConfigBeforeUnload();
        CloseAbout();
        g_InfoIcon.Show(FALSE);
        if (switchIconOff)
            g_InfoIcon.SetEnabled(FALSE);
        ControlHostService(SERVICE_CONTROL_STOP);
        return;
    }
    // The settings dialog keeps no unapplied change; it and an open about box go with the
    // process, which ends at once: hiding a shown top-level window can hold the GUI thread
    // on the window system (Wine without a window manager waits two seconds for each).
    ReleaseConfigForEnd();
    // Ended here, not by a posted WM_DESTROY: that would wait behind every message already
    // queued (a flood of them takes as long as it takes).
    EndHostProcess();
}

namespace {

NOTIFYICONDATAW g_removedIcon;

DWORD WINAPI RemoveTrayIconThread(void*)
{
    g_pfnShell_NotifyIconW(NIM_DELETE, &g_removedIcon);
    return 0;
}

}  // namespace

HANDLE StartTrayIconRemoval()
{
    if (!g_InfoIcon.TakeForRemoval(&g_removedIcon))
        return nullptr;
    HANDLE thread = CreateThread(nullptr, 0, RemoveTrayIconThread, nullptr, 0, nullptr);
    if (!thread)
        g_pfnShell_NotifyIconW(NIM_DELETE, &g_removedIcon);
    return thread;
}

void FinishTrayIconRemoval(HANDLE thread, DWORD milliseconds)
{
    if (!thread)
        return;
    if (WaitForSingleObject(thread, milliseconds) != WAIT_OBJECT_0)
        LogLine(0, L"Func.FinishTrayIconRemoval.Warning.The shell has not answered within %u ms",
                static_cast<unsigned>(milliseconds));
    CloseHandle(thread);
}

void CheckTrayIcon()
{
    if (!g_bServiceMode)
        CheckTrayIconPresent(g_InfoIcon);
}

void CreateSharedMemory()
{
    wchar_t user[127] = L"";
    DWORD size = _countof(user);
    if (!GetUserNameW(user, &size))
        user[0] = L'\0';
    BuildSharedMemName(g_szSharedMemPrefix, _countof(g_szSharedMemPrefix), GetModuleFolder(), user);
    g_SharedMem.Open(0, 0, nullptr);
}

DWORD WINAPI MonitorThread(void*)
{
    for (;;) {
        // The stop event ends the wait at once.
        if (WaitForSingleObject(g_hMonitorStop, 3000) == WAIT_OBJECT_0 || g_dwMonitorThreadId == 0)
            break;
        if (g_pSharedMemView[0]) {
            if (WaitForSingleObject(g_hMonitorStop, 3000) == WAIT_OBJECT_0 || g_dwMonitorThreadId == 0)
                break;
            g_pSharedMemView[0] = 0;
            SendBusPluginRestart(g_hWndParent, g_pSharedMemView[1], 0);
        }
        if (!g_bServiceMode)
            PostMessageW(g_hWndParent, WM_HOST_TRAYCHECK, 0, 0);
    }
    return 0;
}

void StartMonitorThread()
{
    if (g_hMonitorThread)
        return;
    g_hMonitorStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    // The id is set before the thread may look at it.
    g_dwMonitorThreadId = 1;
    g_hMonitorThread = CreateThread(GetNullDaclSecurityAttributes(), 2048, MonitorThread, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, &id);
    g_dwMonitorThreadId = g_hMonitorThread ? id : 0;
}

void StopMonitorThread()
{
    g_dwMonitorThreadId = 0;
    if (g_hMonitorStop)
        SetEvent(g_hMonitorStop);
    HANDLE thread = g_hMonitorThread;
    g_hMonitorThread = nullptr;
    if (thread) {
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
    }
    if (g_hMonitorStop) {
        CloseHandle(g_hMonitorStop);
        g_hMonitorStop = nullptr;
    }
}
