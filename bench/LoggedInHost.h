// The real host with both real plug-ins and a recording probe in the Info folder, its
// telephony plug-in pointed at the fake PBX (scripts/with-fake-pbx) and logged in to it.
#pragma once

#include <windows.h>

#include "bench/HostRun.h"
#include "bench/ProbeLog.h"

namespace bench {

// The fake PBX's port (FAKE_PBX_PORT), 0 when the program was not started through
// scripts/with-fake-pbx.
int FakePbxPort();

class LoggedInHost {
public:
    // Without the business card when noCard is set (its share of a figure); program names the
    // caller in failure lines.
    explicit LoggedInHost(const char* program, bool noCard = false);
    ~LoggedInHost();
    LoggedInHost(const LoggedInHost&) = delete;
    LoggedInHost& operator=(const LoggedInHost&) = delete;

    bool noCard() const { return m_noCard; }
    // The business card's display time in seconds (its setting "Duration"), written before
    // the host starts; 0 leaves the card's default.
    void SetCardSeconds(DWORD seconds) { m_cardSeconds = seconds; }
    HWND window() const { return m_window; }
    // Starts the host and waits until the telephony plug-in is logged in (State 2 on the bus).
    bool Start(DWORD loginMilliseconds = 60000);
    // Only starts the host and waits for its window.
    bool Launch();
    ProbeLog& probe() { return m_probe; }
    const Program& program() const { return m_host; }
    const HostFolder& folder() const { return m_folder; }
    // Prints why, with the program's name; false.
    bool Fail(const char* why);

private:
    const char* m_program;
    ProbeLog m_probe;  // before the host starts: it finds the block through the environment
    HostFolder m_folder;
    Program m_host;
    HWND m_window = nullptr;
    bool m_noCard = false;
    DWORD m_cardSeconds = 0;
};

}  // namespace bench
