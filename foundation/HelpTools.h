// HTML Help: a help topic from a help file beside the program (or the module) or in the
// Windows "HELP" folder, and the registry values that let HTML Help show local content.
#pragma once

#include <windows.h>

#ifndef HH_HELP_CONTEXT
#define HH_HELP_CONTEXT 0x000F
#endif

// HtmlHelpW of hhctrl.ocx, loaded on the first call; null when the control is missing.
HWND WINAPI HtmlHelpOnDemandW(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data);

// The help file's full path: in the folder given when it is there, else in the Windows
// "HELP" folder (512 characters).
void FindHelpFile(wchar_t* path, size_t size, const wchar_t* folder, const wchar_t* fileName);
// Shows the topic of the file in the program folder (else in the Windows "HELP" folder); the
// current directory is left as it was. Returns HtmlHelpW's result.
HWND ShowHelpContext(const wchar_t* fileName, DWORD contextId);
// The same with the given module's folder.
HWND ShowHelpContextOf(const wchar_t* fileName, DWORD contextId, HMODULE module);
// 1 when the file is beside the program or in the Windows "HELP" folder.
int HelpFileExists(const wchar_t* fileName);
// "MaxAllowedZone" = 1 in the HTML Help restriction keys of HKEY_LOCAL_MACHINE.
void AllowLocalHelpContent();
