// The settings dialog as the rest of the host reaches it: the dialog itself is
// host/QorConfig.h; these are the host's own entry points on top of it.
#pragma once

#include "host/QorConfig.h"

#include <windows.h>

BOOL IsConfigOpen();
// Selects the page under the top-level item containing topText whose text contains pageText.
void SelectConfigPage(const wchar_t* topText, const wchar_t* pageText);
// WM_QOR_CONFIGCHANGED reached the host window.
void MarkConfigChanged();
// A key released anywhere on the GUI thread (the dialog's keyboard handling).
void ConfigKeyUp(HWND window, WPARAM key);
