// The settings page (dialog 101) with the PBX address, user, password and device, and the
// device entries of the tray menu.
#pragma once

#include <windows.h>

// The page window (0 when not shown); 0 while the page is being filled or read; the URL,
// user or password was edited since the last apply.
extern HWND volatile g_hWndPage;
extern volatile BOOL g_bControlsReady;
extern volatile BOOL g_bSettingsChanged;

// Tray-menu ids of the devices: 12000 + index; the menu holds at most ten.
constexpr int kDeviceMenuFirst = 12000;
constexpr int kDeviceMenuEnd = 12010;

// Creates the page as a modeless dialog and shows it.
HWND ShowConfigPage(HINSTANCE instance, HWND parent);
INT_PTR CALLBACK ConfigDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR HandlePageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

void DoAdjustControls();
// The device box is enabled only while the plug-in is on and the login thread is not running.
// Called from any thread: other threads leave the work to the page's own thread.
void DoEnableControls();
void FillDeviceCombo();
int GetSelectedDeviceIndex();
void CheckDeviceMenuItems();
void BuildDeviceMenu();
// The device box refilled (with g_bControlsReady 0 round it), from any thread.
void RefreshDevicesOnPage();
// After a new device list: the box and the tray menu.
void OnDeviceListChanged();
