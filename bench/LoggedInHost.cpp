#include "bench/LoggedInHost.h"

#include <cstdio>
#include <string>
#include <utility>

#include "foundation/Credentials.h"
#include "tests/support/TestSupport.h"

namespace bench {

namespace {

const wchar_t kSettingsKey[] = L"SOFTWARE\\Orvix\\OrvixTelvane";
const wchar_t kUser[] = L"Anna Test";  // the fake PBX's user and password
const wchar_t kPassword[] = L"geheim";

// The plug-in's settings: the fake PBX's address and user; the password in the credential store.
bool WriteLoginSettings()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    HKEY key = nullptr;
    std::wstring general = std::wstring(kSettingsKey) + L"\\PluginTelephonyOrkane\\General";
    if (RegCreateKeyExW(HKEY_CURRENT_USER, general.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return false;
    std::wstring url = L"ws://127.0.0.1:" + std::to_wstring(FakePbxPort());
    const std::pair<const wchar_t*, std::wstring> values[] = {{L"BaseURL", url}, {L"User", kUser}};
    for (const auto& v : values)
        RegSetValueExW(key, v.first, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.c_str()),
                       static_cast<DWORD>((v.second.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return WriteCredential(L"PLUGINTELEPHONYORKANE", kUser, L"Password", kPassword) != FALSE;
}

bool WriteCardSeconds(DWORD seconds)
{
    if (!seconds)
        return true;
    HKEY key = nullptr;
    std::wstring general = std::wstring(kSettingsKey) + L"\\PluginInfoVisette\\General";
    if (RegCreateKeyExW(HKEY_CURRENT_USER, general.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return false;
    std::wstring value = std::to_wstring(seconds);
    LONG rc = RegSetValueExW(key, L"Duration", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

}  // namespace

int FakePbxPort()
{
    wchar_t port[16] = L"";
    GetEnvironmentVariableW(L"FAKE_PBX_PORT", port, _countof(port));
    return _wtoi(port);
}

LoggedInHost::LoggedInHost(const char* program, bool noCard)
    : m_program(program), m_folder(L"bench_callpath"), m_noCard(noCard)
{
    testing_support::CopyFolderFiles(testing_support::ProgramFolder() + L"..\\testtree\\orkane\\PluginInfo",
                                     m_folder.Folder() + L"PluginInfo", L"PluginInfoRec.dll");
    if (noCard)
        DeleteFileW((m_folder.Folder() + L"PluginInfo\\PluginInfoVisette.DLL").c_str());
}

LoggedInHost::~LoggedInHost()
{
    if (m_window) {
        SendText(m_window, BusText(L"10", {}), 10000);
        m_host.WaitExit(30000);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

bool LoggedInHost::Launch()
{
    if (!m_probe.ok() || !m_folder.HasTelephony() || !WriteLoginSettings() || !WriteCardSeconds(m_cardSeconds) ||
        !m_host.Start(m_folder.Exe()))
        return Fail("the host with both plug-ins did not start");
    m_window = WaitAnsweringWindow(m_host, kHostClass, kHostMarker, 60000);
    return m_window ? true : Fail("no host window");
}

bool LoggedInHost::Start(DWORD loginMilliseconds)
{
    if (!Launch())
        return false;
    // Logged in once a device is monitored: State 2 on the bus.
    DWORD start = GetTickCount();
    while (GetTickCount() - start < loginMilliseconds) {
        for (LONG i = 0, n = m_probe.Count(); i < n; ++i) {
            const TestPluginCall* c = m_probe.At(i);
            if (c && c->type == 11 && ProbeLog::Value(*c, L"State") == L"2")
                return true;
        }
        Sleep(10);
    }
    return Fail("the telephony plug-in did not log in to the fake PBX");
}

bool LoggedInHost::Fail(const char* why)
{
    fprintf(stderr, "%s: %s\n", m_program, why);
    return false;
}

}  // namespace bench
