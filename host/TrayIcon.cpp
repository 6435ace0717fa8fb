#include "host/TrayIcon.h"

#include "foundation/Format.h"
#include "foundation/ShellDialogs.h"
#include "host/HostSeams.h"

#include <cstdarg>
#include <initializer_list>

// The shell knows this record by its size: the full Vista-and-later form (pointer-sized
// handles make it larger on x86_64).
static_assert(sizeof(NOTIFYICONDATAW) == (sizeof(void*) == 8 ? 976 : 956),
              "NOTIFYICONDATAW in its Vista-and-later form");

namespace {

HICON LoadSmallIcon(HINSTANCE instance, UINT id)
{
    if (!id)
        return nullptr;
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
}

}  // namespace

CTrayIcon::CTrayIcon()
    : m_bEnabled(FALSE), m_bShown(FALSE), m_hIconState1(nullptr), m_hIconState0(nullptr), m_hIconState2(nullptr),
      m_hPopupMenu(nullptr), m_hInstance(nullptr), m_nid{}
{
    m_nid.cbSize = sizeof(NOTIFYICONDATAW);
}

CTrayIcon::~CTrayIcon()
{
    Show(FALSE);
    for (HICON icon : {m_hIconState1, m_hIconState0, m_hIconState2})
        if (icon)
            DestroyIcon(icon);
}

void CTrayIcon::Create(HINSTANCE instance, HWND window, UINT callbackMessage, UINT id, UINT iconState1, UINT iconState0,
                       UINT iconState2)
{
    if (m_hInstance)
        return;
    m_hInstance = instance ? instance : GetModuleHandleW(nullptr);
    m_nid.cbSize = sizeof(NOTIFYICONDATAW);
    m_nid.hWnd = window;
    m_nid.uID = id;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = callbackMessage;
    m_hIconState1 = LoadSmallIcon(m_hInstance, iconState1);
    m_hIconState0 = LoadSmallIcon(m_hInstance, iconState0);
    m_hIconState2 = LoadSmallIcon(m_hInstance, iconState2);
}

void CTrayIcon::SetEnabled(BOOL enabled)
{
    m_bEnabled = enabled;
}

void CTrayIcon::SetState(int state)
{
    if (!m_bEnabled)
        return;
    m_nid.hIcon = state == 0 ? m_hIconState0 : state == 1 ? m_hIconState1 : m_hIconState2;
    Show(TRUE);
}

void CTrayIcon::Show(BOOL show)
{
    if (!m_bEnabled)
        return;
    if (show) {
        Update();
    } else {
        g_pfnShell_NotifyIconW(NIM_DELETE, &m_nid);
    }
    m_bShown = show ? TRUE : FALSE;
}

BOOL CTrayIcon::TakeForRemoval(NOTIFYICONDATAW* nid)
{
    BOOL shown = m_bEnabled && m_bShown;
    if (nid)
        *nid = m_nid;
    m_bShown = FALSE;
    m_bEnabled = FALSE;
    return shown;
}

BOOL CTrayIcon::Update()
{
    if (!m_bEnabled)
        return FALSE;
    m_nid.cbSize = sizeof(NOTIFYICONDATAW);
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    BOOL done = g_pfnShell_NotifyIconW(m_bShown ? NIM_MODIFY : NIM_ADD, &m_nid);
    m_bShown = TRUE;
    return done;
}

void CTrayIcon::SetTip(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatVW(m_nid.szTip, 128, format, args);
    va_end(args);
}

void CTrayIcon::ShowPopupMenu()
{
    if (!m_hPopupMenu || !m_nid.hWnd)
        return;
    TrackPopupMenuAtCursor(m_nid.hWnd, m_hPopupMenu);
}

LONG CTrayIcon::GetIconRect()
{
    NOTIFYICONIDENTIFIER id = {};
    id.cbSize = sizeof(id);
    id.hWnd = m_nid.hWnd;
    id.uID = m_nid.uID;
    RECT rect = {};
    HRESULT hr = g_pfnShell_NotifyIconGetRect(&id, &rect);
    if (hr == E_NOTIMPL)
        return -1;
    if (FAILED(hr))
        return 0;
    return rect.right + rect.bottom;
}
