// The plug-in's life cycle behind its exports: start, stop, restart and the bus dispatch by
// Type.
#pragma once

#include <windows.h>

extern HINSTANCE g_hInstance;

// The library's attach: module handle and names only (it runs under the loader lock).
void InitPluginModule(HINSTANCE instance);
// The rest of the set-up, once, on the first export that needs it: settings store, language
// texts, host window, settings and the Credential Manager's secrets.
void EnsureModuleInit();
// Starts the login thread when user, password and URL are set and the plug-in is on.
void PluginAfterLoad();
// Stops threads and connections and saves the settings; idempotent.
void PluginBeforeClose();
void RestartPlugin();
DWORD PluginBusProcess(UINT type, const wchar_t* text);
// The display name: "Innovaphone", " #<n>" for a numbered copy of the library.
const wchar_t* PluginDisplayName();
