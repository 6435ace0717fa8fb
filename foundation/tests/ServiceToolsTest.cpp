#include "foundation/ServiceTools.h"

#include "foundation/ProcessTools.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::MakeTempFolder;
using testing_support::ProgramFolder;
using testing_support::RemoveTree;

namespace {

std::wstring UniqueName(const wchar_t* base) { return base + std::to_wstring(GetCurrentProcessId()); }

std::wstring ReadImagePathValue(const std::wstring& name)
{
    std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
    wchar_t value[1024] = L"";
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"ImagePath", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, value, &bytes) != ERROR_SUCCESS)
        return L"";
    return value;
}

std::vector<BYTE> QueryConfig2(SC_HANDLE service, DWORD level)
{
    DWORD needed = 0;
    QueryServiceConfig2W(service, level, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!needed || !QueryServiceConfig2W(service, level, buffer.data(), needed, &needed))
        buffer.clear();
    return buffer;
}

DWORD WaitForState(const std::wstring& name, DWORD wanted)
{
    DWORD state = 0;
    for (int i = 0; i < 200 && (state = GetServiceState(name.c_str())) != wanted; ++i)
        Sleep(50);
    return state;
}

}  // namespace

TEST(Services, InstallQueryControlAndRemoveARealService)
{
    // Under a folder with blanks, as under "Program Files (x86)".
    std::wstring folder = MakeTempFolder(L"svc dir (x86)");
    std::wstring program = folder + L"H2 Test Service.exe";
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"foundation_test_service.exe").c_str(), program.c_str(), FALSE));
    std::wstring name = UniqueName(L"OrvixH2TestService");
    RemoveService(name.c_str());

    ASSERT_EQ(1, InstallService(0, name.c_str(), program.c_str(), SERVICE_DEMAND_START, nullptr,
                                L"Service of the foundation tests", L"Orvix H2 test service"));
    EXPECT_EQ(0, InstallService(0, name.c_str(), program.c_str(), SERVICE_DEMAND_START, nullptr, nullptr, nullptr))
        << "a second service of the same name is not created";
    EXPECT_EQ(L"\"" + program + L"\"", ReadImagePathValue(name)) << "stored quoted";
    EXPECT_EQ(program, GetServiceImagePath(name.c_str())) << "read back without the quotes";
    EXPECT_EQ(1, ServiceExists(name.c_str()));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DEMAND_START), GetServiceStartType(name.c_str()));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), GetServiceState(name.c_str()));
    EXPECT_EQ(0u, GetLastError()) << "GetServiceState leaves the last error at 0";
    EXPECT_EQ(0u, GetServiceProcessId(name.c_str()));

    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_QUERY_CONFIG);
    ASSERT_TRUE(service);
    std::vector<BYTE> config(8192);
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()), 8192, &needed));
    auto* cfg = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), cfg->dwServiceType);
    EXPECT_STREQ(L"Orvix H2 test service", cfg->lpDisplayName);
    EXPECT_EQ(0, lstrcmpiW(L"LocalSystem", cfg->lpServiceStartName)) << cfg->lpServiceStartName;
    std::vector<BYTE> description = QueryConfig2(service, SERVICE_CONFIG_DESCRIPTION);
    ASSERT_FALSE(description.empty());
    EXPECT_STREQ(L"Service of the foundation tests",
                 reinterpret_cast<SERVICE_DESCRIPTIONW*>(description.data())->lpDescription);
    std::vector<BYTE> failure = QueryConfig2(service, SERVICE_CONFIG_FAILURE_ACTIONS);
    if (failure.empty()) {
        // Wine 8's service manager does not keep failure actions (ERROR_INVALID_LEVEL); on
        // Windows they are read back below.
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_LEVEL), GetLastError());
    } else {
        auto* actions = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(failure.data());
        EXPECT_EQ(static_cast<DWORD>(INFINITE), actions->dwResetPeriod);
        ASSERT_EQ(1u, actions->cActions);
        EXPECT_EQ(SC_ACTION_RESTART, actions->lpsaActions[0].Type);
        EXPECT_EQ(60000u, actions->lpsaActions[0].Delay);
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);

    ASSERT_EQ(1, ControlServiceByName(0, name.c_str(), SC_MANAGER_CONNECT, SERVICE_START));
    ASSERT_EQ(static_cast<DWORD>(SERVICE_RUNNING), WaitForState(name, SERVICE_RUNNING));
    DWORD pid = GetServiceProcessId(name.c_str());
    EXPECT_NE(0u, pid);
    EXPECT_EQ(pid, FindProcessByPath(L"h2 test service.exe")) << "the service manager ran our quoted path";

    RemoveService(name.c_str());  // running: stop, wait, delete
    EXPECT_EQ(0, ServiceExists(name.c_str()));
    EXPECT_EQ(0u, GetServiceState(name.c_str()));
    EXPECT_STREQ(L"", GetServiceImagePath(name.c_str())) << "a missing service has no path";
    EXPECT_EQ(0, ControlServiceByName(SERVICE_CONTROL_STOP, name.c_str(), SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS));
    EXPECT_EQ(0, DeleteServiceByName(name.c_str()));
    RemoveService(name.c_str());  // missing: nothing happens
    RemoveTree(folder);
}

TEST(Services, StoppedServiceIsDeletedAndBareNamesGoToTheSystemFolder)
{
    std::wstring name = UniqueName(L"OrvixH2BareService");
    ASSERT_EQ(1, InstallService(SERVICE_INTERACTIVE_PROCESS, name.c_str(), L"notepad.exe", SERVICE_AUTO_START,
                                nullptr, nullptr, nullptr));
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiW((std::wstring(system) + L"\\notepad.exe").c_str(), GetServiceImagePath(name.c_str())));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), GetServiceStartType(name.c_str()));
    EXPECT_EQ(1, ChangeServiceTypeAndDependencies(SERVICE_WIN32_OWN_PROCESS, name.c_str(), L"RpcSs\0"));
    RemoveService(name.c_str());
    EXPECT_EQ(0, ServiceExists(name.c_str()));
}

TEST(Services, ImagePathForms)
{
    // Entries written by other tools: quoted with arguments, unquoted, and a path whose file
    // is gone (reported as stored, so that it is never taken for the calling program).
    std::wstring name = UniqueName(L"OrvixH2ImagePath");
    std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
    struct Case {
        const wchar_t* stored;
        DWORD type;
        const wchar_t* expected;
    } cases[] = {
        {L"\"C:\\Program Files (x86)\\Orvix\\Prog.exe\" -service", REG_EXPAND_SZ, L"C:\\Program Files (x86)\\Orvix\\Prog.exe"},
        {L"C:\\Orvix\\Prog.exe", REG_SZ, L"C:\\Orvix\\Prog.exe"},
        {L"\"C:\\no\\such\\file.exe\"", REG_SZ, L"C:\\no\\such\\file.exe"},
        {L"\"C:\\unterminated.exe", REG_SZ, L"C:\\unterminated.exe"},
    };
    for (const Case& c : cases) {
        HKEY h = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr));
        RegSetValueExW(h, L"ImagePath", 0, c.type, reinterpret_cast<const BYTE*>(c.stored),
                       static_cast<DWORD>((wcslen(c.stored) + 1) * sizeof(wchar_t)));
        RegCloseKey(h);
        EXPECT_STREQ(c.expected, GetServiceImagePath(name.c_str())) << c.stored;
    }
    EXPECT_EQ(0, ServiceExists(name.c_str())) << "a key that the service manager does not know is no service";
    // An expandable path, as the service manager writes it.
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr));
    const wchar_t expandable[] = L"\"%SystemRoot%\\system32\\prog.exe\"";
    RegSetValueExW(h, L"ImagePath", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expandable), sizeof(expandable));
    RegCloseKey(h);
    wchar_t expected[MAX_PATH];
    ExpandEnvironmentStringsW(L"%SystemRoot%\\system32\\prog.exe", expected, MAX_PATH);
    EXPECT_STREQ(expected, GetServiceImagePath(name.c_str()));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    EXPECT_STREQ(L"", GetServiceImagePath(name.c_str()));
    EXPECT_STREQ(L"", GetServiceImagePath(nullptr));
}

TEST(Services, StateNames)
{
    const wchar_t* names[] = {L"UNKNOWN", L"STOPPED", L"START_PENDING", L"STOP_PENDING", L"RUNNING",
                              L"CONTINUE_PENDING", L"PAUSE_PENDING", L"PAUSED", L"UNKNOWN"};
    for (DWORD state = 0; state <= 8; ++state)
        EXPECT_STREQ(names[state], GetServiceStateName(state)) << state;
    EXPECT_STREQ(L"UNKNOWN", GetServiceStateName(0xFFFFFFFF));
}
