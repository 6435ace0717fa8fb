// The host program's entry.
#include "host/app/HostGlobals.h"
#include "host/app/HostMain.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    int exitCode = HostMain(instance, commandLine);
    // Kept through the end of the static objects (see HostStatics.cpp).
    g_nHostExitCode = exitCode;
    return exitCode;
}
