// One notification-area icon whose image tells the program status.
#pragma once

#include <windows.h>
#include <shellapi.h>

class CTrayIcon {
public:
    CTrayIcon();
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Works once: stores the values and loads the 16 x 16 icons (state 2's may be 0).
    void Create(HINSTANCE instance, HWND window, UINT callbackMessage, UINT id, UINT iconState1, UINT iconState0,
                UINT iconState2);
    void SetEnabled(BOOL enabled);
    BOOL IsEnabled() const { return m_bEnabled; }
    BOOL IsShown() const { return m_bShown; }
    // 0 and 1 pick their icons, anything else the icon for state 2; then shows the icon.
    void SetState(int state);
    void Show(BOOL show);
    // Adds the icon when it is not shown, else modifies it; the shell's answer.
    BOOL Update();
    void SetTip(const wchar_t* format, ...);
    const wchar_t* GetTip() const { return m_nid.szTip; }
    void ShowPopupMenu();
    // Right plus bottom edge of the icon's screen rectangle; 0 when the shell does not know it,
    // -1 when the shell cannot tell (it has no way to locate icons).
    LONG GetIconRect();
    HICON GetCurrentIcon() const { return m_nid.hIcon; }
    // Hands the icon over for its removal elsewhere (another thread): copies its data, and
    // from now on it counts as switched off and not shown, so nothing here adds it again.
    // FALSE when it was not in the notification area (nothing to remove).
    BOOL TakeForRemoval(NOTIFYICONDATAW* nid);

protected:
    BOOL m_bEnabled;
    BOOL m_bShown;
    HICON m_hIconState1;
    HICON m_hIconState0;
    HICON m_hIconState2;
    HMENU m_hPopupMenu;
    HINSTANCE m_hInstance;
    NOTIFYICONDATAW m_nid;
};
