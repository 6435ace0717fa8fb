#include "telephony_support/UrlSchemes.h"

#include "foundation/FolderTools.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/RegTool.h"
#include "foundation/SystemAccount.h"

#include <cwchar>

namespace {

const wchar_t* const kSchemeKeys[] = {
    L"SOFTWARE\\Classes\\callto", L"SOFTWARE\\Classes\\tel", L"SOFTWARE\\Classes\\sugartel",
    L"SOFTWARE\\Classes\\corvall",
};

// The previous owners, kept for the life of the process so a later call can restore them.
// Only a scheme whose owner this process saved is restored: one that never registered has
// nothing to give back, and blanking the keys would take the scheme from its real owner.
wchar_t g_savedIcon[4][260];
wchar_t g_savedCommand[4][260];
bool g_saved[4];

void WriteDefaultValue(HKEY root, const wchar_t* path, const wchar_t* value, bool saveFirst, wchar_t* saved)
{
    CRegTool key;
    if (key.OpenKey(root, path) != ERROR_SUCCESS)
        return;  // a key that can neither be opened nor created is skipped
    if (saveFirst) {
        if (saved)
            key.ReadString(L"", saved, 260, nullptr);
        key.WriteString(L"", value);
    } else {
        key.WriteString(L"", saved ? saved : L"");
    }
    key.CloseKey();
}

void SetDisabledRegistrations(const wchar_t* path, DWORD value)
{
    CRegTool key;
    if (key.OpenKey(HKEY_CURRENT_USER, path) == ERROR_SUCCESS) {
        key.WriteDword(L"DisabledProtocolHandlerRegistrations", value);
        key.CloseKey();
    }
}

}  // namespace

void RegisterUrlProtocol(HKEY root, const wchar_t* schemeKey, const wchar_t* handlerPath, wchar_t* savedIcon,
                         wchar_t* savedCommand)
{
    if (!schemeKey)
        return;
    bool install = handlerPath && *handlerPath;
    wchar_t icon[600] = L"", command[600] = L"";
    if (install) {
        FormatW(icon, _countof(icon), L"%s,0", handlerPath);
        FormatW(command, _countof(command), L"\"%s\" -T %%1", handlerPath);
    }
    wchar_t path[512];
    FormatW(path, _countof(path), L"%s\\DefaultIcon", schemeKey);
    WriteDefaultValue(root, path, icon, install, savedIcon);
    FormatW(path, _countof(path), L"%s\\Shell\\Open\\Command", schemeKey);
    WriteDefaultValue(root, path, command, install, savedCommand);
    CRegTool key;
    if (key.OpenKey(root, schemeKey) == ERROR_SUCCESS) {
        key.WriteString(L"URL Protocol", L"");
        key.CloseKey();
    }
}

void DisableLyncProtocolHandlers(DWORD value)
{
    SetDisabledRegistrations(L"Software\\Microsoft\\Office\\15.0\\Lync", value);
}

void RegisterUrlProtocols(const wchar_t* handler)
{
    wchar_t path[512] = L"";
    if (handler && *handler) {
        if (wcschr(handler, L'\\'))
            CopyText(path, _countof(path), handler);
        else
            FormatW(path, _countof(path), L"%s%s", GetModuleFolder(), handler);
        if (!IsExistingFile(path))
            return;
    }
    DisableLyncProtocolHandlers(63);
    if (IsSystemAccount())
        return;  // the service's registry hive is not the user's
    for (size_t i = 0; i < _countof(kSchemeKeys); ++i) {
        if (path[0]) {
            // A second registration keeps the owner saved by the first, not our own values.
            RegisterUrlProtocol(HKEY_CURRENT_USER, kSchemeKeys[i], path, g_saved[i] ? nullptr : g_savedIcon[i],
                                g_saved[i] ? nullptr : g_savedCommand[i]);
            g_saved[i] = true;
        } else if (g_saved[i]) {
            RegisterUrlProtocol(HKEY_CURRENT_USER, kSchemeKeys[i], path, g_savedIcon[i], g_savedCommand[i]);
            g_saved[i] = false;
        }
    }
    SetDisabledRegistrations(L"SOFTWARE\\Microsoft\\Communicator", 63);
}
