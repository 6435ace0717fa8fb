// One open registry key and the value operations the rest of the program needs, plus the
// running-state counters and the window-position memory kept in the registry.
#pragma once

#include <windows.h>

// Results of CRegTool::ReadString.
enum {
    REGREAD_MISSING = 0,  // not read: the default (or "") is in the buffer
    REGREAD_OK = 1,       // read whole (or an empty value replaced by the default)
    REGREAD_CUT = 2,      // the value exists but is longer than the buffer: its start is returned
};

class CRegTool {
public:
    CRegTool();
    virtual ~CRegTool();
    CRegTool(const CRegTool&) = delete;
    CRegTool& operator=(const CRegTool&) = delete;

    // Opens (creating when missing; read-only as the last resort) the key; closes a key that
    // is still open first. Returns the registry result of the last step tried.
    LONG OpenKey(HKEY root, const wchar_t* subKey);
    // The same without the create step.
    LONG OpenExistingKey(HKEY root, const wchar_t* subKey);
    LONG CloseKey();
    LONG CreateSubKey(const wchar_t* name);

    // size is the buffer's capacity in characters, terminator included. Returns REGREAD_*.
    int ReadString(const wchar_t* name, wchar_t* buffer, DWORD size, const wchar_t* defaultText);
    LONG WriteString(const wchar_t* name, const wchar_t* text);
    LONG WriteNumberString(const wchar_t* name, int number);
    int ReadDword(const wchar_t* name, DWORD* value, DWORD defaultValue);
    LONG WriteDword(const wchar_t* name, DWORD value);
    LONG ReadBinary(const wchar_t* name, void* buffer, DWORD bytes);
    LONG WriteBinary(const wchar_t* name, const void* data, DWORD bytes);
    LONG DeleteValue(const wchar_t* name);
    // 1 when the open key holds a value of that name (of any type or size).
    int ValueExists(const wchar_t* name);

    LONG DeleteKey(HKEY root, const wchar_t* path, const wchar_t* subKey);
    LONG DeleteKeyTree(HKEY parent, const wchar_t* name);
    void SaveKey(const wchar_t* path);
    // Name of the sub-key at that index (static per thread; "" when there is none).
    const wchar_t* EnumSubKey(DWORD index);

    void UseDefaultView();
    void Use32BitView();
    void Use64BitView();

    LONG SaveWindowPosition(HWND window, const wchar_t* basePath);
    int RestoreWindowPosition(HWND window, const wchar_t* basePath);
    void SaveWindowPositions(HWND window, const wchar_t* basePath, BOOL withChildren);
    void RestoreWindowPositions(HWND window, const wchar_t* basePath, BOOL withChildren);

    HKEY GetOpenKey() const { return m_hKey; }
    DWORD GetDisposition() const { return m_dwDisposition; }
    DWORD GetViewFlags() const { return m_dwViewFlags; }
    // Replaces the extra access bits or-ed into every open (a view bit, or 0).
    void SetViewFlags(DWORD flags) { m_dwViewFlags = flags; }

protected:
    HKEY m_hRootKey;
    HKEY m_hKey;
    DWORD m_dwDisposition;
    DWORD m_dwViewFlags;

private:
    LONG Open(HKEY root, const wchar_t* subKey, bool create);
    LONG DeleteTreeBelow(HKEY parent, const wchar_t* name, int depth);
};

// Reads a value of any type into buffer, clamped to bytes. Returns the registry result
// (ERROR_MORE_DATA when the value is larger than the clamp).
LONG RegReadValue(HKEY key, const wchar_t* name, void* buffer, DWORD bytes);

// The program's running-state counters under HKLM "SOFTWARE\ORVIX\TEST" (32-bit view).
void SetRunningState(DWORD value);
DWORD GetRunningState();
