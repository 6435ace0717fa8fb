#include "foundation/ListViewTools.h"

#include <cstdlib>
#include <cwchar>

#include "foundation/Format.h"

namespace {

LRESULT Send(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageW(list, message, wParam, lParam);
}

void GetCellText(HWND list, int item, int column, wchar_t* text, int size)
{
    text[0] = L'\0';
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = text;
    cell.cchTextMax = size;
    Send(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&cell));
    text[size - 1] = L'\0';
}

BOOL SetCellText(HWND list, int item, int column, const wchar_t* text)
{
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(text);
    return static_cast<BOOL>(Send(list, LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&cell)));
}

BOOL SetState(HWND list, int item, UINT mask, UINT state)
{
    LVITEMW entry = {};
    entry.mask = LVIF_STATE;
    entry.iItem = item;
    entry.stateMask = mask;
    entry.state = state;
    return static_cast<BOOL>(Send(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
}

int ItemCount(HWND list)
{
    return static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
}

LVHITTESTINFO HitTestAtCursor(HWND list, UINT message)
{
    LVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(list, &hit.pt);
    hit.iItem = -1;
    Send(list, message, 0, reinterpret_cast<LPARAM>(&hit));
    return hit;
}

}  // namespace

DWORD SetListViewExtendedStyle(HWND list, DWORD style, BOOL set)
{
    return static_cast<DWORD>(Send(list, LVM_SETEXTENDEDLISTVIEWSTYLE, style, set ? style : 0));
}

int InsertListViewColumn(HWND list, int index, int width, const wchar_t* text, int format)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(text ? text : L"");
    column.iSubItem = index;
    return static_cast<int>(Send(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column)));
}

BOOL SetListViewColumnText(HWND list, int column, const wchar_t* text)
{
    LVCOLUMNW entry = {};
    entry.mask = LVCF_TEXT;
    entry.pszText = const_cast<wchar_t*>(text ? text : L"");
    return static_cast<BOOL>(Send(list, LVM_SETCOLUMNW, column, reinterpret_cast<LPARAM>(&entry)));
}

const wchar_t* GetListViewColumnText(HWND list, int column)
{
    static thread_local wchar_t t_text[64];
    t_text[0] = L'\0';
    LVCOLUMNW entry = {};
    entry.mask = LVCF_TEXT | LVCF_SUBITEM;
    entry.pszText = t_text;
    entry.cchTextMax = _countof(t_text);
    if (!Send(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&entry)))
        t_text[0] = L'\0';
    t_text[_countof(t_text) - 1] = L'\0';
    return t_text;
}

int GetListViewColumnFormat(HWND list, int column)
{
    LVCOLUMNW entry = {};
    entry.mask = LVCF_FMT | LVCF_SUBITEM;
    Send(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&entry));
    return entry.fmt;
}

int GetListViewColumnCount(HWND list)
{
    HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
    if (!header)
        return 0;
    return static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

int FindListViewColumn(HWND list, const wchar_t* text)
{
    if (!text || !text[0])
        return -1;
    int count = GetListViewColumnCount(list);
    for (int column = 0; column < count; ++column) {
        if (wcscmp(GetListViewColumnText(list, column), text) == 0)
            return column;
    }
    return -1;
}

void AutoSizeListViewColumns(HWND list)
{
    HDC screen = GetDC(nullptr);
    HGDIOBJ oldFont = screen ? SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT)) : nullptr;
    for (int index = 0;; ++index) {
        wchar_t text[128] = L"";
        LVCOLUMNW entry = {};
        entry.mask = LVCF_TEXT;
        entry.pszText = text;
        entry.cchTextMax = _countof(text);
        if (!Send(list, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(&entry)))
            break;
        text[_countof(text) - 1] = L'\0';
        if (!text[0] || !screen)
            continue;
        RECT bounds = {0, 0, 1000, 30};
        DrawTextW(screen, text, -1, &bounds, DT_CALCRECT);
        LVCOLUMNW size = {};
        size.mask = LVCF_WIDTH | LVCF_ORDER;
        size.cx = (bounds.right - bounds.left) + 15;
        size.iOrder = index;
        Send(list, LVM_SETCOLUMNW, index, reinterpret_cast<LPARAM>(&size));
    }
    if (screen) {
        SelectObject(screen, oldFont);
        ReleaseDC(nullptr, screen);
    }
}

int InsertListViewItem(HWND list, int index, const wchar_t* text)
{
    LVITEMW entry = {};
    entry.mask = LVIF_TEXT;
    entry.iItem = index;
    entry.pszText = const_cast<wchar_t*>(text ? text : L"");
    return static_cast<int>(Send(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
}

BOOL IsListViewItemSelected(HWND list, int item)
{
    return Send(list, LVM_GETITEMSTATE, item, LVIS_SELECTED) != 0;
}

int GetSelectedListViewItem(HWND list)
{
    return static_cast<int>(Send(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

BOOL SetListViewItemSelected(HWND list, int item, BOOL select)
{
    return SetState(list, item, LVIS_SELECTED, select ? LVIS_SELECTED : 0);
}

BOOL FocusListViewItem(HWND list, int item)
{
    return SetState(list, item, LVIS_FOCUSED, LVIS_FOCUSED);
}

BOOL SelectAllListViewItems(HWND list)
{
    SelectListViewItems(list);
    return SetState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void SelectListViewItems(HWND list)
{
    int count = ItemCount(list);
    for (int item = 0; item < count; ++item)
        SetState(list, item, LVIS_SELECTED, LVIS_SELECTED);
}

BOOL SetListViewItemImage(HWND list, int item, int subItem, int image)
{
    LVITEMW entry = {};
    entry.mask = LVIF_IMAGE;
    entry.iItem = item;
    entry.iSubItem = subItem;
    entry.iImage = image;
    return static_cast<BOOL>(Send(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
}

int GetListViewItemImage(HWND list, int item, int subItem)
{
    LVITEMW entry = {};
    entry.mask = LVIF_IMAGE;
    entry.iItem = item;
    entry.iSubItem = subItem;
    Send(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
    return entry.iImage;
}

BOOL SetListViewItemData(HWND list, int item, LPARAM value)
{
    LVITEMW entry = {};
    entry.mask = LVIF_PARAM;
    entry.iItem = item;
    entry.lParam = value;
    return static_cast<BOOL>(Send(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
}

LPARAM GetListViewItemData(HWND list, int item)
{
    LVITEMW entry = {};
    entry.mask = LVIF_PARAM;
    entry.iItem = item;
    Send(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
    return entry.lParam;
}

int FindListViewItemByData(HWND list, LPARAM value)
{
    LVFINDINFOW find = {};
    find.flags = LVFI_PARAM;
    find.lParam = value;
    return static_cast<int>(Send(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

int FindListViewItemByDataText(HWND list, const wchar_t* text)
{
    if (!text)
        return -1;
    return FindListViewItemByData(list, static_cast<LPARAM>(wcstol(text, nullptr, 10)));
}

int FindListViewItemByTextPrefix(HWND list, const wchar_t* text)
{
    LVFINDINFOW find = {};
    find.flags = LVFI_STRING | LVFI_PARTIAL;
    find.psz = text ? text : L"";
    return static_cast<int>(Send(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

int FindListViewItemByText(HWND list, int column, const wchar_t* text)
{
    if (!text)
        return -1;
    int count = ItemCount(list);
    for (int item = 0; item < count; ++item) {
        wchar_t cell[256];
        GetCellText(list, item, column, cell, _countof(cell));
        if (lstrcmpiW(cell, text) == 0)
            return item;
    }
    return -1;
}

int GetListViewItemNumber(HWND list, int item, int column)
{
    wchar_t cell[16];
    GetCellText(list, item, column, cell, _countof(cell));
    return static_cast<int>(wcstol(cell, nullptr, 10));
}

BOOL SetListViewItemUnsigned(HWND list, int item, int column, unsigned value)
{
    wchar_t text[32];
    FormatW(text, _countof(text), L"%u", value);
    return SetCellText(list, item, column, text);
}

BOOL SetListViewItemPadded(HWND list, int item, int column, int value)
{
    wchar_t text[32];
    FormatW(text, _countof(text), L"%10d", value);
    return SetCellText(list, item, column, text);
}

BOOL SetListViewItemSigned(HWND list, int item, int column, int value)
{
    wchar_t text[32];
    FormatW(text, _countof(text), L"%d", value);
    return SetCellText(list, item, column, text);
}

BOOL SetListViewItemHex(HWND list, int item, int column, DWORD value)
{
    wchar_t text[32];
    FormatW(text, _countof(text), L"0x%08X", value);
    return SetCellText(list, item, column, text);
}

DWORD GetListViewItemHex(HWND list, int item, int column)
{
    wchar_t cell[32];
    GetCellText(list, item, column, cell, _countof(cell));
    const wchar_t* cursor = cell;
    while (*cursor == L' ' || *cursor == L'\t')
        ++cursor;
    if (cursor[0] != L'0' || cursor[1] != L'x' || !iswxdigit(cursor[2]))
        return 0;
    return static_cast<DWORD>(wcstoul(cursor + 2, nullptr, 16));
}

BOOL SetListViewCheck(HWND list, int item, BOOL checked)
{
    LVITEMW entry = {};
    entry.stateMask = LVIS_STATEIMAGEMASK;
    entry.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    return static_cast<BOOL>(Send(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&entry)));
}

int GetListViewCheck(HWND list, int item)
{
    UINT state = static_cast<UINT>(Send(list, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK));
    return static_cast<int>(state >> 12) - 1;
}

int HitTestListViewItem(HWND list)
{
    return HitTestAtCursor(list, LVM_HITTEST).iItem;
}

int HitTestListViewSubItem(HWND list)
{
    // The sub-item is only filled in by the sub-item hit test.
    return HitTestAtCursor(list, LVM_SUBITEMHITTEST).iSubItem;
}

BOOL DeleteListViewItem(HWND list, int item, BOOL freeData)
{
    if (freeData) {
        // Cleared before it is freed, so the item never holds a freed block.
        if (void* block = reinterpret_cast<void*>(GetListViewItemData(list, item))) {
            SetListViewItemData(list, item, 0);
            free(block);
        }
    }
    return static_cast<BOOL>(Send(list, LVM_DELETEITEM, item, 0));
}

void DeleteAllListViewItems(HWND list, BOOL freeData)
{
    for (int item = ItemCount(list) - 1; item >= 0; --item)
        DeleteListViewItem(list, item, freeData);
}
