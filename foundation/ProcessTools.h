// Finding, counting, starting and ending processes; processor load; opening control panel
// applets and log files.
#pragma once

#include <windows.h>

constexpr size_t kProcessPathChars = 511;

// 1 with the path of the process's first module in `path` (kProcessPathChars + 1 characters);
// 0 with an empty path when the process or its modules cannot be read, and 0 after a
// message when the process-status library is missing.
int GetProcessImagePath(DWORD processId, wchar_t* path);
// The process of the first visible top-level window whose program is CMD.EXE; 0 when none.
DWORD FindCommandPromptProcess();
// The first visible top-level window whose text begins with the prefix (ignoring case), whose
// program path can be read and, when userData is not 0, whose GWL_USERDATA equals it.
HWND FindWindowByTitlePrefix(const wchar_t* titlePrefix, DWORD userData);
// The first process whose program path contains the text, ignoring case; 0 when none.
DWORD FindProcessByPath(const wchar_t* text);
// The same among the processes of the caller's terminal-services session.
DWORD FindProcessByPathInSession(const wchar_t* text);
int CountProcessesByPath(const wchar_t* text);
// Those of them that run under the current user's account.
int CountUserProcesses(const wchar_t* text);
int IsOwnProcessWindow(HWND window);
// The new process's ID, or 0 with CreateProcessW's error left in GetLastError().
DWORD StartProcess(const wchar_t* commandLine, int hidden);
// Calls DLL_Spawnel_StartProcess of "SPAWNEL.DLL" when present; 0 without it.
DWORD StartProcessViaHelper(DWORD a, DWORD b, DWORD c);

// The record a ShellExecuteThreadProc thread gets: its own handle, a value, the path.
struct ShellExecuteRecord {
    HANDLE thread;
    DWORD value;
    wchar_t path[512];
};
DWORD WINAPI ShellExecuteThreadProc(LPVOID record);
// Takes the handle and clears the variable; when it was set, closes it and ends the calling
// thread. Returns only when the variable held no handle.
void CloseHandleAndExitThread(HANDLE* threadHandle);

void SetProcessPriority(DWORD priorityClass);
void DisableWow64FsRedirection();
// The total processor load in whole percent (0 to 100); -1 when it cannot be measured.
int GetProcessorLoad();
void OpenControlPanelApplet(HWND owner, DWORD userData, const wchar_t* applet);
// The "<name>*.LOG" file beside `path` (same folder, names beginning with its name) that was
// accessed last, into `found`; 0 when none.
int FindNewestLogFile(const wchar_t* path, wchar_t* found, size_t capacity);
// Opens that file in Notepad.
void OpenNewestLogFile(HWND owner, const wchar_t* path);
