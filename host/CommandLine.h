// The host's command line: a switch of a minus sign and a letter, and for -S three fields
// each ended by '#' (Start-menu group, shortcut name, an unused third field).
#pragma once

#include <windows.h>

enum HostSwitch {
    HOST_SWITCH_NONE = 0,      // start the host normally
    HOST_SWITCH_START_SERVICE,  // -D
    HOST_SWITCH_INSTALL,        // -I
    HOST_SWITCH_UNINSTALL,      // -U
    HOST_SWITCH_SHORTCUTS,      // -S, then start normally
};

constexpr size_t kShortcutFieldMax = 254;

struct HostCommandLine {
    HostSwitch action;
    wchar_t group[kShortcutFieldMax + 1];
    wchar_t name[kShortcutFieldMax + 1];
    wchar_t third[kShortcutFieldMax + 1];
};

// Never fails: anything unknown is a normal start. A field longer than 254 characters leaves
// it and the fields after it empty; a text that is exactly "-S" gives three empty fields.
void ParseHostCommandLine(const wchar_t* commandLine, HostCommandLine* result);
