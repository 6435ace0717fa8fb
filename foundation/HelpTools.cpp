#include "foundation/HelpTools.h"

#include "foundation/FolderTools.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/RegTool.h"
#include "foundation/Seams.h"

namespace {

const size_t kPath = 512;

// "<Windows>\HELP\<name>"; false when the Windows folder is unknown.
bool WindowsHelpPath(wchar_t* path, size_t size, const wchar_t* fileName)
{
    wchar_t windows[MAX_PATH] = L"";
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    AppendPathSeparator(windows, MAX_PATH);
    FormatW(path, size, L"%sHELP\\%s", windows, fileName ? fileName : L"");
    return true;
}

}  // namespace

HWND WINAPI HtmlHelpOnDemandW(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data)
{
    typedef HWND(WINAPI * HtmlHelpFn)(HWND, LPCWSTR, UINT, DWORD_PTR);
    static HtmlHelpFn s_htmlHelp = nullptr;
    if (!s_htmlHelp) {
        if (HMODULE control = LoadLibraryW(L"hhctrl.ocx"))
            s_htmlHelp = reinterpret_cast<HtmlHelpFn>(GetProcAddress(control, "HtmlHelpW"));
    }
    return s_htmlHelp ? s_htmlHelp(caller, file, command, data) : nullptr;
}

void FindHelpFile(wchar_t* path, size_t size, const wchar_t* folder, const wchar_t* fileName)
{
    wchar_t beside[kPath] = L"";
    CopyText(beside, kPath, folder);
    AppendPathSeparator(beside, kPath);
    AppendText(beside, kPath, fileName);
    if (IsExistingFile(beside) || !WindowsHelpPath(path, size, fileName))
        CopyText(path, size, beside);
}

// The full path goes to HTML Help, so the process's current directory need not change.
HWND ShowHelpContext(const wchar_t* fileName, DWORD contextId)
{
    wchar_t path[kPath] = L"";
    FindHelpFile(path, kPath, GetModuleFolder(), fileName);
    return g_pfnHtmlHelpW(nullptr, path, HH_HELP_CONTEXT, contextId);
}

HWND ShowHelpContextOf(const wchar_t* fileName, DWORD contextId, HMODULE module)
{
    wchar_t path[kPath] = L"";
    FindHelpFile(path, kPath, GetModuleFolderOf(module), fileName);
    return g_pfnHtmlHelpW(nullptr, path, HH_HELP_CONTEXT, contextId);
}

int HelpFileExists(const wchar_t* fileName)
{
    if (!fileName || !fileName[0])
        return 0;
    wchar_t path[kPath] = L"";
    CopyText(path, kPath, GetModuleFolder());
    AppendText(path, kPath, fileName);
    if (IsExistingFile(path))
        return 1;
    // Without a Windows folder there is no help file there either.
    return WindowsHelpPath(path, kPath, fileName) && IsExistingFile(path) ? 1 : 0;
}

void AllowLocalHelpContent()
{
    const wchar_t* keys[] = {L"SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\HHRestrictions",
                             L"SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\ItssRestrictions"};
    for (const wchar_t* key : keys) {
        CRegTool reg;
        if (reg.OpenKey(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS)
            reg.WriteDword(L"MaxAllowedZone", 1);
    }
}
