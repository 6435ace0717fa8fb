// The settings dialog's "Module info" page: every loaded module with its versions, where the
// row images switch plug-ins on and off (applied through DLL_SetDisableState on Apply).
#include "host/QorConfig.h"

#include "foundation/ClipboardTools.h"
#include "foundation/Format.h"
#include "foundation/ListViewTools.h"
#include "foundation/QorDlgColors.h"
#include "foundation/Seams.h"
#include "foundation/VersionTool.h"
#include "host/PluginBase.h"

#include <commctrl.h>

#include <utility>
#include <vector>

namespace qorconfig {
HWND g_hWndList = nullptr;
}

namespace {

constexpr int kIdList = 1012;
HIMAGELIST s_images = nullptr;
WNDPROC s_listProc = nullptr;
wchar_t s_hostProductVersion[64] = L"";

void AppendRow(HWND list, const wchar_t* name, const CVersionTool& version, int image, LPARAM data)
{
    int row = InsertListViewItem(list, ListView_GetItemCount(list), name);
    if (row < 0)
        return;
    ListView_SetItemText(list, row, 1, const_cast<wchar_t*>(version.GetProductVersion()));
    ListView_SetItemText(list, row, 2, const_cast<wchar_t*>(version.GetFileVersion()));
    SetListViewItemImage(list, row, 0, image);
    SetListViewItemData(list, row, data);
}

void FillCategory(HWND list, CPluginBase& plugins)
{
    for (int i = 0; i < kPluginSlots; ++i) {
        wchar_t name[128];
        CopyText(name, _countof(name), plugins.GetPluginName(i));
        if (!name[0])
            continue;
        LVFINDINFOW find = {};
        find.flags = LVFI_STRING;  // without case
        find.psz = name;
        if (ListView_FindItem(list, -1, &find) >= 0)
            continue;
        HMODULE module = plugins.GetModule(i);
        BOOL off = CPluginBase::GetDisableStateOf(module) != 0;
        int image = plugins.GetCanDisable(i) ? (off ? kImageOff : kImageOn) : (off ? kImageFixedOff : kImageFixedOn);
        AppendRow(list, name, CVersionTool(module), image, reinterpret_cast<LPARAM>(module));
    }
}

void CopyListToClipboard(HWND page, HWND list)
{
    wchar_t text[2048];
    CopyText(text, _countof(text), L"Modul;Produktversion;Dateiversion;\r\n");
    const int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row) {
        if (!IsListViewItemSelected(list, row))
            continue;
        for (int column = 0; column < 3; ++column) {
            wchar_t cell[260] = L"";
            ListView_GetItemText(list, row, column, cell, _countof(cell));
            AppendText(text, _countof(text), cell);
            AppendText(text, _countof(text), L";");
        }
        AppendText(text, _countof(text), L"\r\n");
    }
    SetClipboardText(page, text, TRUE);
}

LRESULT ListCustomDraw(HWND list, NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const CQorDlgColors& colors = qorconfig::Colors();
        int row = static_cast<int>(draw->nmcd.dwItemSpec);
        wchar_t product[64] = L"";
        ListView_GetItemText(list, row, 1, product, _countof(product));
        draw->clrText = wcscmp(product, s_hostProductVersion) == 0 ? colors.GetListMarkerTextColor()
                                                                   : colors.GetListTextColor();
        draw->clrTextBk = row % 2 == 0 ? colors.GetListEvenRowColor() : colors.GetListOddRowColor();
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

void FitList(HWND page)
{
    RECT client;
    GetClientRect(page, &client);
    if (qorconfig::g_hWndList)
        MoveWindow(qorconfig::g_hWndList, 5, 5, client.right - 10, client.bottom - 10, TRUE);
}

void InitModuleInfo(HWND page)
{
    qorconfig::g_hWndPage = page;
    HWND list = GetDlgItem(page, kIdList);
    qorconfig::g_hWndList = list;
    FitList(page);
    g_PluginSearch.UpdateCanDisable();
    qorconfig::ApplyLook(page);
    SetListViewExtendedStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES | LVS_EX_GRIDLINES, TRUE);
    wchar_t column[64];
    CopyText(column, _countof(column), qorconfig::Text(1011, L"Module"));
    InsertListViewColumn(list, 0, 140, column, LVCFMT_LEFT);
    CopyText(column, _countof(column), qorconfig::Text(1012, L"Product version"));
    InsertListViewColumn(list, 1, 90, column, LVCFMT_LEFT);
    CopyText(column, _countof(column), qorconfig::Text(1013, L"File version"));
    InsertListViewColumn(list, 2, 90, column, LVCFMT_LEFT);
    ListView_SetBkColor(list, qorconfig::Colors().GetListBkColor());
    if (!s_images)
        s_images = ImageList_LoadImageW(qorconfig::HostInstance(), MAKEINTRESOURCEW(kModuleImagesBitmapId), 16, 0,
                                        CLR_DEFAULT, IMAGE_BITMAP, LR_CREATEDIBSECTION);
    ListView_SetImageList(list, s_images, LVSIL_SMALL);
    CopyText(s_hostProductVersion, _countof(s_hostProductVersion),
             CVersionTool(qorconfig::HostInstance()).GetProductVersion());
    FillModuleList(list);
    s_listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ModuleListSubclassProc)));
}

// The beta question; a plug-in marked beta is switched on only after OK.
bool ConfirmBeta(HWND list)
{
    wchar_t caption[128];
    CopyText(caption, _countof(caption), qorconfig::Text(1032, L"Beta version"));
    wchar_t text[512];
    CopyText(text, _countof(text),
             qorconfig::Text(1033, L"This plug-in is a beta version and may not work reliably. Do you want to switch it on?"));
    if (!caption[0] || !text[0])
        return false;
    return g_pfnMessageBoxW(list, text, caption, MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONWARNING | MB_TOPMOST) == IDOK;
}

void OnImageClick(HWND list, POINT at)
{
    LVHITTESTINFO hit = {};
    hit.pt = at;
    int row = ListView_HitTest(list, &hit);
    if (row < 0)
        return;
    // The hit test's flags differ between list versions; the image's own rectangle decides.
    RECT icon = {};
    if (!ListView_GetItemRect(list, row, &icon, LVIR_ICON) || !PtInRect(&icon, at))
        return;
    int image = GetListViewItemImage(list, row, 0);
    HMODULE module = reinterpret_cast<HMODULE>(GetListViewItemData(list, row));
    if (image == kImageOn) {
        SetListViewItemImage(list, row, 0, kImageOff);
        qorconfig::PostConfigChanged();
    } else if (image == kImageOff) {
        if (CPluginBase::IsBetaVersionOf(module) && !ConfirmBeta(list))
            return;
        SetListViewItemImage(list, row, 0, kImageOn);
        qorconfig::PostConfigChanged();
    }
}

}  // namespace

LRESULT CALLBACK ModuleListSubclassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN && !(wParam & (MK_SHIFT | MK_CONTROL))) {
        POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        OnImageClick(list, at);
    }
    WNDPROC previous = s_listProc;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        s_listProc = nullptr;
        if (qorconfig::g_hWndList == list)
            qorconfig::g_hWndList = nullptr;
    }
    return previous ? CallWindowProcW(previous, list, message, wParam, lParam)
                    : DefWindowProcW(list, message, wParam, lParam);
}

void FillModuleList(HWND list)
{
    if (!list)
        return;
    CVersionTool host(qorconfig::HostInstance());
    wchar_t name[64];
    CopyText(name, _countof(name), qorconfig::Text(1014, L" Main program"));
    AppendRow(list, name, host, kImageFixedOn, 0);
    CPluginBase* order[] = {&g_PluginDebug, &g_PluginTelephony, &g_PluginSearch,
                            &g_PluginInfo,  &g_PluginSave,      &g_PluginExtra};
    for (CPluginBase* plugins : order)
        FillCategory(list, *plugins);
}

void FillModuleList()
{
    HWND list = qorconfig::g_hWndList;
    if (!list)
        return;
    // The user's on/off choices not applied yet outlive the refresh wherever the plug-in can
    // still be switched; where it no longer can (forced off), its own state shows.
    std::vector<std::pair<HMODULE, int>> chosen;
    for (int row = 0, count = ListView_GetItemCount(list); row < count; ++row) {
        HMODULE module = reinterpret_cast<HMODULE>(GetListViewItemData(list, row));
        int image = GetListViewItemImage(list, row, 0);
        if (module && (image == kImageOn || image == kImageOff))
            chosen.emplace_back(module, image);
    }
    g_PluginSearch.UpdateCanDisable();
    ListView_DeleteAllItems(list);
    FillModuleList(list);
    for (int row = 0, count = ListView_GetItemCount(list); row < count; ++row) {
        HMODULE module = reinterpret_cast<HMODULE>(GetListViewItemData(list, row));
        int image = GetListViewItemImage(list, row, 0);
        if (!module || (image != kImageOn && image != kImageOff))
            continue;
        for (const auto& c : chosen)
            if (c.first == module && c.second != image)
                SetListViewItemImage(list, row, 0, c.second);
    }
}

void AppendProgramFileToList(HWND list, const wchar_t* fileName)
{
    if (!list || !fileName || !fileName[0])
        return;
    wchar_t path[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(nullptr, path, _countof(path));
    if (!length || length >= _countof(path))
        return;
    if (wchar_t* slash = wcsrchr(path, L'\\'))
        slash[1] = L'\0';
    AppendText(path, _countof(path), fileName);
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
        return;
    wchar_t name[MAX_PATH + 1];
    FormatW(name, _countof(name), L".%s", fileName);
    AppendRow(list, name, CVersionTool(path), kImageFixedOn, 0);
}

void ApplyDisableStates()
{
    HWND list = qorconfig::g_hWndList;
    if (!list)
        return;
    const int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row) {
        HMODULE module = reinterpret_cast<HMODULE>(GetListViewItemData(list, row));
        int image = GetListViewItemImage(list, row, 0);
        if (!module || (image != kImageOn && image != kImageOff))
            continue;
        auto set = reinterpret_cast<PFN_DLL_SetDisableState>(GetProcAddress(module, "DLL_SetDisableState"));
        if (set)
            set(image == kImageOff ? 1 : 0);
    }
}

INT_PTR CALLBACK ModuleInfoDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitModuleInfo(page);
        return FALSE;
    case WM_SIZE:
        FitList(page);
        return TRUE;
    case WM_DESTROY:
        // The list goes with the page; the image list is made again on the next opening.
        if (qorconfig::g_hWndList)
            ListView_SetImageList(qorconfig::g_hWndList, nullptr, LVSIL_SMALL);
        if (s_images) {
            ImageList_Destroy(s_images);
            s_images = nullptr;
        }
        return FALSE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom != kIdList)
            return FALSE;
        if (header->code == LVN_KEYDOWN) {
            auto* key = reinterpret_cast<NMLVKEYDOWN*>(lParam);
            if (GetKeyState(VK_CONTROL) < 0 && key->wVKey == 'A')
                SelectAllListViewItems(header->hwndFrom);
            else if (GetKeyState(VK_CONTROL) < 0 && key->wVKey == 'C')
                CopyListToClipboard(page, header->hwndFrom);
            return TRUE;
        }
        if (header->code == NM_CUSTOMDRAW) {
            SetWindowLongPtrW(page, DWLP_MSGRESULT,
                              ListCustomDraw(header->hwndFrom, reinterpret_cast<NMLVCUSTOMDRAW*>(lParam)));
            return TRUE;
        }
        return FALSE;
    }
    case WM_HELP:
        ShowHelp(100, FALSE);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            if (qorconfig::g_hWndPage == page)
                qorconfig::g_hWndPage = nullptr;
            DestroyWindow(page);
            return TRUE;
        }
        return FALSE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return qorconfig::ColorMessage(message, wParam);
    default:
        return FALSE;
    }
}
