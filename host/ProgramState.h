// The program states of QOR_BUSMSG_STATE: the status report text and the tray image.
#pragma once

struct ProgramStateInfo {
    const wchar_t* text;
    int trayImage;
};

// 0 STOPPED, 1 STARTING, 2 OK, 3 ERROR, 4 PAUSED; any other value (also negative) UNKNOWN.
ProgramStateInfo GetProgramStateInfo(long state);
