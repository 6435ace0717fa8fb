// Shortcut files (.LNK) on the desktop, in the Start menu and in the Startup folder, for the
// current user or for all users, and their removal. An existing link file is never
// overwritten. The caller's thread has COM initialised.
#pragma once

#include <windows.h>

// Results: the COM result of the last step (negative when the link object can't be made),
// 0 when the link exists already.
HRESULT CreateDesktopShortcut(const wchar_t* target, const wchar_t* linkName, const wchar_t* arguments);
// 0 when the shell gives no Start-menu folder. A null icon path takes the target's icon.
HRESULT CreateStartMenuShortcut(const wchar_t* target, const wchar_t* folderName, const wchar_t* linkName,
                                BOOL allUsers, const wchar_t* iconPath);
// Arguments may be null.
HRESULT CreateStartupShortcut(const wchar_t* target, const wchar_t* linkName, const wchar_t* arguments,
                              BOOL allUsers);

// The links of that name in the user's and in the common folder.
BOOL DeleteStartupShortcuts(const wchar_t* linkName);
// 2 when the shell gives no common desktop folder, else the last delete's result.
BOOL DeleteDesktopShortcuts(const wchar_t* linkName);
BOOL DeleteStartMenuShortcuts(const wchar_t* folderName, const wchar_t* linkName);
// Removes the Start-menu sub-folder of the user and of all users (only empty folders go).
BOOL RemoveStartMenuFolders(const wchar_t* folderName);

// <folder>\<name>.LNK (511 characters).
void MakeLinkPath(wchar_t* path, size_t size, const wchar_t* folder, const wchar_t* linkName);
