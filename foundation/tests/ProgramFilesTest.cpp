#include "foundation/ProgramFiles.h"

#include "foundation/PathTools.h"
#include "foundation/RegTool.h"
#include "foundation/tests/LinkedFolders.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::MakeTempFolder;
using testing_support::RemoveTree;
using testing_support::WriteFileBytes;

namespace {
bool Exists(const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }
}  // namespace

TEST(FolderTree, DeletesBelowButRefusesDangerousPaths)
{
    std::wstring root = MakeTempFolder(L"tree");
    CreateDirectoryW((root + L"sub").c_str(), nullptr);
    CreateDirectoryW((root + L"keep").c_str(), nullptr);
    WriteFileBytes(root + L"a.txt", "a", 1);
    WriteFileBytes(root + L"sub\\b.txt", "b", 1);
    WriteFileBytes(root + L"keep\\precious.txt", "p", 1);

    EXPECT_EQ(0, DeleteFolderTree(L"", TRUE));
    EXPECT_EQ(0, DeleteFolderTree(L"C:\\", TRUE));
    EXPECT_EQ(0, DeleteFolderTree(L"C:", TRUE));
    EXPECT_EQ(0, DeleteFolderTree(L"relative\\folder", TRUE));
    EXPECT_EQ(0, DeleteFolderTree(L"\\\\server\\share", TRUE));
    EXPECT_EQ(0, DeleteFolderTree((root + L"QuorlanSupport\\x").c_str(), TRUE));

    EXPECT_EQ(1, DeleteFolderTree((root + L"sub").c_str(), FALSE));
    EXPECT_FALSE(Exists(root + L"sub\\b.txt"));
    EXPECT_TRUE(Exists(root + L"sub")) << "without the flag folders stay";
    EXPECT_EQ(1, DeleteFolderTree(root.c_str(), TRUE));
    EXPECT_FALSE(Exists(root));
}

// A folder link in the tree (a stand-in: Wine makes none): what it points to survives.
TEST(FolderTree, DoesNotFollowALink)
{
    std::wstring root = MakeTempFolder(L"linktree");
    std::wstring link = root + L"link";
    CreateDirectoryW(link.c_str(), nullptr);
    WriteFileBytes(link + L"\\precious.txt", "p", 1);
    WriteFileBytes(root + L"a.txt", "a", 1);
    {
        LinkedFolders links({link});
        EXPECT_EQ(1, DeleteFolderTree(root.c_str(), TRUE));
        EXPECT_EQ(0, LinkedFolders::EntriesSeenInside());
    }
    EXPECT_FALSE(Exists(root + L"a.txt"));
    EXPECT_TRUE(Exists(link + L"\\precious.txt")) << "a link is not followed";
    RemoveTree(root);
}

TEST(UserData, EmptySubPathDeletesNothing)
{
    std::wstring canary = std::wstring(GetAppDataFolder()) + L"\\orvix_canary.txt";
    WriteFileBytes(canary, "c", 1);
    DeleteUserDataFolders(L"");
    EXPECT_TRUE(Exists(canary));
    DeleteFileW(canary.c_str());
}

TEST(Updater, DownloadStaysWhenTheCopyFails)
{
    std::wstring folder = GetModuleFolder();
    std::wstring download = folder + L"ZUPDRA.EX_";
    std::wstring updater = folder + L"ZUPDRA.EXE";
    WriteFileBytes(download, "new", 3);
    // A running updater cannot be overwritten: hold it open without sharing.
    WriteFileBytes(updater, "old", 3);
    HANDLE busy = CreateFileW(updater.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ReplaceUpdaterProgram();
    CloseHandle(busy);
    EXPECT_TRUE(Exists(download)) << "not deleted after a failed copy";
    ReplaceUpdaterProgram();
    EXPECT_FALSE(Exists(download));
    auto bytes = testing_support::ReadFileBytes(updater);
    EXPECT_EQ("new", std::string(bytes.begin(), bytes.end()));
    DeleteFileW(updater.c_str());
}

TEST(ProgramFileNames, IconAndCommandTexts)
{
    std::wstring icon = GetProgramIconPath();
    std::wstring command = GetUrlProtocolCommand();
    std::wstring base = std::wstring(L"\"") + GetProgramFilesX86Folder() + L"\\Orvix\\Orvix Telvane\\";
    EXPECT_EQ(base + L"OrvixTelvane.exe\",0", icon);
    EXPECT_EQ(base + L"QORHELP.EXE\" -T %1", command);
}

TEST(RegisteredSubkeys, AdjacentMatchesAreAllDeleted)
{
    const wchar_t* path = L"Software\\OrvixTest\\Registered";
    CRegTool tool;
    tool.DeleteKeyTree(HKEY_CURRENT_USER, path);
    struct Sub { const wchar_t* name; const wchar_t* owner; DWORD version; } subs[] = {
        {L"A", L"orvix", 3}, {L"B", L"ORVIX", 5}, {L"C", L"other", 1}, {L"D", L"Orvix", 9}, {L"E", L"orvix", 0},
    };
    auto seed = [&] {
        for (const Sub& s : subs) {
            CRegTool key;
            std::wstring full = std::wstring(path) + L"\\" + s.name;
            ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CURRENT_USER, full.c_str()));
            key.WriteString(L"Owner", s.owner);
            if (s.version)
                key.WriteDword(L"Version", s.version);
            key.CloseKey();
        }
    };
    auto remaining = [&] {
        std::wstring names;
        CRegTool key;
        key.OpenExistingKey(HKEY_CURRENT_USER, path);
        for (DWORD i = 0;; ++i) {
            std::wstring n = key.EnumSubKey(i);
            if (n.empty())
                break;
            names += n;
        }
        key.CloseKey();
        return names;
    };
    seed();
    DeleteRegisteredSubkeys(HKEY_CURRENT_USER, path, L"Owner", L"Orvix", 6);
    EXPECT_EQ(L"CDE", remaining()) << "A and B (versions below 6) go; D is newer; E has no version";
    seed();
    DeleteRegisteredSubkeys(HKEY_CURRENT_USER, path, L"Owner", L"orvix", 0);
    EXPECT_EQ(L"C", remaining()) << "adjacent matches are not skipped";
    // Only its own key: other test programs keep theirs below Software\OrvixTest meanwhile.
    tool.DeleteKeyTree(HKEY_CURRENT_USER, path);
}

TEST(StartTime, ShownInADialogItem)
{
    HWND parent = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    HWND item = CreateWindowW(L"STATIC", L"", WS_CHILD, 0, 0, 100, 20, parent, reinterpret_cast<HMENU>(77), nullptr,
                              nullptr);
    ASSERT_NE(nullptr, item);
    ShowStartTime(parent, 77);
    wchar_t text[32];
    GetWindowTextW(item, text, 32);
    EXPECT_STREQ(L"-", text);
    RememberStartTime();
    ShowStartTime(parent, 77);
    GetWindowTextW(item, text, 32);
    EXPECT_EQ(19u, wcslen(text));
    EXPECT_EQ(L'/', text[4]);
    DestroyWindow(parent);
}

TEST(OtherProduct, TapiPluginIsSeenOnlyWhenLoaded)
{
    EXPECT_EQ(0, IsTapiTelephonyPluginLoaded());
    // Any library under that file name stands in for the other product's plug-in.
    std::wstring folder = MakeTempFolder(L"tapiplugin");
    std::wstring copy = folder + L"PluginTelephonyTapi.dll";
    ASSERT_TRUE(CopyFileW(L"C:\\windows\\system32\\version.dll", copy.c_str(), FALSE));
    HMODULE module = LoadLibraryW(copy.c_str());
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(1, IsTapiTelephonyPluginLoaded());
    FreeLibrary(module);
    EXPECT_EQ(0, IsTapiTelephonyPluginLoaded());
    RemoveTree(folder);
}

TEST(RegisteredSubkeys, AccessFlagsReachEveryOpen)
{
    const wchar_t* path = L"SOFTWARE\\OrvixTestAccessFlags\\View64";
    CRegTool reg;
    reg.Use32BitView();
    SetAccessFlags(&reg, KEY_WOW64_64KEY);
    EXPECT_EQ(static_cast<DWORD>(KEY_WOW64_64KEY), reg.GetViewFlags()) << "replaced, not added";
    ASSERT_EQ(ERROR_SUCCESS, reg.OpenKey(HKEY_LOCAL_MACHINE, path));
    reg.WriteDword(L"Probe", 7);
    reg.CloseKey();
    auto found = [&](REGSAM view) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    };
    EXPECT_TRUE(found(KEY_WOW64_64KEY));
#ifdef _WIN64
    // The default view of a 64-bit program is the 64-bit one: only the 32-bit view lacks it.
    SetAccessFlags(&reg, KEY_WOW64_32KEY);
    ASSERT_EQ(ERROR_SUCCESS, reg.OpenKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OrvixTestAccessFlags\\View32"));
    reg.CloseKey();
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OrvixTestAccessFlags\\View32", 0,
                                           KEY_READ | KEY_WOW64_64KEY, &key));
    if (key)
        RegCloseKey(key);
    EXPECT_FALSE(found(KEY_WOW64_32KEY)) << "written in the 64-bit view only";
    reg.DeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OrvixTestAccessFlags");
#endif
    SetAccessFlags(&reg, 0);
    EXPECT_EQ(0u, reg.GetViewFlags());
    SetAccessFlags(nullptr, KEY_WOW64_32KEY);  // ignored
    reg.DeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OrvixTestAccessFlags");
}
