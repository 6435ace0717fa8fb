#include "telephony_support/TapiProviders.h"

#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/RegTool.h"
#include "foundation/TextUtils.h"
#include "telephony_support/ProviderSeams.h"

#include <tapi.h>

#include <cwchar>
#include <cwctype>

namespace {

const wchar_t kProviders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers";
DWORD g_dwPermanentProviderId = 0;

LONG AddProviderAtRunTime(LPCSTR name, HWND owner, LPDWORD id)
{
    HMODULE tapi = LoadLibraryExW(L"TAPI32.DLL", nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!tapi)
        return LINEERR_OPERATIONFAILED;
    auto add = reinterpret_cast<LineAddProviderFn>(reinterpret_cast<void*>(GetProcAddress(tapi, "lineAddProvider")));
    LONG result = add ? add(name, owner, id) : LINEERR_OPERATIONFAILED;
    FreeLibrary(tapi);
    return result;
}

// "C:\TSP\BETA.TSP" gives "BETA.TSP".
void FileNameOnly(wchar_t* dst, size_t capacity, const wchar_t* path)
{
    wchar_t name[512] = L"", ext[32] = L"";
    _wsplitpath_s(path ? path : L"", nullptr, 0, nullptr, 0, name, _countof(name), ext, _countof(ext));
    FormatW(dst, capacity, L"%s%s", name, ext);
}

void UpperCase(wchar_t* text)
{
    CharUpperW(text);
}

// Opens the provider list in the 64-bit view (where TAPI keeps it on a 64-bit system).
LONG OpenProviders(CRegTool& key, bool write)
{
    key.Use64BitView();
    return write ? key.OpenKey(HKEY_LOCAL_MACHINE, kProviders) : key.OpenExistingKey(HKEY_LOCAL_MACHINE, kProviders);
}

}  // namespace

LONG (*g_pfnLineAddProvider)(LPCSTR, HWND, LPDWORD) = AddProviderAtRunTime;
LONG (WINAPI* g_pfnLineRemoveProvider)(DWORD, HWND) = lineRemoveProvider;

DWORD GetLastAddedProviderId() { return g_dwPermanentProviderId; }

int CopyProviderFile(const wchar_t* file, const wchar_t* subFolder)
{
    wchar_t windows[MAX_PATH] = L"";
    UINT n = GetWindowsDirectoryW(windows, _countof(windows));
    if (n == 0 || n >= _countof(windows))
        return 0;
    if (!windows[0])
        return 2;
    wchar_t source[MAX_PATH * 2], target[MAX_PATH * 2];
    if (subFolder && *subFolder)
        FormatW(source, _countof(source), L"%s%s\\%s", GetModuleFolder(), subFolder, file);
    else
        FormatW(source, _countof(source), L"%s%s", GetModuleFolder(), file);
    FormatW(target, _countof(target), L"%s\\SYSTEM32\\%s", windows, file);
    return CopyFileW(source, target, FALSE) ? 1 : 0;
}

int DeleteProviderFile(const wchar_t* file)
{
    wchar_t windows[MAX_PATH] = L"";
    UINT n = GetWindowsDirectoryW(windows, _countof(windows));
    if (n == 0 || n >= _countof(windows))
        return 0;
    if (!windows[0])
        return 2;
    wchar_t path[MAX_PATH * 2];
    FormatW(path, _countof(path), L"%s\\SYSTEM32\\%s", windows, file);
    DeleteFileW(path);
    FormatW(path, _countof(path), L"%s\\SysWOW64\\%s", windows, file);
    return DeleteFileW(path) ? 1 : 0;
}

LONG GetTapiProviderId(const wchar_t* file)
{
    wchar_t wanted[544];
    FileNameOnly(wanted, _countof(wanted), file);
    CRegTool key;
    if (OpenProviders(key, false) != ERROR_SUCCESS)
        return -1;
    DWORD count = 0, id = 0;
    LONG found = -1;
    key.ReadDword(L"NumProviders", &count, 0);
    for (DWORD i = 0; i < count && i < 1000; ++i) {
        wchar_t name[64] = L"", value[32], listed[544];
        FormatW(value, _countof(value), L"ProviderFilename%u", i);
        if (key.ReadString(value, name, _countof(name), nullptr) != REGREAD_OK)
            continue;  // a longer name reads as empty
        FileNameOnly(listed, _countof(listed), name);
        if (lstrcmpiW(listed, wanted) == 0) {
            FormatW(value, _countof(value), L"ProviderID%u", i);
            if (key.ReadDword(value, &id, 0))
                found = static_cast<LONG>(id);
            break;
        }
    }
    key.CloseKey();
    return found;
}

LONG UninstallTapiProvider(const wchar_t* file, DWORD accessFlags, HWND owner)
{
    wchar_t wanted[512] = L"";
    CopyText(wanted, _countof(wanted), file);
    UpperCase(wanted);
    if (!wanted[0])
        return LINEERR_OPERATIONFAILED;  // an empty name would match every provider
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProviders, 0, KEY_READ | accessFlags, &raw) != ERROR_SUCCESS)
        return LINEERR_OPERATIONFAILED;
    DWORD count = 0, size = sizeof(count);
    RegQueryValueExW(raw, L"NumProviders", nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size);
    bool found = false;
    DWORD id = 0;
    for (DWORD i = 0; i < count && i < 1000 && !found; ++i) {
        wchar_t name[64] = L"", value[32];
        FormatW(value, _countof(value), L"ProviderFilename%u", i);
        if (RegReadValue(raw, value, name, sizeof(name) - sizeof(wchar_t)) != ERROR_SUCCESS)
            continue;
        name[_countof(name) - 1] = L'\0';
        UpperCase(name);
        if (wcsstr(name, wanted)) {
            FormatW(value, _countof(value), L"ProviderID%u", i);
            size = sizeof(id);
            found = RegQueryValueExW(raw, value, nullptr, nullptr, reinterpret_cast<BYTE*>(&id), &size) == ERROR_SUCCESS;
        }
    }
    RegFlushKey(raw);
    RegCloseKey(raw);
    if (!found)
        return LINEERR_OPERATIONFAILED;
    return g_pfnLineRemoveProvider(id, owner);
}

void AddTapiProvider(const wchar_t* file)
{
    for (int i = 0; i < 3; ++i)
        UninstallTapiProvider(file, 0, nullptr);
    char name[512];
    WideToAnsi(name, _countof(name) - 1, file);
    if (g_pfnLineAddProvider)
        g_pfnLineAddProvider(name, nullptr, &g_dwPermanentProviderId);
}

BOOL RepairTapiProviderList(BOOL checkOnly)
{
    wchar_t kept[32][128];
    int keptCount = 0;
    bool damaged = false;
    {
        CRegTool key;
        if (OpenProviders(key, false) != ERROR_SUCCESS)
            return FALSE;
        for (int i = 0; i < 32; ++i) {
            wchar_t name[64] = L"", value[32];
            FormatW(value, _countof(value), L"ProviderFilename%d", i);
            if (key.ReadString(value, name, _countof(name), nullptr) != REGREAD_OK || !name[0])
                continue;
            if (wcslen(name) < 3)
                damaged = true;
            else
                CopyText(kept[keptCount++], _countof(kept[0]), name);
        }
        key.CloseKey();
    }
    if (!damaged || checkOnly)
        return damaged ? TRUE : FALSE;
    {
        CRegTool key;
        if (OpenProviders(key, true) == ERROR_SUCCESS) {
            for (int i = 0; i < 64; ++i) {
                wchar_t value[32];
                FormatW(value, _countof(value), L"ProviderFilename%d", i);
                key.DeleteValue(value);
                FormatW(value, _countof(value), L"ProviderID%d", i);
                key.DeleteValue(value);
            }
            key.CloseKey();
        }
    }
    CRegTool key;
    if (OpenProviders(key, true) != ERROR_SUCCESS)
        return TRUE;
    key.WriteDword(L"NumProviders", static_cast<DWORD>(keptCount));
    key.WriteDword(L"NextProviderID", static_cast<DWORD>(keptCount + 1));
    for (int i = 0; i < keptCount; ++i) {
        wchar_t value[32];
        FormatW(value, _countof(value), L"ProviderFilename%d", i);
        key.WriteString(value, kept[i]);
        FormatW(value, _countof(value), L"ProviderID%d", i);
        key.WriteDword(value, static_cast<DWORD>(i));
    }
    key.CloseKey();
    return TRUE;
}
