// The settings dialog's frame: the plug-in tree, the selected plug-in's page, the version
// labels, the info text and the Close, Apply and Help buttons.
#include "host/QorConfig.h"

#include "bus/BusBuilders.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/ClipboardTools.h"
#include "foundation/Format.h"
#include "foundation/HelpTools.h"
#include "foundation/QorDlgColors.h"
#include "foundation/QorDlgFonts.h"
#include "foundation/ResourceAccess.h"
#include "foundation/Seams.h"
#include "foundation/SharedMem.h"
#include "foundation/TreeViewTools.h"
#include "foundation/VersionTool.h"
#include "foundation/WindowTools.h"
#include "host/PluginBase.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>

CQorConfig g_QorConfig;

namespace {

enum {
    kIdLabel = 1010,
    kIdTree = 1000,
    kIdInfo = 1009,
    kIdDivider = 1011,
    kIdProductVersion = 1004,
    kIdFileVersion = 1005,
    kIdApply = 1006,
    kIdHelp = 9,
};

ConfigHostInfo s_hostInfo = {};
wchar_t s_fontName[64] = L"";  // the face the current font was made for

HWND s_dialog = nullptr;
HWND s_tree = nullptr;
HMODULE s_selected = nullptr;
BOOL s_pending = FALSE;
BOOL s_asking = FALSE;
HTREEITEM s_itemModuleInfo = nullptr;
HTREEITEM s_itemCategory[6] = {};

CQorDlgColors s_colors;
CQorDlgFonts s_fonts;

struct Category {
    CPluginBase* plugins;
    UINT textId;
    const wchar_t* defaultText;
};
// The tree's order.
const Category kCategories[6] = {
    {&g_PluginTelephony, 1005, L"Telephony"}, {&g_PluginSearch, 1006, L"Search"},
    {&g_PluginInfo, 1007, L"Inbound Action"}, {&g_PluginSave, 1008, L"Data Storage"},
    {&g_PluginExtra, 1009, L"Extra"},         {&g_PluginDebug, 1024, L"Trace"},
};

const wchar_t* Live(const wchar_t* text) { return text ? text : L""; }
const wchar_t* HelpFile() { return Live(s_hostInfo.helpFile); }
const wchar_t* HelpLink() { return Live(s_hostInfo.helpLink); }

// Scheme and font as the host has them now.
void TakeLook()
{
    s_colors.SetScheme(s_hostInfo.schemeIndex ? static_cast<int>(*s_hostInfo.schemeIndex) : 0);
    const wchar_t* font = Live(s_hostInfo.fontName);
    if (font[0] && wcscmp(font, s_fontName) != 0) {
        s_fonts.CreateDlgFont(font);
        CopyText(s_fontName, _countof(s_fontName), font);
    }
}

void SetSharedPageId(DWORD id)
{
    if (g_pSharedMemView)
        g_pSharedMemView[1] = id;
}

void CloseSettingsPage()
{
    HWND page = qorconfig::g_hWndPage;
    if (!page)
        return;
    SendMessageW(page, WM_COMMAND, IDOK, 0);
    // Pages end themselves with EndDialog, which only hides a modeless dialog.
    if (IsWindow(page))
        DestroyWindow(page);
    if (qorconfig::g_hWndPage == page)
        qorconfig::g_hWndPage = nullptr;
}

void LayoutConfig(HWND dialog)
{
    RECT client;
    GetClientRect(dialog, &client);
    const int w = client.right, h = client.bottom;
    const struct {
        int id;
        int x, y, cx, cy;
    } places[] = {
        {kIdLabel, 5, 5, 240, 20},
        {kIdTree, 5, 25, 240, h - 195},
        {kIdInfo, 5, h - 165, 240, 125},
        {IDCANCEL, w - 250, h - 35, 80, 25},
        {kIdApply, w - 165, h - 35, 80, 25},
        {kIdHelp, w - 80, h - 35, 70, 25},
        {kIdDivider, 255, 5, 3, h - 45},
        {kIdProductVersion, 265, 5, 170, 20},
        {kIdFileVersion, 440, 5, 170, 20},
    };
    for (const auto& p : places) {
        if (HWND item = GetDlgItem(dialog, p.id))
            MoveWindow(item, p.x, p.y, p.cx, p.cy, TRUE);
    }
    if (qorconfig::g_hWndPage)
        MoveWindow(qorconfig::g_hWndPage, 265, 25, w - 275, h - 65, TRUE);
}

void PlaceAtPosition(HWND dialog)
{
    ValidateConfigPosition(&g_rcConfigPosition);
    const RECT& r = g_rcConfigPosition;
    SetWindowPos(dialog, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The tree's module for a page request: a loaded module's handle, or the handle of the slot
// whose plug-in ID it is (bus requests name plug-ins by ID). 0 when it names none.
LPARAM ResolvePage(DWORD_PTR page)
{
    if (!page)
        return 0;
    for (const Category& c : kCategories) {
        for (int i = 0; i < kPluginSlots; ++i) {
            if (c.plugins->GetModule(i) && reinterpret_cast<DWORD_PTR>(c.plugins->GetModule(i)) == page)
                return static_cast<LPARAM>(page);
        }
    }
    for (const Category& c : kCategories) {
        for (int i = 0; i < kPluginSlots; ++i) {
            if (c.plugins->GetModule(i) && c.plugins->GetPluginId(i) == page)
                return reinterpret_cast<LPARAM>(c.plugins->GetModule(i));
        }
    }
    return 0;
}

void FillTree(DWORD_PTR page)
{
    s_itemModuleInfo = InsertTreeViewItem(s_tree, TVI_ROOT, TVI_LAST, qorconfig::Text(1004, L"Module info"), 0);
    for (int c = 0; c < 6; ++c) {
        s_itemCategory[c] = nullptr;
        CPluginBase* plugins = kCategories[c].plugins;
        for (int i = 0; i < kPluginSlots; ++i) {
            wchar_t name[128];
            CopyText(name, _countof(name), plugins->GetPluginName(i));
            if (!name[0])
                continue;
            if (!s_itemCategory[c])
                s_itemCategory[c] = InsertTreeViewItem(s_tree, TVI_ROOT, TVI_LAST,
                                                       qorconfig::Text(kCategories[c].textId, kCategories[c].defaultText), 0);
            InsertTreeViewItem(s_tree, s_itemCategory[c], TVI_SORT, name,
                               reinterpret_cast<LPARAM>(plugins->GetModule(i)));
        }
        if (s_itemCategory[c])
            TreeView_Expand(s_tree, s_itemCategory[c], TVE_EXPAND);
    }
    LPARAM wanted = ResolvePage(page);
    HTREEITEM select = nullptr;
    for (HTREEITEM root = s_itemModuleInfo; wanted && root && !select; root = TreeView_GetNextSibling(s_tree, root))
        select = FindTreeViewItemByData(s_tree, root, wanted);
    TreeView_SelectItem(s_tree, select ? select : s_itemModuleInfo);
}

void ShowModuleInfo(HWND dialog, HMODULE module)
{
    CVersionTool version(module);
    wchar_t caption[64];
    wchar_t text[64];
    CopyText(caption, _countof(caption), qorconfig::Text(1001, L"Product version:"));
    FormatW(text, _countof(text), L"%s %s", caption, version.GetProductVersion());
    SetDlgItemTextW(dialog, kIdProductVersion, text);
    CopyText(caption, _countof(caption), qorconfig::Text(1002, L"File version:"));
    FormatW(text, _countof(text), L"%s %s", caption, version.GetFileVersion());
    SetDlgItemTextW(dialog, kIdFileVersion, text);

    // A text file beside the module ("...dll" -> "...txt") replaces the file description.
    wchar_t path[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(module, path, _countof(path));
    HWND info = GetDlgItem(dialog, kIdInfo);
    if (length > 3 && length < _countof(path)) {
        CopyText(path + length - 3, 4, L"txt");
        if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
            SetWindowTextFromFile(info, path);
            return;
        }
    }
    SetWindowTextW(info, version.GetFileDescription());
}

void ShowEmptyInfo(HWND dialog)
{
    SetDlgItemTextW(dialog, kIdProductVersion, qorconfig::Text(1001, L"Product version:"));
    SetDlgItemTextW(dialog, kIdFileVersion, qorconfig::Text(1002, L"File version:"));
    SetDlgItemTextW(dialog, kIdInfo, L"");
}

void OnSelectionChanged(HWND dialog, HTREEITEM item, LPARAM data)
{
    s_pending = FALSE;
    s_selected = reinterpret_cast<HMODULE>(data);
    SetSharedPageId(0);
    CloseSettingsPage();
    if (item && item == s_itemModuleInfo) {
        s_selected = qorconfig::HostInstance();
        HWND page = CreateDialogParamW(qorconfig::HostInstance(), MAKEINTRESOURCEW(kModuleInfoDialogId), dialog,
                                       ModuleInfoDlgProc, 0);
        qorconfig::g_hWndPage = page;
        LayoutConfig(dialog);
        if (page)
            ShowWindow(page, SW_SHOW);
        ShowModuleInfo(dialog, s_selected);
    } else if (s_selected) {
        auto show = reinterpret_cast<PFN_DLL_ShowConfig>(GetProcAddress(s_selected, "DLL_ShowConfig"));
        if (show) {
            qorconfig::g_hWndPage = show(dialog);
            LayoutConfig(dialog);
            if (qorconfig::g_hWndPage)
                ShowWindow(qorconfig::g_hWndPage, SW_SHOW);
        }
        auto getId = reinterpret_cast<PFN_DLL_GetPluginID>(GetProcAddress(s_selected, "DLL_GetPluginID"));
        if (getId)
            SetSharedPageId(getId());
        ShowModuleInfo(dialog, s_selected);
    } else {
        ShowEmptyInfo(dialog);
    }
    UpdateConfigButtons();
}

void ApplyConfig(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, kIdApply), FALSE);
    CancelOwnTopmostWindows();
    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    if (s_selected && s_selected == qorconfig::HostInstance())
        SendBusType(qorconfig::HostWindow(), TRUE, QOR_BUSMSG_APPLYALL);
    else if (s_selected)
        SendBusToModule(s_selected, QOR_BUSMSG_APPLY);
    s_pending = FALSE;
    UpdateConfigButtons();
    InvalidateRect(s_tree, nullptr, TRUE);
    SetCursor(old ? old : LoadCursorW(nullptr, IDC_ARROW));
}

// The pending-change question: IDYES applies first, IDNO discards, IDCANCEL stays.
int AskPendingChange(HWND dialog)
{
    if (!s_pending)
        return IDNO;
    // Asked once at a time: every close request that arrives while the question is open
    // (other programs can send any number) would otherwise open one more question inside
    // it, each a modal loop deeper, until the thread can take no message at all. Such a
    // request keeps the dialog open; the question on the screen decides.
    if (s_asking)
        return IDCANCEL;
    s_asking = TRUE;
    wchar_t caption[128];
    CopyText(caption, _countof(caption), qorconfig::Text(1030, L"Apply changes"));
    wchar_t text[512];
    CopyText(text, _countof(text),
             qorconfig::Text(1031, L"The program settings has been changed. Do you want to apply the changes?"));
    int answer = g_pfnMessageBoxW(dialog, text, caption, MB_YESNOCANCEL | MB_ICONWARNING | MB_TOPMOST);
    s_asking = FALSE;
    // The dialog may have gone while the question was open (the program end releases it).
    if (!s_dialog)
        return IDCANCEL;
    if (answer == IDYES)
        ApplyConfig(dialog);
    return answer == IDYES || answer == IDNO ? answer : IDCANCEL;
}

void StorePosition(HWND dialog)
{
    RECT r;
    if (!IsIconic(dialog) && GetWindowRect(dialog, &r))
        g_rcConfigPosition = r;
}

void DestroyConfig(HWND dialog)
{
    s_pending = FALSE;
    StorePosition(dialog);
    CloseSettingsPage();
    SetSharedPageId(0);
    s_itemModuleInfo = nullptr;
    for (HTREEITEM& item : s_itemCategory)
        item = nullptr;
    s_tree = nullptr;
    s_selected = nullptr;
    s_dialog = nullptr;
    EndDialog(dialog, IDOK);
    DestroyWindow(dialog);
}

LRESULT TreeCustomDraw(NMTVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        HMODULE module = reinterpret_cast<HMODULE>(draw->nmcd.lItemlParam);
        if ((draw->nmcd.uItemState & CDIS_SELECTED) && (draw->nmcd.uItemState & CDIS_FOCUS))
            draw->clrText = CQorDlgColors::kSelectedTreeTextColor;
        else if (module)
            draw->clrText = CPluginBase::GetDisableStateOf(module) ? s_colors.GetTreeDisabledTextColor()
                                                                   : s_colors.GetTreeEnabledTextColor();
        else
            draw->clrText = s_colors.GetTreeCategoryTextColor();
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

INT_PTR OnNotify(HWND dialog, NMHDR* header)
{
    // The tree reports its own clearing while the dialog is destroyed: nothing to do then.
    if (header->idFrom != kIdTree || dialog != s_dialog)
        return FALSE;
    switch (header->code) {
    case TVN_SELCHANGINGW: {
        // Only a real change of item asks; the first selection has no old page.
        auto* change = reinterpret_cast<NMTREEVIEWW*>(header);
        BOOL stay = change->itemOld.hItem && AskPendingChange(dialog) == IDCANCEL;
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, stay);
        return TRUE;
    }
    case TVN_SELCHANGEDW: {
        auto* change = reinterpret_cast<NMTREEVIEWW*>(header);
        OnSelectionChanged(dialog, change->itemNew.hItem, GetTreeViewItemData(s_tree, change->itemNew.hItem));
        return TRUE;
    }
    case NM_CUSTOMDRAW:
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TreeCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(header)));
        return TRUE;
    default:
        return FALSE;
    }
}

void InitConfig(HWND dialog, DWORD_PTR page)
{
    s_dialog = dialog;
    s_tree = GetDlgItem(dialog, kIdTree);
    TakeLook();
    HICON icon = LoadIconW(qorconfig::HostInstance(), MAKEINTRESOURCEW(128));
    if (icon) {
        SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    qorconfig::ApplyLook(dialog);
    PlaceAtPosition(dialog);

    wchar_t settings[64];
    CopyText(settings, _countof(settings), qorconfig::Text(1017, L"Settings"));
    wchar_t title[128];
    const wchar_t* product = Live(s_hostInfo.productName);
    CVersionTool version(qorconfig::HostInstance());
    FormatW(title, _countof(title), L"%s - %s", product[0] ? product : version.GetProductName(), settings);
    SetWindowTextW(dialog, title);
    SetDlgItemTextW(dialog, kIdLabel, qorconfig::Text(1003, L"Modules:"));
    SetDlgItemTextW(dialog, IDCANCEL, qorconfig::Text(1010, L"Close"));
    SetDlgItemTextW(dialog, kIdApply, qorconfig::Text(1023, L"Apply"));
    SetDlgItemTextW(dialog, kIdHelp, qorconfig::Text(1018, L"Help"));
    TreeView_SetBkColor(s_tree, s_colors.GetTreeBkColor());

    FillTree(page);
    LayoutConfig(dialog);
    SetForegroundWindow(dialog);
}

}  // namespace

namespace qorconfig {

HWND g_hWndPage = nullptr;

const wchar_t* Text(UINT id, const wchar_t* defaultText)
{
    if (s_hostInfo.resources)
        return s_hostInfo.resources->GetString(id, defaultText);
    return defaultText;
}

const ConfigHostInfo& Host() { return s_hostInfo; }

HINSTANCE HostInstance() { return s_hostInfo.instance ? s_hostInfo.instance : GetModuleHandleW(nullptr); }

HWND HostWindow() { return s_hostInfo.hostWindow ? s_hostInfo.hostWindow : g_hWndParent; }

CQorDlgColors& Colors() { return s_colors; }

void ApplyLook(HWND window)
{
    if (s_fontName[0])
        s_fonts.ApplyFont(window, s_fontName, FALSE);
}

INT_PTR ColorMessage(UINT message, WPARAM wParam)
{
    HDC dc = reinterpret_cast<HDC>(wParam);
    switch (message) {
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(s_colors.GetDialogBrush());
    case WM_CTLCOLORSTATIC:
        if (!s_colors.GetDialogBrush())
            return 0;
        SetTextColor(dc, s_colors.GetStaticTextColor());
        SetBkColor(dc, s_colors.GetDialogBkColor());
        return reinterpret_cast<INT_PTR>(s_colors.GetDialogBrush());
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (!s_colors.GetEditBrush())
            return 0;
        SetBkColor(dc, s_colors.GetEditBkColor());
        return reinterpret_cast<INT_PTR>(s_colors.GetEditBrush());
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
        return reinterpret_cast<INT_PTR>(s_colors.GetButtonBrush());
    default:
        return 0;
    }
}

void PostConfigChanged()
{
    if (HWND host = HostWindow())
        PostMessageW(host, WM_QOR_CONFIGCHANGED, 0, 0);
}

}  // namespace qorconfig

void SetConfigHostInfo(const ConfigHostInfo& info)
{
    // Plain assignment only: the host may call this before other objects are constructed.
    s_hostInfo = info;
}

void RefreshConfigLook()
{
    if (!s_dialog)
        return;
    TakeLook();
    qorconfig::ApplyLook(s_dialog);
    if (qorconfig::g_hWndPage)
        qorconfig::ApplyLook(qorconfig::g_hWndPage);
    TreeView_SetBkColor(s_tree, s_colors.GetTreeBkColor());
    if (qorconfig::g_hWndList)
        ListView_SetBkColor(qorconfig::g_hWndList, s_colors.GetListBkColor());
    InvalidateRect(s_dialog, nullptr, TRUE);
}

HWND GetConfigDialog() { return s_dialog; }
HWND GetConfigPage() { return qorconfig::g_hWndPage; }
HWND GetConfigTree() { return s_tree; }
HWND GetConfigModuleList() { return qorconfig::g_hWndList; }
HMODULE GetConfigSelectedModule() { return s_selected; }

void ShowConfig(DWORD_PTR page)
{
    LogLine(3, L"Func.ShowConfig.Begin");
    if (s_dialog) {
        if (IsIconic(s_dialog))
            ShowWindow(s_dialog, SW_RESTORE);
        SetForegroundWindow(s_dialog);
        LogLine(3, L"Func.ShowConfig.Abort");
        return;
    }
    HWND dialog = CreateDialogParamW(qorconfig::HostInstance(), MAKEINTRESOURCEW(kConfigDialogId), nullptr,
                                     MainConfigDlgProc, static_cast<LPARAM>(page));
    LogLine(3, L"Func.ShowConfig.Var.m_hWndDlg 0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(dialog)));
    if (dialog)
        ShowWindow(dialog, SW_SHOW);
    LogLine(3, L"Func.ShowConfig.End");
}

void CloseConfig()
{
    LogLine(3, L"Func.CloseConfig.Begin");
    // IDOK to the page, which is then destroyed: the dialog's own close finds no page to tell
    // a second time.
    CloseSettingsPage();
    if (s_dialog)
        SendMessageW(s_dialog, WM_COMMAND, IDOK, 0);
    LogLine(3, L"Func.CloseConfig.End");
}

void CloseConfigBeforeUnload()
{
    if (!s_dialog)
        return;
    LogLine(3, L"Func.CloseConfigBeforeUnload.Info.closing the settings dialog");
    // No question: the plug-ins behind the pending change are about to go.
    s_pending = FALSE;
    DestroyConfig(s_dialog);
}

void ReleaseConfigForEnd()
{
    if (!s_dialog)
        return;
    LogLine(3, L"Func.ReleaseConfigForEnd.Info.the program ends");
    s_pending = FALSE;
    StorePosition(s_dialog);
    CloseSettingsPage();
    SetSharedPageId(0);
}

void SetConfigChangePending()
{
    s_pending = TRUE;
    UpdateConfigButtons();
}

BOOL IsConfigChangePending() { return s_pending; }

void UpdateConfigButtons()
{
    if (!s_dialog)
        return;
    BOOL module = s_selected != nullptr;
    EnableWindow(GetDlgItem(s_dialog, kIdFileVersion), module);
    EnableWindow(GetDlgItem(s_dialog, kIdProductVersion), module);
    EnableWindow(GetDlgItem(s_dialog, kIdInfo), module);
    EnableWindow(GetDlgItem(s_dialog, kIdApply), s_pending);
    EnableWindow(GetDlgItem(s_dialog, kIdHelp), (HelpFile()[0] && HelpFileExists(HelpFile())) || HelpLink()[0]);
}

void ShowHelp(DWORD topic, DWORD toPage)
{
    if (HelpFile()[0] && HelpFileExists(HelpFile())) {
        ShowHelpContext(HelpFile(), topic);
        if (qorconfig::g_hWndPage && toPage)
            SendMessageW(qorconfig::g_hWndPage, WM_HELP, 0, 0);
    } else if (HelpLink()[0]) {
        ShellExecuteW(nullptr, L"open", HelpLink(), nullptr, nullptr, SW_SHOWNORMAL);
    }
}

INT_PTR CALLBACK MainConfigDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitConfig(dialog, static_cast<DWORD_PTR>(lParam));
        return FALSE;
    case WM_SIZE:
        LayoutConfig(dialog);
        StorePosition(dialog);
        return TRUE;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = 640;
        info->ptMinTrackSize.y = 450;
        return TRUE;
    }
    case WM_DISPLAYCHANGE:
        PlaceAtPosition(dialog);
        return TRUE;
    case WM_NOTIFY:
        return OnNotify(dialog, reinterpret_cast<NMHDR*>(lParam));
    case WM_HELP:
        ShowHelp(100, TRUE);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kIdApply:
            ApplyConfig(dialog);
            return TRUE;
        case kIdHelp:
            ShowHelp(100, TRUE);
            return TRUE;
        case IDOK:
        case IDCANCEL:
            if (AskPendingChange(dialog) == IDCANCEL)
                return TRUE;
            DestroyConfig(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
        return qorconfig::ColorMessage(message, wParam);
    default:
        return FALSE;
    }
}
