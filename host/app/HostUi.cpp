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
#include "host/InfoIcon.h"
#include "host/SharedMemName.h"
#include "host/TrayCheck.h"
#include "host/app/ConfigDialog.h"
#include "host/app/HostGlobals.h"
#include "host/app/ServiceMode.h"
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

BOOL PointOnLink(HWND dialog, LPARAM lParam)
{
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT rc;
    GetWindowRect(g_hAboutLink, &rc);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    return PtInRect(&rc, pt);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    static BOOL linkPressed = FALSE;
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
    case WM_MOUSEMOVE: {
        BOOL over = PointOnLink(dialog, lParam);
        if (over != g_bOverLink) {
            g_bOverLink = over;
            InvalidateRect(g_hAboutLink, nullptr, TRUE);
        }
        break;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == g_hAboutLink) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN:
        linkPressed = PointOnLink(dialog, lParam);
        break;
    case WM_LBUTTONUP:
        if (linkPressed && PointOnLink(dialog, lParam))
            OpenLink();
        linkPressed = FALSE;
        break;
    case WM_HELP:
        ShowHelp(1, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    case WM_DESTROY:
        g_hAbout = nullptr;
        g_hAboutLink = nullptr;
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
    CloseConfig();
    CloseAbout();
    g_InfoIcon.Show(FALSE);
    if (switchIconOff)
        g_InfoIcon.SetEnabled(FALSE);
    if (g_bServiceRunning)
        ControlHostService(SERVICE_CONTROL_STOP);
    else
        PostMessageW(g_hWndParent, WM_DESTROY, 0, 0);
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
