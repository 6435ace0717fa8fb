#include "plugins/info_visette/SettingsPage.h"

#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/HelpTools.h"
#include "plugins/info_visette/PopupPosition.h"
#include "plugins/info_visette/VisetteResource.h"
#include "plugins/info_visette/VisetteState.h"

#include <initializer_list>

namespace {

void MoveItem(HWND page, int id, int x, int y, int width, int height)
{
    HWND item = GetDlgItem(page, id);
    if (item)
        MoveWindow(item, x, y, width > 0 ? width : 0, height, FALSE);
}

void DoAdjustControls(HWND page)
{
    RECT client = {0, 0, 0, 0};
    GetClientRect(page, &client);
    const int w = client.right;
    MoveItem(page, IDC_FRAME_DURATION, 5, 5, w - 10, 55);
    MoveItem(page, IDC_CHECK_DURATION, 20, 27, w - 140, 15);
    MoveItem(page, IDC_EDIT_DURATION, w - 65, 25, 50, 20);
    MoveItem(page, IDC_FRAME_POSITION, 5, 65, w - 10, 115);
    MoveItem(page, IDC_LABEL_MONITOR, 15, 87, w - 150, 18);
    MoveItem(page, IDC_COMBO_MONITOR, w - 85, 85, 70, 20);
    MoveItem(page, IDC_LABEL_POSITION, 15, 117, w - 180, 18);
    MoveItem(page, IDC_COMBO_POSITION, w - 145, 115, 130, 20);
    MoveItem(page, IDC_LABEL_SCALE, 15, 147, w - 180, 18);
    MoveItem(page, IDC_COMBO_SCALE, w - 85, 145, 70, 20);
    MoveItem(page, IDC_FRAME_PICTURES, 5, 185, w - 10, 60);
    MoveItem(page, IDC_CHECK_PICTURES, 15, 210, w - 30, 20);
    InvalidateRect(page, nullptr, TRUE);
}

void DoEnableControls(HWND page)
{
    const int ids[] = {IDC_FRAME_DURATION, IDC_CHECK_DURATION, IDC_FRAME_POSITION, IDC_LABEL_MONITOR,
                       IDC_COMBO_MONITOR,  IDC_LABEL_POSITION, IDC_COMBO_POSITION, IDC_LABEL_SCALE,
                       IDC_COMBO_SCALE,    IDC_FRAME_PICTURES, IDC_CHECK_PICTURES};
    const BOOL on = !g_bIgnoreModule;
    for (int id : ids)
        EnableWindow(GetDlgItem(page, id), on);
    EnableWindow(GetDlgItem(page, IDC_EDIT_DURATION), on && IsDlgButtonChecked(page, IDC_CHECK_DURATION) == BST_CHECKED);
}

void FillPage(HWND page)
{
    g_bPageFilled = FALSE;
    g_hConfigPage = page;
    g_DlgColors.SetScheme(static_cast<int>(g_dwSchemeIndex));
    g_DlgFonts.ApplyFont(page, g_szUsedFont, TRUE);

    CheckDlgButton(page, IDC_CHECK_DURATION, g_Settings.UseDuration ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_CHECK_PICTURES, g_Settings.UsePictures ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(page, IDC_EDIT_DURATION, g_Settings.Duration, FALSE);

    g_MonitorPosition.UpdateMonitorRect();
    g_MonitorPosition.FillMonitorCombo(GetDlgItem(page, IDC_COMBO_MONITOR));

    HWND corner = GetDlgItem(page, IDC_COMBO_POSITION);
    SendMessageW(corner, CB_RESETCONTENT, 0, 0);
    const struct {
        UINT id;
        const wchar_t* text;
    } corners[] = {{10151, L"bottom right"}, {10152, L"top right"}, {10153, L"bottom left"}, {10154, L"top left"}};
    for (const auto& c : corners)
        SendMessageW(corner, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_Resource.GetString(c.id, c.text)));
    SendMessageW(corner, CB_SETCURSEL, g_Settings.UsedPosition, 0);

    HWND scale = GetDlgItem(page, IDC_COMBO_SCALE);
    SendMessageW(scale, CB_RESETCONTENT, 0, 0);
    for (const wchar_t* text : {L"100%", L"120%", L"150%"})
        SendMessageW(scale, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(scale, CB_SETCURSEL, g_Settings.ScaleIndex, 0);

    g_Resource.SetItemText(page, IDC_FRAME_DURATION, 10158, L"Display time");
    g_Resource.SetItemText(page, IDC_CHECK_DURATION, 10010, L"Close the popup after (seconds)");
    g_Resource.SetItemText(page, IDC_FRAME_POSITION, 10159, L"Position");
    g_Resource.SetItemText(page, IDC_LABEL_MONITOR, 10156, L"Monitor");
    g_Resource.SetItemText(page, IDC_LABEL_POSITION, 10157, L"Corner");
    g_Resource.SetItemText(page, IDC_LABEL_SCALE, 10021, L"Size");
    g_Resource.SetItemText(page, IDC_FRAME_PICTURES, 10015, L"Pictures");
    g_Resource.SetItemText(page, IDC_CHECK_PICTURES, 10002, L"Show pictures");

    DoAdjustControls(page);
    DoEnableControls(page);
    g_bPageFilled = TRUE;
}

void NotifyChanged()
{
    if (g_hWndParent && IsWindow(g_hWndParent))
        PostMessageW(g_hWndParent, WM_QOR_CONFIGCHANGED, 0, 0);
}

INT_PTR CALLBACK ConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FillPage(page);
        return TRUE;
    case WM_SIZE:
        DoAdjustControls(page);
        return TRUE;
    case WM_HELP:
        ShowHelpContext(L"QUORLAN.CHM", kVisettePluginId);
        return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
        HBRUSH brush = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX ? g_DlgColors.GetEditBrush()
                                                                                   : g_DlgColors.GetDialogBrush();
        if (!brush)
            return FALSE;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, g_DlgColors.GetStaticTextColor());
        SetBkColor(dc, message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX ? g_DlgColors.GetEditBkColor()
                                                                                   : g_DlgColors.GetDialogBkColor());
        return reinterpret_cast<INT_PTR>(brush);
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDOK || id == IDCANCEL) {
            g_hConfigPage = nullptr;
            EndDialog(page, 2);
            DestroyWindow(page);
            return TRUE;
        }
        if (!g_bPageFilled)
            return FALSE;
        if (((id == IDC_COMBO_MONITOR || id == IDC_COMBO_POSITION || id == IDC_COMBO_SCALE) && code == CBN_SELCHANGE) ||
            id == IDC_CHECK_PICTURES || id == IDC_CHECK_DURATION || (id == IDC_EDIT_DURATION && code == EN_CHANGE)) {
            if (id == IDC_CHECK_DURATION)
                DoEnableControls(page);
            NotifyChanged();
        }
        return FALSE;
    }
    case WM_DESTROY:
        if (g_hConfigPage == page)
            g_hConfigPage = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

DWORD Selection(HWND page, int id)
{
    LRESULT sel = SendDlgItemMessageW(page, id, CB_GETCURSEL, 0, 0);
    return sel == CB_ERR ? 0 : static_cast<DWORD>(sel);
}

}  // namespace

HWND ShowSettingsPage(HWND parent)
{
    HWND page = CreateDialogParamW(g_hInstance, MAKEINTRESOURCEW(IDD_VISETTE_CONFIG), parent, ConfigDlgProc, 0);
    if (!page) {
        LogLine(0, L"Func.DLL_ShowConfig.Error.CreateDialog %u", static_cast<unsigned>(GetLastError()));
        return nullptr;
    }
    ShowWindow(page, SW_SHOWNORMAL);
    return page;
}

BOOL ApplySettingsPage()
{
    HWND page = g_hConfigPage;
    if (!page || !IsWindow(page))
        return FALSE;
    LogLine(2, L"Event.QOR_BUSMSG_APPLY.Begin");
    g_bPageFilled = FALSE;
    g_Settings.UseDuration = IsDlgButtonChecked(page, IDC_CHECK_DURATION) == BST_CHECKED;
    g_Settings.UsePictures = IsDlgButtonChecked(page, IDC_CHECK_PICTURES) == BST_CHECKED;
    BOOL ok = FALSE;
    g_Settings.Duration = GetDlgItemInt(page, IDC_EDIT_DURATION, &ok, FALSE);
    if (g_Settings.Duration == 0) {
        g_Settings.Duration = 10;
        SetDlgItemInt(page, IDC_EDIT_DURATION, g_Settings.Duration, FALSE);
    }
    g_Settings.ScaleIndex = Selection(page, IDC_COMBO_SCALE);
    CheckScaleFactor(&g_Settings.ScaleIndex, &g_dwScalePercent, &g_dwPopupWidth);
    g_Settings.UsedPosition = Selection(page, IDC_COMBO_POSITION) & 3;
    g_Settings.PreferredMonitor = Selection(page, IDC_COMBO_MONITOR);
    g_dwPreferredMonitor = g_Settings.PreferredMonitor;
    g_dwUsedScreen = g_Settings.PreferredMonitor;
    LogLine(2, L"Event.QOR_BUSMSG_APPLY.UseDuration %u Duration %u UsePictures %u ScaleIndex %u UsedPosition %u "
               L"PreferredMonitor %u",
            static_cast<unsigned>(g_Settings.UseDuration), static_cast<unsigned>(g_Settings.Duration),
            static_cast<unsigned>(g_Settings.UsePictures), static_cast<unsigned>(g_Settings.ScaleIndex),
            static_cast<unsigned>(g_Settings.UsedPosition), static_cast<unsigned>(g_Settings.PreferredMonitor));
    DoEnableControls(page);
    DoSaveSettings();
    LogLine(2, L"Event.QOR_BUSMSG_APPLY.End");
    return TRUE;
}
