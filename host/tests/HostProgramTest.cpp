// The host program end to end: OrvixTelvane.exe runs under Wine from a dist-shaped folder of
// its own with recording test plug-ins, and the test talks to it only as outside programs can
// (the window found by its class, WM_SETTEXT, the shared block) and reads the plug-ins'
// recordings and the status report.
#include "foundation/RegTool.h"
#include "host/SharedMemName.h"
#include "tests/hosts/HostileFlood.h"
#include "tests/plugins/TestPluginRecord.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using testing_support::CopyFolderFiles;
using testing_support::PluginCallLog;

namespace {

const wchar_t* const kCategories[] = {L"PluginDebug", L"PluginSearch", L"PluginInfo",
                                      L"PluginSave",  L"PluginExtra",  L"PluginTelephony"};

std::wstring ReportFile()
{
    wchar_t appData[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, appData);
    // The data folder names drop the blanks of the product name and description.
    return std::wstring(appData) + L"\\Orvix\\OrvixTelvane\\OrvixTelvanehost\\LOG\\StatusReport.ini";
}

std::wstring ReportValue(const wchar_t* section, const wchar_t* key)
{
    wchar_t value[512] = L"";
    GetPrivateProfileStringW(section, key, L"", value, _countof(value), ReportFile().c_str());
    return value;
}

// A bus text as other programs write it.
std::wstring BusText(int type, const std::vector<std::pair<std::wstring, std::wstring>>& values)
{
    std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n";
    text += L" <value keyword=\"Type\">" + std::to_wstring(type) + L"</value>\r\n";
    for (const auto& v : values)
        text += L" <value keyword=\"" + v.first + L"\">" + v.second + L"</value>\r\n";
    text += L" <value keyword=\"Sender\">HOSTTEST</value>\r\n</data>\r\n";
    return text;
}

class HostProgram {
public:
    // A folder of its own holding the host and the plug-ins of one test tree.
    explicit HostProgram(const wchar_t* tree)
    {
        m_folder = testing_support::MakeTempFolder(L"hostprogram");
        CopyFileW((testing_support::DistFolder() + L"OrvixTelvane.exe").c_str(), Exe().c_str(), FALSE);
        CreateDirectoryW((m_folder + L"\\Resource").c_str(), nullptr);
        for (const wchar_t* language : {L"De", L"En"})
            CopyFolderFiles(testing_support::DistFolder() + L"Resource\\" + language,
                            m_folder + L"\\Resource\\" + language, L"*.DLL");
        std::wstring source = testing_support::ProgramFolder() + L"..\\testtree\\" + tree;
        for (const wchar_t* category : kCategories)
            CopyFolderFiles(source + L"\\" + category, m_folder + L"\\" + category, L"*.dll");
        CopyFolderFiles(source + L"\\PluginSearch", m_folder + L"\\PluginSearch", L"*.DLL");
    }
    ~HostProgram()
    {
        for (PROCESS_INFORMATION& pi : m_processes) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(pi.hProcess, 99);
                WaitForSingleObject(pi.hProcess, 10000);
            }
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
        testing_support::RemoveTree(m_folder);
    }

    std::wstring Exe() const { return m_folder + L"\\OrvixTelvane.exe"; }
    std::wstring Folder() const { return m_folder + L"\\"; }

    // Starts one more instance; returns its index.
    size_t Start(const wchar_t* arguments = L"")
    {
        std::wstring command = L"\"" + Exe() + L"\" " + arguments;
        STARTUPINFOW si = {sizeof(si)};
        PROCESS_INFORMATION pi = {};
        EXPECT_TRUE(CreateProcessW(Exe().c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, m_folder.c_str(),
                                   &si, &pi));
        m_processes.push_back(pi);
        return m_processes.size() - 1;
    }

    // The host window of that instance, once its start-up has ended ("OK" in the report).
    HWND WaitWindow(size_t index)
    {
        DWORD pid = m_processes[index].dwProcessId;
        for (int i = 0; i < 300; ++i) {
            HWND window = nullptr;
            while ((window = FindWindowExW(nullptr, window, L"CorvallExpress", nullptr)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == pid && ReportValue(L"ProgramStatus", L"Status") == L"OK" &&
                    ReportValue(L"ProgramStatus", L"ProcID") == std::to_wstring(pid))
                    return window;
            }
            if (WaitForSingleObject(m_processes[index].hProcess, 100) == WAIT_OBJECT_0)
                return nullptr;
        }
        return nullptr;
    }

    // The program folder as Windows reports it for the running instance.
    std::wstring ReportedFolder(size_t index)
    {
        wchar_t path[1024] = L"";
        DWORD size = _countof(path);
        QueryFullProcessImageNameW(m_processes[index].hProcess, 0, path, &size);
        std::wstring folder = path;
        return folder.substr(0, folder.rfind(L'\\') + 1);
    }

    // The exit code, or STILL_ACTIVE when it runs on.
    DWORD WaitExit(size_t index, DWORD milliseconds = 20000)
    {
        WaitForSingleObject(m_processes[index].hProcess, milliseconds);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_processes[index].hProcess, &code);
        return code;
    }

private:
    std::wstring m_folder;
    std::vector<PROCESS_INFORMATION> m_processes;
};

LRESULT SetText(HWND window, const std::wstring& text, WPARAM send = 0, UINT flags = SMTO_BLOCK)
{
    DWORD_PTR result = 12345;
    SendMessageTimeoutW(window, WM_SETTEXT, send, reinterpret_cast<LPARAM>(text.c_str()), flags, 20000, &result);
    return static_cast<LRESULT>(result);
}

void EndHost(HostProgram& host, HWND window, size_t index)
{
    SetText(window, BusText(10, {}));
    EXPECT_EQ(0u, host.WaitExit(index));
}

// Waits until a call of tag.function (of that type, when given) is recorded.
bool WaitForCall(const PluginCallLog& log, const wchar_t* tag, const wchar_t* function, long type = -1)
{
    for (int i = 0; i < 100; ++i) {
        for (const TestPluginCall& c : log.Calls())
            if (wcscmp(c.tag, tag) == 0 && wcscmp(c.function, function) == 0 && (type < 0 || c.type == DWORD(type)))
                return true;
        Sleep(100);
    }
    return false;
}

size_t Position(const std::vector<std::wstring>& sequence, const std::wstring& item)
{
    return static_cast<size_t>(std::find(sequence.begin(), sequence.end(), item) - sequence.begin());
}

TEST(HostProgram, StartUpAndEndOrder)
{
    PluginCallLog log(L"hostorder");
    HostProgram host(L"main");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(0x4578AD11u, static_cast<DWORD>(GetWindowLongPtrW(window, GWLP_USERDATA)));
    EXPECT_FALSE(IsWindowVisible(window));

    // Trace plug-ins first, the others in the order Search, Save, Info, Extra, Telephony. The
    // window is there before the plug-ins load: wait for the last of them.
    ASSERT_TRUE(WaitForCall(log, L"T", L"AfterLoad"));
    std::vector<std::wstring> afterLoad = log.Sequence({L"AfterLoad"});
    ASSERT_FALSE(afterLoad.empty());
    EXPECT_EQ(L"D.AfterLoad", afterLoad.front());
    EXPECT_LT(Position(afterLoad, L"S0.AfterLoad"), Position(afterLoad, L"V.AfterLoad"));
    EXPECT_LT(Position(afterLoad, L"V.AfterLoad"), Position(afterLoad, L"I.AfterLoad"));
    EXPECT_LT(Position(afterLoad, L"I.AfterLoad"), Position(afterLoad, L"E.AfterLoad"));
    EXPECT_LT(Position(afterLoad, L"E.AfterLoad"), Position(afterLoad, L"T.AfterLoad"));
    // The start-up report reaches the trace plug-in as log messages, in its order. Its last
    // line is posted after the status "OK" that WaitWindow saw: it may still be on its way.
    EXPECT_TRUE(WaitForCall(log, L"D", L"BusProcess", 4));
    const wchar_t* kBitnessLine = sizeof(void*) == 8 ? L"Func.CServiceWindow.Info.ProgramBitness:64;"
                                                     : L"Func.CServiceWindow.Info.ProgramBitness:32;";
    for (int i = 0; i < 100; ++i) {
        bool last = false;
        for (const TestPluginCall& c : log.Calls())
            last = last || (wcscmp(c.tag, L"D") == 0 && c.type == 4 && wcsstr(c.text, L"Func.CServiceWindow.End;"));
        if (last)
            break;
        Sleep(100);
    }
    std::vector<std::wstring> report;
    for (const TestPluginCall& c : log.Calls()) {
        if (wcscmp(c.tag, L"D") != 0 || c.type != 4)
            continue;
        for (const wchar_t* line : {L"Func.CServiceWindow.Begin;", kBitnessLine,
                                    L"Func.CServiceWindow.Info.Application started;", L"Func.CServiceWindow.End;"})
            if (wcsstr(c.text, line))
                report.push_back(line);
    }
    // "Application started" is a level-1 line: at debug level 0 it is not written.
    const std::vector<std::wstring> expectedReport = {
        L"Func.CServiceWindow.Begin;", kBitnessLine, L"Func.CServiceWindow.End;"};
    EXPECT_EQ(expectedReport, report);
    // The help link line names the link, a web address (not the help file).
    bool helpLink = false;
    for (const TestPluginCall& c : log.Calls())
        helpLink = helpLink || (wcscmp(c.tag, L"D") == 0 && c.type == 4 &&
                                wcsstr(c.text, L"Func.CServiceWindow.Var.g_szHelpLink https://"));
    EXPECT_TRUE(helpLink);

    EndHost(host, window, first);
    std::vector<std::wstring> closing = log.Sequence({L"BeforeClose"});
    ASSERT_FALSE(closing.empty());
    EXPECT_EQ(L"D.BeforeClose", closing.back());
    // Each plug-in closes once.
    EXPECT_EQ(1, std::count(closing.begin(), closing.end(), L"S0.BeforeClose"));
    EXPECT_EQ(1, std::count(closing.begin(), closing.end(), L"D.BeforeClose"));
    // The normal end still writes the end state.
    EXPECT_EQ(L"ENDED", ReportValue(L"ProgramStatus", L"Status"));
}

TEST(HostProgram, NoPluginsStillStarts)
{
    PluginCallLog log(L"hostempty");
    HostProgram host(L"empty");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(L"OK", ReportValue(L"ProgramStatus", L"Status"));
    EndHost(host, window, first);
}

TEST(HostProgram, SecondInstanceIsRefused)
{
    PluginCallLog log(L"hostsecond");
    // A running-state value keeps the refusal box from blocking the test.
    DWORD oldState = GetRunningState();
    SetRunningState(1);
    HostProgram host(L"empty");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);

    size_t second = host.Start();
    EXPECT_EQ(static_cast<DWORD>(-1), host.WaitExit(second));

    // The shared block still names the first host.
    wchar_t user[128] = L"";
    DWORD size = _countof(user);
    GetUserNameW(user, &size);
    wchar_t name[512];
    BuildSharedMemName(name, _countof(name), host.ReportedFolder(first).c_str(), user);
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
    ASSERT_NE(nullptr, mapping) << name;
    auto* block = static_cast<const DWORD*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 16));
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)), block[3]);
    EXPECT_EQ(1u, block[2]);

    // -U closes the running host through its window.
    size_t remover = host.Start(L"-U");
    EXPECT_EQ(0u, host.WaitExit(remover));
    EXPECT_EQ(0u, host.WaitExit(first));
    // Its end cleared the host-running flag and the window handle.
    EXPECT_EQ(0u, block[2]);
    EXPECT_EQ(0u, block[3]);
    UnmapViewOfFile(block);
    CloseHandle(mapping);
    SetRunningState(oldState);
}

TEST(HostProgram, MessagesFromOtherPrograms)
{
    PluginCallLog log(L"hostmessages");
    HostProgram host(L"main");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);

    // Not a bus text: ignored, no status entry.
    log.Clear();
    EXPECT_EQ(0, SetText(window, L"hello <value keyword=\"Type\">17</value>", 1));
    EXPECT_NE(L"17", ReportValue(L"PrgMsg", L"Type"));

    // Type, host action, whether the plug-ins get it.
    const struct {
        int type;
        std::vector<std::pair<std::wstring, std::wstring>> values;
        const wchar_t* section;
        const wchar_t* key;
        const wchar_t* expected;
        bool reachesPlugins;
    } cases[] = {
        {11, {{L"State", L"3"}}, L"ProgramStatus", L"Status", L"ERROR", true},
        {11, {{L"State", L"9"}}, L"ProgramStatus", L"Status", L"UNKNOWN", true},
        {11, {{L"State", L"-1"}}, L"ProgramStatus", L"Status", L"UNKNOWN", true},
        {11, {{L"State", L"2"}}, L"ProgramStatus", L"Status", L"OK", true},
        {66, {{L"LastErr", L"50%s done %d"}}, L"LastError", L"Error", L"50%s done %d", false},
        {17, {{L"Partner", L"100%s"}, {L"Command", L"Dial"}}, L"PrgMsg", L"Partner", L"100%s", true},
        {12, {{L"ID", L"40001"}, {L"Text", L"Extra item"}}, L"PrgMsg", L"Type", L"12", false},
        {26, {{L"Level", L"0"}}, L"PrgMsg", L"Type", L"26", true},
    };
    for (const auto& c : cases) {
        log.Clear();
        EXPECT_EQ(0, SetText(window, BusText(c.type, c.values), 1)) << c.type;
        EXPECT_EQ(c.expected, ReportValue(c.section, c.key)) << c.type;
        EXPECT_EQ(L"HOSTTEST", ReportValue(L"PrgMsg", L"Sender")) << c.type;
        bool reached = false;
        for (const TestPluginCall& call : log.Calls())
            reached = reached || (wcscmp(call.function, L"BusProcess") == 0 && call.type == DWORD(c.type));
        EXPECT_EQ(c.reachesPlugins, reached) << c.type;
    }
    // A posted text arrives too; a 20,000-character one arrives whole, with its footer.
    log.Clear();
    std::wstring longText = BusText(17, {{L"Extra", std::wstring(20000, L'x')}});
    SetText(window, longText, 0);
    EXPECT_TRUE(WaitForCall(log, L"S0", L"BusProcess", 17));

    // Type 19 sends a window of another program the host's icon. The call is bounded: this
    // thread takes no sent messages while it waits for the host, and the host still answers.
    // (Whether the icon shows is not checked: Wine does not carry an icon handle of one
    // process into another's window.)
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"HostProgramTestIconTarget";
    RegisterClassW(&wc);
    HWND target = CreateWindowW(wc.lpszClassName, L"icon target", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(nullptr, target);
    const std::wstring setIcon = BusText(19, {{L"Window", std::to_wstring(reinterpret_cast<UINT_PTR>(target))}});
    EXPECT_EQ(0, SetText(window, setIcon, 1, SMTO_BLOCK));
    EXPECT_EQ(STILL_ACTIVE, host.WaitExit(first, 0));
    DestroyWindow(target);

    // Pointers of another process and addresses to call: checked and dropped, the host lives.
    for (UINT message : {0x47Fu, 0x479u, 0x485u})
        for (LPARAM pointer : {LPARAM(0), LPARAM(0x12345678), LPARAM(0x7FFE0000)})
            PostMessageW(window, message, 17, pointer);
    PostMessageW(window, 0x484, 0, reinterpret_cast<LPARAM>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ExitProcess")));
    // Each dropped message leaves an error line, which the host posts to itself and then
    // writes into the report, rewriting the file (a reader can find it empty meanwhile). Two
    // posted texts in turn: once the second has reached the plug-ins, the error lines queued
    // behind the dropped messages have been written.
    for (int round = 0; round < 2; ++round) {
        log.Clear();
        SetText(window, BusText(17, {{L"Extra", L"flush"}}), 0);
        ASSERT_TRUE(WaitForCall(log, L"S0", L"BusProcess", 17)) << round;
    }
    log.Clear();
    EXPECT_EQ(0, SetText(window, BusText(11, {{L"State", L"4"}}), 1));
    EXPECT_EQ(L"PAUSED", ReportValue(L"ProgramStatus", L"Status"));
    EXPECT_EQ(STILL_ACTIVE, host.WaitExit(first, 0));
    EndHost(host, window, first);
}

// Another program asks for a plug-in restart through the shared block: the host posts
// QOR_BUSMSG_PLUGINRESTART for the plug-in of the open settings page and clears the request.
TEST(HostProgram, MonitorThreadServesRestartRequest)
{
    PluginCallLog log(L"hostmonitor");
    HostProgram host(L"main");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);
    wchar_t user[128] = L"";
    DWORD size = _countof(user);
    GetUserNameW(user, &size);
    wchar_t name[512];
    BuildSharedMemName(name, _countof(name), host.ReportedFolder(first).c_str(), user);
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name);
    ASSERT_NE(nullptr, mapping) << name;
    auto* block = static_cast<volatile DWORD*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 16));
    ASSERT_NE(nullptr, block);
    log.Clear();
    block[1] = 222;
    block[0] = 1;
    // Within two cycles of the monitor (3 s each, then 3 s more before the request is served).
    bool restarted = false;
    for (int i = 0; i < 150 && !restarted; ++i) {
        for (const TestPluginCall& c : log.Calls())
            restarted = restarted || (wcscmp(c.tag, L"S0") == 0 && wcscmp(c.function, L"BusProcess") == 0 &&
                                      c.type == 33 && wcsstr(c.text, L"PluginID=222;PluginInitiated=0;"));
        Sleep(100);
    }
    EXPECT_TRUE(restarted);
    EXPECT_EQ(0u, block[0]);
    UnmapViewOfFile(const_cast<DWORD*>(block));
    CloseHandle(mapping);
    EndHost(host, window, first);
}

// Top-level dialogs of the process with that title.
std::vector<HWND> ProcessDialogs(DWORD pid, const wchar_t* title)
{
    std::vector<HWND> found;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", title)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid)
            found.push_back(window);
    }
    return found;
}

std::vector<HWND> WaitDialogs(DWORD pid, const wchar_t* title)
{
    for (int i = 0; i < 100; ++i) {
        std::vector<HWND> found = ProcessDialogs(pid, title);
        if (!found.empty())
            return found;
        Sleep(100);
    }
    return {};
}

// The tray menu's commands as the menu sends them: the about box, and the end question that
// is asked once however often the command comes.
TEST(HostProgram, AboutBoxAndEndQuestion)
{
    PluginCallLog log(L"hostmenu");
    HostProgram host(L"empty");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);

    PostMessageW(window, WM_COMMAND, 32780, 0);
    std::vector<HWND> about = WaitDialogs(pid, L"Program information");
    ASSERT_EQ(1u, about.size());
    wchar_t product[128] = L"";
    GetDlgItemTextW(about[0], 1013, product, _countof(product));
    EXPECT_STREQ(L"Orvix Telvane", product);
    // A second info command brings the open box to the front instead of opening another.
    PostMessageW(window, WM_COMMAND, 32780, 0);
    Sleep(500);
    EXPECT_EQ(1u, ProcessDialogs(pid, L"Program information").size());
    PostMessageW(about[0], WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 50 && !ProcessDialogs(pid, L"Program information").empty(); ++i)
        Sleep(100);
    EXPECT_TRUE(ProcessDialogs(pid, L"Program information").empty());

    PostMessageW(window, WM_COMMAND, 11007, 0);
    std::vector<HWND> question = WaitDialogs(pid, L"Program end");
    ASSERT_EQ(1u, question.size());
    PostMessageW(window, WM_COMMAND, 11007, 0);
    Sleep(500);
    EXPECT_EQ(1u, ProcessDialogs(pid, L"Program end").size());
    // Cancel keeps the host running; OK on a new question ends it.
    PostMessageW(question[0], WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 50 && !ProcessDialogs(pid, L"Program end").empty(); ++i)
        Sleep(100);
    EXPECT_TRUE(ProcessDialogs(pid, L"Program end").empty());
    EXPECT_EQ(STILL_ACTIVE, host.WaitExit(first, 0));
    PostMessageW(window, WM_COMMAND, 11007, 0);
    question = WaitDialogs(pid, L"Program end");
    ASSERT_EQ(1u, question.size());
    PostMessageW(question[0], WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0u, host.WaitExit(first));
    EXPECT_EQ(L"ENDED", ReportValue(L"ProgramStatus", L"Status"));
}

// The tray menu's settings entry opens the settings dialog in the real program, with a tree
// node for each category that has plug-ins; the bus closes it again.
TEST(HostProgram, SettingsEntryOpensTheDialog)
{
    PluginCallLog log(L"hostsettings");
    HostProgram host(L"config");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);

    PostMessageW(window, WM_COMMAND, 32778, 0);
    std::vector<HWND> dialogs = WaitDialogs(pid, L"Orvix Telvane - Settings");
    ASSERT_EQ(1u, dialogs.size());
    HWND tree = GetDlgItem(dialogs[0], 1000);
    ASSERT_NE(nullptr, tree);
    // "Module info", the Telephony and Search nodes and their six plug-ins; no node for the
    // empty categories.
    EXPECT_EQ(9u, TreeView_GetCount(tree));
    // A second settings command brings the open dialog forward instead of opening another.
    PostMessageW(window, WM_COMMAND, 32778, 0);
    Sleep(500);
    EXPECT_EQ(1u, ProcessDialogs(pid, L"Orvix Telvane - Settings").size());

    SetText(window, BusText(36, {}));  // QOR_BUSMSG_CLOSECONFIG
    for (int i = 0; i < 50 && !ProcessDialogs(pid, L"Orvix Telvane - Settings").empty(); ++i)
        Sleep(100);
    EXPECT_TRUE(ProcessDialogs(pid, L"Orvix Telvane - Settings").empty());
    SetText(window, BusText(10, {}));
    EXPECT_EQ(0u, host.WaitExit(first));
}

// A message of the host's own process names a second block in MemBlock: the host frees it
// with the message, both for the types it keeps for itself and for those the router hands
// round. A plug-in sends each and looks at its block when the host has handled it.
TEST(HostProgram, MemBlockOfAnOwnMessageIsFreedWhateverHandlesIt)
{
    PluginCallLog log(L"hostmemblock");
    HostProgram host(L"main");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);
    const struct {
        int type;
        const char* handledBy;
    } cases[] = {
        {7, "host"}, {8, "host"}, {19, "host"}, {36, "host"}, {61, "host"},
        {66, "host"}, {78, "host"}, {79, "host"}, {80, "router"}, {17, "router"},
    };
    for (const auto& c : cases) {
        log.Clear();
        SetText(window, BusText(17, {{L"TestAction", L"S0:memblock:" + std::to_wstring(c.type)}}), 1);
        int seen = 0;
        DWORD freed = 0;
        for (const TestPluginCall& call : log.Calls()) {
            if (wcscmp(call.function, L"MemBlockFreed") == 0) {
                ++seen;
                freed = call.type;
            }
        }
        ASSERT_EQ(1, seen) << "type " << c.type;
        EXPECT_EQ(1u, freed) << "type " << c.type << " (handled by the " << c.handledBy << ")";
    }
    EndHost(host, window, first);
}

// Once the end has begun the host takes no more work, but the last error that a plug-in
// reports while it is closed still reaches the status report.
TEST(HostProgram, LastErrorOfAPluginsClosingReachesTheReport)
{
    PluginCallLog log(L"hostcloseerror");
    HostProgram host(L"main");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);
    SetText(window, BusText(17, {{L"TestAction", L"S0:closeerror:S0 could not close"}}), 1);
    EndHost(host, window, first);
    EXPECT_EQ(L"S0 could not close", ReportValue(L"LastError", L"Error"));
    EXPECT_EQ(L"ENDED", ReportValue(L"ProgramStatus", L"Status"));
}

TEST(HostProgram, CrashingPluginWritesDump)
{
    PluginCallLog log(L"hostcrash");
    HostProgram host(L"main");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);
    SetText(window, BusText(17, {{L"TestAction", L"S0:crash:"}}), 0);
    // Wine's MiniDumpWriteDump is slow: it first loads the debug information of every Wine
    // library in the process, then copies the memory into the file a kilobyte per server call.
    // 9-11 s from the crash to the end on an idle machine, over 20 s under the suite's load.
    DWORD code = host.WaitExit(first, 90000);
    EXPECT_NE(STILL_ACTIVE, code);
    EXPECT_NE(0u, code);
    // "<program path without its last three characters>_CRASHDUMP_<date>_<time>.DMP"
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((host.Folder() + L"OrvixTelvane._CRASHDUMP_*.DMP").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(host.Folder() + fd.cFileName);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(0, memcmp(bytes.data(), "MDMP", 4));
}

}  // namespace

namespace {

// The program-end message must end the host well within this, whatever is open.
constexpr DWORD kEndBound = 3000;

// Sends the program-end message as another program does (posting asked for) and tells
// whether the host process was gone within the bound, counted from the send.
::testing::AssertionResult EndsWithinBound(HostProgram& host, HWND window, size_t index)
{
    DWORD start = GetTickCount();
    DWORD_PTR result = 0;
    const std::wstring end = BusText(10, {});
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(end.c_str()), SMTO_BLOCK, kEndBound, &result);
    DWORD spent = GetTickCount() - start;
    DWORD code = host.WaitExit(index, spent < kEndBound ? kEndBound - spent : 0);
    if (code == 0)
        return ::testing::AssertionSuccess();
    // How long it took in the end, for the report.
    code = host.WaitExit(index, 60000);
    return ::testing::AssertionFailure() << "ended with code " << code << " after " << GetTickCount() - start
                                         << " ms (bound " << kEndBound << " ms)";
}

// Another program's flood: bus texts of many kinds (among them the settings dialog, its
// closing and bus commands), posts of the host's own window messages with foreign values.
void Flood(HWND window, int count)
{
    const std::vector<std::wstring> texts = {
        BusText(9, {{L"Module", L"0"}}),
        BusText(36, {}),
        BusText(17, {{L"Partner", L"<&>"}, {L"MemBlock", L"4096"}}),
        BusText(8, {{L"CMD", L"NOSUCHCOMMAND"}, {L"Arg", L"x"}}),
        BusText(12, {{L"ID", L"40001"}, {L"Text", L"flood"}}),
        BusText(26, {{L"Level", L"0"}}),
        BusText(11, {{L"State", L"77"}}),
        BusText(9, {{L"Module", L"507"}}),
        L"no bus text",
    };
    for (int i = 0; i < count; ++i) {
        const std::wstring& text = texts[i % texts.size()];
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK, 2000, &result);
        switch (i % 4) {
        case 0: PostMessageW(window, 0x480, 0, 0); break;           // a settings page changed
        case 1: PostMessageW(window, 0x47F, 17, 0x12345678); break;  // a pointer of ours
        case 2: PostMessageW(window, 0x485, 0, 0x7FFE0000); break;
        default: PostMessageW(window, 0x483, 0, 0); break;          // the module list changed
        }
    }
}

}  // namespace

// The program-end message (Type 10 by WM_SETTEXT) ends the host from every state, and soon:
// with a settings page change pending, over a modal box of the host or of a plug-in, and
// behind a flood of other programs' messages.
TEST(HostProgram, ProgramEndEndsTheHostFromEveryState)
{
    struct Case {
        const char* name;
        const wchar_t* tree;
        std::function<void(HWND)> enter;
        const wchar_t* dialog;  // the window that shows the state has come, if any
    } cases[] = {
        {"no plug-ins, nothing open", L"empty", [](HWND) {}, nullptr},
        {"settings dialog by Type 9, a change pending", L"config",
         [](HWND w) {
             SetText(w, BusText(9, {{L"Module", L"0"}}), 0);
             PostMessageW(w, 0x480, 0, 0);
         },
         L"Orvix Telvane - Settings"},
        {"settings dialog from the tray, a change pending", L"empty",
         [](HWND w) {
             PostMessageW(w, 0x469, 2311, WM_LBUTTONDBLCLK);
             PostMessageW(w, 0x480, 0, 0);
         },
         L"Orvix Telvane - Settings"},
        {"about box", L"empty", [](HWND w) { PostMessageW(w, WM_COMMAND, 32780, 0); }, L"Program information"},
        {"end question", L"empty", [](HWND w) { PostMessageW(w, WM_COMMAND, 11007, 0); }, L"Program end"},
        {"a plug-in's message box", L"main",
         [](HWND w) { SetText(w, BusText(17, {{L"TestAction", L"S0:msgbox:Plug-in question"}}), 0); },
         L"Plug-in question"},
        {"after a flood of other programs' messages", L"config", [](HWND w) { Flood(w, 1000); }, nullptr},
        {"after a hostile flood of 20,000 texts and posts", L"main",
         [](HWND w) { EXPECT_EQ("", testing_support::HostileFlood(w, 20000)); }, nullptr},
    };
    for (const Case& c : cases) {
        PluginCallLog log(L"hostend");
        HostProgram host(c.tree);
        size_t first = host.Start();
        HWND window = host.WaitWindow(first);
        ASSERT_NE(nullptr, window) << c.name;
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        c.enter(window);
        if (c.dialog) {
            ASSERT_FALSE(WaitDialogs(pid, c.dialog).empty()) << c.name;
        }
        Sleep(200);
        EXPECT_TRUE(EndsWithinBound(host, window, first)) << c.name;
        EXPECT_EQ(L"ENDED", ReportValue(L"ProgramStatus", L"Status")) << c.name;
    }
}

namespace {

// For the life of the object the system's https handler is a command of the test's choice;
// the one before comes back afterwards.
class HttpsHandler {
public:
    explicit HttpsHandler(const std::wstring& command)
    {
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr) !=
            ERROR_SUCCESS)
            return;
        DWORD bytes = sizeof(m_old) - sizeof(wchar_t);
        DWORD type = 0;
        m_hadOld = RegQueryValueExW(m_key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(m_old), &bytes) ==
                   ERROR_SUCCESS;
        m_ok = RegSetValueExW(m_key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                              static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~HttpsHandler()
    {
        if (!m_key)
            return;
        if (m_hadOld)
            RegSetValueExW(m_key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_old),
                           static_cast<DWORD>((wcslen(m_old) + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(m_key, nullptr);
        RegCloseKey(m_key);
    }
    bool ok() const { return m_ok; }

private:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\Classes\\https\\shell\\open\\command";
    HKEY m_key = nullptr;
    wchar_t m_old[1024] = L"";
    bool m_hadOld = false;
    bool m_ok = false;
};

// Points the https handler at a command that writes the address it is given into a file of a
// temporary folder; Opened() waits for that line.
class OpenedAddress {
public:
    explicit OpenedAddress(const wchar_t* name)
        : m_folder(testing_support::MakeTempFolder(name)), m_file(m_folder + L"opened.txt"),
          m_handler(L"\"" + SystemFolder() + L"\\cmd.exe\" /c echo %1> \"" + m_file + L"\"")
    {
    }
    ~OpenedAddress() { testing_support::RemoveTree(m_folder); }
    bool ok() const { return m_handler.ok(); }
    std::string Opened() const
    {
        std::string text;
        for (int i = 0; i < 100 && text.find('\n') == std::string::npos; ++i) {
            Sleep(100);
            std::vector<BYTE> bytes = testing_support::ReadFileBytes(m_file);
            text.assign(bytes.begin(), bytes.end());
        }
        return text;
    }

private:
    static std::wstring SystemFolder()
    {
        wchar_t system[MAX_PATH] = L"";
        GetSystemDirectoryW(system, _countof(system));
        return system;
    }
    std::wstring m_folder;
    std::wstring m_file;
    HttpsHandler m_handler;
};

}  // namespace

// A click on the about box's link (the mouse's button down and up on it) opens its address
// with "https://" in front.
TEST(HostProgram, AboutBoxLinkOpensItsAddress)
{
    PluginCallLog log(L"hostlink");
    OpenedAddress opened(L"aboutlink");
    ASSERT_TRUE(opened.ok());
    HostProgram host(L"empty");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    PostMessageW(window, WM_COMMAND, 32780, 0);
    std::vector<HWND> about = WaitDialogs(pid, L"Program information");
    ASSERT_EQ(1u, about.size());
    HWND link = GetDlgItem(about[0], 1015);
    ASSERT_NE(nullptr, link);
    wchar_t address[260] = L"";
    GetWindowTextW(link, address, _countof(address));
    ASSERT_NE(L'\0', address[0]);

    PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    std::string text = opened.Opened();
    std::wstring wide(address, address + wcslen(address));
    EXPECT_NE(std::string::npos, text.find("https://" + std::string(wide.begin(), wide.end()))) << text;
    PostMessageW(about[0], WM_COMMAND, IDOK, 0);
    EndHost(host, window, first);
}

// Without a help file beside the program the settings dialog's Help opens the help link.
TEST(HostProgram, HelpWithoutHelpFileOpensTheHelpLink)
{
    PluginCallLog log(L"hosthelp");
    OpenedAddress opened(L"helplink");
    ASSERT_TRUE(opened.ok());
    HostProgram host(L"empty");
    size_t first = host.Start();
    HWND window = host.WaitWindow(first);
    ASSERT_NE(nullptr, window);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    PostMessageW(window, WM_COMMAND, 32778, 0);
    std::vector<HWND> dialogs = WaitDialogs(pid, L"Orvix Telvane - Settings");
    ASSERT_EQ(1u, dialogs.size());
    HWND help = GetDlgItem(dialogs[0], 9);
    ASSERT_NE(nullptr, help);
    EXPECT_TRUE(IsWindowEnabled(help));
    PostMessageW(dialogs[0], WM_COMMAND, MAKEWPARAM(9, BN_CLICKED), reinterpret_cast<LPARAM>(help));
    std::string text = opened.Opened();
    EXPECT_NE(std::string::npos, text.find("https://")) << text;
    EndHost(host, window, first);
}
