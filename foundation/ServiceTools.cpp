#include "foundation/ServiceTools.h"

#include "foundation/Format.h"
#include "foundation/RegTool.h"
#include "foundation/TextUtils.h"

#include <cwchar>
#include <vector>

namespace {

constexpr size_t kPathChars = 511;
// Where the service manager keeps each service it knows, under a key of the service's name.
const wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";

// Both handles of one opened service, closed together.
class OpenedService {
public:
    OpenedService(const wchar_t* name, DWORD managerAccess, DWORD serviceAccess)
    {
        if (!name)
            return;
        m_manager = OpenSCManagerW(nullptr, nullptr, managerAccess);
        if (m_manager)
            m_service = OpenServiceW(m_manager, name, serviceAccess);
    }
    ~OpenedService()
    {
        if (m_service)
            CloseServiceHandle(m_service);
        if (m_manager)
            CloseServiceHandle(m_manager);
    }
    OpenedService(const OpenedService&) = delete;
    OpenedService& operator=(const OpenedService&) = delete;
    SC_HANDLE get() const { return m_service; }

private:
    SC_HANDLE m_manager = nullptr;
    SC_HANDLE m_service = nullptr;
};

thread_local wchar_t t_imagePath[kPathChars + 1];
thread_local wchar_t t_stateName[32];

}  // namespace

int ControlServiceByName(DWORD control, const wchar_t* name, DWORD managerAccess, DWORD serviceAccess)
{
    OpenedService service(name, managerAccess, serviceAccess);
    if (!service.get())
        return 0;
    if (control == 0)
        return StartServiceW(service.get(), 0, nullptr) ? 1 : 0;
    SERVICE_STATUS status = {};
    return ControlService(service.get(), control, &status) ? 1 : 0;
}

int InstallService(DWORD extraTypeBits, const wchar_t* name, const wchar_t* programPath, DWORD startType,
                   const wchar_t* dependencies, const wchar_t* description, const wchar_t* displayName)
{
    if (!name || !programPath || !*programPath)
        return 0;
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (!manager)
        return 0;
    wchar_t path[kPathChars + 1] = L"";
    wchar_t drive[_MAX_DRIVE] = L"", dir[_MAX_DIR] = L"";
    _wsplitpath_s(programPath, drive, _countof(drive), dir, _countof(dir), nullptr, 0, nullptr, 0);
    if (drive[0] == L'\0' && dir[0] == L'\0') {
        GetSystemDirectoryW(path, _countof(path));
        AppendText(path, _countof(path), L"\\");
    }
    AppendText(path, _countof(path), programPath);
    RemoveQuotes(path);
    // Quoted: the service manager would otherwise try "C:\Program.exe" and so on for a path
    // with blanks, and run whatever sits there as LocalSystem.
    wchar_t quoted[kPathChars + 3];
    FormatW(quoted, _countof(quoted), L"\"%s\"", path);
    SC_HANDLE service = CreateServiceW(manager, name, displayName ? displayName : name, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS | extraTypeBits, startType, SERVICE_ERROR_NORMAL,
                                       quoted, nullptr, nullptr, dependencies, nullptr, nullptr);
    int result = 0;
    if (service) {
        if (description) {
            SERVICE_DESCRIPTIONW text = {const_cast<wchar_t*>(description)};
            ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &text);
        }
        SC_ACTION restart = {SC_ACTION_RESTART, 60000};
        SERVICE_FAILURE_ACTIONSW actions = {};
        actions.dwResetPeriod = INFINITE;
        actions.cActions = 1;
        actions.lpsaActions = &restart;
        ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &actions);
        CloseServiceHandle(service);
        result = 1;
    }
    CloseServiceHandle(manager);
    return result;
}

int DeleteServiceByName(const wchar_t* name)
{
    OpenedService service(name, SC_MANAGER_ALL_ACCESS, DELETE);
    return service.get() && DeleteService(service.get()) ? 1 : 0;
}

int ServiceExists(const wchar_t* name)
{
    // Every tray start asks this, and the answer is nearly always no: a name without a key is
    // answered here, without the round trip to the service manager. A key alone does not
    // make a service (one written by hand is unknown until the manager reads it): the manager
    // decides then, and whenever the key cannot be told missing. Read access only, so that a
    // standard user's start is answered here too.
    if (name && *name && !wcschr(name, L'\\') && !wcschr(name, L'/')) {
        wchar_t path[512];
        FormatW(path, _countof(path), L"%s%s", kServicesKey, name);
        HKEY key = nullptr;
        LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key);
        if (opened == ERROR_SUCCESS)
            RegCloseKey(key);
        else if (opened == ERROR_FILE_NOT_FOUND && wcslen(path) < _countof(path) - 1)
            return 0;
    }
    OpenedService service(name, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG);
    return service.get() ? 1 : 0;
}

DWORD GetServiceState(const wchar_t* name)
{
    DWORD state = 0;
    {
        OpenedService service(name, SC_MANAGER_CONNECT, SERVICE_QUERY_STATUS | SERVICE_INTERROGATE);
        SERVICE_STATUS status = {};
        if (service.get() && QueryServiceStatus(service.get(), &status)) {
            // A stopped service does not answer the interrogation; its queried state stands.
            SERVICE_STATUS asked = {};
            if (ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, &asked))
                status = asked;
            state = status.dwCurrentState;
        }
    }
    SetLastError(0);
    return state;
}

DWORD GetServiceProcessId(const wchar_t* name)
{
    OpenedService service(name, SC_MANAGER_CONNECT, SERVICE_QUERY_STATUS);
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!service.get() || !QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                                sizeof(status), &needed))
        return 0;
    return status.dwProcessId;
}

DWORD GetServiceStartType(const wchar_t* name)
{
    OpenedService service(name, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG);
    if (!service.get())
        return 0;
    std::vector<BYTE> buffer(236);
    DWORD needed = 0;
    if (!QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                             static_cast<DWORD>(buffer.size()), &needed)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size())
            return 0;
        buffer.resize(needed);
        if (!QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                                 static_cast<DWORD>(buffer.size()), &needed))
            return 0;
    }
    return reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data())->dwStartType;
}

int ConfigureTapiService(int localSystem)
{
    OpenedService service(L"tapisrv", SC_MANAGER_CONNECT, SERVICE_CHANGE_CONFIG);
    if (!service.get())
        return 0;
    return ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_NO_CHANGE, nullptr,
                                nullptr, nullptr, nullptr, localSystem ? L"LOCALSYSTEM" : nullptr,
                                localSystem ? L"" : nullptr, nullptr)
               ? 1
               : 0;
}

int ChangeServiceTypeAndDependencies(DWORD serviceType, const wchar_t* name, const wchar_t* dependencies)
{
    OpenedService service(name, SC_MANAGER_CONNECT, SERVICE_CHANGE_CONFIG);
    if (!service.get())
        return 0;
    return ChangeServiceConfigW(service.get(), serviceType, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
                                nullptr, dependencies, nullptr, nullptr, nullptr)
               ? 1
               : 0;
}

const wchar_t* GetServiceImagePath(const wchar_t* name)
{
    t_imagePath[0] = L'\0';
    if (!name || !*name)
        return t_imagePath;
    wchar_t keyPath[256];
    FormatW(keyPath, _countof(keyPath), L"%s%s", kServicesKey, name);
    CRegTool reg;
    if (reg.OpenExistingKey(HKEY_LOCAL_MACHINE, keyPath) != ERROR_SUCCESS)
        return t_imagePath;
    wchar_t value[kPathChars + 1] = L"";
    if (reg.ReadString(L"ImagePath", value, _countof(value), nullptr) == REGREAD_MISSING)
        return t_imagePath;
    // The service manager stores ImagePath as an expandable text.
    wchar_t expanded[kPathChars + 1] = L"";
    if (wcschr(value, L'%') && ExpandEnvironmentStringsW(value, expanded, _countof(expanded)) - 1 < _countof(expanded))
        CopyText(value, _countof(value), expanded);
    // A quoted program path may be followed by arguments: only the quoted part is the path.
    // The stored path is reported even when the file is gone, so that a stale entry is never
    // mistaken for the calling program.
    if (value[0] == L'"') {
        const wchar_t* end = wcschr(value + 1, L'"');
        CopyTextN(t_imagePath, _countof(t_imagePath), value + 1, end ? static_cast<size_t>(end - value - 1) : wcslen(value + 1));
    } else {
        CopyText(t_imagePath, _countof(t_imagePath), value);
        RemoveQuotes(t_imagePath);
    }
    return t_imagePath;
}

const wchar_t* GetServiceStateName(DWORD state)
{
    static const wchar_t* const names[] = {L"STOPPED",          L"START_PENDING", L"STOP_PENDING", L"RUNNING",
                                           L"CONTINUE_PENDING", L"PAUSE_PENDING", L"PAUSED"};
    CopyText(t_stateName, _countof(t_stateName), state >= 1 && state <= 7 ? names[state - 1] : L"UNKNOWN");
    return t_stateName;
}

void RemoveService(const wchar_t* name)
{
    if (!ServiceExists(name))
        return;
    DWORD state = GetServiceState(name);
    if (state != 0 && state != SERVICE_STOPPED) {
        ControlServiceByName(SERVICE_CONTROL_STOP, name, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
        for (int i = 0; i < 100; ++i) {
            state = GetServiceState(name);
            if (state == SERVICE_STOPPED)
                break;
            Sleep(100);
        }
        Sleep(2000);
    }
    if (state == SERVICE_STOPPED) {
        DeleteServiceByName(name);
        Sleep(2000);
    }
}
