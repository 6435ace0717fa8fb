// The RCC requests on the application connection: the device list, monitoring of every
// device, and the call commands of the bus (place, answer, clear).
#pragma once

#include <windows.h>

void DoGetDevices();
// UserInitialize for every device of the list.
void MonitorStart();
// UserEnd for every device of the list.
void MonitorStop();
// UserCall from the selected device to the canonical destination.
void DoMakeCall(const wchar_t* destination);
// UserConnect / UserClear for the newest call.
void DoAnswer();
void DoClearConnection();
// A QOR_BUSMSG_CALLACTION message: its Command and Partner.
void HandleCallAction(const wchar_t* text);

// The number of devices in the list, and whether its first device has an RCC user handle.
DWORD DeviceListSize();
BOOL FirstDeviceMonitored();
