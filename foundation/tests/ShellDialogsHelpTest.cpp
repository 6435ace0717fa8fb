#include <gtest/gtest.h>

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
