// The colour scheme shared by the host's settings dialog and the plug-ins' settings pages:
// thirteen colours and three brushes, chosen by scheme number (the host's SchemeIndex).
#pragma once

#include <windows.h>

class CQorDlgColors {
public:
    CQorDlgColors();
    virtual ~CQorDlgColors();

    // 0 the system look (only tree and list colours), 1 dark, 2 light grey, 3 coloured; any
    // other number leaves every colour 0 and no brushes. The old brushes go first.
    void SetScheme(int scheme);
    // Zeroes the colours and deletes the brushes.
    void DeleteBrushes();

    // Colour 1..13 by number (0 for any other number).
    COLORREF GetColor(int number) const;
    COLORREF GetDialogBkColor() const { return m_Colors[0]; }          // 1: dialog, statics
    COLORREF GetStaticTextColor() const { return m_Colors[1]; }        // 2
    COLORREF GetEditBkColor() const { return m_Colors[2]; }            // 3: edits, list boxes
    COLORREF GetButtonColor() const { return m_Colors[3]; }            // 4: buttons, scroll bars
    COLORREF GetTreeBkColor() const { return m_Colors[4]; }            // 5
    COLORREF GetTreeCategoryTextColor() const { return m_Colors[5]; }  // 6
    COLORREF GetTreeEnabledTextColor() const { return m_Colors[6]; }   // 7
    COLORREF GetTreeDisabledTextColor() const { return m_Colors[7]; }  // 8
    COLORREF GetListBkColor() const { return m_Colors[8]; }            // 9
    COLORREF GetListOddRowColor() const { return m_Colors[9]; }        // 10
    COLORREF GetListEvenRowColor() const { return m_Colors[10]; }      // 11
    COLORREF GetListTextColor() const { return m_Colors[11]; }         // 12
    COLORREF GetListMarkerTextColor() const { return m_Colors[12]; }   // 13

    HBRUSH GetDialogBrush() const { return m_hBrushes[0]; }  // of colour 1
    HBRUSH GetEditBrush() const { return m_hBrushes[1]; }    // of colour 3
    HBRUSH GetButtonBrush() const { return m_hBrushes[2]; }  // of colour 4

    // A selected and focused tree item is drawn in white in every scheme.
    static const COLORREF kSelectedTreeTextColor = 0xFFFFFF;

private:
    COLORREF m_Colors[13];
    HBRUSH m_hBrushes[3];
};
