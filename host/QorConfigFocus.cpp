// Keyboard movement in the settings dialog. The dialog is modeless and its pages are child
// dialogs, so IsDialogMessage cannot walk them as one: the host's message loop hands WM_KEYUP
// of the dialog's controls here.
#include "host/QorConfig.h"

#include <cwchar>
#include <initializer_list>

namespace {

bool Usable(HWND window) { return window && IsWindowVisible(window) && IsWindowEnabled(window); }

bool TabStop(HWND window) { return Usable(window) && (GetWindowLongW(window, GWL_STYLE) & WS_TABSTOP); }

HWND Item(int id) { return GetDlgItem(GetConfigDialog(), id); }

// The first of the candidates that can take the focus.
HWND FirstUsable(std::initializer_list<HWND> candidates)
{
    for (HWND w : candidates) {
        if (Usable(w))
            return w;
    }
    return nullptr;
}

HWND FirstPageStop(HWND page)
{
    if (!Usable(page))
        return nullptr;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (TabStop(child))
            return child;
    }
    return nullptr;
}

HWND NextSiblingStop(HWND control)
{
    for (HWND next = GetWindow(control, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT)) {
        if (TabStop(next))
            return next;
    }
    return nullptr;
}

HWND NextFocus(HWND from)
{
    HWND tree = GetConfigTree();
    HWND info = Item(1009);
    HWND close = Item(IDCANCEL);
    HWND apply = Item(1006);
    HWND help = Item(9);
    HWND page = GetConfigPage();
    // A move to a page without a tab stop goes to the tree.
    HWND pageStop = Usable(page) ? FirstPageStop(page) : nullptr;
    if (Usable(page) && !pageStop)
        pageStop = tree;
    if (from == tree)
        return FirstUsable({info, pageStop, close});
    if (from == info)
        return FirstUsable({pageStop, close});
    if (from == close)
        return FirstUsable({apply, help, tree});
    if (from == apply)
        return FirstUsable({help, tree});
    if (from == help)
        return tree;
    if (page && IsChild(page, from)) {
        HWND next = NextSiblingStop(from);
        return next ? next : close;
    }
    return nullptr;
}

}  // namespace

BOOL HandleConfigKeyUp(const MSG* msg)
{
    HWND dialog = GetConfigDialog();
    if (!msg || msg->message != WM_KEYUP || !dialog || !msg->hwnd || !IsChild(dialog, msg->hwnd))
        return FALSE;
    if (msg->wParam != VK_RETURN && msg->wParam != VK_TAB)
        return FALSE;
    HWND from = msg->hwnd;
    if (msg->wParam == VK_RETURN) {
        wchar_t className[32] = L"";
        GetClassNameW(from, className, _countof(className));
        if (lstrcmpiW(className, L"Button") == 0) {
            PostMessageW(GetParent(from), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(from), BN_CLICKED),
                         reinterpret_cast<LPARAM>(from));
            return TRUE;
        }
    }
    HWND to = NextFocus(from);
    if (!to)
        return FALSE;
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(to), TRUE);
    return TRUE;
}
