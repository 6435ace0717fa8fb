// Replaceable entry for the platform call of the desk-phone code that a test cannot rely on:
// the system's ARP command (Wine's prints nothing). Defaults to the real runner.
#pragma once

#include <windows.h>

#include <cstddef>

// Runs "arp -a <ip>" and stores what it printed, decoded, in output (capacity in characters,
// terminator included). FALSE when the command could not be started.
extern BOOL (*g_pfnRunArpCommand)(const wchar_t* ipAddress, wchar_t* output, size_t capacity);
