// The business-card plug-in's page in the host's settings dialog (dialog resource 101).
#pragma once

#include <windows.h>

// Creates the page as a modeless child of parent and shows it; null when it cannot.
HWND ShowSettingsPage(HWND parent);
// Bus Types 5 and 34: takes the page's values into the settings and saves them. FALSE (and
// nothing done) when no page is open.
BOOL ApplySettingsPage();
