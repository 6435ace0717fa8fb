// Ends the process when destroyed: the host constructs one static instance so that the
// objects constructed before it (checksum table, shared-memory block) and any later at-exit
// work never run at the end.
#pragma once

#include <windows.h>

class CKillProcess {
public:
    CKillProcess() = default;
    virtual ~CKillProcess() { TerminateProcess(GetCurrentProcess(), 0); }
    CKillProcess(const CKillProcess&) = delete;
    CKillProcess& operator=(const CKillProcess&) = delete;
};
