#include "foundation/ListViewTools.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace {

class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&init);
        m_list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 400, 300,
                                 nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, m_list);
        EXPECT_EQ(0, InsertListViewColumn(m_list, 0, 100, L"Module", LVCFMT_LEFT));
        EXPECT_EQ(1, InsertListViewColumn(m_list, 1, 80, L"Product version", LVCFMT_RIGHT));
        EXPECT_EQ(2, InsertListViewColumn(m_list, 2, 80, L"", LVCFMT_LEFT));
        const wchar_t* names[] = {L"PluginTelephonyOrkane", L"PluginInfoVisette", L"PluginSearchX"};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(i, InsertListViewItem(m_list, i, names[i]));
    }
    void TearDown() override { DestroyWindow(m_list); }
    HWND m_list = nullptr;
};

TEST_F(ListViewTest, Columns)
{
    EXPECT_EQ(3, GetListViewColumnCount(m_list));
    EXPECT_STREQ(L"Product version", GetListViewColumnText(m_list, 1));
    EXPECT_EQ(LVCFMT_RIGHT, GetListViewColumnFormat(m_list, 1) & LVCFMT_JUSTIFYMASK);
    EXPECT_TRUE(SetListViewColumnText(m_list, 2, L"File version"));
    EXPECT_STREQ(L"File version", GetListViewColumnText(m_list, 2));
    // Exact, case-sensitive header match.
    EXPECT_EQ(1, FindListViewColumn(m_list, L"Product version"));
    EXPECT_EQ(-1, FindListViewColumn(m_list, L"product version"));
    EXPECT_EQ(-1, FindListViewColumn(m_list, L""));
    EXPECT_EQ(-1, FindListViewColumn(m_list, nullptr));

    // Widths follow the header text measured with the GUI font, plus 15.
    AutoSizeListViewColumns(m_list);
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
    RECT bounds = {0, 0, 1000, 30};
    DrawTextW(screen, L"Module", -1, &bounds, DT_CALCRECT);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(bounds.right + 15, ListView_GetColumnWidth(m_list, 0));
}

TEST_F(ListViewTest, SelectionFocusAndChecks)
{
    EXPECT_EQ(-1, GetSelectedListViewItem(m_list));
    EXPECT_TRUE(SetListViewItemSelected(m_list, 1, TRUE));
    EXPECT_TRUE(IsListViewItemSelected(m_list, 1));
    EXPECT_FALSE(IsListViewItemSelected(m_list, 0));
    EXPECT_EQ(1, GetSelectedListViewItem(m_list));
    SetListViewItemSelected(m_list, 1, FALSE);
    EXPECT_EQ(-1, GetSelectedListViewItem(m_list));

    SelectListViewItems(m_list);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(IsListViewItemSelected(m_list, i));
    EXPECT_TRUE(SelectAllListViewItems(m_list));
    EXPECT_NE(0u, ListView_GetItemState(m_list, 0, LVIS_FOCUSED));
    FocusListViewItem(m_list, 2);
    EXPECT_NE(0u, ListView_GetItemState(m_list, 2, LVIS_FOCUSED));

    // No state image yet: -1.
    EXPECT_EQ(-1, GetListViewCheck(m_list, 0));
    SetListViewCheck(m_list, 0, TRUE);
    SetListViewCheck(m_list, 1, FALSE);
    EXPECT_EQ(1, GetListViewCheck(m_list, 0));
    EXPECT_EQ(0, GetListViewCheck(m_list, 1));
}

TEST_F(ListViewTest, FindingItems)
{
    SetListViewItemData(m_list, 0, 222);
    SetListViewItemData(m_list, 1, 507);
    EXPECT_EQ(507, GetListViewItemData(m_list, 1));
    EXPECT_EQ(1, FindListViewItemByData(m_list, 507));
    EXPECT_EQ(-1, FindListViewItemByData(m_list, 1));
    EXPECT_EQ(0, FindListViewItemByDataText(m_list, L"222"));
    EXPECT_EQ(-1, FindListViewItemByDataText(m_list, nullptr));
    EXPECT_EQ(1, FindListViewItemByTextPrefix(m_list, L"PluginInfo"));
    EXPECT_EQ(-1, FindListViewItemByTextPrefix(m_list, L"Info"));
    // Whole text, any letter case.
    EXPECT_EQ(2, FindListViewItemByText(m_list, 0, L"PLUGINSEARCHX"));
    EXPECT_EQ(-1, FindListViewItemByText(m_list, 0, L"PluginSearch"));

    SetListViewItemImage(m_list, 1, 0, 2);
    EXPECT_EQ(2, GetListViewItemImage(m_list, 1, 0));
}

TEST_F(ListViewTest, NumberCells)
{
    wchar_t text[32];
    EXPECT_TRUE(SetListViewItemUnsigned(m_list, 0, 1, 4000000000u));
    ListView_GetItemText(m_list, 0, 1, text, 32);
    EXPECT_STREQ(L"4000000000", text);
    SetListViewItemPadded(m_list, 0, 1, -42);
    ListView_GetItemText(m_list, 0, 1, text, 32);
    EXPECT_STREQ(L"       -42", text);
    EXPECT_EQ(-42, GetListViewItemNumber(m_list, 0, 1));
    SetListViewItemSigned(m_list, 0, 2, -7);
    EXPECT_EQ(-7, GetListViewItemNumber(m_list, 0, 2));

    SetListViewItemHex(m_list, 1, 1, 0x4578AD11);
    ListView_GetItemText(m_list, 1, 1, text, 32);
    EXPECT_STREQ(L"0x4578AD11", text);
    EXPECT_EQ(0x4578AD11u, GetListViewItemHex(m_list, 1, 1));
    ListView_SetItemText(m_list, 1, 2, const_cast<wchar_t*>(L"not hex"));
    EXPECT_EQ(0u, GetListViewItemHex(m_list, 1, 2));
}

TEST_F(ListViewTest, DeletingFreesEachBlockOnce)
{
    for (int i = 0; i < 3; ++i) {
        char* block = static_cast<char*>(malloc(16));
        strcpy(block, "data");
        SetListViewItemData(m_list, i, reinterpret_cast<LPARAM>(block));
    }
    // A block freed twice would corrupt the C heap; its check must find it sound.
    DeleteAllListViewItems(m_list, TRUE);
    EXPECT_EQ(0, ListView_GetItemCount(m_list));
    EXPECT_EQ(_HEAPOK, _heapchk());

    InsertListViewItem(m_list, 0, L"kept");
    SetListViewItemData(m_list, 0, 0);
    EXPECT_TRUE(DeleteListViewItem(m_list, 0, TRUE));  // value 0: nothing to free
    EXPECT_EQ(0, ListView_GetItemCount(m_list));
}

TEST_F(ListViewTest, HitTestAtTheMouse)
{
    // Full-row select, as the settings dialog's module list has it: a sub-item hit is an item hit.
    SetListViewExtendedStyle(m_list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES, TRUE);
    EXPECT_EQ(static_cast<DWORD>(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES),
              SetListViewExtendedStyle(m_list, LVS_EX_GRIDLINES, FALSE));
    EXPECT_EQ(static_cast<DWORD>(LVS_EX_FULLROWSELECT), ListView_GetExtendedListViewStyle(m_list));
    RECT cell = {};
    cell.top = 1;
    cell.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageW(m_list, LVM_GETSUBITEMRECT, 1, reinterpret_cast<LPARAM>(&cell)));
    POINT point = {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    ClientToScreen(m_list, &point);
    SetCursorPos(point.x, point.y);
    EXPECT_EQ(1, HitTestListViewItem(m_list));
    EXPECT_EQ(1, HitTestListViewSubItem(m_list));
}

}  // namespace
