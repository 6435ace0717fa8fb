#include "foundation/TreeViewTools.h"

#include <cwchar>

#include "foundation/Format.h"

namespace {

HTREEITEM FirstChild(HWND tree, HTREEITEM item)
{
    // Below no item, or below the root, are the root-level items.
    if (!item || item == TVI_ROOT)
        return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM NextSibling(HWND tree, HTREEITEM item)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}

template <typename Match>
HTREEITEM FindChild(HWND tree, HTREEITEM item, const wchar_t* text, Match match)
{
    if (!text)
        return nullptr;
    for (HTREEITEM child = FirstChild(tree, item); child; child = NextSibling(tree, child)) {
        wchar_t childText[256] = L"";
        GetTreeViewItemText(tree, child, childText, _countof(childText));
        if (match(childText, text))
            return child;
    }
    return nullptr;
}

BOOL ExpandAll(HWND tree, HTREEITEM item, UINT action)
{
    for (HTREEITEM child = FirstChild(tree, item); child; child = NextSibling(tree, child))
        ExpandAll(tree, child, action);
    return static_cast<BOOL>(SendMessageW(tree, TVM_EXPAND, action, reinterpret_cast<LPARAM>(item)));
}

}  // namespace

HTREEITEM InsertTreeViewItem(HWND tree, HTREEITEM parent, HTREEITEM insertAfter, const wchar_t* text, LPARAM value)
{
    static thread_local wchar_t t_text[256];
    CopyText(t_text, _countof(t_text), text);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = insertAfter;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_HANDLE;
    insert.item.pszText = t_text;
    insert.item.lParam = value;
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

HTREEITEM InsertTreeViewItemOnce(HWND tree, HTREEITEM parent, HTREEITEM insertAfter, const wchar_t* text,
                                 LPARAM value)
{
    // Exactly the same text: a child whose name merely contains it ("Search" in
    // "Search Extra") is another item.
    if (HTREEITEM existing = FindTreeViewChildByExactText(tree, parent, text))
        return existing;
    return InsertTreeViewItem(tree, parent, insertAfter, text, value);
}

HTREEITEM FindTreeViewChildByText(HWND tree, HTREEITEM item, const wchar_t* text)
{
    return FindChild(tree, item, text, [](const wchar_t* child, const wchar_t* wanted) {
        return wcsstr(child, wanted) != nullptr;
    });
}

HTREEITEM FindTreeViewChildByExactText(HWND tree, HTREEITEM item, const wchar_t* text)
{
    return FindChild(tree, item, text, [](const wchar_t* child, const wchar_t* wanted) {
        return wcscmp(child, wanted) == 0;
    });
}

HTREEITEM FindTreeViewItemByData(HWND tree, HTREEITEM item, LPARAM value)
{
    if (!item)
        return nullptr;
    if (GetTreeViewItemData(tree, item) == value)
        return item;
    for (HTREEITEM child = FirstChild(tree, item); child; child = NextSibling(tree, child)) {
        if (HTREEITEM found = FindTreeViewItemByData(tree, child, value))
            return found;
    }
    return nullptr;
}

LPARAM GetTreeViewItemData(HWND tree, HTREEITEM item)
{
    TVITEMW entry = {};
    entry.mask = TVIF_PARAM | TVIF_HANDLE;
    entry.hItem = item;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
    return entry.lParam;
}

BOOL SetTreeViewItemData(HWND tree, HTREEITEM item, LPARAM value)
{
    TVITEMW entry = {};
    entry.mask = TVIF_PARAM | TVIF_HANDLE;
    entry.hItem = item;
    entry.lParam = value;
    return static_cast<BOOL>(SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
}

BOOL GetTreeViewItemText(HWND tree, HTREEITEM item, wchar_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return FALSE;
    buffer[0] = L'\0';
    TVITEMW entry = {};
    entry.mask = TVIF_TEXT | TVIF_HANDLE;
    entry.hItem = item;
    entry.pszText = buffer;
    entry.cchTextMax = size;
    BOOL done = static_cast<BOOL>(SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
    buffer[size - 1] = L'\0';
    return done;
}

BOOL SetTreeViewItemText(HWND tree, HTREEITEM item, const wchar_t* text)
{
    TVITEMW entry = {};
    entry.mask = TVIF_TEXT | TVIF_HANDLE;
    entry.hItem = item;
    entry.pszText = const_cast<wchar_t*>(text ? text : L"");
    return static_cast<BOOL>(SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
}

BOOL SetTreeViewItemImage(HWND tree, HTREEITEM item, int image)
{
    TVITEMW entry = {};
    entry.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
    entry.hItem = item;
    entry.iImage = image;
    entry.iSelectedImage = image;
    return static_cast<BOOL>(SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
}

int GetTreeViewItemImage(HWND tree, HTREEITEM item)
{
    TVITEMW entry = {};
    entry.mask = TVIF_IMAGE | TVIF_HANDLE;
    entry.hItem = item;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
    return entry.iImage;
}

HTREEITEM HitTestTreeView(HWND tree)
{
    TVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(tree, &hit.pt);
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

int CountTreeViewChildren(HWND tree, HTREEITEM item)
{
    int count = 0;
    for (HTREEITEM child = FirstChild(tree, item); child; child = NextSibling(tree, child))
        ++count;
    return count;
}

HTREEITEM GetTreeViewChildAt(HWND tree, HTREEITEM item, int index)
{
    if (index < 0)
        return nullptr;
    HTREEITEM child = FirstChild(tree, item);
    for (int i = 0; child && i < index; ++i)
        child = NextSibling(tree, child);
    return child;
}

const wchar_t* GetTreeViewChildTextAt(HWND tree, HTREEITEM item, int index)
{
    static thread_local wchar_t t_text[512];
    t_text[0] = L'\0';
    if (HTREEITEM child = GetTreeViewChildAt(tree, item, index))
        GetTreeViewItemText(tree, child, t_text, _countof(t_text));
    return t_text;
}

void DeleteTreeViewChildren(HWND tree, HTREEITEM item)
{
    while (HTREEITEM child = FirstChild(tree, item)) {
        if (!SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child)))
            break;
    }
}

BOOL ExpandTreeViewAll(HWND tree, HTREEITEM item)
{
    return ExpandAll(tree, item, TVE_EXPAND);
}

BOOL CollapseTreeViewAll(HWND tree, HTREEITEM item)
{
    return ExpandAll(tree, item, TVE_COLLAPSE);
}
