// The program's own shortcuts: Startup, desktop and Start menu. A file given without a folder
// is the program folder's file. The caller's thread has COM initialised.
#pragma once

#include <windows.h>

// Replaces the Startup shortcut of that name by an all-users one. Returns the shell's result;
// nothing is made for a missing file or an empty name.
HRESULT CreateStartupLink(const wchar_t* file, const wchar_t* linkName);
HRESULT CreateDesktopLink(const wchar_t* file, const wchar_t* linkName);
// Deletes and re-creates the all-users Start-menu shortcut group\name.
HRESULT CreateStartMenuLink(const wchar_t* group, const wchar_t* linkName, const wchar_t* file);
// Deletes the shortcut and the group folders it leaves empty.
void RemoveStartMenuLink(const wchar_t* group, const wchar_t* linkName);
