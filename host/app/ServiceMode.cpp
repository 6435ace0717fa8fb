// The host as a Windows service. Three threads take part: the dispatcher thread (runs the
// control handler), the thread the service control manager starts for ServiceMain, and the
// GUI thread, which does every piece of work that touches windows, menus or plug-ins.
#include "host/app/ServiceMode.h"

#include "bus/BusBuilders.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/DebugOutput.h"
#include "foundation/ServiceTools.h"
#include "host/InfoIcon.h"
#include "host/app/HostGlobals.h"

namespace {

SERVICE_STATUS g_ServiceStatus = {};
SERVICE_STATUS_HANDLE volatile g_hServiceStatus = nullptr;
// Signalled by a stop or shutdown control: ServiceMain waits on it instead of polling.
HANDLE g_hServiceStopEvent = nullptr;

// How long the service control manager is told to wait for the next report while the host
// closes its plug-ins.
constexpr DWORD kStopWaitHint = 10000;
// A stop control waits this long for the GUI thread to take the stop (it answers as soon as
// its end begins); past it the stop is posted instead.
constexpr UINT kStopHandOverWait = 5000;
// A shutdown control waits this long for the GUI thread to end the host.
constexpr UINT kShutdownWait = 15000;
// Service-specific exit code when the control handler cannot be registered.
constexpr DWORD kErrorNoHandler = 4;

const wchar_t* StatusResult(BOOL ok)
{
    return ok ? L"OK" : GetErrorText(GetLastError());
}

// Ends a host that has no connection to the service control manager: as the SYSTEM account
// nobody could stop it otherwise.
void EndUnconnectedHost(int exitCode)
{
    g_bServiceRunning = 0;
    g_nHostExitCode = exitCode;
    PostMessageW(g_hWndParent, WM_QOR_SERVICECONTROL, SERVICE_STOPPED, 0);
}

void OnStop()
{
    LogLine(3, L"Func.OnStop.Begin");
    g_bServiceRunning = 0;
    // Reported by the handler at once, so the manager sees the stop has begun.
    g_ServiceStatus.dwCurrentState = SERVICE_STOP_PENDING;
    g_ServiceStatus.dwWaitHint = kStopWaitHint;
    ++g_ServiceStatus.dwCheckPoint;
    SetEvent(g_hServiceStopEvent);
    // Sent, not posted: a post would wait behind everything other programs have queued on the
    // host before it (a flood of them takes as long as it takes). The GUI thread answers as
    // soon as its end has begun, so the handler reports the pending stop right after.
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(g_hWndParent, WM_QOR_SERVICECONTROL, SERVICE_STOPPED, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                             kStopHandOverWait, &ignored))
        PostMessageW(g_hWndParent, WM_QOR_SERVICECONTROL, SERVICE_STOPPED, 0);
    LogLine(3, L"Func.OnStop.End");
}

void OnPause()
{
    LogLine(3, L"Func.OnPause.Begin");
    ++g_ServiceStatus.dwCheckPoint;
    PostMessageW(g_hWndParent, WM_QOR_SERVICECONTROL, SERVICE_PAUSED, 0);
    LogLine(3, L"Func.OnPause.End");
}

void OnContinue()
{
    LogLine(3, L"Func.OnContinue.Begin");
    ++g_ServiceStatus.dwCheckPoint;
    PostMessageW(g_hWndParent, WM_QOR_SERVICECONTROL, SERVICE_RUNNING, 0);
    LogLine(3, L"Func.OnContinue.End");
}

// Windows ends: the host ends from here, synchronously but bounded. STOPPED goes out from
// the GUI thread once the plug-ins are closed; only a GUI thread that does not answer in
// time leaves it to this thread.
void OnShutdown()
{
    LogLine(3, L"Func.OnShutdown.Begin");
    g_bServiceRunning = 0;
    SetEvent(g_hServiceStopEvent);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(g_hWndParent, WM_QOR_SERVICECONTROL, SERVICE_STOPPED, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                        kShutdownWait, &ignored);
    SetStatus(SERVICE_STOPPED);
    LogLine(3, L"Func.OnShutdown.End");
}

void OnInterrogate()
{
    LogLine(3, L"Func.OnInterrogate.Begin");
    LogLine(3, L"Func.OnInterrogate.End");
}

void WINAPI Handler(DWORD control)
{
    LogLine(2, L"Func.Handler.Begin");
    LogLine(2, L"Func.Handler.Param._dwOpcode %d", static_cast<int>(control));
    switch (control) {
    case SERVICE_CONTROL_STOP:
        LogLine(3, L"Func.Handler.Event.SERVICE_CONTROL_STOP");
        OnStop();
        break;
    case SERVICE_CONTROL_PAUSE:
        LogLine(3, L"Func.Handler.Event.SERVICE_CONTROL_PAUSE");
        OnPause();
        break;
    case SERVICE_CONTROL_CONTINUE:
        LogLine(3, L"Func.Handler.Event.SERVICE_CONTROL_CONTINUE");
        OnContinue();
        break;
    case SERVICE_CONTROL_INTERROGATE:
        LogLine(3, L"Func.Handler.Event.SERVICE_CONTROL_INTERROGATE");
        OnInterrogate();
        break;
    case SERVICE_CONTROL_SHUTDOWN:
        LogLine(3, L"Func.Handler.Event.SERVICE_CONTROL_SHUTDOWN");
        OnShutdown();
        break;
    default:
        break;
    }
    SERVICE_STATUS_HANDLE handle = g_hServiceStatus;
    if (handle) {
        SetLastError(0);
        SERVICE_STATUS status = g_ServiceStatus;
        BOOL ok = SetServiceStatus(handle, &status);
        LogLine(2, L"Func.Handler.Info.SetServiceStatus %s", StatusResult(ok));
    }
    LogLine(2, L"Func.Handler.End");
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    SetLastError(0);
    g_hServiceStatus = RegisterServiceCtrlHandlerW(kHostClassName, Handler);
    if (!g_hServiceStatus) {
        LogLine(0, L"Func.ServiceMain.Error.RegisterServiceCtrlHandlerW %s", GetErrorText(GetLastError()));
        SetError(kErrorNoHandler);
        EndUnconnectedHost(-1);
        return;
    }
    g_ServiceStatus.dwWin32ExitCode = 0;
    g_ServiceStatus.dwCheckPoint = 0;
    g_ServiceStatus.dwWaitHint = 0;
    g_bServiceRunning = 1;
    SetStatus(SERVICE_START_PENDING);
    SetStatus(SERVICE_RUNNING);
    // The host runs on the GUI thread; this thread only has to stay until a stop arrives
    // (the dispatcher returns once STOPPED is reported, whichever thread reports it).
    if (g_hServiceStopEvent)
        WaitForSingleObject(g_hServiceStopEvent, INFINITE);
}

}  // namespace

void PrepareServiceStatus()
{
    g_ServiceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
    g_ServiceStatus.dwCurrentState = SERVICE_STOPPED;
    g_ServiceStatus.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;
    g_ServiceStatus.dwWin32ExitCode = 0;
    g_ServiceStatus.dwServiceSpecificExitCode = 0;
    g_ServiceStatus.dwCheckPoint = 0;
    g_ServiceStatus.dwWaitHint = 0;
}

void SetStatus(DWORD state)
{
    LogLine(2, L"Func.SetStatus.Begin");
    LogLine(2, L"Func.SetStatus.Param._dwState %d", static_cast<int>(state));
    LogLine(2, L"Func.SetStatus.Info.Statustext %s", GetServiceStateName(state));
    if (g_bServiceMode) {
        g_ServiceStatus.dwCurrentState = state;
        g_ServiceStatus.dwWaitHint = state == SERVICE_STOP_PENDING ? kStopWaitHint : 0;
        if (state == SERVICE_STOP_PENDING)
            ++g_ServiceStatus.dwCheckPoint;
        else
            g_ServiceStatus.dwCheckPoint = 0;
        // After STOPPED the manager may end the process at any moment: the handle is taken
        // away first so no other thread reports after it.
        SERVICE_STATUS_HANDLE handle =
            state == SERVICE_STOPPED ? static_cast<SERVICE_STATUS_HANDLE>(InterlockedExchangePointer(
                                           reinterpret_cast<void* volatile*>(&g_hServiceStatus), nullptr))
                                     : g_hServiceStatus;
        if (handle) {
            SetLastError(0);
            SERVICE_STATUS status = g_ServiceStatus;
            BOOL ok = SetServiceStatus(handle, &status);
            LogLine(2, L"Func.SetStatus.Info.SetServiceStatus %s", StatusResult(ok));
        }
    }
    LogLine(2, L"Func.SetStatus.End");
}

void SetError(DWORD specificError)
{
    LogLine(2, L"Func.SetError.Begin");
    LogLine(2, L"Func.SetError.Param._dwSpecificError %d", static_cast<int>(specificError));
    SERVICE_STATUS_HANDLE handle = static_cast<SERVICE_STATUS_HANDLE>(
        InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&g_hServiceStatus), nullptr));
    if (!handle) {
        LogLine(2, L"Func.SetError.Abort");
        return;
    }
    g_ServiceStatus.dwCurrentState = SERVICE_STOPPED;
    g_ServiceStatus.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    g_ServiceStatus.dwServiceSpecificExitCode = specificError;
    SetLastError(0);
    SERVICE_STATUS status = g_ServiceStatus;
    BOOL ok = SetServiceStatus(handle, &status);
    LogLine(2, L"Func.SetError.Info.SetServiceStatus %s", StatusResult(ok));
    LogLine(2, L"Func.SetError.End");
}

void ReportServiceEnded()
{
    if (!g_bServiceMode)
        return;
    g_bServiceRunning = 0;
    if (g_hServiceStopEvent)
        SetEvent(g_hServiceStopEvent);
    SetStatus(SERVICE_STOPPED);
}

void DispatchServiceMessages(WPARAM code)
{
    LogLine(2, L"Func.DispatchServiceMessages.Begin");
    LogLine(2, L"Func.DispatchServiceMessages.Param._wParam 0x%08X", static_cast<unsigned>(code));
    switch (code) {
    case SERVICE_STOPPED:
        LogLine(2, L"Func.DispatchServiceMessages.Info.SERVICE_STOPPED");
        // Only a service ends here; STOPPED is reported by the end of the host (WM_DESTROY),
        // after the plug-ins are closed.
        if (g_bServiceMode) {
            SetStatus(SERVICE_STOP_PENDING);
            if (g_hWndParent)
                DestroyWindow(g_hWndParent);
        }
        break;
    case SERVICE_RUNNING:
        LogLine(2, L"Func.DispatchServiceMessages.Info.SERVICE_RUNNING");
        SetStatus(SERVICE_CONTINUE_PENDING);
        if (!g_bServiceMode) {
            g_InfoIcon.EnableMenuItem(IDM_TRAY_CONTINUE, FALSE);
            g_InfoIcon.EnableMenuItem(IDM_TRAY_PAUSE, TRUE);
            SendBusType(g_hWndParent, FALSE, QOR_BUSMSG_CONTINUED);
        }
        SetStatus(SERVICE_RUNNING);
        break;
    case SERVICE_PAUSED:
        LogLine(2, L"Func.DispatchServiceMessages.Info.SERVICE_PAUSED");
        SetStatus(SERVICE_PAUSE_PENDING);
        if (!g_bServiceMode) {
            g_InfoIcon.EnableMenuItem(IDM_TRAY_CONTINUE, TRUE);
            g_InfoIcon.EnableMenuItem(IDM_TRAY_PAUSE, FALSE);
            SendBusType(g_hWndParent, FALSE, QOR_BUSMSG_PAUSED);
        }
        SetStatus(SERVICE_PAUSED);
        break;
    default:
        break;
    }
    LogLine(2, L"Func.DispatchServiceMessages.End");
}

DWORD WINAPI ServiceDispatcherThread(void* param)
{
    // The handle variable belongs to the creator, who closes it.
    (void)param;
    if (!g_hServiceStopEvent)
        g_hServiceStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kHostClassName), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        DWORD error = GetLastError();
        LogLine(0, L"Func.ServiceDispatcherThread.Error.StartServiceCtrlDispatcherW %s", GetErrorText(error));
        EndUnconnectedHost(-1);
        return error;
    }
    return 0;
}

void ControlHostService(DWORD control)
{
    ControlServiceByName(control, kHostClassName, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
}
