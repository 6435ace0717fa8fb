#include "plugins/telephony_orkane/SettingsPage.h"

#include <cwchar>
#include <string>
#include <vector>

#include "bus/BusBuilders.h"
#include "bus/BusTypes.h"
#include "bus/CommonBusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/HelpTools.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/InnovaphoneVars.h"
#include "plugins/telephony_orkane/Login.h"
#include "plugins/telephony_orkane/ModuleObjects.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "plugins/telephony_orkane/Settings.h"
#include "plugins/telephony_orkane/TelephonyResource.h"

HWND volatile g_hWndPage;
volatile BOOL g_bControlsReady;
volatile BOOL g_bSettingsChanged;

namespace {

// Asks the page's own thread to do what another thread may not (it must never wait on the
// GUI thread, which may itself be waiting for that thread to stop).
constexpr UINT WM_PAGE_REFRESH = WM_APP + 0x51;
constexpr WPARAM kRefreshEnable = 1;
constexpr WPARAM kRefreshDevices = 2;

// The page, when this thread may touch it; otherwise the request is posted to it.
HWND PageForThisThread(WPARAM request)
{
    HWND page = g_hWndPage;
    if (!page || !IsWindow(page))
        return nullptr;
    if (GetWindowThreadProcessId(page, nullptr) == GetCurrentThreadId())
        return page;
    PostMessageW(page, WM_PAGE_REFRESH, request, 0);
    return nullptr;
}

struct DeviceName {
    std::wstring hw;
    std::wstring text;
};

std::vector<DeviceName> CopyDeviceNames()
{
    std::vector<DeviceName> names;
    EnterCriticalSection(&g_csDispatch);
    for (const tag_rcc_device& d : g_RccDevices)
        names.push_back({d.m_szDeviceName, d.m_szHumanRedeableName});
    LeaveCriticalSection(&g_csDispatch);
    return names;
}

void MoveItem(HWND page, int id, int x, int y, int width, int height)
{
    HWND item = GetDlgItem(page, id);
    if (item)
        MoveWindow(item, x, y, width > 0 ? width : 0, height, FALSE);
}

void NotifyHostChanged()
{
    if (g_hWndParent && IsWindow(g_hWndParent))
        PostMessageW(g_hWndParent, WM_QOR_CONFIGCHANGED, 0, 0);
}

void InitPage(HWND page)
{
    g_hWndPage = page;
    g_bControlsReady = 0;
    g_DlgFonts.ApplyFont(page, g_szUsedFont, TRUE);
    g_DlgColors.SetScheme((int)g_dwSchemeIndex);
    g_ResourceAccess.SetItemText(page, IDC_FRAME_NETWORK, 20551, L"Network settings");
    g_ResourceAccess.SetItemText(page, IDC_LABEL_URL, 20552, L"URL:");
    g_ResourceAccess.SetItemText(page, IDC_LABEL_USER, 20553, L"User:");
    g_ResourceAccess.SetItemText(page, IDC_LABEL_PASSWORD, 20554, L"Pwd:");
    g_ResourceAccess.SetItemText(page, IDC_LABEL_DEVICE, 20557, L"Device:");
    SetDlgItemTextW(page, IDC_EDIT_URL, g_szBaseURL);
    SetDlgItemTextW(page, IDC_EDIT_USER, InnovaphoneVarsUser.m_szUser);
    SetDlgItemTextW(page, IDC_EDIT_PASSWORD, InnovaphoneVarsUser.m_szPassword);
    FillDeviceCombo();
    DoAdjustControls();
    DoEnableControls();
    g_bControlsReady = 1;
}

void DrawButton(const DRAWITEMSTRUCT* item)
{
    wchar_t text[256] = L"";
    GetWindowTextW(item->hwndItem, text, _countof(text));
    RECT rect = item->rcItem;
    DrawEdge(item->hDC, &rect, (item->itemState & ODS_SELECTED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    if (item->itemState & ODS_FOCUS) {
        InflateRect(&rect, -3, -3);
        DrawFocusRect(item->hDC, &rect);
    }
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, g_DlgColors.GetStaticTextColor());
    DrawTextW(item->hDC, text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

}  // namespace

HWND ShowConfigPage(HINSTANCE instance, HWND parent)
{
    HWND page = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_TELEPHONY_CONFIG), parent, ConfigDialogProc, 0);
    if (!page) {
        LogLine(0, L"Func.DLL_ShowConfig.Error.CreateDialog %u", (unsigned)GetLastError());
        return nullptr;
    }
    ShowWindow(page, SW_SHOWNORMAL);
    return page;
}

INT_PTR CALLBACK ConfigDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitPage(page);
        break;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            g_hWndPage = nullptr;
            EndDialog(page, 2);
            DestroyWindow(page);
            return TRUE;
        }
        if (id == IDC_COMBO_DEVICE && code == CBN_SELCHANGE) {
            NotifyHostChanged();
        } else if ((id == IDC_EDIT_URL || id == IDC_EDIT_USER || id == IDC_EDIT_PASSWORD) && code == EN_CHANGE &&
                   g_bControlsReady) {
            g_bSettingsChanged = 1;
            NotifyHostChanged();
        }
        break;
    }
    case WM_PAGE_REFRESH:
        if (wParam == kRefreshDevices) {
            g_bControlsReady = 0;
            FillDeviceCombo();
            g_bControlsReady = 1;
        }
        DoEnableControls();
        return TRUE;
    case WM_DESTROY:
        if (g_hWndPage == page)
            g_hWndPage = nullptr;
        break;
    default:
        break;
    }
    return HandlePageMessage(page, message, wParam, lParam);
}

INT_PTR HandlePageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        DoAdjustControls();
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, g_DlgColors.GetEditBkColor());
        return reinterpret_cast<INT_PTR>(g_DlgColors.GetEditBrush());
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(g_DlgColors.GetDialogBrush());
    case WM_CTLCOLORSCROLLBAR:
        return reinterpret_cast<INT_PTR>(g_DlgColors.GetButtonBrush());
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, g_DlgColors.GetStaticTextColor());
        SetBkColor(dc, g_DlgColors.GetDialogBkColor());
        return reinterpret_cast<INT_PTR>(g_DlgColors.GetDialogBrush());
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (!item || item->CtlType != ODT_BUTTON)
            return 0;
        DrawButton(item);
        return TRUE;
    }
    case WM_HELP:
        ShowHelpContext(L"QUORLAN.CHM", kTelephonyPluginId);
        return TRUE;
    case WM_NCPAINT: {
        DefWindowProcW(page, message, wParam, lParam);
        HRGN region = reinterpret_cast<HRGN>(wParam);
        // 1 stands for the whole window, which is no region to intersect with.
        DWORD flags = DCX_WINDOW | (wParam != 1 ? DCX_INTERSECTRGN : 0);
        HDC dc = GetDCEx(page, wParam != 1 ? region : nullptr, flags);
        if (dc) {
            RECT window;
            GetWindowRect(page, &window);
            OffsetRect(&window, -window.left, -window.top);
            RECT client;
            GetClientRect(page, &client);
            MapWindowPoints(page, nullptr, reinterpret_cast<POINT*>(&client), 2);
            RECT frame;
            GetWindowRect(page, &frame);
            OffsetRect(&client, -frame.left, -frame.top);
            ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
            HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
            FillRect(dc, &window, red);
            DeleteObject(red);
            ReleaseDC(page, dc);
        }
        SetWindowLongPtrW(page, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    default:
        return 0;
    }
}

void DoAdjustControls()
{
    HWND page = g_hWndPage;
    if (!page)
        return;
    RECT client = {0, 0, 0, 0};
    GetClientRect(page, &client);
    const int w = client.right;
    MoveItem(page, IDC_FRAME_NETWORK, 5, 5, w - 10, 145);
    MoveItem(page, IDC_LABEL_URL, 15, 28, 50, 20);
    MoveItem(page, IDC_EDIT_URL, 75, 25, w - 90, 25);
    MoveItem(page, IDC_LABEL_USER, 15, 58, 50, 20);
    MoveItem(page, IDC_EDIT_USER, 75, 55, 120, 25);
    MoveItem(page, IDC_LABEL_PASSWORD, 15, 88, 50, 20);
    MoveItem(page, IDC_EDIT_PASSWORD, 75, 85, 120, 25);
    MoveItem(page, IDC_LABEL_DEVICE, 15, 118, 115, 20);
    MoveItem(page, IDC_COMBO_DEVICE, 140, 115, w - 155, 25);
    InvalidateRect(page, nullptr, TRUE);
}

void DoEnableControls()
{
    HWND page = PageForThisThread(kRefreshEnable);
    if (!page)
        return;
    EnableWindow(GetDlgItem(page, IDC_COMBO_DEVICE), !g_bIgnoreModule && g_dwInitThreadId == 0);
}

void FillDeviceCombo()
{
    HWND page = PageForThisThread(kRefreshDevices);
    if (!page)
        return;
    HWND box = GetDlgItem(page, IDC_COMBO_DEVICE);
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    std::vector<DeviceName> names = CopyDeviceNames();
    for (size_t i = 0; i < names.size(); ++i)
        SendMessageW(box, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(names[i].text.c_str()));
    SendMessageW(box, CB_SETCURSEL, (WPARAM)GetSelectedDeviceIndex(), 0);
}

int GetSelectedDeviceIndex()
{
    int index = -1;
    EnterCriticalSection(&g_csDispatch);
    for (size_t i = 0; i < g_RccDevices.size(); ++i) {
        if (!_wcsicmp(g_RccDevices[i].m_szDeviceName, g_szSelectedDevice)) {
            index = (int)i;
            break;
        }
    }
    if (index < 0 && !g_RccDevices.empty()) {
        CopyText(g_szSelectedDevice, _countof(g_szSelectedDevice), g_RccDevices[0].m_szDeviceName);
        index = 0;
    }
    LeaveCriticalSection(&g_csDispatch);
    return index;
}

void CheckDeviceMenuItems()
{
    std::vector<DeviceName> names = CopyDeviceNames();
    wchar_t selected[128];
    EnterCriticalSection(&g_csDispatch);
    CopyText(selected, _countof(selected), g_szSelectedDevice);
    LeaveCriticalSection(&g_csDispatch);
    for (size_t i = 0; i < names.size() && kDeviceMenuFirst + (int)i < kDeviceMenuEnd; ++i) {
        SendBusMenuCheck(g_hWndParent, kDeviceMenuFirst + (int)i, 0);
        if (names[i].hw == selected)
            SendBusMenuCheck(g_hWndParent, kDeviceMenuFirst + (int)i, 1);
    }
}

void BuildDeviceMenu()
{
    for (int id = kDeviceMenuFirst; id < kDeviceMenuEnd; ++id)
        SendBusMenuDelete(g_hWndParent, id);
    std::vector<DeviceName> names = CopyDeviceNames();
    // Only the ids that the menu handler accepts (and this function removes again) are offered.
    if (names.size() > (size_t)(kDeviceMenuEnd - kDeviceMenuFirst))
        LogLine(1, L"Func.BuildDeviceMenu.Warning.%d devices, the menu offers the first %d", (int)names.size(),
                kDeviceMenuEnd - kDeviceMenuFirst);
    for (size_t i = 0; i < names.size() && kDeviceMenuFirst + (int)i < kDeviceMenuEnd; ++i)
        SendBusMenuAppend(g_hWndParent, kDeviceMenuFirst + (int)i, names[i].text.c_str());
    CheckDeviceMenuItems();
}

void RefreshDevicesOnPage()
{
    HWND page = PageForThisThread(kRefreshDevices);
    if (!page)
        return;
    g_bControlsReady = 0;
    FillDeviceCombo();
    g_bControlsReady = 1;
}

void OnDeviceListChanged()
{
    FillDeviceCombo();
    BuildDeviceMenu();
}
