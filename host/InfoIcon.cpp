#include "host/InfoIcon.h"

#include "foundation/Format.h"
#include "foundation/ResourceAccess.h"

CInfoIcon::CInfoIcon() : m_hMenuResource(nullptr), m_szItemText{} {}

CInfoIcon::~CInfoIcon()
{
    if (m_hMenuResource)
        DestroyMenu(m_hMenuResource);
    else if (m_hPopupMenu)
        DestroyMenu(m_hPopupMenu);
}

BOOL CInfoIcon::LoadMenuResource(HINSTANCE instance, UINT menuId)
{
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(menuId));
    if (!menu)
        return FALSE;
    if (m_hMenuResource)
        DestroyMenu(m_hMenuResource);
    m_hMenuResource = menu;
    m_hPopupMenu = GetSubMenu(menu, 0);
    return m_hPopupMenu != nullptr;
}

void CInfoIcon::SetPopupMenu(HMENU popup)
{
    if (m_hMenuResource) {
        DestroyMenu(m_hMenuResource);
        m_hMenuResource = nullptr;
    } else if (m_hPopupMenu && m_hPopupMenu != popup) {
        DestroyMenu(m_hPopupMenu);
    }
    m_hPopupMenu = popup;
}

void CInfoIcon::EnableMenuItem(UINT id, BOOL enable)
{
    ::EnableMenuItem(m_hPopupMenu, id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void CInfoIcon::DeleteMenuItem(UINT id)
{
    ::DeleteMenu(m_hPopupMenu, id, MF_BYCOMMAND);
}

void CInfoIcon::AppendMenuItem(UINT id, const wchar_t* text)
{
    if (id == IDM_TRAY_SEPARATOR)
        AppendMenuW(m_hPopupMenu, MF_SEPARATOR, 0, nullptr);
    else
        AppendMenuW(m_hPopupMenu, MF_STRING, id, text ? text : L"");
}

void CInfoIcon::ShowMenuItem(UINT id, BOOL visible, BOOL separator, const wchar_t* text)
{
    int position = GetMenuItemPosition(id);
    if (visible && position < 0) {
        if (separator)
            AppendMenuW(m_hPopupMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(m_hPopupMenu, MF_STRING, id, text ? text : L"");
    } else if (!visible && position >= 0) {
        // Only a separator goes with the item: the entry before it may be another item.
        if (separator && position >= 1 &&
            (GetMenuState(m_hPopupMenu, static_cast<UINT>(position - 1), MF_BYPOSITION) & MF_SEPARATOR))
            ::DeleteMenu(m_hPopupMenu, static_cast<UINT>(position - 1), MF_BYPOSITION);
        ::DeleteMenu(m_hPopupMenu, id, MF_BYCOMMAND);
    }
}

void CInfoIcon::SetMenuItemText(UINT id, const wchar_t* text)
{
    CopyText(m_szItemText, _countof(m_szItemText), text);
    ModifyMenuW(m_hPopupMenu, id, MF_BYCOMMAND | MF_STRING, id, m_szItemText);
}

void CInfoIcon::CheckMenuItem(UINT id, BOOL check)
{
    ::CheckMenuItem(m_hPopupMenu, id, MF_BYCOMMAND | (check ? MF_CHECKED : MF_UNCHECKED));
}

int CInfoIcon::GetMenuItemPosition(UINT id)
{
    if (!m_hPopupMenu)
        return -1;
    int count = GetMenuItemCount(m_hPopupMenu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE;
        if (GetMenuItemInfoW(m_hPopupMenu, static_cast<UINT>(i), TRUE, &info) && !(info.fType & MFT_SEPARATOR) &&
            info.wID == id)
            return i;
    }
    return -1;
}

void CInfoIcon::RemoveServiceItems()
{
    int position = GetMenuItemPosition(IDM_TRAY_CONTINUE);
    // The separator after "continue" goes with the two items (nothing else in its place).
    if (position > 0 && (GetMenuState(m_hPopupMenu, static_cast<UINT>(position + 1), MF_BYPOSITION) & MF_SEPARATOR) &&
        GetMenuState(m_hPopupMenu, static_cast<UINT>(position + 1), MF_BYPOSITION) != static_cast<UINT>(-1))
        ::DeleteMenu(m_hPopupMenu, static_cast<UINT>(position + 1), MF_BYPOSITION);
    ::DeleteMenu(m_hPopupMenu, IDM_TRAY_PAUSE, MF_BYCOMMAND);
    ::DeleteMenu(m_hPopupMenu, IDM_TRAY_CONTINUE, MF_BYCOMMAND);
}

void CInfoIcon::BuildMenu(CResourceAccess& resources, BOOL helpFileExists)
{
    static const struct { UINT item; UINT string; const wchar_t* text; } kTexts[] = {
        {IDM_TRAY_SETTINGS, 1017, L"Einstellungen"}, {IDM_TRAY_HELP, 1018, L"Hilfe"},
        {IDM_TRAY_INFO, 1019, L"Info"},              {IDM_TRAY_PAUSE, 1020, L"Pause"},
        {IDM_TRAY_CONTINUE, 1021, L"Fortsetzen"},    {IDM_TRAY_END, 1022, L"Beenden"},
    };
    if (!m_hPopupMenu)
        return;
    for (const auto& t : kTexts)
        if (GetMenuItemPosition(t.item) >= 0)
            resources.SetMenuText(m_hPopupMenu, t.item, t.string, t.text);
    EnableMenuItem(IDM_TRAY_CONTINUE, FALSE);
    EnableMenuItem(IDM_TRAY_HELP, helpFileExists);
}
