// Installing, controlling, querying and removing services of the local service manager.
// Every handle is closed before a function returns.
#pragma once

#include <windows.h>

// Control 0 starts the service; any other code goes to ControlService. The call's result
// (0 when the manager or the service does not open).
int ControlServiceByName(DWORD control, const wchar_t* name, DWORD managerAccess, DWORD serviceAccess);
// Creates an own-process LocalSystem service (plus the extra type bits) for the program,
// stored as a quoted path; a path without folder is taken from the system folder. Sets the
// description (when given) and a restart after 60 s on failure. 1 when created.
int InstallService(DWORD extraTypeBits, const wchar_t* name, const wchar_t* programPath, DWORD startType,
                   const wchar_t* dependencies, const wchar_t* description, const wchar_t* displayName);
int DeleteServiceByName(const wchar_t* name);
int ServiceExists(const wchar_t* name);
// SERVICE_STOPPED (1) to SERVICE_PAUSED (7); 0 when it cannot be read. Leaves the last error 0.
DWORD GetServiceState(const wchar_t* name);
DWORD GetServiceProcessId(const wchar_t* name);
DWORD GetServiceStartType(const wchar_t* name);
int ConfigureTapiService(int localSystem);
int ChangeServiceTypeAndDependencies(DWORD serviceType, const wchar_t* name, const wchar_t* dependencies);
// The program path of the service as stored in its ImagePath (the quoted part, or the whole
// value without quotes), in a static buffer; empty when the service or the value is missing.
const wchar_t* GetServiceImagePath(const wchar_t* name);
const wchar_t* GetServiceStateName(DWORD state);
// Stops the service when it runs (waiting up to 10 s for it) and deletes it once stopped.
void RemoveService(const wchar_t* name);
