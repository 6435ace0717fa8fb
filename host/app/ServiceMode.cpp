// The host as a Windows service. The settings and control handler that run the service in
// full come later; what the tray host needs of it is here.
#include "host/app/ServiceMode.h"

#include "bus/LogLine.h"
#include "foundation/ServiceTools.h"
#include "host/app/HostGlobals.h"

namespace {

SERVICE_STATUS g_serviceStatus = {};
SERVICE_STATUS_HANDLE g_serviceStatusHandle = nullptr;

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    // No control handler yet: the service reports that it stopped at once.
    g_serviceStatus.dwCurrentState = SERVICE_STOPPED;
}

}  // namespace

void PrepareServiceStatus()
{
    g_serviceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
    g_serviceStatus.dwCurrentState = SERVICE_STOPPED;
    g_serviceStatus.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;
    g_serviceStatus.dwWin32ExitCode = 0;
    g_serviceStatus.dwServiceSpecificExitCode = 0;
    g_serviceStatus.dwCheckPoint = 0;
    g_serviceStatus.dwWaitHint = 0;
    g_serviceStatusHandle = nullptr;
}

void DispatchServiceMessages(WPARAM control)
{
    LogLine(3, L"Func.DispatchServiceMessages.Param._wParam %d", static_cast<int>(control));
}

DWORD WINAPI ServiceDispatcherThread(void* param)
{
    // The handle variable is filled by the creator after CreateThread returns: it is read only
    // by the creator, never here.
    (void)param;
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kHostClassName), ServiceMain}, {nullptr, nullptr}};
    StartServiceCtrlDispatcherW(table);
    return 0;
}

void ControlHostService(DWORD control)
{
    ControlServiceByName(control, kHostClassName, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
}
