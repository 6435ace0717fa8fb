#include "bench/HostRun.h"

#include <shlobj.h>

#include "bench/BenchStats.h"
#include "foundation/RegTool.h"
#include "tests/support/TestSupport.h"

namespace bench {

const wchar_t kHostClass[] = L"CorvallExpress";

namespace {

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

HostFolder::HostFolder(const wchar_t* name, bool bare)
{
    using testing_support::CopyFolderFiles;
    std::wstring dist = testing_support::DistFolder();
    m_folder = testing_support::MakeTempFolder(name);
    CopyFileW((dist + L"OrvixTelvane.exe").c_str(), Exe().c_str(), FALSE);
    CreateDirectoryW((m_folder + L"Resource").c_str(), nullptr);
    for (const wchar_t* language : {L"De", L"En"})
        CopyFolderFiles(dist + L"Resource\\" + language, m_folder + L"Resource\\" + language, L"*.DLL");
    if (bare)
        return;
    m_info = Exists(dist + L"PluginInfo\\PluginInfoVisette.DLL");
    if (m_info) {
        CopyFolderFiles(dist + L"PluginInfo", m_folder + L"PluginInfo", L"*.DLL");
        CopyFolderFiles(dist + L"PluginInfo\\Layout", m_folder + L"PluginInfo\\Layout", L"*");
    }
    m_telephony = Exists(dist + L"PluginTelephony\\PluginTelephonyOrkane.DLL");
    if (m_telephony)
        CopyFolderFiles(dist + L"PluginTelephony", m_folder + L"PluginTelephony", L"*.DLL");
}

HostFolder::~HostFolder()
{
    testing_support::RemoveTree(m_folder);
}

size_t HostFolder::CountCrashDumps() const
{
    size_t count = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((m_folder + L"*_CRASHDUMP*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do
            ++count;
        while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return count;
}

Program::~Program()
{
    if (!m_pi.hProcess)
        return;
    if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_pi.hProcess, 99);
        WaitForSingleObject(m_pi.hProcess, 10000);
    }
    CloseHandle(m_pi.hProcess);
    CloseHandle(m_pi.hThread);
}

bool Program::Start(const std::wstring& exe, const std::wstring& arguments)
{
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    std::wstring folder = exe.substr(0, exe.rfind(L'\\') + 1);
    STARTUPINFOW si = {sizeof(si)};
    return CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                          &m_pi) != FALSE;
}

DWORD Program::WaitExit(DWORD milliseconds)
{
    if (!m_pi.hProcess)
        return STILL_ACTIVE;
    WaitForSingleObject(m_pi.hProcess, milliseconds);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

namespace {

struct WindowSearch {
    DWORD pid;
    const wchar_t* className;
    LONG_PTR marker;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid)
        return TRUE;
    wchar_t name[64] = L"";
    GetClassNameW(window, name, _countof(name));
    if (lstrcmpW(name, search->className) != 0)
        return TRUE;
    if (search->marker && GetWindowLongPtrW(window, GWLP_USERDATA) != search->marker)
        return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND WaitAnsweringWindow(const Program& program, const wchar_t* className, LONG_PTR marker, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        WindowSearch search = {program.Id(), className, marker, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            DWORD_PTR result = 0;
            DWORD left = milliseconds - (GetTickCount() - start);
            if (SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_NORMAL, left > 0 ? left : 1, &result))
                return search.found;
        }
        if (WaitForSingleObject(program.Process(), 1) == WAIT_OBJECT_0)
            return nullptr;
    }
    return nullptr;
}

std::wstring BusText(const std::wstring& type, const std::vector<std::pair<std::wstring, std::wstring>>& values)
{
    std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n";
    text += L" <value keyword=\"Type\">" + type + L"</value>\r\n";
    for (const auto& v : values)
        text += L" <value keyword=\"" + v.first + L"\">" + v.second + L"</value>\r\n";
    text += L" <value keyword=\"Sender\">BENCH</value>\r\n</data>\r\n";
    return text;
}

bool SendText(HWND window, const std::wstring& text, DWORD milliseconds)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                               milliseconds, &result) != 0;
}

namespace {

const std::wstring& ReportFolder()
{
    static std::wstring folder = [] {
        wchar_t appData[MAX_PATH] = L"";
        SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, appData);
        return std::wstring(appData) + L"\\Orvix\\OrvixTelvane\\OrvixTelvanehost\\LOG";
    }();
    return folder;
}

}  // namespace

std::wstring HostReportedStatus(DWORD pid)
{
    static std::wstring report = ReportFolder() + L"\\StatusReport.ini";
    wchar_t status[32] = L"", id[32] = L"";
    GetPrivateProfileStringW(L"ProgramStatus", L"Status", L"", status, _countof(status), report.c_str());
    GetPrivateProfileStringW(L"ProgramStatus", L"ProcID", L"", id, _countof(id), report.c_str());
    return std::to_wstring(pid) == id ? status : L"";
}

StatusReportWatch::StatusReportWatch()
{
    SHCreateDirectoryExW(nullptr, ReportFolder().c_str(), nullptr);
    m_change = FindFirstChangeNotificationW(ReportFolder().c_str(), FALSE,
                                            FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE |
                                                FILE_NOTIFY_CHANGE_FILE_NAME);
}

StatusReportWatch::~StatusReportWatch()
{
    if (m_change != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(m_change);
}

bool StatusReportWatch::Wait(HANDLE process, DWORD milliseconds)
{
    if (m_change == INVALID_HANDLE_VALUE)
        return WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0;
    // The change first: a report written just before the process ended ("ENDED") is read
    // before the end is taken.
    HANDLE handles[] = {m_change, process};
    DWORD woken = WaitForMultipleObjects(2, handles, FALSE, milliseconds);
    if (woken == WAIT_OBJECT_0)
        FindNextChangeNotification(m_change);
    return woken == WAIT_OBJECT_0 + 1;
}

double MinimalProgramEnd()
{
    Program program;
    if (!program.Start(testing_support::ProgramFolder() + L"MinimalWindow.exe"))
        return -1;
    HWND window = WaitAnsweringWindow(program, L"OrvixBenchMinimal", 0, 60000);
    if (!window)
        return -1;
    double t0 = Now();
    if (!PostMessageW(window, WM_CLOSE, 0, 0) || program.WaitExit(30000) == STILL_ACTIVE)
        return -1;
    return Now() - t0;
}

RunningStateGuard::RunningStateGuard() : m_old(GetRunningState())
{
    SetRunningState(1);
}

RunningStateGuard::~RunningStateGuard()
{
    SetRunningState(m_old);
}

}  // namespace bench
