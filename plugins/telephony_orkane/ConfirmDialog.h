// The two-factor confirmation dialog: asks the user to confirm the login in the myApps
// client; the PBX, not the dialog, completes the login.
#pragma once

#include <windows.h>

extern HANDLE g_hConfirmThread;
extern volatile DWORD g_dwConfirmThreadId;
// The dialog's window while it is open, else 0.
extern HWND volatile g_hWndConfirm;

DWORD WINAPI ConfirmThread(LPVOID param);
INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Closes the dialog when it is open.
void CloseConfirmDialog();
// Ends the dialog's thread (bounded wait) and releases its handle.
void StopConfirmThread();
