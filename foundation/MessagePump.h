// Keeping a thread's windows responsive while it waits, synthetic mouse and keyboard input
// for driving other programs' windows, and the installed Office bitness.
#pragma once

#include <windows.h>

// Replaceable pause of the SleepPumping functions (tests count the rounds).
extern void (WINAPI* g_pfnPumpSleep)(DWORD milliseconds);

// Removes and dispatches every waiting message of the calling thread, then returns.
void PumpMessages();
// The same, first WM_COMMAND, then the mouse messages, then the keyboard messages.
void PumpInputMessages();
// milliseconds / 100 rounds of pumping followed by a pause of 100 ms.
void SleepPumping(DWORD milliseconds);
void SleepPumpingInput(DWORD milliseconds);

void NudgeCursor();
// Key up when direction is negative, else key down.
void SendVirtualKey(WORD virtualKey, int direction);
// Types each character as Unicode input (down and up), then pauses.
void TypeText(const wchar_t* text, DWORD pauseMs);
// Screen coordinates; with restore the cursor goes back where it was.
void ClickAt(int x, int y, BOOL restore);
void ClickAtClient(HWND window, int x, int y, BOOL restore);
void DoubleClickAt(int x, int y);
void MiddleClickAt(int x, int y, BOOL restore);
void RightClickAt(int x, int y, BOOL restore);
// Sends the button messages straight to the window under the point; returns it, or null.
HWND PostClickAt(int x, int y);
HWND PostRightClickAt(int x, int y);

// 1 = 32-bit Office, 2 = 64-bit, 0 = none found or unknown.
int GetOfficeBitness();
