#include "foundation/RegTool.h"

#include "foundation/WindowTools.h"

#include "foundation/Format.h"

#include <cwchar>
#include <vector>

namespace {

const DWORD kViewBits = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
const wchar_t kRunningStateKey[] = L"SOFTWARE\\ORVIX\\TEST";
const DWORD kNoPosition = static_cast<DWORD>(-9999);
// Deeper than any real key tree; stops a runaway recursion on a broken hive.
const int kMaxTreeDepth = 512;

// The window's key "<base>\Windows\<text>"; false when the window has no text.
bool WindowKeyPath(HWND window, const wchar_t* basePath, wchar_t* path, size_t capacity)
{
    wchar_t text[128] = L"";
    GetWindowTextW(window, text, _countof(text));
    if (!text[0])
        return false;
    FormatW(path, capacity, L"%s\\Windows\\%s", basePath ? basePath : L"", text);
    return true;
}

}  // namespace

LONG RegReadValue(HKEY key, const wchar_t* name, void* buffer, DWORD bytes)
{
    DWORD needed = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &needed);
    if (result != ERROR_SUCCESS)
        return result;
    DWORD size = needed < bytes ? needed : bytes;
    return RegQueryValueExW(key, name, nullptr, nullptr, static_cast<BYTE*>(buffer), &size);
}

CRegTool::CRegTool() : m_hRootKey(nullptr), m_hKey(nullptr), m_dwDisposition(0), m_dwViewFlags(0) {}

CRegTool::~CRegTool() { CloseKey(); }

LONG CRegTool::OpenKey(HKEY root, const wchar_t* subKey) { return Open(root, subKey, true); }

LONG CRegTool::OpenExistingKey(HKEY root, const wchar_t* subKey) { return Open(root, subKey, false); }

LONG CRegTool::Open(HKEY root, const wchar_t* subKey, bool create)
{
    // A key still open would otherwise be lost with its handle.
    CloseKey();
    m_hRootKey = root;
    LONG result = RegOpenKeyExW(root, subKey, 0, KEY_ALL_ACCESS | m_dwViewFlags, &m_hKey);
    if (result == ERROR_SUCCESS)
        return result;
    m_hKey = nullptr;
    if (create) {
        result = RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | m_dwViewFlags,
                                 nullptr, &m_hKey, &m_dwDisposition);
        if (result == ERROR_SUCCESS)
            return result;
        m_hKey = nullptr;
    }
    // Read access as the last resort, for accounts without write rights.
    result = RegOpenKeyExW(root, subKey, 0, KEY_READ | m_dwViewFlags, &m_hKey);
    if (result != ERROR_SUCCESS)
        m_hKey = nullptr;
    return result;
}

LONG CRegTool::CloseKey()
{
    if (!m_hKey)
        return ERROR_SUCCESS;
    RegFlushKey(m_hKey);
    LONG result = RegCloseKey(m_hKey);
    m_hKey = nullptr;
    return result;
}

LONG CRegTool::CreateSubKey(const wchar_t* name)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(m_hKey, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                  &m_dwDisposition);
    if (result != ERROR_SUCCESS)
        return result;
    return RegCloseKey(key);
}

int CRegTool::ReadString(const wchar_t* name, wchar_t* buffer, DWORD size, const wchar_t* defaultText)
{
    if (!buffer || size == 0)
        return REGREAD_MISSING;
    buffer[0] = L'\0';
    int result = REGREAD_MISSING;
    DWORD needed = 0;
    if (m_hKey && RegQueryValueExW(m_hKey, name, nullptr, nullptr, nullptr, &needed) == ERROR_SUCCESS) {
        // Read the whole value (the size is in bytes, the buffer in characters), then keep
        // what fits: a long value is cut, never mistaken for a missing one.
        std::vector<wchar_t> data(needed / sizeof(wchar_t) + 2, L'\0');
        DWORD bytes = needed;
        if (RegQueryValueExW(m_hKey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &bytes) ==
            ERROR_SUCCESS) {
            size_t chars = bytes / sizeof(wchar_t);
            data[chars] = L'\0';
            size_t length = wcslen(data.data());
            CopyTextN(buffer, size, data.data(), length);
            result = length >= size ? REGREAD_CUT : REGREAD_OK;
        }
    }
    if (result == REGREAD_MISSING) {
        if (defaultText)
            CopyText(buffer, size, defaultText);
    } else if (!buffer[0] && defaultText) {
        CopyText(buffer, size, defaultText);
    }
    return result;
}

LONG CRegTool::WriteString(const wchar_t* name, const wchar_t* text)
{
    if (!text)
        text = L"";
    DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

LONG CRegTool::WriteNumberString(const wchar_t* name, int number)
{
    wchar_t text[16];
    FormatW(text, _countof(text), L"%d", number);
    return WriteString(name, text);
}

int CRegTool::ReadDword(const wchar_t* name, DWORD* value, DWORD defaultValue)
{
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    LONG result = m_hKey ? RegQueryValueExW(m_hKey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &bytes)
                         : ERROR_INVALID_HANDLE;
    if (result != ERROR_SUCCESS || bytes != sizeof(data)) {
        if (value)
            *value = defaultValue;
        return 0;
    }
    if (value)
        *value = data;
    return 1;
}

LONG CRegTool::WriteDword(const wchar_t* name, DWORD value)
{
    return RegSetValueExW(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LONG CRegTool::ReadBinary(const wchar_t* name, void* buffer, DWORD bytes)
{
    return RegQueryValueExW(m_hKey, name, nullptr, nullptr, static_cast<BYTE*>(buffer), &bytes);
}

LONG CRegTool::WriteBinary(const wchar_t* name, const void* data, DWORD bytes)
{
    return RegSetValueExW(m_hKey, name, 0, REG_BINARY, static_cast<const BYTE*>(data), bytes);
}

LONG CRegTool::DeleteValue(const wchar_t* name) { return RegDeleteValueW(m_hKey, name); }

int CRegTool::ValueExists(const wchar_t* name)
{
    DWORD bytes = 0;
    return m_hKey && RegQueryValueExW(m_hKey, name, nullptr, nullptr, nullptr, &bytes) == ERROR_SUCCESS ? 1 : 0;
}

LONG CRegTool::DeleteKey(HKEY root, const wchar_t* path, const wchar_t* subKey)
{
    LONG result = OpenKey(root, path);
    if (result != ERROR_SUCCESS)
        return result;
    LONG deleted = (m_dwViewFlags & kViewBits) ? RegDeleteKeyExW(m_hKey, subKey, m_dwViewFlags & kViewBits, 0)
                                                : RegDeleteKeyW(m_hKey, subKey);
    result = CloseKey();
    return deleted != ERROR_SUCCESS ? deleted : result;
}

LONG CRegTool::DeleteKeyTree(HKEY parent, const wchar_t* name) { return DeleteTreeBelow(parent, name, 0); }

LONG CRegTool::DeleteTreeBelow(HKEY parent, const wchar_t* name, int depth)
{
    if (depth > kMaxTreeDepth)
        return ERROR_CANTOPEN;
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(parent, name, 0, KEY_ALL_ACCESS | m_dwViewFlags, &key);
    if (result != ERROR_SUCCESS)
        return result;
    // Key names hold up to 255 characters.
    wchar_t child[256];
    for (;;) {
        DWORD length = _countof(child);
        if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        // Index 0 is asked again because the child is gone; one that stays would loop forever.
        if (DeleteTreeBelow(key, child, depth + 1) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    DWORD view = m_dwViewFlags & kViewBits;
    return view ? RegDeleteKeyExW(parent, name, view, 0) : RegDeleteKeyW(parent, name);
}

void CRegTool::SaveKey(const wchar_t* path)
{
    RegSaveKeyW(m_hKey, path, nullptr);
    Sleep(0);
}

const wchar_t* CRegTool::EnumSubKey(DWORD index)
{
    thread_local wchar_t t_name[512];
    t_name[0] = L'\0';
    DWORD length = _countof(t_name);
    if (!m_hKey || RegEnumKeyExW(m_hKey, index, t_name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        t_name[0] = L'\0';
    t_name[_countof(t_name) - 1] = L'\0';
    return t_name;
}

void CRegTool::UseDefaultView() { m_dwViewFlags &= ~kViewBits; }

void CRegTool::Use32BitView() { m_dwViewFlags = (m_dwViewFlags & ~kViewBits) | KEY_WOW64_32KEY; }

void CRegTool::Use64BitView() { m_dwViewFlags = (m_dwViewFlags & ~kViewBits) | KEY_WOW64_64KEY; }

LONG CRegTool::SaveWindowPosition(HWND window, const wchar_t* basePath)
{
    wchar_t path[512];
    if (!WindowKeyPath(window, basePath, path, _countof(path)))
        return 0;
    RECT rect = {};
    GetWindowRect(window, &rect);
    LONG result = OpenKey(HKEY_CURRENT_USER, path);
    if (result != ERROR_SUCCESS)
        return result;
    WriteDword(L"WndBottom", static_cast<DWORD>(rect.bottom));
    WriteDword(L"WndLeft", static_cast<DWORD>(rect.left));
    WriteDword(L"WndRight", static_cast<DWORD>(rect.right));
    WriteDword(L"WndTop", static_cast<DWORD>(rect.top));
    return CloseKey();
}

int CRegTool::RestoreWindowPosition(HWND window, const wchar_t* basePath)
{
    wchar_t path[512];
    if (!WindowKeyPath(window, basePath, path, _countof(path)))
        return 0;
    if (OpenKey(HKEY_CURRENT_USER, path) != ERROR_SUCCESS)
        return 0;
    DWORD bottom, left, right, top;
    ReadDword(L"WndBottom", &bottom, kNoPosition);
    ReadDword(L"WndLeft", &left, 0);
    ReadDword(L"WndRight", &right, 0);
    ReadDword(L"WndTop", &top, 0);
    CloseKey();
    if (bottom == kNoPosition)
        return 1;
    // Stored in screen coordinates (as saved); a child window is placed in its parent's client
    // coordinates, so its rectangle is mapped there first.
    RECT rect = {static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
    HWND parent = (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) ? GetParent(window) : nullptr;
    if (parent)
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    SetWindowPos(window, HWND_NOTOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0);
    return 1;
}

void CRegTool::SaveWindowPositions(HWND window, const wchar_t* basePath, BOOL withChildren)
{
    SaveWindowPosition(window, basePath);
    if (!withChildren)
        return;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SaveWindowPosition(child, basePath);
}

void CRegTool::RestoreWindowPositions(HWND window, const wchar_t* basePath, BOOL withChildren)
{
    if (!RestoreWindowPosition(window, basePath))
        CenterWindow(window);
    if (!withChildren)
        return;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        RestoreWindowPosition(child, basePath);
}

void SetRunningState(DWORD value)
{
    CRegTool reg;
    reg.Use32BitView();
    SetLastError(0);
    if (reg.OpenKey(HKEY_LOCAL_MACHINE, kRunningStateKey) != ERROR_SUCCESS)
        return;
    reg.WriteDword(L"RunningState", value);
    reg.WriteDword(L"RunningState32", value);
    reg.CloseKey();
}

DWORD GetRunningState()
{
    CRegTool reg;
    reg.Use32BitView();
    if (reg.OpenExistingKey(HKEY_LOCAL_MACHINE, kRunningStateKey) != ERROR_SUCCESS)
        return 0;
    DWORD state = 0, state32 = 0, state64 = 0;
    reg.ReadDword(L"RunningState", &state, 0);
    reg.ReadDword(L"RunningState32", &state32, 0);
    reg.ReadDword(L"RunningState64", &state64, 0);
    return state + state32 + state64;
}
