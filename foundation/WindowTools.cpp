#include "foundation/WindowTools.h"

#include "foundation/Format.h"

#include <cstdlib>
#include <vector>

void BringWindowToFront(HWND window)
{
    if (!window)
        return;
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    Sleep(10);
}

POINT GetCenteredPosition(const RECT& reference, const RECT& window, bool halveWide)
{
    RECT area = reference;
    LONG width = area.right - area.left;
    LONG height = area.bottom - area.top;
    if (halveWide && height != 0 && width >= 2 * height)
        area.right = area.left + width / 2;
    LONG cx = (area.left + area.right) / 2;
    LONG cy = (area.top + area.bottom) / 2;
    POINT p = {cx - (window.right - window.left) / 2, cy - (window.bottom - window.top) / 2};
    return p;
}

void CenterWindow(HWND window)
{
    if (!window)
        return;
    RECT own;
    if (!GetWindowRect(window, &own))
        return;
    HWND parent = GetParent(window);
    RECT reference;
    if (!GetWindowRect(parent ? parent : GetDesktopWindow(), &reference))
        return;
    POINT p = GetCenteredPosition(reference, own, parent == nullptr);
    SetWindowPos(window, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void PlaceNearParent(HWND window)
{
    HWND parent = window ? GetParent(window) : nullptr;
    RECT r;
    if (!parent || !GetWindowRect(parent, &r))
        return;
    SetWindowPos(window, parent, r.left + 10, r.top + 30, 0, 0, SWP_NOSIZE);
}

static void ChangeLong(HWND window, int index, DWORD set, DWORD clear)
{
    if (!window)
        return;
    DWORD value = static_cast<DWORD>(GetWindowLongW(window, index));
    SetWindowLongW(window, index, static_cast<LONG>((value | set) & ~clear));
}

void AddWindowStyle(HWND window, DWORD bits) { ChangeLong(window, GWL_STYLE, bits, 0); }
void RemoveWindowStyle(HWND window, DWORD bits) { ChangeLong(window, GWL_STYLE, 0, bits); }
void AddWindowExStyle(HWND window, DWORD bits) { ChangeLong(window, GWL_EXSTYLE, bits, 0); }
void RemoveWindowExStyle(HWND window, DWORD bits) { ChangeLong(window, GWL_EXSTYLE, 0, bits); }

int HasTabStop(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_TABSTOP) ? 1 : 0; }

// The user data is pointer-sized: on x86_64 its upper half must survive the flag.
void SetUserDataFlag(HWND window, int flag)
{
    if (!window)
        return;
    LONG_PTR value = GetWindowLongPtrW(window, GWLP_USERDATA);
    SetWindowLongPtrW(window, GWLP_USERDATA, flag ? (value | 1) : (value & ~static_cast<LONG_PTR>(1)));
}
int GetUserDataFlag(HWND window) { return (GetWindowLongPtrW(window, GWLP_USERDATA) & 1) ? 1 : 0; }

void NormaliseRect(RECT* rect)
{
    if (!rect)
        return;
    // Only a real area counts; its sign does not, since monitors left of or above the primary
    // one have negative coordinates.
    if (rect->right > rect->left && rect->bottom > rect->top)
        return;
    SetRect(rect, 0, 0, 600, 400);
}

void ScreenRectToClient(HWND window, RECT* rect)
{
    if (!rect)
        return;
    POINT* corners = reinterpret_cast<POINT*>(rect);
    ScreenToClient(window, &corners[0]);
    ScreenToClient(window, &corners[1]);
}

void SelectEditLine(HWND edit, int line)
{
    WPARAM index = line > 0 ? static_cast<WPARAM>(line - 1) : 0;
    LRESULT start = SendMessageW(edit, EM_LINEINDEX, index, 0);
    if (start < 0)
        return;
    LRESULT length = SendMessageW(edit, EM_LINELENGTH, static_cast<WPARAM>(start), 0);
    if (length < 1)
        return;
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(start), start + length);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

HICON GetWindowIcon(HWND window, HINSTANCE instance)
{
    if (!window)
        return nullptr;
    const WPARAM kinds[] = {ICON_SMALL, ICON_SMALL2, ICON_BIG};
    for (WPARAM kind : kinds) {
        if (HICON icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, kind, 0)))
            return icon;
    }
    WNDCLASSW wc = {};
    WINDOWINFO info = {};
    info.cbSize = sizeof(info);
    if (GetWindowInfo(window, &info) && info.atomWindowType &&
        GetClassInfoW(instance, MAKEINTATOM(info.atomWindowType), &wc) && wc.hIcon)
        return wc.hIcon;
    wchar_t name[128] = L"";
    if (GetClassNameW(window, name, _countof(name)) && GetClassInfoW(instance, name, &wc))
        return wc.hIcon;
    return nullptr;
}

static BOOL CALLBACK CollectTopmost(HWND window, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

void CancelOwnTopmostWindows()
{
    // Collected first: a window that closes on IDCANCEL would cut a walk in progress.
    std::vector<HWND> windows;
    EnumWindows(CollectTopmost, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        if (IsWindow(window))
            SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }
}

void MoveCursorGlide(int x, int y, int steps, int pauseMs)
{
    static POINT s_last = {0, 0};
    if (s_last.x == 0 && s_last.y == 0) {
        SetCursorPos(x, y);
        s_last.x = x;
        s_last.y = y;
        return;
    }
    if (std::abs(x - s_last.x) < 2 && std::abs(y - s_last.y) < 2)
        return;
    if (steps < 1)
        steps = 1;
    for (int i = 1; i <= steps; ++i) {
        SetCursorPos(s_last.x + MulDiv(x - s_last.x, i, steps), s_last.y + MulDiv(y - s_last.y, i, steps));
        if (pauseMs > 0)
            Sleep(static_cast<DWORD>(pauseMs));
    }
    s_last.x = x;
    s_last.y = y;
}

static HFONT MakeFont(int height, const wchar_t* face, LONG weight, BYTE underline)
{
    LOGFONTW lf = {};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfUnderline = underline;
    CopyText(lf.lfFaceName, _countof(lf.lfFaceName), face);
    return CreateFontIndirectW(&lf);
}

HFONT CreateCourierFont(int height) { return MakeFont(height, L"Courier new", 400, 0); }
HFONT CreateNormalFont(int height) { return MakeFont(height, L"", 400, 0); }
HFONT CreateBoldFont(int height) { return MakeFont(height, L"", 600, 0); }
HFONT CreateUnderlineFont(int height) { return MakeFont(height, L"", 400, 1); }
