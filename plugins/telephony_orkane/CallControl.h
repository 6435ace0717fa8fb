// The RCC requests on the application connection: the device list, the start and end of
// monitoring for each device, and the call commands of the bus.
#pragma once

// Asks the PBX for the user's devices ("DevicesResult" fills the list).
void DoGetDevices();
// One UserInitialize per device of the list.
void MonitorStart();
// One UserEnd per device of the list.
void MonitorStop();
