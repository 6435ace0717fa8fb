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
// The end of the program once decided, from whatever state the host is in: settings and
// about box closed without a question, then the service stopped (tray icon removed) or the
// host ended at once (EndHostProcess).
void RequestProgramEnd(BOOL switchIconOff);
// Removes the tray icon on a thread of its own, so that a shell that takes its time over it
// (or hangs) cannot hold the end; null when there is no icon to remove.
HANDLE StartTrayIconRemoval();
// Waits for that removal at most so long, then lets the thread be.
void FinishTrayIconRemoval(HANDLE thread, DWORD milliseconds);
void CheckTrayIcon();

void CreateSharedMemory();
void PublishMainWindow();
void StartMonitorThread();
// Signals the thread, waits for it (bounded) and closes its handle once.
void StopMonitorThread();
DWORD WINAPI MonitorThread(void* param);
