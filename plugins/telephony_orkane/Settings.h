// The plug-in's settings and settings page as the login and connection code use them: the
// page's device box and its enable state. The settings page itself lives with its dialog.
#pragma once

#include <windows.h>

// The settings page window (0 while not shown) and its "being filled" flag (0 while the
// controls are filled or read, so that their change notifications are not taken as edits).
extern HWND g_hWndPage;
extern int g_bControlsReady;

// Enables the device box only while the plug-in is on and the login thread is not running.
void DoEnableControls();
// Refills the page's device box from the device list and selects the chosen device.
void FillDeviceCombo();
