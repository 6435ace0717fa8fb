// The plug-in's settings (settings store and Credential Manager), the bus types every module
// handles, and the apply of the settings page.
#pragma once

#include <windows.h>

constexpr DWORD kTelephonyPluginId = 222;
// The module identifier of log lines, the bus Sender and the credential targets.
extern const wchar_t kTelephonyModuleId[];

void DoReadSettings();
void DoSaveSettings();
// Types 26, 34 and 76, whatever the plug-in's state.
void HandleCommonBusMessage(UINT type, const wchar_t* text);
// The same, and also types 51 and 53.
void HandleCommonBusMessageFull(UINT type, const wchar_t* text);
// Types 5 and 34: takes the page's values, saves them; a changed login restarts (type 5).
void DoApplySettings(UINT type);
