// The host as a Windows service.
#pragma once

#include <windows.h>

// A service state change handed to the GUI thread (1 stop, 4 continue, 7 pause).
void DispatchServiceMessages(WPARAM control);
// Runs the service control dispatcher; the parameter is the address of the variable that
// holds the thread's own handle.
DWORD WINAPI ServiceDispatcherThread(void* param);
// Service control to "CorvallExpress" through the service control manager.
void ControlHostService(DWORD control);
// The service status record: own process, interactive, stopped, accepts stop, pause/continue, shutdown.
void PrepareServiceStatus();
