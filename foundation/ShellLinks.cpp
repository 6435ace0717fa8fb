#include "foundation/ShellLinks.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "foundation/Format.h"
#include "foundation/PathTools.h"

namespace {

const size_t kPath = 512;

bool FileExists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// Makes the link object, lets 'fill' set it up, saves it at path (remember TRUE).
template <typename Fill>
HRESULT SaveLink(const wchar_t* path, DWORD context, Fill fill)
{
    IShellLinkW* link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, context, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link));
    if (FAILED(result))
        return result;
    result = fill(link);
    if (SUCCEEDED(result)) {
        IPersistFile* file = nullptr;
        result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (SUCCEEDED(result)) {
            result = file->Save(path, TRUE);
            file->Release();
        }
    }
    link->Release();
    return result;
}

BOOL DeleteLinkIn(const wchar_t* folder, const wchar_t* subFolder, const wchar_t* linkName)
{
    // No folder from the shell: nothing to delete (never "\name.LNK" at the drive's root).
    if (!folder[0])
        return FALSE;
    wchar_t base[kPath] = L"";
    CopyText(base, kPath, folder);
    if (subFolder) {
        AppendPathSeparator(base, kPath);
        AppendText(base, kPath, subFolder);
    }
    wchar_t path[kPath] = L"";
    MakeLinkPath(path, kPath, base, linkName);
    return DeleteFileW(path);
}

BOOL RemoveSubFolder(const wchar_t* folder, const wchar_t* name)
{
    if (!folder[0] || !name || !name[0])
        return FALSE;
    wchar_t path[kPath] = L"";
    CopyText(path, kPath, folder);
    AppendPathSeparator(path, kPath);
    AppendText(path, kPath, name);
    return RemoveDirectoryW(path);
}

}  // namespace

void MakeLinkPath(wchar_t* path, size_t size, const wchar_t* folder, const wchar_t* linkName)
{
    FormatW(path, size, L"%s\\%s.LNK", folder ? folder : L"", linkName ? linkName : L"");
}

HRESULT CreateDesktopShortcut(const wchar_t* target, const wchar_t* linkName, const wchar_t* arguments)
{
    const wchar_t* desktop = GetDesktopFolder();
    if (!desktop[0])
        return E_FAIL;
    wchar_t path[kPath] = L"";
    MakeLinkPath(path, kPath, desktop, linkName);
    if (FileExists(path))
        return 0;
    return SaveLink(path, CLSCTX_INPROC_SERVER, [&](IShellLinkW* link) {
        HRESULT result = link->SetPath(target);
        if (SUCCEEDED(result))
            result = link->SetArguments(arguments ? arguments : L"");
        return result;
    });
}

HRESULT CreateStartMenuShortcut(const wchar_t* target, const wchar_t* folderName, const wchar_t* linkName,
                                BOOL allUsers, const wchar_t* iconPath)
{
    const wchar_t* startMenu = allUsers ? GetCommonStartMenuFolder() : GetStartMenuFolder();
    if (!startMenu[0])
        return 0;
    wchar_t folder[kPath] = L"";
    CopyText(folder, kPath, startMenu);
    AppendPathSeparator(folder, kPath);
    AppendText(folder, kPath, folderName);
    CreateDirectoryW(folder, nullptr);

    wchar_t path[kPath] = L"";
    MakeLinkPath(path, kPath, folder, linkName);
    if (FileExists(path))
        return 0;
    return SaveLink(path, CLSCTX_ALL, [&](IShellLinkW* link) {
        HRESULT result = link->SetPath(target);
        if (SUCCEEDED(result))
            result = link->SetIconLocation(iconPath ? iconPath : target, 0);
        return result;
    });
}

HRESULT CreateStartupShortcut(const wchar_t* target, const wchar_t* linkName, const wchar_t* arguments,
                              BOOL allUsers)
{
    const wchar_t* startup = allUsers ? GetCommonStartupFolder() : GetStartupFolder();
    if (!startup[0])
        return E_FAIL;
    wchar_t path[kPath] = L"";
    MakeLinkPath(path, kPath, startup, linkName);
    if (FileExists(path))
        return 0;
    return SaveLink(path, CLSCTX_INPROC_SERVER, [&](IShellLinkW* link) {
        HRESULT result = link->SetPath(target);
        if (SUCCEEDED(result) && arguments)
            result = link->SetArguments(arguments);
        return result;
    });
}

BOOL DeleteStartupShortcuts(const wchar_t* linkName)
{
    DeleteLinkIn(GetStartupFolder(), nullptr, linkName);
    return DeleteLinkIn(GetCommonStartupFolder(), nullptr, linkName);
}

BOOL DeleteDesktopShortcuts(const wchar_t* linkName)
{
    DeleteLinkIn(GetDesktopFolder(), nullptr, linkName);
    const wchar_t* common = GetCommonDesktopFolder();
    if (!common[0])
        return 2;
    return DeleteLinkIn(common, nullptr, linkName);
}

BOOL DeleteStartMenuShortcuts(const wchar_t* folderName, const wchar_t* linkName)
{
    DeleteLinkIn(GetStartMenuFolder(), folderName, linkName);
    return DeleteLinkIn(GetCommonStartMenuFolder(), folderName, linkName);
}

BOOL RemoveStartMenuFolders(const wchar_t* folderName)
{
    RemoveSubFolder(GetStartMenuFolder(), folderName);
    return RemoveSubFolder(GetCommonStartMenuFolder(), folderName);
}
