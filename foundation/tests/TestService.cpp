// A minimal own-process service for the service tests: runs until it is told to stop.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;
SERVICE_STATUS g_state = {SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, 0, 0, 0, 0};

void Report(DWORD state)
{
    g_state.dwCurrentState = state;
    g_state.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(g_status, &g_state);
}

DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
        Report(SERVICE_STOP_PENDING);
        SetEvent(g_stop);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        SetServiceStatus(g_status, &g_state);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR* argv)
{
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_status = RegisterServiceCtrlHandlerExW(argv && argv[0] ? argv[0] : L"", Handler, nullptr);
    if (!g_status)
        return;
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_stop, 120000);
    Report(SERVICE_STOPPED);
}

}  // namespace

int main()
{
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(L""), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
