// The host's tray icon, tray menu, about box and monitor thread as the window procedure and
// the start-up use them.
#pragma once

#include <windows.h>

// Posted by the monitor thread: the GUI thread checks and re-adds a lost tray icon, so the
// check never races the GUI thread switching the icon off.
constexpr UINT WM_HOST_TRAYCHECK = WM_APP + 1;

void BuildTrayMenu();
void ShowAbout();
void CloseAbout();
// The end of the program once decided: settings and about box closed, tray icon off, then the
// service stopped or the host window destroyed.
void RequestProgramEnd(BOOL switchIconOff);
void CheckTrayIcon();

void CreateSharedMemory();
void PublishMainWindow();
void StartMonitorThread();
// Signals the thread, waits for it (bounded) and closes its handle once.
void StopMonitorThread();
DWORD WINAPI MonitorThread(void* param);
