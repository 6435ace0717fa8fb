// The settings dialog as the rest of the host reaches it.
#pragma once

#include <windows.h>

void ShowConfig(DWORD pluginId);
void CloseConfig();
BOOL IsConfigOpen();
// Selects the page under the top-level item containing topText whose text contains pageText.
void SelectConfigPage(const wchar_t* topText, const wchar_t* pageText);
void MarkConfigChanged();
void UpdateConfigButtons();
void FillModuleList();
void ApplyDisableStates();
// A key released anywhere on the GUI thread (the dialog's keyboard handling).
void ConfigKeyUp(HWND window, WPARAM key);
// Opens help topic topic; pageFlag set opens it as a page.
void ShowHelp(DWORD topic, DWORD pageFlag);
