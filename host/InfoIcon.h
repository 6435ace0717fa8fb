// The host's tray icon with its popup menu. Plug-ins add, change and remove menu items over
// the bus; the menu operations act on the popup menu by command id.
#pragma once

#include "host/TrayIcon.h"

// Command ids of the host's own tray-menu items.
enum : UINT {
    IDM_TRAY_SETTINGS = 32778,
    IDM_TRAY_HELP = 32782,
    IDM_TRAY_INFO = 32780,
    IDM_TRAY_PAUSE = 11005,
    IDM_TRAY_CONTINUE = 11006,
    IDM_TRAY_END = 11007,
    IDM_TRAY_SEPARATOR = 1,
};

class CResourceAccess;

class CInfoIcon : public CTrayIcon {
public:
    CInfoIcon();
    ~CInfoIcon() override;

    // Loads menu resource 131 of the instance; its first submenu becomes the popup menu.
    BOOL LoadMenuResource(HINSTANCE instance, UINT menuId);
    // Takes over a popup menu made elsewhere (destroyed with the object).
    void SetPopupMenu(HMENU popup);
    HMENU GetPopupMenu() const { return m_hPopupMenu; }

    void EnableMenuItem(UINT id, BOOL enable);
    void DeleteMenuItem(UINT id);
    void AppendMenuItem(UINT id, const wchar_t* text);
    void ShowMenuItem(UINT id, BOOL visible, BOOL separator, const wchar_t* text);
    void SetMenuItemText(UINT id, const wchar_t* text);
    void CheckMenuItem(UINT id, BOOL check);
    int GetMenuItemPosition(UINT id);
    void RemoveServiceItems();
    // The item texts from the language library (German built-in texts), continue greyed,
    // help greyed when there is no help file.
    void BuildMenu(CResourceAccess& resources, BOOL helpFileExists);

private:
    HMENU m_hMenuResource;
    wchar_t m_szItemText[256];
};
