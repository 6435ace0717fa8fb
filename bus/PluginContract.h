// The exports of a plug-in as the host calls them. All are looked up by their plain names
// (each plug-in's .def file undecorates the stdcall ones); none is required for loading.
#pragma once

#include <windows.h>

// stdcall (Type, message text) → 0 stops delivery to the category's later slots. The text
// belongs to the caller and lives only during the call.
typedef DWORD(WINAPI* PFN_DLL_PluginBusProcess)(DWORD type, wchar_t* text);
typedef DWORD (*PFN_DLL_GetPluginID)();
typedef void (*PFN_DLL_PluginAfterLoad)();
typedef DWORD (*PFN_DLL_IsBetaVersion)();
// Idempotent; called before the plug-in is unloaded, on every path.
typedef void (*PFN_DLL_PluginBeforeClose)();
typedef const wchar_t* (*PFN_DLL_GetPluginName)();
typedef DWORD (*PFN_DLL_GetDisableState)();
typedef DWORD (*PFN_DLL_IsUnicode)();
typedef DWORD (*PFN_DLL_CanDisable)();
typedef void(WINAPI* PFN_DLL_SetDisableState)(DWORD disabled);
typedef HWND(WINAPI* PFN_DLL_ShowConfig)(HWND parent);
