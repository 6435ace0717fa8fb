// The dialog font shared by the host's settings dialog and the plug-ins' pages (the host's
// UsedFont), applied to a window and its direct children.
#pragma once

#include <windows.h>

class CQorDlgFonts {
public:
    // Starts with "MS Shell Dlg".
    CQorDlgFonts();
    virtual ~CQorDlgFonts();

    // Creates the font of that face (31 characters kept) and makes it current; null when it
    // can't be created. The font that windows were last given stays until the next
    // ApplyFont has given them the new one.
    HFONT CreateDlgFont(const wchar_t* faceName);
    // Nothing for an empty face name. With recreate, the font is made anew for the face; then
    // the font (DEFAULT_GUI_FONT when there is none) goes to the window and its direct
    // children with WM_SETFONT, and only then is the font they had before deleted.
    void ApplyFont(HWND window, const wchar_t* faceName, BOOL recreate);

    HFONT GetFont() const { return m_hFont; }

private:
    HFONT m_hFont;     // the current font
    HFONT m_hApplied;  // the font the last ApplyFont gave to windows
};
