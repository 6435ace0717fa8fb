// Thin helpers over the list-view control: each sends one or a few LVM_ messages. Indexes
// are zero-based; -1 stands for no item. Text results are per thread, valid until the next
// call of the same function.
#pragma once

#include <windows.h>
#include <commctrl.h>

DWORD SetListViewExtendedStyle(HWND list, DWORD style, BOOL set);
int InsertListViewColumn(HWND list, int index, int width, const wchar_t* text, int format);
BOOL SetListViewColumnText(HWND list, int column, const wchar_t* text);
const wchar_t* GetListViewColumnText(HWND list, int column);
int GetListViewColumnFormat(HWND list, int column);
int GetListViewColumnCount(HWND list);
// The first column whose header equals the text exactly (case-sensitive); -1 when none.
int FindListViewColumn(HWND list, const wchar_t* text);
// Each column with a header text gets the text's width (default GUI font) + 15 and its order.
void AutoSizeListViewColumns(HWND list);

int InsertListViewItem(HWND list, int index, const wchar_t* text);
BOOL IsListViewItemSelected(HWND list, int item);
int GetSelectedListViewItem(HWND list);
BOOL SetListViewItemSelected(HWND list, int item, BOOL select);
BOOL FocusListViewItem(HWND list, int item);
BOOL SelectAllListViewItems(HWND list);
void SelectListViewItems(HWND list);
BOOL SetListViewItemImage(HWND list, int item, int subItem, int image);
int GetListViewItemImage(HWND list, int item, int subItem);
BOOL SetListViewItemData(HWND list, int item, LPARAM value);
LPARAM GetListViewItemData(HWND list, int item);
int FindListViewItemByData(HWND list, LPARAM value);
// The value written as a decimal text; -1 for a null text.
int FindListViewItemByDataText(HWND list, const wchar_t* text);
int FindListViewItemByTextPrefix(HWND list, const wchar_t* text);
// The first item whose text in the column equals the text ignoring case.
int FindListViewItemByText(HWND list, int column, const wchar_t* text);
int GetListViewItemNumber(HWND list, int item, int column);
BOOL SetListViewItemUnsigned(HWND list, int item, int column, unsigned value);
BOOL SetListViewItemPadded(HWND list, int item, int column, int value);
BOOL SetListViewItemSigned(HWND list, int item, int column, int value);
BOOL SetListViewItemHex(HWND list, int item, int column, DWORD value);
// The cell's "0x..." text as a number; 0 when it is not one.
DWORD GetListViewItemHex(HWND list, int item, int column);
BOOL SetListViewCheck(HWND list, int item, BOOL checked);
// 1 checked, 0 unchecked, -1 for an item without a state image.
int GetListViewCheck(HWND list, int item);
int HitTestListViewItem(HWND list);
int HitTestListViewSubItem(HWND list);
// With freeData, the item's value is a block of the C heap and is freed (when not 0).
BOOL DeleteListViewItem(HWND list, int item, BOOL freeData);
void DeleteAllListViewItems(HWND list, BOOL freeData);
