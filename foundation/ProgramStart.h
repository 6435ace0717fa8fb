// Starting a program in the interactive user's session from the service, and opening a file
// or link on a worker thread.
#pragma once

#include <windows.h>

// Starts the program folder's file in the console user's session (as that user). Returns 1
// when the process was created.
int StartProgramInUserSession(const wchar_t* file);
// Opens the file or link with the shell on a thread of its own; a failure shows the shell's
// error text. Returns the thread's handle, which belongs to the caller (close it), or null.
HANDLE StartFileOpenThread(const wchar_t* fileOrLink, const wchar_t* parameters, HWND owner);
