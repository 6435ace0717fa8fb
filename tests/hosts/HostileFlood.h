// A hostile flood as another program can throw it at a running host: bus texts that the host
// keeps for itself (the last error, the program status, a debug level that switches every
// log line on), texts the router hands round (log lines, call events that pump between the
// Search plug-ins, a long unknown type) and posts of the host's own window messages with
// blocks that are no blocks of the host. The texts are sent with posting asked for, so the
// host answers each at once and the queue behind it fills.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// Throws count actions (one in five a text, the rest posts) and checks every 64 that the host
// still answers a sent message. Returns an empty text, or what went wrong.
std::string HostileFlood(HWND host, int count);

}  // namespace testing_support
