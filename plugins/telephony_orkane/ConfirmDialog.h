// The two-factor confirmation: when the PBX answers a user login with "Authorize", a small
// topmost dialog on a thread of its own asks the user to confirm the login in the myApps
// client. Nothing goes to the PBX from it; the PBX completes (or refuses) the login itself.
#pragma once

#include <windows.h>

extern HANDLE volatile g_hConfirmThread;
extern volatile DWORD g_dwConfirmThreadId;
extern HWND volatile g_hWndConfirm;
// "Authorize" arrived since the login thread last cleared it.
extern volatile LONG g_bConfirmRequested;

// What the dispatcher does on "Authorize": starts the dialog thread unless one runs.
void OnAuthorize();
DWORD WINAPI ConfirmThread(LPVOID param);
INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Ends the dialog when it is open, then pauses a second (less when the plug-in stops).
void CloseConfirmDialog();
// Ends the dialog and waits a bounded time for its thread.
void StopConfirmThread(DWORD wait);

// Waits a bounded time for a thread to end while handling messages sent to this thread.
bool WaitForThreadEnd(HANDLE thread, DWORD milliseconds);
// The module that holds this code (the plug-in library), with a reference of its own, so that
// the library stays loaded until the thread that took it has returned (FreeLibraryAndExitThread).
HMODULE PinOwnModule();

// A language string by id into buf, or the default when the library lacks it (returns FALSE
// then). Safe on any thread: it uses no shared buffer and reads the language library that is
// in use now (a language switch of the host may have replaced it).
BOOL LoadLanguageText(UINT id, const wchar_t* defaultText, wchar_t* buf, size_t capacity);
