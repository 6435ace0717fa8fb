// Thin helpers over the tree-view control (TVM_ messages). A null item stands for none;
// TVGN_CHILD and TVGN_NEXT walk the children of an item. Text results are per thread, valid
// until the next call of the same function.
#pragma once

#include <windows.h>
#include <commctrl.h>

HTREEITEM InsertTreeViewItem(HWND tree, HTREEITEM parent, HTREEITEM insertAfter, const wchar_t* text, LPARAM value);
// The direct child of exactly that text when there is one, else a new item.
HTREEITEM InsertTreeViewItemOnce(HWND tree, HTREEITEM parent, HTREEITEM insertAfter, const wchar_t* text,
                                 LPARAM value);
// The first direct child whose text contains the text (case-sensitive).
HTREEITEM FindTreeViewChildByText(HWND tree, HTREEITEM item, const wchar_t* text);
// The first direct child whose text equals the text (case-sensitive).
HTREEITEM FindTreeViewChildByExactText(HWND tree, HTREEITEM item, const wchar_t* text);
// Depth first from the item: the item itself, then each child's subtree in order.
HTREEITEM FindTreeViewItemByData(HWND tree, HTREEITEM item, LPARAM value);
LPARAM GetTreeViewItemData(HWND tree, HTREEITEM item);
BOOL SetTreeViewItemData(HWND tree, HTREEITEM item, LPARAM value);
BOOL GetTreeViewItemText(HWND tree, HTREEITEM item, wchar_t* buffer, int size);
BOOL SetTreeViewItemText(HWND tree, HTREEITEM item, const wchar_t* text);
BOOL SetTreeViewItemImage(HWND tree, HTREEITEM item, int image);
int GetTreeViewItemImage(HWND tree, HTREEITEM item);
HTREEITEM HitTestTreeView(HWND tree);
int CountTreeViewChildren(HWND tree, HTREEITEM item);
HTREEITEM GetTreeViewChildAt(HWND tree, HTREEITEM item, int index);
const wchar_t* GetTreeViewChildTextAt(HWND tree, HTREEITEM item, int index);
// Deletes every descendant; the item stays.
void DeleteTreeViewChildren(HWND tree, HTREEITEM item);
BOOL ExpandTreeViewAll(HWND tree, HTREEITEM item);
BOOL CollapseTreeViewAll(HWND tree, HTREEITEM item);
