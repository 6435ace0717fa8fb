// Installing and removing a TAPI telephony service provider and repairing the provider list.
#pragma once

#include <windows.h>

// 1 (non-zero) when copied beside the system's own files, 0 when the Windows folder cannot be
// read, 2 when it reads as empty.
int CopyProviderFile(const wchar_t* file, const wchar_t* subFolder);
int DeleteProviderFile(const wchar_t* file);
// The permanent provider ID of the listed provider with that file name and extension, or -1.
LONG GetTapiProviderId(const wchar_t* file);
void AddTapiProvider(const wchar_t* file);
LONG UninstallTapiProvider(const wchar_t* file, DWORD accessFlags, HWND owner);
// TRUE when the list was damaged (and, unless checkOnly, rewritten).
BOOL RepairTapiProviderList(BOOL checkOnly);
// The permanent ID that the last AddTapiProvider received.
DWORD GetLastAddedProviderId();
