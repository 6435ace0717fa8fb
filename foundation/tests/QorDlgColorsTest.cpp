#include "foundation/QorDlgColors.h"

#include <gtest/gtest.h>

namespace {

struct SchemeCase {
    int scheme;
    COLORREF colours[13];
    bool brushes;
};

// The schemes as the settings dialog shows them (0x00BBGGRR); unknown numbers are all 0.
const SchemeCase kCases[] = {
    {0, {0, 0, 0, 0, 0xFFFFFF, 0xFF0000, 0x000000, 0x7F7F7F, 0xFFFFD2, 0xFFFFF5, 0xFFFFE6, 0x0000FF, 0x000000}, false},
    {1, {0x3F3F3F, 0xFFFFFF, 0xDEDEDE, 0xC07F7F, 0x3F3F3F, 0xC0C0FF, 0xE6FFFF, 0x7F7F7F, 0x3F3F3F, 0x505050, 0x646464, 0x00C0C0, 0xE6FFFF}, true},
    {2, {0xE6E6E6, 0x7F7F7F, 0xDEFFFF, 0xC0C0C0, 0xF0F0F0, 0xFF3F3F, 0x3F3F3F, 0x7F7F7F, 0xF0F0F0, 0xF5F5F5, 0xFAFAFA, 0x0000FF, 0x3F3F3F}, true},
    {3, {0xFF7F7F, 0x7FFF7F, 0xDEFFDE, 0xC0C07F, 0xFFDEDE, 0xFF0000, 0x503F3F, 0x7F7F7F, 0xFFDEDE, 0xFFF5F5, 0xFFE6E6, 0x0000FF, 0x553F3F}, true},
    {4, {}, false},
    {-1, {}, false},
};

COLORREF BrushColour(HBRUSH brush)
{
    LOGBRUSH info = {};
    EXPECT_EQ(static_cast<int>(sizeof(info)), GetObjectW(brush, sizeof(info), &info));
    EXPECT_EQ(static_cast<UINT>(BS_SOLID), info.lbStyle);
    return info.lbColor;
}

TEST(QorDlgColors, SchemeTable)
{
    // From a dark scheme to each one, so nothing of the one before remains.
    for (const SchemeCase& c : kCases) {
        CQorDlgColors colours;
        colours.SetScheme(1);
        colours.SetScheme(c.scheme);
        for (int n = 1; n <= 13; ++n)
            EXPECT_EQ(c.colours[n - 1], colours.GetColor(n)) << "scheme " << c.scheme << " colour " << n;
        if (c.brushes) {
            EXPECT_EQ(c.colours[0], BrushColour(colours.GetDialogBrush()));
            EXPECT_EQ(c.colours[2], BrushColour(colours.GetEditBrush()));
            EXPECT_EQ(c.colours[3], BrushColour(colours.GetButtonBrush()));
        } else {
            EXPECT_EQ(nullptr, colours.GetDialogBrush()) << c.scheme;
            EXPECT_EQ(nullptr, colours.GetEditBrush()) << c.scheme;
            EXPECT_EQ(nullptr, colours.GetButtonBrush()) << c.scheme;
        }
        // The named getters are the numbered colours.
        EXPECT_EQ(colours.GetColor(5), colours.GetTreeBkColor());
        EXPECT_EQ(colours.GetColor(9), colours.GetListBkColor());
        EXPECT_EQ(colours.GetColor(13), colours.GetListMarkerTextColor());
    }
}

TEST(QorDlgColors, SwitchingDeletesTheOldBrushes)
{
    CQorDlgColors colours;
    colours.SetScheme(1);
    HBRUSH dark[3] = {colours.GetDialogBrush(), colours.GetEditBrush(), colours.GetButtonBrush()};
    for (HBRUSH brush : dark)
        ASSERT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush));

    colours.SetScheme(2);
    for (HBRUSH brush : dark)
        EXPECT_EQ(0u, GetObjectType(brush)) << "old brush left behind";
    HBRUSH grey[3] = {colours.GetDialogBrush(), colours.GetEditBrush(), colours.GetButtonBrush()};
    for (HBRUSH brush : grey)
        EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush));

    colours.SetScheme(0);
    for (HBRUSH brush : grey)
        EXPECT_EQ(0u, GetObjectType(brush));
    EXPECT_EQ(nullptr, colours.GetDialogBrush());

    colours.SetScheme(3);
    HBRUSH coloured = colours.GetEditBrush();
    colours.DeleteBrushes();
    EXPECT_EQ(0u, GetObjectType(coloured));
    EXPECT_EQ(0u, colours.GetColor(5));
}

TEST(QorDlgColors, DestructorDeletesTheBrushes)
{
    HBRUSH brush = nullptr;
    {
        CQorDlgColors colours;
        colours.SetScheme(2);
        brush = colours.GetButtonBrush();
        ASSERT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush));
    }
    EXPECT_EQ(0u, GetObjectType(brush));
}

}  // namespace
