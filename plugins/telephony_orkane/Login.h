// The login thread: connects both websockets, logs in on the user connection, logs the
// application connection in, then asks for the devices and starts monitoring them.
#pragma once

#include <windows.h>

// The login thread; g_dwInitThreadId is nonzero while it runs (the device choice is then
// disabled). The handle belongs to the GUI thread (StartInitThread / StopInitThread).
extern HANDLE g_hInitThread;
extern volatile DWORD g_dwInitThreadId;
// The counter of failed login steps; the thread stops trying when it reaches 99,999.
extern volatile DWORD g_dwLoginLoopCount;

DWORD WINAPI InitThread(LPVOID param);
// 0 logged in, 1 not possible or not answered, 2 refused.
int SessionLogin();
int UserLogin();
int AppLogin();
void UserLogout();
void DisconnectAll();
// The enciphered hex text deciphered with the key formatted from the pattern and the two
// values; a static buffer of 256 characters.
const wchar_t* DecodeStoredCredential(const wchar_t* hex, const wchar_t* pattern, const wchar_t* value1,
                                      const wchar_t* value2);

// Starts the login thread (stack 2,048 bytes) unless one runs.
void StartInitThread();
// Asks the login thread to stop, waits a bounded time for it and releases its handle.
void StopInitThread();
// Waits up to the given time, ending early with TRUE when the login thread is asked to stop.
BOOL LoginStopRequested(DWORD milliseconds);
