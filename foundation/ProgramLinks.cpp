#include "foundation/ProgramLinks.h"

#include "foundation/FolderTools.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/ShellLinks.h"

#include <cwchar>

namespace {

// The program folder's file, or the path as given; false when it does not exist.
bool ProgramFile(wchar_t* path, size_t capacity, const wchar_t* file)
{
    if (!file || !*file)
        return false;
    if (wcschr(file, L'\\'))
        CopyText(path, capacity, file);
    else
        FormatW(path, capacity, L"%s%s", GetModuleFolder(), file);
    return IsExistingFile(path) != 0;
}

bool HasName(const wchar_t* name)
{
    return name && *name;
}

}  // namespace

HRESULT CreateStartupLink(const wchar_t* file, const wchar_t* linkName)
{
    if (!HasName(linkName))
        return E_INVALIDARG;  // a nameless shortcut would be ".LNK"
    DeleteStartupShortcuts(linkName);
    wchar_t path[1024];
    if (!ProgramFile(path, _countof(path), file))
        return S_FALSE;
    return CreateStartupShortcut(path, linkName, nullptr, TRUE);
}

HRESULT CreateDesktopLink(const wchar_t* file, const wchar_t* linkName)
{
    wchar_t path[1024];
    if (!HasName(linkName) || !ProgramFile(path, _countof(path), file))
        return S_FALSE;
    return CreateDesktopShortcut(path, linkName, nullptr);
}

HRESULT CreateStartMenuLink(const wchar_t* group, const wchar_t* linkName, const wchar_t* file)
{
    if (!HasName(group) || !HasName(linkName))
        return E_INVALIDARG;
    DeleteStartMenuShortcuts(group, linkName);
    wchar_t path[1024];
    if (!ProgramFile(path, _countof(path), file))
        return S_FALSE;
    return CreateStartMenuShortcut(path, group, linkName, TRUE, nullptr);
}

void RemoveStartMenuLink(const wchar_t* group, const wchar_t* linkName)
{
    if (!HasName(group) || !HasName(linkName))
        return;
    DeleteStartMenuShortcuts(group, linkName);
    RemoveStartMenuFolders(group);
}
