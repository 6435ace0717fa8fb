#include <gtest/gtest.h>

#include <ole2.h>

#include <string>
#include <vector>

#include "foundation/HelpTools.h"
#include "foundation/RegTool.h"
#include "foundation/Seams.h"
#include "foundation/ShellDialogs.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

TEST(ShellExecuteErrorText, Table)
{
    struct Case { INT_PTR result; const wchar_t* text; };
    const Case cases[] = {
        {42, L"No Error"}, {33, L"No Error"}, {1, L"Unknown Error"}, {-1, L"Unknown Error"}, {4, L"Unknown Error"},
        {0, L"Out of memory"}, {2, L"The specified file was not found"},
        {3, L"The specified path was not found."}, {32, L"The specified DLL was not found"},
        {26, L"A sharing violation occurred."},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.text, GetShellExecuteErrorText(c.result)) << c.result;
    // The whole text, uncut by the 255-character buffer.
    EXPECT_STREQ(L"There is no application associated with the given file name extension. This error will "
                 L"also be returned if you attempt to print a file that is not printable.",
                 GetShellExecuteErrorText(31));
}

TEST(BrowseForFolder, FlagsAllowEveryFileSystemFolder)
{
    EXPECT_EQ(static_cast<UINT>(BIF_RETURNONLYFSDIRS), GetBrowseForFolderFlags(FALSE));
    EXPECT_EQ(static_cast<UINT>(BIF_RETURNONLYFSDIRS | BIF_USENEWUI), GetBrowseForFolderFlags(TRUE));
    EXPECT_EQ(0u, GetBrowseForFolderFlags(TRUE) & BIF_BROWSEFORCOMPUTER);
}

TEST(BrowseForFolder, FolderItemListOfAPath)
{
    CoInitialize(nullptr);
    std::wstring folder = MakeTempFolder(L"itemlist");
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(1, GetFolderItemList(folder.c_str(), &list));
    ASSERT_NE(nullptr, list);
    wchar_t back[MAX_PATH] = L"";
    ASSERT_TRUE(SHGetPathFromIDListW(list, back));
    std::wstring expected = folder.substr(0, folder.size() - 1);
    EXPECT_EQ(0, lstrcmpiW(expected.c_str(), back)) << back;
    CoTaskMemFree(list);

    list = reinterpret_cast<LPITEMIDLIST>(1);
    EXPECT_EQ(0, GetFolderItemList((folder + L"missing\\deeper").c_str(), &list));
    EXPECT_EQ(nullptr, list);
    RemoveTree(folder);
    CoUninitialize();
}

BOOL CALLBACK MatchShownDialog(HWND window, LPARAM param)
{
    wchar_t name[16] = L"";
    GetClassNameW(window, name, _countof(name));
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
}

// The dialog window a thread opened, once it is there (nullptr after the wait, or once the
// thread ended without one).
HWND WaitForDialogOf(HANDLE thread, DWORD threadId, DWORD milliseconds)
{
    ULONGLONG start = GetTickCount64();
    for (;;) {
        HWND found = nullptr;
        EnumThreadWindows(threadId, MatchShownDialog, reinterpret_cast<LPARAM>(&found));
        if (found || GetTickCount64() - start > milliseconds)
            return found;
        if (WaitForSingleObject(thread, 20) == WAIT_OBJECT_0)
            return nullptr;
    }
}

// One file dialog on a thread of its own. Kept on the heap: a dialog that never showed is left
// running with it.
struct DialogRun {
    bool save = false;
    wchar_t path[512] = L"";
    int result = -1;
};

DWORD WINAPI RunDialog(void* param)
{
    auto* run = static_cast<DialogRun*>(param);
    OleInitialize(nullptr);
    const wchar_t filter[] = L"Text\0*.txt\0\0";
    run->result = run->save ? SaveFileDialog(nullptr, L"Save as", run->path, filter)
                            : OpenFileDialog(nullptr, L"Open", run->path, filter);
    OleUninitialize();
    return 0;
}

// The file dialogs through the real common dialog library: a name typed into the dialog comes
// back in the path, a cancelled dialog chooses nothing.
TEST(FileDialogs, TheChosenFileComesBackAndACancelChoosesNone)
{
    std::wstring folder = MakeTempFolder(L"filedialog");
    WriteFileBytes(folder + L"existing.txt", "x", 1);
    struct Case { bool save; const wchar_t* name; int button; int result; const wchar_t* chosen; };
    const Case cases[] = {
        {false, L"existing.txt", IDOK, 1, L"existing.txt"},
        {true, L"new.txt", IDOK, 1, L"new.txt"},
        {false, L"existing.txt", IDCANCEL, 0, nullptr},
        {true, L"new.txt", IDCANCEL, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.save ? "save " : "open ") << (c.button == IDOK ? "OK" : "Cancel"));
        auto* run = new DialogRun;
        run->save = c.save;
        lstrcpynW(run->path, (folder + L"start.txt").c_str(), _countof(run->path));
        DWORD threadId = 0;
        HANDLE thread = CreateThread(nullptr, 0, RunDialog, run, 0, &threadId);
        ASSERT_NE(nullptr, thread);
        HWND window = WaitForDialogOf(thread, threadId, 20000);
        if (!window) {
            ADD_FAILURE() << "no file dialog opened";
            if (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
                CloseHandle(thread);
                continue;
            }
        } else {
            // The Explorer-style dialog's name box is a combo box (cmb13), the old style's an
            // edit control (edt1).
            if (!SetDlgItemTextW(window, 0x47c, c.name))
                SetDlgItemTextW(window, 0x480, c.name);
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(window, c.button)));
        }
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 20000)) << "the dialog did not close";
        CloseHandle(thread);
        EXPECT_EQ(c.result, run->result);
        if (c.chosen) {
            EXPECT_EQ(0, lstrcmpiW((folder + c.chosen).c_str(), run->path)) << run->path;
        }
        delete run;
    }
    RemoveTree(folder);
}

struct MenuCall { UINT flags; int x; int y; HWND owner; };
std::vector<MenuCall> g_menuCalls;
BOOL WINAPI RecordMenu(HMENU, UINT flags, int x, int y, HWND owner, LPTPMPARAMS)
{
    g_menuCalls.push_back({flags, x, y, owner});
    return 1234;
}

TEST(PopupMenu, ShownTenPixelsRightOfTheMouse)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HMENU menu = CreatePopupMenu();
    auto saved = g_pfnTrackPopupMenuEx;
    g_pfnTrackPopupMenuEx = RecordMenu;
    SetCursorPos(200, 150);
    POINT cursor = {};
    GetCursorPos(&cursor);

    g_menuCalls.clear();
    TrackPopupMenuAtCursor(owner, menu);
    EXPECT_EQ(1234u, TrackPopupMenuAtCursorReturnCmd(owner, menu));
    g_pfnTrackPopupMenuEx = saved;

    ASSERT_EQ(2u, g_menuCalls.size());
    EXPECT_EQ(static_cast<UINT>(TPM_RIGHTBUTTON), g_menuCalls[0].flags);
    EXPECT_EQ(static_cast<UINT>(TPM_RETURNCMD | TPM_RIGHTBUTTON), g_menuCalls[1].flags);
    for (const MenuCall& call : g_menuCalls) {
        EXPECT_EQ(cursor.x + 10, call.x);
        EXPECT_EQ(cursor.y, call.y);
        EXPECT_EQ(owner, call.owner);
    }
    DestroyMenu(menu);
    DestroyWindow(owner);
}

std::vector<std::wstring> g_helpFiles;
HWND WINAPI RecordHelp(HWND, LPCWSTR file, UINT command, DWORD_PTR data)
{
    EXPECT_EQ(static_cast<UINT>(HH_HELP_CONTEXT), command);
    g_helpFiles.push_back(file + std::wstring(L"#") + std::to_wstring(data));
    return reinterpret_cast<HWND>(1);
}

TEST(HtmlHelp, HelpFileBesideTheProgramOrInTheWindowsFolder)
{
    const std::wstring name = L"orvix_help_" + std::to_wstring(GetCurrentProcessId()) + L".chm";
    const std::wstring beside = ProgramFolder() + name;
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring inWindows = std::wstring(windows) + L"\\HELP\\" + name;
    wchar_t currentBefore[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, currentBefore);

    auto saved = g_pfnHtmlHelpW;
    g_pfnHtmlHelpW = RecordHelp;
    g_helpFiles.clear();

    EXPECT_EQ(0, HelpFileExists(name.c_str()));
    ShowHelpContext(name.c_str(), 7);

    WriteFileBytes(beside, "x", 1);
    EXPECT_EQ(1, HelpFileExists(name.c_str()));
    EXPECT_EQ(reinterpret_cast<HWND>(1), ShowHelpContext(name.c_str(), 8));
    ShowHelpContextOf(name.c_str(), 9, nullptr);
    DeleteFileW(beside.c_str());

    CreateDirectoryW((std::wstring(windows) + L"\\HELP").c_str(), nullptr);
    WriteFileBytes(inWindows, "x", 1);
    EXPECT_EQ(1, HelpFileExists(name.c_str()));
    DeleteFileW(inWindows.c_str());
    g_pfnHtmlHelpW = saved;

    ASSERT_EQ(3u, g_helpFiles.size());
    EXPECT_EQ(0, lstrcmpiW((inWindows + L"#7").c_str(), g_helpFiles[0].c_str())) << g_helpFiles[0];
    EXPECT_EQ(0, lstrcmpiW((beside + L"#8").c_str(), g_helpFiles[1].c_str())) << g_helpFiles[1];
    EXPECT_EQ(0, lstrcmpiW((beside + L"#9").c_str(), g_helpFiles[2].c_str())) << g_helpFiles[2];
    wchar_t currentAfter[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, currentAfter);
    EXPECT_STREQ(currentBefore, currentAfter) << "the current directory changed";
    EXPECT_EQ(0, HelpFileExists(L""));
}

TEST(HtmlHelp, LocalContentIsAllowed)
{
    AllowLocalHelpContent();
    for (const wchar_t* key : {L"SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\HHRestrictions",
                               L"SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\ItssRestrictions"}) {
        DWORD value = 0, size = sizeof(value), type = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_LOCAL_MACHINE, key, L"MaxAllowedZone", RRF_RT_REG_DWORD,
                                              &type, &value, &size)) << key;
        EXPECT_EQ(1u, value);
    }
}

}  // namespace
