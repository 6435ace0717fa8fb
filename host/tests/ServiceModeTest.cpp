// The host as a service of Wine's service manager, end to end. The service is the test
// launcher (the host's own entry, with the account test answering "service account") in a
// dist-shaped folder of its own with the recording test plug-ins; the real OrvixTelvane.exe
// is used for its -I, -D and -U switches. The service name is fixed ("CorvallExpress"), so
// every case removes the service at its end, whatever happened.
#include "bus/BusTypes.h"
#include "foundation/ServiceTools.h"
#include "tests/hosts/HostileFlood.h"
#include "tests/plugins/TestPluginRecord.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using testing_support::CopyFolderFiles;
using testing_support::PluginCallLog;

namespace {

const wchar_t kService[] = L"CorvallExpress";
const wchar_t* const kCategories[] = {L"PluginDebug", L"PluginSearch", L"PluginInfo",
                                      L"PluginSave",  L"PluginExtra",  L"PluginTelephony"};
// Every plug-in of the "main" test tree.
const wchar_t* const kPluginTags[] = {L"D", L"S0", L"S1", L"S2", L"S3", L"S4", L"S5", L"I", L"V", L"E", L"T"};

// Polls a condition until it holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds, DWORD pause = 50)
{
    ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(pause);
    }
}

// Stops the service (bounded) and deletes it; ends a host process that is still there.
void RemoveTestService(DWORD processId)
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager) {
        SC_HANDLE service = OpenServiceW(manager, kService, SERVICE_ALL_ACCESS);
        if (service) {
            SERVICE_STATUS status = {};
            ControlService(service, SERVICE_CONTROL_STOP, &status);
            WaitUntil([&] { return !QueryServiceStatus(service, &status) || status.dwCurrentState == SERVICE_STOPPED; },
                      10000, 100);
            DeleteService(service);
            CloseServiceHandle(service);
        }
        CloseServiceHandle(manager);
    }
    if (processId) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        if (process) {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process, 99);
                WaitForSingleObject(process, 10000);
            }
            CloseHandle(process);
        }
    }
    WaitUntil([] { return !ServiceExists(kService); }, 5000, 100);
}

// Runs one program to its end; its exit code, or STILL_ACTIVE when it does not end in time.
DWORD RunProgram(const std::wstring& exe, const wchar_t* arguments, DWORD milliseconds = 60000)
{
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return GetLastError();
    WaitForSingleObject(pi.hProcess, milliseconds);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi.hProcess, &code);
    if (code == STILL_ACTIVE) {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 10000);
    }
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

// The service's status as the manager keeps it (all zero when it cannot be read).
SERVICE_STATUS QueryTestService()
{
    SERVICE_STATUS status = {};
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, kService, SERVICE_QUERY_STATUS) : nullptr;
    if (service)
        QueryServiceStatus(service, &status);
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return status;
}

// Starts the service as the host's start switch does.
bool StartTestService()
{
    return ControlServiceByName(0, kService, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS) == 1;
}

// Wine's service manager gives a starting service 10 s (Windows gives 30 s) to connect to it
// and to report its first state; past that it ends the process, the start call fails after
// those 10 s, and the service is STOPPED with the exit code it was created with,
// ERROR_SERVICE_NEVER_STARTED. A host that ends or crashes before its first report ends the
// start call at once instead, and one that reports is RUNNING: so a start call that took the
// whole deadline and left the service so is Wine's miss (on a busy machine), not the host's.
const char kWineStartDeadline[] =
    "Wine's service manager ended the service before its first report (its start deadline is 10 s)";
constexpr ULONGLONG kWineStartDeadlineMs = 10000;
bool WineMissedTheStart(ULONGLONG startCallMs)
{
    SERVICE_STATUS status = QueryTestService();
    return startCallMs + 100 >= kWineStartDeadlineMs && status.dwCurrentState == SERVICE_STOPPED &&
           status.dwWin32ExitCode == ERROR_SERVICE_NEVER_STARTED;
}

// Ends every process started from the folder's program files (a host the service manager
// lost track of).
void EndProcessesOf(const std::wstring& folder)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {sizeof(entry)};
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                     entry.th32ProcessID);
        if (!process)
            continue;
        wchar_t path[MAX_PATH] = L"";
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameW(process, 0, path, &size) && size > folder.size() &&
            _wcsnicmp(path, folder.c_str(), folder.size()) == 0 && path[folder.size()] == L'\\') {
            TerminateProcess(process, 99);
            WaitForSingleObject(process, 10000);
        }
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}

// A state seen by polling, and how many plug-in calls had been recorded by then.
struct SeenState {
    DWORD state;
    LONG callsBefore;
};

class ServiceMode : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveTestService(0);
        ASSERT_TRUE(m_log.ok());
        m_folder = testing_support::MakeTempFolder(L"servicemode");
        if (!m_folder.empty() && m_folder.back() == L'\\')
            m_folder.pop_back();
        // The real host beside the launcher, so that -D and -U act as the product does.
        CopyFileW((testing_support::DistFolder() + L"OrvixTelvane.exe").c_str(), RealExe().c_str(), FALSE);
        CopyFileW((testing_support::ProgramFolder() + L"ServiceLauncher.exe").c_str(), Launcher().c_str(), FALSE);
        CreateDirectoryW((m_folder + L"\\Resource").c_str(), nullptr);
        for (const wchar_t* language : {L"De", L"En"})
            CopyFolderFiles(testing_support::DistFolder() + L"Resource\\" + language,
                            m_folder + L"\\Resource\\" + language, L"*.DLL");
        std::wstring source = testing_support::ProgramFolder() + L"..\\testtree\\main";
        for (const wchar_t* category : kCategories)
            CopyFolderFiles(source + L"\\" + category, m_folder + L"\\" + category, L"*.dll");
        wchar_t name[256] = L"";
        GetEnvironmentVariableW(kTestRecordVariable, name, _countof(name));
        char utf8[512] = "";
        int bytes = WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8, sizeof(utf8), nullptr, nullptr);
        testing_support::WriteFileBytes(m_folder + L"\\ServiceLauncher.txt", utf8, bytes > 0 ? bytes - 1 : 0);
    }
    void TearDown() override
    {
        RemoveTestService(m_processId);
        // A host that a failed case left behind would keep the service from being deleted,
        // and every later case from installing it.
        EndProcessesOf(m_folder);
        WaitUntil([] { return !ServiceExists(kService); }, 5000, 100);
        testing_support::RemoveTree(m_folder);
    }

    std::wstring RealExe() const { return m_folder + L"\\OrvixTelvane.exe"; }
    std::wstring Launcher() const { return m_folder + L"\\ServiceLauncher.exe"; }

    // The launcher as the service, installed as -I installs the host (demand start, so that
    // only the test starts it).
    void InstallLauncher()
    {
        ASSERT_EQ(1, InstallService(SERVICE_INTERACTIVE_PROCESS, kService, Launcher().c_str(), SERVICE_DEMAND_START,
                                    nullptr, L"Orvix Telvane host", L"Orvix Telvane"));
    }

    // Starts the service by `start` (true when the start call succeeded) and waits for RUNNING and for the plug-ins to be
    // initialised in the service's process. A start that Wine's service manager gave up on is
    // tried again (see WineMissedTheStart).
    void StartAndWaitRunning(const std::function<bool()>& start)
    {
        DWORD state = 0;
        size_t firstCall = 0;
        bool startCallOk = false;
        bool started = testing_support::RetryWhileWineMisses(3, kWineStartDeadline, [&] {
            firstCall = m_log.Calls().size();
            ULONGLONG before = GetTickCount64();
            startCallOk = start();
            ULONGLONG startCallMs = GetTickCount64() - before;
            WaitUntil([&] {
                state = GetServiceState(kService);
                return state == SERVICE_RUNNING || state == SERVICE_STOPPED;
            }, 30000);
            return state != SERVICE_RUNNING && WineMissedTheStart(startCallMs);
        });
        ASSERT_TRUE(started) << kWineStartDeadline << " on every try";
        EXPECT_TRUE(startCallOk);
        ASSERT_EQ(DWORD(SERVICE_RUNNING), state);
        m_processId = GetServiceProcessId(kService);
        ASSERT_NE(0u, m_processId);
        // Only this start's calls: a process that Wine's manager ended may have recorded some.
        ASSERT_TRUE(WaitUntil([&] {
            std::vector<TestPluginCall> calls = m_log.Calls();
            calls.erase(calls.begin(), calls.begin() + std::min(firstCall, calls.size()));
            return AllCalled(calls, L"AfterLoad");
        }, 30000, 100)) << "the service host did not initialise its plug-ins";
    }

    // True once every plug-in has recorded a call of that function.
    bool AllCalled(const std::vector<TestPluginCall>& calls, const wchar_t* function) const
    {
        for (const wchar_t* tag : kPluginTags) {
            bool found = false;
            for (const TestPluginCall& c : calls)
                found = found || (wcscmp(c.tag, tag) == 0 && wcscmp(c.function, function) == 0);
            if (!found)
                return false;
        }
        return true;
    }
    bool WaitForCalls(const wchar_t* function)
    {
        return WaitUntil([&] { return AllCalled(m_log.Calls(), function); }, 30000, 100);
    }

    // The host window of a process (0 when it has none within the wait).
    HWND HostWindowOf(DWORD processId)
    {
        HWND found = nullptr;
        WaitUntil([&] {
            for (HWND window = FindWindowExW(nullptr, nullptr, kService, nullptr); window;
                 window = FindWindowExW(nullptr, window, kService, nullptr)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == processId)
                    found = window;
            }
            return found != nullptr;
        }, 30000, 100);
        return found;
    }

    // How many bus messages of that type the plug-in has received.
    int BusCount(const wchar_t* tag, DWORD type) const
    {
        int n = 0;
        for (const TestPluginCall& c : m_log.Calls())
            n += wcscmp(c.tag, tag) == 0 && wcscmp(c.function, L"BusProcess") == 0 && c.type == type;
        return n;
    }

    // A menu command posted to the host reaches the plug-ins as a bus message after every
    // bus message the host posted before it: once it is seen, those have been seen too.
    bool FlushHostBus(HWND window)
    {
        int before = BusCount(L"S0", QOR_BUSMSG_MENUCOMMAND);
        PostMessageW(window, WM_COMMAND, 12345, 0);
        return WaitUntil([&] { return BusCount(L"S0", QOR_BUSMSG_MENUCOMMAND) > before; }, 15000);
    }

    // Sends a control and returns the state the service reports right after.
    DWORD Control(DWORD control, BOOL* accepted = nullptr)
    {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = manager ? OpenServiceW(manager, kService, SERVICE_ALL_ACCESS) : nullptr;
        SERVICE_STATUS status = {};
        BOOL ok = service && ControlService(service, control, &status);
        if (accepted)
            *accepted = ok;
        if (service)
            CloseServiceHandle(service);
        if (manager)
            CloseServiceHandle(manager);
        return status.dwCurrentState;
    }

    // Polls the state until STOPPED; each change with the number of plug-in calls recorded
    // just before it was seen.
    std::vector<SeenState> PollUntilStopped()
    {
        std::vector<SeenState> seen;
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = manager ? OpenServiceW(manager, kService, SERVICE_QUERY_STATUS) : nullptr;
        ULONGLONG end = GetTickCount64() + 30000;
        while (service && GetTickCount64() < end) {
            LONG calls = m_log.Calls().size();
            SERVICE_STATUS status = {};
            if (!QueryServiceStatus(service, &status))
                break;
            if (seen.empty() || seen.back().state != status.dwCurrentState)
                seen.push_back({status.dwCurrentState, calls});
            if (status.dwCurrentState == SERVICE_STOPPED)
                break;
            Sleep(10);
        }
        if (service)
            CloseServiceHandle(service);
        if (manager)
            CloseServiceHandle(manager);
        return seen;
    }

    // The host process's exit code once it has ended (STILL_ACTIVE when it does not end).
    DWORD WaitProcessEnd()
    {
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, m_processId);
        if (!process)
            return 0;  // already gone
        WaitForSingleObject(process, 30000);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process, &code);
        CloseHandle(process);
        return code;
    }

    PluginCallLog m_log{L"servicemode"};
    std::wstring m_folder;
    DWORD m_processId = 0;
};

TEST_F(ServiceMode, StopClosesThePluginsBeforeStoppedIsReported)
{
    ASSERT_NO_FATAL_FAILURE(InstallLauncher());
    // -D of the real host starts the installed service.
    ASSERT_NO_FATAL_FAILURE(StartAndWaitRunning([&] { return RunProgram(RealExe(), L"-D") == 0; }));
    ASSERT_FALSE(AllCalled(m_log.Calls(), L"BeforeClose"));

    DWORD after = Control(SERVICE_CONTROL_STOP);
    EXPECT_TRUE(after == SERVICE_STOP_PENDING || after == SERVICE_STOPPED) << after;
    std::vector<SeenState> seen = PollUntilStopped();
    ASSERT_FALSE(seen.empty());
    ASSERT_EQ(DWORD(SERVICE_STOPPED), seen.back().state);
    // Nothing but STOP_PENDING on the way.
    for (size_t i = 0; i + 1 < seen.size(); ++i)
        EXPECT_EQ(DWORD(SERVICE_STOP_PENDING), seen[i].state) << i;
    // Every plug-in had been closed before STOPPED could be seen: the service manager may end
    // the process at any moment after it.
    std::vector<TestPluginCall> calls = m_log.Calls();
    calls.resize(seen.back().callsBefore);
    EXPECT_TRUE(AllCalled(calls, L"BeforeClose"));
    EXPECT_EQ(0u, WaitProcessEnd());
    EXPECT_TRUE(ServiceExists(kService));
}

// The stop behind a flood of other programs' messages: the host does not first work through
// the queue the flood left (it took as long as the queue was deep).
TEST_F(ServiceMode, StopAfterAFloodEndsTheHostSoon)
{
    ASSERT_NO_FATAL_FAILURE(InstallLauncher());
    ASSERT_NO_FATAL_FAILURE(StartAndWaitRunning([&] { return RunProgram(RealExe(), L"-D") == 0; }));
    HWND window = HostWindowOf(m_processId);
    ASSERT_NE(nullptr, window);
    ASSERT_EQ("", testing_support::HostileFlood(window, 20000));
    DWORD start = GetTickCount();
    Control(SERVICE_CONTROL_STOP);
    EXPECT_EQ(0u, WaitProcessEnd());
    // The end's own pauses are well under a second; a hang behind the queue took seconds.
    EXPECT_LT(GetTickCount() - start, 3000u);
}

TEST_F(ServiceMode, PauseContinueAndOtherControlsChangeOnlyTheReportedState)
{
    ASSERT_NO_FATAL_FAILURE(InstallLauncher());
    ASSERT_NO_FATAL_FAILURE(StartAndWaitRunning(StartTestService));

    struct Case {
        DWORD control;
        DWORD expected;
    };
    const Case cases[] = {
        {SERVICE_CONTROL_PAUSE, SERVICE_PAUSED},      {SERVICE_CONTROL_INTERROGATE, SERVICE_PAUSED},
        {200, SERVICE_PAUSED},                        {SERVICE_CONTROL_CONTINUE, SERVICE_RUNNING},
        {SERVICE_CONTROL_INTERROGATE, SERVICE_RUNNING}, {200, SERVICE_RUNNING},
        {SERVICE_CONTROL_PAUSE, SERVICE_PAUSED},      {SERVICE_CONTROL_CONTINUE, SERVICE_RUNNING},
    };
    for (const Case& c : cases) {
        Control(c.control);
        DWORD state = 0;
        WaitUntil([&] { return (state = GetServiceState(kService)) == c.expected; }, 5000);
        EXPECT_EQ(c.expected, state) << "control " << c.control;
    }
    // The host lives on, and in service mode the plug-ins hear nothing of pause and continue.
    EXPECT_EQ(m_processId, GetServiceProcessId(kService));
    HWND window = HostWindowOf(m_processId);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(FlushHostBus(window));
    for (const TestPluginCall& c : m_log.Calls())
        EXPECT_FALSE(wcscmp(c.function, L"BusProcess") == 0 && (c.type == 62 || c.type == 63))
            << c.tag << " got bus type " << c.type;
}

// The service manager runs ServiceMain, and passes on controls, as soon as the dispatcher
// connects, which may be while the GUI thread is still early in its start-up (a busy machine
// holds it there; the launcher holds it 1.5 s). The state ServiceMain reported stands: the
// answers to the interrogations during and after that start-up keep the service RUNNING with
// its controls, and it stops as usual.
TEST_F(ServiceMode, AHostHeldEarlyInItsStartUpStaysRunning)
{
    const char hold[] = "1500";
    testing_support::WriteFileBytes(m_folder + L"\\ServiceLauncherHold.txt", hold, sizeof(hold) - 1);
    ASSERT_NO_FATAL_FAILURE(InstallLauncher());
    ASSERT_NO_FATAL_FAILURE(StartAndWaitRunning(StartTestService));
    // Past the hold now: the plug-ins have been initialised.
    EXPECT_EQ(DWORD(SERVICE_RUNNING), GetServiceState(kService));
    SERVICE_STATUS status = QueryTestService();
    EXPECT_EQ(DWORD(SERVICE_RUNNING), status.dwCurrentState);
    EXPECT_EQ(DWORD(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS), status.dwServiceType);
    EXPECT_EQ(DWORD(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN),
              status.dwControlsAccepted);
    EXPECT_EQ(m_processId, GetServiceProcessId(kService));

    Control(SERVICE_CONTROL_STOP);
    EXPECT_EQ(0u, WaitProcessEnd());
    EXPECT_TRUE(AllCalled(m_log.Calls(), L"BeforeClose"));
}

TEST_F(ServiceMode, UninstallStopsDeletesAndClosesTheRunningHost)
{
    ASSERT_NO_FATAL_FAILURE(InstallLauncher());
    ASSERT_NO_FATAL_FAILURE(StartAndWaitRunning(StartTestService));

    EXPECT_EQ(0u, RunProgram(RealExe(), L"-U"));
    EXPECT_FALSE(ServiceExists(kService));
    EXPECT_EQ(0u, WaitProcessEnd());
    EXPECT_TRUE(AllCalled(m_log.Calls(), L"BeforeClose"));
}

TEST_F(ServiceMode, InstallStoresTheQuotedProgramPath)
{
    // A folder with a blank: an unquoted path would name another program.
    std::wstring folder = m_folder + L"\\with blank";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring exe = folder + L"\\OrvixTelvane.exe";
    ASSERT_TRUE(CopyFileW(RealExe().c_str(), exe.c_str(), FALSE));
    CopyFolderFiles(m_folder + L"\\Resource\\En", folder + L"\\Resource\\En", L"*.DLL");

    EXPECT_EQ(0u, RunProgram(exe, L"-I"));
    ASSERT_TRUE(ServiceExists(kService));
    wchar_t imagePath[1024] = L"";
    DWORD size = sizeof(imagePath);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\CorvallExpress",
                                          L"ImagePath", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                                          imagePath, &size));
    EXPECT_EQ(L"\"" + exe + L"\"", std::wstring(imagePath));
    EXPECT_EQ(DWORD(SERVICE_AUTO_START), GetServiceStartType(kService));
    DWORD type = 0;
    size = sizeof(type);
    RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\CorvallExpress", L"Type",
                 RRF_RT_REG_DWORD, nullptr, &type, &size);
    EXPECT_EQ(0x110u, type);
    // Installed but never started: -U removes it.
    EXPECT_EQ(0u, RunProgram(exe, L"-U"));
    EXPECT_FALSE(ServiceExists(kService));
}

// In tray mode the same hand-over tells the plug-ins, once per pause and per continue.
TEST_F(ServiceMode, TrayModePauseAndContinueReachThePluginsOnce)
{
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    std::wstring command = L"\"" + RealExe() + L"\"";
    ASSERT_TRUE(CreateProcessW(RealExe().c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, m_folder.c_str(),
                               &si, &pi));
    CloseHandle(pi.hThread);
    m_processId = pi.dwProcessId;
    HWND window = HostWindowOf(pi.dwProcessId);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(WaitForCalls(L"AfterLoad"));

    PostMessageW(window, WM_QOR_SERVICECONTROL, SERVICE_PAUSED, 0);
    ASSERT_TRUE(FlushHostBus(window));
    PostMessageW(window, WM_QOR_SERVICECONTROL, SERVICE_RUNNING, 0);
    // A stop code does nothing in tray mode: the host stays.
    PostMessageW(window, WM_QOR_SERVICECONTROL, SERVICE_STOPPED, 0);
    ASSERT_TRUE(FlushHostBus(window));
    for (const wchar_t* tag : kPluginTags) {
        EXPECT_EQ(1, BusCount(tag, QOR_BUSMSG_PAUSED)) << tag;
        EXPECT_EQ(1, BusCount(tag, QOR_BUSMSG_CONTINUED)) << tag;
    }
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(pi.hProcess, 0));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 30000));
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(0u, code);
    CloseHandle(pi.hProcess);
}

// As the service account but not started by the service manager, the host has no
// connection to it and nobody to stop it: it must end with an error instead of running on.
TEST_F(ServiceMode, ServiceAccountWithoutServiceManagerEndsWithAnError)
{
    DWORD code = RunProgram(Launcher(), L"");
    EXPECT_EQ(DWORD(-1), code);
    EXPECT_TRUE(AllCalled(m_log.Calls(), L"BeforeClose"));
}

}  // namespace
