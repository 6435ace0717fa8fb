// The host as a Windows service: the connection to the service control manager and the
// hand-over of its controls to the GUI thread.
#pragma once

#include <windows.h>

// A service state change handed to the GUI thread (1 stop, 4 continue, 7 pause).
void DispatchServiceMessages(WPARAM control);
// Runs the service control dispatcher; the parameter is the address of the variable that
// holds the thread's own handle (owned by its creator, never closed here).
DWORD WINAPI ServiceDispatcherThread(void* param);
// Service control to "CorvallExpress" through the service control manager.
void ControlHostService(DWORD control);
// The service status record: own process, interactive, stopped, accepts stop, pause/continue, shutdown.
// Called once, before the dispatcher thread starts: from then on ServiceMain and the control
// handler own the record.
void PrepareServiceStatus();
// Reports the state to the service control manager (service mode only; tray mode only logs).
void SetStatus(DWORD state);
// Reports a stop with a service-specific error code.
void SetError(DWORD specificError);
// The last word of a host that ends: STOPPED, once the plug-ins are closed (service mode only).
void ReportServiceEnded();
