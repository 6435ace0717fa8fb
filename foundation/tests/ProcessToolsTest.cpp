#include "foundation/ProcessTools.h"

#include "foundation/SecurityTools.h"
#include "foundation/tests/ChildProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::MakeTempFolder;
using testing_support::RemoveTree;

namespace {

// A copy of the child program under a name no other test uses, with upper-case letters.
class NamedChild : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = MakeTempFolder(L"procsearch");
        m_program = m_folder + L"ProcSearchCHILD_h2.exe";
        ASSERT_TRUE(CopyFileW(ChildProcess::DefaultProgram().c_str(), m_program.c_str(), FALSE));
    }
    void TearDown() override { RemoveTree(m_folder); }
    std::wstring m_folder;
    std::wstring m_program;
};

}  // namespace

TEST_F(NamedChild, SearchCountAndImagePathOfASpawnedChild)
{
    EXPECT_EQ(0u, FindProcessByPath(L"procsearchchild_h2.exe"));
    {
        ChildProcess child;
        ASSERT_TRUE(child.StartMarkedWindow(0x48AD1107, m_program));
        EXPECT_EQ(child.Id(), FindProcessByPath(L"procsearchchild_h2.exe")) << "found ignoring case";
        EXPECT_EQ(child.Id(), FindProcessByPathInSession(L"PROCSEARCHchild_H2"));
        EXPECT_EQ(1, CountProcessesByPath(L"procsearchchild_h2"));
        EXPECT_EQ(1, CountUserProcesses(L"procsearchchild_h2")) << "it runs under our account";

        wchar_t path[kProcessPathChars + 1];
        ASSERT_EQ(1, GetProcessImagePath(child.Id(), path));
        EXPECT_EQ(0, lstrcmpiW(m_program.c_str(), path)) << path;
        EXPECT_EQ(0u, child.Stop());
        // The process is gone: no result, and no path left over from before.
        wcscpy(path, L"stale");
        EXPECT_EQ(0, GetProcessImagePath(child.Id(), path));
        EXPECT_STREQ(L"", path);
    }
    EXPECT_EQ(0u, FindProcessByPath(L"procsearchchild_h2.exe"));
    EXPECT_EQ(0, CountProcessesByPath(L"procsearchchild_h2"));
    EXPECT_EQ(0u, FindProcessByPath(nullptr));
}

TEST_F(NamedChild, StartAndTerminate)
{
    std::wstring line = L"\"" + m_program + L"\" kill";
    DWORD pid = StartProcess(line.c_str(), 1);
    EXPECT_NE(0u, pid);

    ChildProcess child;
    ASSERT_TRUE(child.StartMarkedWindow(0x48AD1108, m_program));
    EXPECT_EQ(0, TerminateProcessById(0));
    EXPECT_NE(0, TerminateProcessById(child.Id()));
    EXPECT_EQ(0u, child.Wait()) << "terminated with exit code 0";

    // The error of a failed start is CreateProcessW's own.
    std::wstring missing = L"\"" + m_folder + L"missing.exe\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring copy = missing;
    EXPECT_FALSE(CreateProcessW(nullptr, &copy[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    DWORD expected = GetLastError();
    EXPECT_EQ(0u, StartProcess(missing.c_str(), 0));
    EXPECT_EQ(expected, GetLastError());
}

TEST(Processes, WindowsOfTheOwnProcess)
{
    HWND w = CreateWindowExW(0, L"STATIC", L"H2TitleProbe window", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_TRUE(w);
    SetWindowLongW(w, GWLP_USERDATA, 77);
    EXPECT_EQ(1, IsOwnProcessWindow(w));
    EXPECT_EQ(0, IsOwnProcessWindow(GetDesktopWindow()));
    EXPECT_EQ(0, IsOwnProcessWindow(nullptr));
    EXPECT_EQ(w, FindWindowByTitlePrefix(L"h2titleprobe", 0)) << "prefix ignoring case";
    EXPECT_EQ(w, FindWindowByTitlePrefix(L"H2TitleProbe", 77));
    EXPECT_EQ(nullptr, FindWindowByTitlePrefix(L"H2TitleProbe", 78));
    ShowWindow(w, SW_HIDE);
    EXPECT_EQ(nullptr, FindWindowByTitlePrefix(L"H2TitleProbe", 0)) << "visible windows only";
    DestroyWindow(w);
}

namespace {
bool g_afterExit = false;
DWORD WINAPI ExitsThroughTheHandle(LPVOID param)
{
    CloseHandleAndExitThread(static_cast<HANDLE*>(param));
    g_afterExit = true;  // never reached when the handle was set
    return 5;
}
}  // namespace

TEST(Processes, CloseHandleAndExitThread)
{
    HANDLE own = nullptr;
    HANDLE thread = CreateThread(nullptr, 0, ExitsThroughTheHandle, &own, CREATE_SUSPENDED, nullptr);
    ASSERT_TRUE(thread);
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS));
    ResumeThread(thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
    DWORD code = 99;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(g_afterExit);
    EXPECT_EQ(nullptr, own) << "the variable is cleared";
    CloseHandle(thread);

    HANDLE none = nullptr;
    CloseHandleAndExitThread(&none);  // no handle: returns
    CloseHandleAndExitThread(nullptr);
}

TEST(Processes, ShellExecuteThreadEndsAndClearsItsHandle)
{
    std::wstring folder = MakeTempFolder(L"shellthread");
    ShellExecuteRecord record = {};
    wcscpy(record.path, (folder + L"no such file.txt").c_str());
    HANDLE thread = CreateThread(nullptr, 0, ShellExecuteThreadProc, &record, CREATE_SUSPENDED, nullptr);
    ASSERT_TRUE(thread);
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &record.thread, 0, FALSE, DUPLICATE_SAME_ACCESS);
    ResumeThread(thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 20000));
    EXPECT_EQ(nullptr, record.thread);
    CloseHandle(thread);
    RemoveTree(folder);
}

TEST(Processes, PriorityLoadAndOptionalLibraries)
{
    SetProcessPriority(HIGH_PRIORITY_CLASS);
    EXPECT_EQ(static_cast<DWORD>(HIGH_PRIORITY_CLASS), GetPriorityClass(GetCurrentProcess()));
    SetProcessPriority(NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(static_cast<DWORD>(NORMAL_PRIORITY_CLASS), GetPriorityClass(GetCurrentProcess()));

    int load = GetProcessorLoad();
    EXPECT_GE(load, 0) << "the counter is available under Wine";
    EXPECT_LE(load, 100);
    for (int i = 0; i < 3; ++i)
        GetProcessorLoad();  // each call closes its query again

    EXPECT_EQ(nullptr, GetModuleHandleW(L"SPAWNEL.DLL"));
    EXPECT_EQ(0u, StartProcessViaHelper(1, 2, 3)) << "no process-start library";
    DisableWow64FsRedirection();
}

TEST(Processes, NewestLogFile)
{
    std::wstring folder = MakeTempFolder(L"newestlog");
    struct File {
        const wchar_t* name;
        int minutesAgo;
    } files[] = {{L"App.LOG", 30}, {L"App_2.log", 5}, {L"App_3.LOG", 60}, {L"Other.LOG", 1}, {L"App_4.txt", 0}};
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME base;
    SystemTimeToFileTime(&now, &base);
    for (const File& f : files) {
        std::wstring path = folder + f.name;
        testing_support::WriteFileBytes(path, "x", 1);
        HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ULARGE_INTEGER t;
        t.LowPart = base.dwLowDateTime;
        t.HighPart = base.dwHighDateTime;
        t.QuadPart -= static_cast<ULONGLONG>(f.minutesAgo) * 60 * 10000000ULL;
        FILETIME ft = {t.LowPart, t.HighPart};
        SetFileTime(h, nullptr, &ft, nullptr);
        CloseHandle(h);
    }
    wchar_t found[MAX_PATH * 2];
    ASSERT_EQ(1, FindNewestLogFile((folder + L"App").c_str(), found, _countof(found)));
    EXPECT_EQ(0, lstrcmpiW((folder + L"App_2.log").c_str(), found)) << found;
    EXPECT_EQ(0, FindNewestLogFile((folder + L"Missing").c_str(), found, _countof(found)));
    EXPECT_STREQ(L"", found);
    RemoveTree(folder);
}

TEST(Processes, ControlPanelAppletAlreadyOpenIsBroughtToTheFront)
{
    // With a window of that marker present, no new applet is started: the window is restored.
    HWND w = CreateWindowExW(0, L"STATIC", L"applet", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_TRUE(w);
    SetWindowLongW(w, GWLP_USERDATA, 0x48AD1109);
    ShowWindow(w, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(w));
    OpenControlPanelApplet(nullptr, 0x48AD1109, L"no-such-applet.cpl");
    EXPECT_FALSE(IsIconic(w));
    DestroyWindow(w);
}
