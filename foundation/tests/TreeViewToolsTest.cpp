#include "foundation/TreeViewTools.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class TreeViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&init);
        m_tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_POPUP | TVS_HASBUTTONS, 0, 0, 300, 300,
                                 nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, m_tree);
        // Module info (0) > Search Extra (0) > PluginSearchX (11); Search (0) > PluginSearchY (12)
        m_root = InsertTreeViewItem(m_tree, TVI_ROOT, TVI_LAST, L"Module info", 0);
        m_extra = InsertTreeViewItem(m_tree, m_root, TVI_LAST, L"Search Extra", 0);
        m_x = InsertTreeViewItem(m_tree, m_extra, TVI_LAST, L"PluginSearchX", 11);
        m_search = InsertTreeViewItem(m_tree, m_root, TVI_LAST, L"Search", 0);
        m_y = InsertTreeViewItem(m_tree, m_search, TVI_LAST, L"PluginSearchY", 12);
        ASSERT_TRUE(m_root && m_extra && m_x && m_search && m_y);
    }
    void TearDown() override { DestroyWindow(m_tree); }

    HWND m_tree = nullptr;
    HTREEITEM m_root = nullptr, m_extra = nullptr, m_x = nullptr, m_search = nullptr, m_y = nullptr;
};

TEST_F(TreeViewTest, FindingChildren)
{
    // Substring, case-sensitive, first child in order.
    EXPECT_EQ(m_extra, FindTreeViewChildByText(m_tree, m_root, L"Search"));
    EXPECT_EQ(m_extra, FindTreeViewChildByText(m_tree, m_root, L"Extra"));
    EXPECT_EQ(nullptr, FindTreeViewChildByText(m_tree, m_root, L"search"));
    EXPECT_EQ(m_search, FindTreeViewChildByExactText(m_tree, m_root, L"Search"));
    EXPECT_EQ(nullptr, FindTreeViewChildByExactText(m_tree, m_root, L"Searc"));
}

TEST_F(TreeViewTest, InsertOnceMatchesTheWholeText)
{
    // "Search" exists beside "Search Extra": the exact one is reused.
    EXPECT_EQ(m_search, InsertTreeViewItemOnce(m_tree, m_root, TVI_LAST, L"Search", 0));
    // "Search E" is only part of "Search Extra": a new item.
    HTREEITEM added = InsertTreeViewItemOnce(m_tree, m_root, TVI_LAST, L"Search E", 5);
    EXPECT_NE(m_extra, added);
    EXPECT_EQ(3, CountTreeViewChildren(m_tree, m_root));
    EXPECT_EQ(added, InsertTreeViewItemOnce(m_tree, m_root, TVI_LAST, L"Search E", 6));
    EXPECT_EQ(5, GetTreeViewItemData(m_tree, added));
    // At the root level too.
    EXPECT_EQ(m_root, InsertTreeViewItemOnce(m_tree, TVI_ROOT, TVI_LAST, L"Module info", 0));
}

TEST_F(TreeViewTest, DataTextImagesAndChildren)
{
    EXPECT_EQ(m_y, FindTreeViewItemByData(m_tree, m_root, 12));
    EXPECT_EQ(m_root, FindTreeViewItemByData(m_tree, m_root, 0)) << "the item itself first";
    EXPECT_EQ(nullptr, FindTreeViewItemByData(m_tree, m_root, 99));
    EXPECT_TRUE(SetTreeViewItemData(m_tree, m_x, 99));
    EXPECT_EQ(m_x, FindTreeViewItemByData(m_tree, m_root, 99));

    wchar_t text[8];
    EXPECT_TRUE(GetTreeViewItemText(m_tree, m_x, text, 8));
    EXPECT_STREQ(L"PluginS", text);  // cut to the buffer
    SetTreeViewItemText(m_tree, m_x, L"Renamed");
    EXPECT_STREQ(L"Renamed", GetTreeViewChildTextAt(m_tree, m_extra, 0));
    EXPECT_STREQ(L"", GetTreeViewChildTextAt(m_tree, m_extra, 1));
    EXPECT_EQ(m_search, GetTreeViewChildAt(m_tree, m_root, 1));
    EXPECT_EQ(nullptr, GetTreeViewChildAt(m_tree, m_root, 2));
    EXPECT_EQ(nullptr, GetTreeViewChildAt(m_tree, m_root, -1));

    SetTreeViewItemImage(m_tree, m_y, 3);
    EXPECT_EQ(3, GetTreeViewItemImage(m_tree, m_y));
    TVITEMW item = {};
    item.mask = TVIF_SELECTEDIMAGE | TVIF_HANDLE;
    item.hItem = m_y;
    TreeView_GetItem(m_tree, &item);
    EXPECT_EQ(3, item.iSelectedImage);
}

TEST_F(TreeViewTest, ExpandCollapseAndDelete)
{
    ExpandTreeViewAll(m_tree, m_root);
    for (HTREEITEM item : {m_root, m_extra, m_search})
        EXPECT_NE(0u, TreeView_GetItemState(m_tree, item, TVIS_EXPANDED) & TVIS_EXPANDED);
    CollapseTreeViewAll(m_tree, m_root);
    for (HTREEITEM item : {m_root, m_extra, m_search})
        EXPECT_EQ(0u, TreeView_GetItemState(m_tree, item, TVIS_EXPANDED) & TVIS_EXPANDED);

    DeleteTreeViewChildren(m_tree, m_root);
    EXPECT_EQ(0, CountTreeViewChildren(m_tree, m_root));
    EXPECT_EQ(1u, TreeView_GetCount(m_tree)) << "the item itself stays";
}

TEST_F(TreeViewTest, HitTestAtTheMouse)
{
    ExpandTreeViewAll(m_tree, m_root);
    RECT bounds = {};
    memcpy(&bounds, &m_search, sizeof(m_search));  // TVM_GETITEMRECT takes the item in the rectangle
    ASSERT_TRUE(SendMessageW(m_tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&bounds)));
    POINT point = {(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
    ClientToScreen(m_tree, &point);
    SetCursorPos(point.x, point.y);
    EXPECT_EQ(m_search, HitTestTreeView(m_tree));
}

}  // namespace
