#include "host/app/HostSystem.h"

#include "foundation/Format.h"
#include "host/app/HostGlobals.h"

#include <tlhelp32.h>

#include <cwchar>
#include <vector>

namespace {

class CServiceHandle {
public:
    explicit CServiceHandle(DWORD access)
    {
        m_manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (m_manager)
            m_service = OpenServiceW(m_manager, kHostClassName, access);
    }
    ~CServiceHandle()
    {
        if (m_service)
            CloseServiceHandle(m_service);
        if (m_manager)
            CloseServiceHandle(m_manager);
    }
    SC_HANDLE get() const { return m_service; }
    SC_HANDLE manager() const { return m_manager; }

private:
    SC_HANDLE m_manager = nullptr;
    SC_HANDLE m_service = nullptr;
};

}  // namespace

int CountProgramProcesses(const wchar_t* programPath)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 1;
    DWORD ownSession = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &ownSession);
    int count = 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        DWORD session = 0;
        if (!ProcessIdToSessionId(entry.th32ProcessID, &session) || session != ownSession)
            continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process)
            continue;
        wchar_t path[1024];
        DWORD size = _countof(path);
        if (QueryFullProcessImageNameW(process, 0, path, &size) && lstrcmpiW(path, programPath) == 0)
            ++count;
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return count;
}

BOOL HostServiceExists()
{
    CServiceHandle service(SERVICE_QUERY_STATUS);
    return service.get() != nullptr;
}

BOOL GetHostServiceImagePath(wchar_t* path, size_t capacity)
{
    path[0] = L'\0';
    CServiceHandle service(SERVICE_QUERY_CONFIG);
    if (!service.get())
        return FALSE;
    DWORD needed = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    if (!needed)
        return FALSE;
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service.get(), config, needed, &needed) || !config->lpBinaryPathName)
        return FALSE;
    const wchar_t* p = config->lpBinaryPathName;
    const wchar_t* end;
    if (*p == L'"') {
        ++p;
        end = wcschr(p, L'"');
    } else {
        end = wcschr(p, L' ');
    }
    CopyTextN(path, capacity, p, end ? static_cast<size_t>(end - p) : wcslen(p));
    return path[0] && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

DWORD GetHostServiceState()
{
    CServiceHandle service(SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    if (!service.get() || !QueryServiceStatus(service.get(), &status))
        return 0;
    return status.dwCurrentState;
}

void StartHostService()
{
    CServiceHandle service(SERVICE_ALL_ACCESS);
    if (service.get())
        StartServiceW(service.get(), 0, nullptr);
}

void InstallHostService(const wchar_t* programPath, const wchar_t* description, const wchar_t* displayName)
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager)
        return;
    // Quoted: a path with blanks must not name another program.
    wchar_t quoted[600];
    FormatW(quoted, _countof(quoted), L"\"%s\"", programPath);
    SC_HANDLE service = CreateServiceW(manager, kHostClassName, displayName, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_AUTO_START,
                                       SERVICE_ERROR_NORMAL, quoted, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service) {
        SERVICE_DESCRIPTIONW text = {const_cast<wchar_t*>(description)};
        ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &text);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

void RemoveHostService()
{
    CServiceHandle service(SERVICE_ALL_ACCESS);
    if (!service.get())
        return;
    SERVICE_STATUS status = {};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        for (int i = 0; i < 100 && QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED; ++i)
            Sleep(100);
    }
    DeleteService(service.get());
}
