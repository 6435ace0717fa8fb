// The process and service queries of the host's entry, in one place until the shared process
// and service helpers are in the foundation library.
#pragma once

#include <windows.h>

// Processes of this session running the program file of that path (this one counted).
int CountProgramProcesses(const wchar_t* programPath);
BOOL HostServiceExists();
// The service's program file without quotes and arguments; FALSE when the service has none
// or that file does not exist.
BOOL GetHostServiceImagePath(wchar_t* path, size_t capacity);
// The service's current state, 0 when it cannot be queried.
DWORD GetHostServiceState();
void StartHostService();
void InstallHostService(const wchar_t* programPath, const wchar_t* description, const wchar_t* displayName);
// Stops the service (waiting up to 10 s) and deletes it.
void RemoveHostService();
