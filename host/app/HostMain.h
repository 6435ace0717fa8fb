// The host program's entry as a function: wWinMain (and any program that embeds the host)
// hands it the instance and the command line; it returns the exit code.
#pragma once

#include <windows.h>

int HostMain(HINSTANCE instance, const wchar_t* commandLine);
