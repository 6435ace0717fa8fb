#include "foundation/WindowSearch.h"

#include "foundation/Format.h"

#include <cwchar>
#include <initializer_list>

namespace {

constexpr int kNameChars = 127;

DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// The whole pointer-sized user data: a pointer whose low half equals a marker is no marker.
bool HasMarker(HWND window, DWORD marker)
{
    return GetWindowLongPtrW(window, GWLP_USERDATA) == static_cast<LONG_PTR>(marker);
}

template <typename Match>
HWND Search(HWND window, const Match& match, int depth)
{
    if (!window)
        return nullptr;
    if (match(window))
        return window;
    if (depth == 0)
        return nullptr;
    // A window that goes away during the walk ends its branch: GetWindow then gives null.
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HWND found = Search(child, match, depth - 1))
            return found;
    }
    return nullptr;
}

template <typename Match>
HWND Search(HWND window, const Match& match) { return Search(window, match, -1); }

bool TextBegins(HWND window, const wchar_t* text)
{
    wchar_t buffer[kNameChars + 1] = L"";
    GetWindowTextW(window, buffer, _countof(buffer));
    return wcsncmp(buffer, text, BoundedLength(text, kNameChars)) == 0;
}

bool TextMatches(HWND window, const wchar_t* text, int substring)
{
    if (!substring)
        return TextBegins(window, text);
    wchar_t buffer[kNameChars + 1] = L"";
    GetWindowTextW(window, buffer, _countof(buffer));
    return wcsstr(buffer, text) != nullptr;
}

HWND SearchMarkedOfProcess(HWND window, DWORD marker, DWORD processId)
{
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HasMarker(child, marker)) {
            if (ProcessOf(child) == processId)
                return child;
            continue;  // another process's marked window: go on with the next sibling
        }
        if (HWND found = SearchMarkedOfProcess(child, marker, processId))
            return found;
    }
    return nullptr;
}

thread_local wchar_t t_childTexts[2048];

}  // namespace

HWND FindWindowByUserData(HWND start, DWORD marker)
{
    return Search(start, [marker](HWND w) { return HasMarker(w, marker); });
}

HWND FindProcessWindowByUserData(HWND start, DWORD marker, DWORD processId)
{
    if (!start)
        return nullptr;
    if (HasMarker(start, marker))
        return start;
    return SearchMarkedOfProcess(start, marker, processId);
}

HWND FindOwnWindowByUserData(DWORD marker)
{
    // Searching only for this process's windows: a second instance marks its window before
    // its single-instance check, and the first marked window found may well be that one.
    DWORD self = GetCurrentProcessId();
    HWND found = SearchMarkedOfProcess(GetDesktopWindow(), marker, self);
    return found && ProcessOf(found) == self ? found : nullptr;
}

HWND FindWindowById(HWND start, int controlId)
{
    return Search(start, [controlId](HWND w) { return GetWindowLongW(w, GWL_ID) == controlId; });
}

HWND FindWindowByClass(HWND start, const wchar_t* className)
{
    if (!className)
        return nullptr;
    return Search(start, [className](HWND w) {
        wchar_t name[kNameChars + 1] = L"";
        GetClassNameW(w, name, _countof(name));
        return wcsncmp(name, className, kNameChars) == 0;
    });
}

HWND FindWindowByText(HWND start, const wchar_t* text, int substring)
{
    if (!text)
        return nullptr;
    return Search(start, [text, substring](HWND w) { return TextMatches(w, text, substring); });
}

HWND FindWindowByTextAndStyle(HWND start, const wchar_t* text, DWORD styleMask)
{
    if (!text)
        return nullptr;
    return Search(start, [text, styleMask](HWND w) {
        return (static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE)) & styleMask) != 0 && TextBegins(w, text);
    });
}

HWND FindWindowByTextAndExStyle(HWND start, const wchar_t* text, DWORD exStyleMask)
{
    if (!text)
        return nullptr;
    return Search(start, [text, exStyleMask](HWND w) {
        return (static_cast<DWORD>(GetWindowLongW(w, GWL_EXSTYLE)) & exStyleMask) != 0 && TextBegins(w, text);
    });
}

HWND FindWindowByClassAndText(HWND start, const wchar_t* text, const wchar_t* className, int substring, int depth)
{
    if (!text || !className || depth < 0)
        return nullptr;
    return Search(
        start,
        [text, className, substring](HWND w) {
            wchar_t name[kNameChars + 1] = L"";
            GetClassNameW(w, name, _countof(name));
            return name[0] != L'\0' && lstrcmpiW(name, className) == 0 && TextMatches(w, text, substring);
        },
        depth);
}

HWND FindVisibleProcessWindow(HWND start, DWORD processId)
{
    return Search(start, [processId](HWND w) { return IsWindowVisible(w) && ProcessOf(w) == processId; });
}

HWND GetOwnTopLevelWindow(HWND window)
{
    if (!window)
        return nullptr;
    DWORD pid = ProcessOf(window);
    for (HWND parent = GetParent(window); parent && ProcessOf(parent) == pid; parent = GetParent(window))
        window = parent;
    return window;
}

HWND GetRootWindow(HWND window)
{
    if (!window)
        return nullptr;
    for (HWND parent = GetParent(window); parent; parent = GetParent(window))
        window = parent;
    return window;
}

const wchar_t* CollectChildTexts(HWND window)
{
    t_childTexts[0] = L'\0';
    if (!window)
        return t_childTexts;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[_countof(t_childTexts)] = L"";
        GetWindowTextW(child, text, _countof(text));
        if (text[0] == L'\0')
            continue;
        if (AppendText(t_childTexts, _countof(t_childTexts), text) || AppendText(t_childTexts, _countof(t_childTexts), L";"))
            break;  // full
    }
    return t_childTexts;
}

HWND FindOwnHostWindow()
{
    for (DWORD marker : {kHostWindowMarker, kHostWindowMarkerAlt1, kHostWindowMarkerAlt2}) {
        HWND found = FindOwnWindowByUserData(marker);
        if (found)
            return found;
    }
    return nullptr;
}
