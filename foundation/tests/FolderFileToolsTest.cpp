#include "foundation/FileTools.h"
#include "foundation/FolderTools.h"
#include "foundation/PathTools.h"

#include "foundation/tests/LinkedFolders.h"
#include "tests/support/TestSupport.h"

#include <aclapi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Touch(const std::wstring& path) { WriteFileBytes(path, "x", 1); }

class Folders : public ::testing::Test {
protected:
    void SetUp() override { m_temp = testing_support::MakeTempFolder(L"folders"); }
    void TearDown() override { testing_support::RemoveTree(m_temp); }
    std::wstring m_temp;  // ends with '\'
};

std::vector<BYTE> Bytes(std::initializer_list<int> values)
{
    std::vector<BYTE> bytes;
    for (int v : values)
        bytes.push_back(static_cast<BYTE>(v));
    return bytes;
}

}  // namespace

TEST_F(Folders, CreateFolderPathCreatesEveryLevel)
{
    std::wstring deep = m_temp + L"one\\two\\three\\";
    wchar_t path[512];
    wcscpy(path, deep.c_str());
    EXPECT_EQ(1, CreateFolderPath(path));
    EXPECT_EQ(deep.substr(0, deep.size() - 1), std::wstring(path));
    EXPECT_EQ(1, IsDirectory(path));
    EXPECT_EQ(1, CreateFolderPath(path));
    wchar_t shortPath[] = L"C:";
    EXPECT_EQ(1, CreateFolderPath(shortPath));

    // A file where a parent should be: 0, and nothing below it.
    Touch(m_temp + L"blocker");
    wcscpy(path, (m_temp + L"blocker\\x\\y").c_str());
    EXPECT_EQ(0, CreateFolderPath(path));
    EXPECT_FALSE(Exists(m_temp + L"blocker\\x"));
    EXPECT_EQ(0, IsDirectory((m_temp + L"blocker").c_str()));

    EXPECT_EQ(1, CreateFileFolder((m_temp + L"f1\\f2\\file.txt").c_str()));
    EXPECT_EQ(1, IsDirectory((m_temp + L"f1\\f2").c_str()));
    EXPECT_FALSE(Exists(m_temp + L"f1\\f2\\file.txt"));
}

TEST_F(Folders, RemoveFolderChainStopsAtTheFirstFolderInUse)
{
    wchar_t path[512];
    wcscpy(path, (m_temp + L"a\\b\\c").c_str());
    ASSERT_EQ(1, CreateFolderPath(path));
    Touch(m_temp + L"a\\keep.txt");
    RemoveFolderChain((m_temp + L"a\\b\\c\\").c_str());
    EXPECT_FALSE(Exists(m_temp + L"a\\b"));
    EXPECT_TRUE(Exists(m_temp + L"a\\keep.txt"));
    EXPECT_TRUE(Exists(m_temp));

    // A folder that is not empty itself: nothing above it is tried.
    wcscpy(path, (m_temp + L"p\\q").c_str());
    ASSERT_EQ(1, CreateFolderPath(path));
    Touch(m_temp + L"p\\q\\file");
    RemoveFolderChain((m_temp + L"p\\q").c_str());
    EXPECT_TRUE(Exists(m_temp + L"p\\q\\file"));
}

TEST_F(Folders, DeleteFolderContentsKeepsDotFolders)
{
    const std::wstring root = m_temp + L"tree";
    wchar_t path[512];
    wcscpy(path, (root + L"\\sub\\deeper").c_str());
    ASSERT_EQ(1, CreateFolderPath(path));
    wcscpy(path, (root + L"\\.git").c_str());
    ASSERT_EQ(1, CreateFolderPath(path));
    Touch(root + L"\\a.txt");
    Touch(root + L"\\sub\\b.txt");
    Touch(root + L"\\sub\\deeper\\c.txt");
    Touch(root + L"\\.git\\config");

    DeleteFolderContents(root.c_str(), FALSE);
    EXPECT_FALSE(Exists(root + L"\\a.txt"));
    EXPECT_FALSE(Exists(root + L"\\sub\\deeper\\c.txt"));
    EXPECT_TRUE(Exists(root + L"\\sub\\deeper"));
    EXPECT_TRUE(Exists(root + L"\\.git\\config"));

    Touch(root + L"\\sub\\b.txt");
    DeleteFolderContents((root + L"\\sub").c_str(), TRUE);
    EXPECT_FALSE(Exists(root + L"\\sub"));
    wcscpy(path, (root + L"\\empty").c_str());
    ASSERT_EQ(1, CreateFolderPath(path));
    DeleteFolderContents(path, TRUE);
    EXPECT_FALSE(Exists(path));
}

// Links inside a tree (stand-ins, see LinkedFolders.h): no walk goes inside one; the delete
// with the flag removes the link entry itself.
TEST_F(Folders, FolderWalksDoNotEnterALink)
{
    const std::wstring root = m_temp + L"tree";
    const std::wstring link = root + L"\\link";        // its target holds a file
    const std::wstring emptyLink = root + L"\\empty";  // its target holds nothing
    struct Case {
        const char* what;
        std::function<void()> walk;
        bool plainFoldersGo;
        bool emptyLinkGoes;
    } cases[] = {
        {"contents only", [&] { DeleteFolderContents(root.c_str(), FALSE); }, false, false},
        {"contents and folders", [&] { DeleteFolderContents(root.c_str(), TRUE); }, true, true},
        {"matching files", [&] { DeleteMatchingFiles(root.c_str(), L".LOG"); }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        wchar_t path[512];
        for (const std::wstring& folder : {root + L"\\sub", link, emptyLink}) {
            wcscpy(path, folder.c_str());
            ASSERT_EQ(1, CreateFolderPath(path));
        }
        Touch(root + L"\\a.log");
        Touch(root + L"\\sub\\b.log");
        Touch(link + L"\\target.log");
        {
            LinkedFolders links({link, emptyLink});
            c.walk();
            EXPECT_EQ(0, LinkedFolders::EntriesSeenInside());
        }
        EXPECT_FALSE(Exists(root + L"\\a.log"));
        EXPECT_FALSE(Exists(root + L"\\sub\\b.log"));
        EXPECT_EQ(!c.plainFoldersGo, Exists(root + L"\\sub"));
        EXPECT_TRUE(Exists(link + L"\\target.log")) << "the link was followed";
        EXPECT_EQ(!c.emptyLinkGoes, Exists(emptyLink));
        // A real link would have gone with the flag; its stand-in is a folder that holds a file.
        testing_support::RemoveTree(root);
    }
}

// The same with a real junction where the file system makes one (NTFS); Wine makes none, so
// there this case is skipped and the one above stands in for it.
TEST_F(Folders, DeleteFolderContentsDoesNotFollowAJunction)
{
    const std::wstring outside = m_temp + L"outside";
    const std::wstring root = m_temp + L"withlink";
    CreateDirectoryW(outside.c_str(), nullptr);
    CreateDirectoryW(root.c_str(), nullptr);
    Touch(outside + L"\\precious.txt");
    const std::wstring link = root + L"\\link";
    CreateDirectoryW(link.c_str(), nullptr);

    // A mount-point reparse point ("junction") to the outside folder.
    std::wstring target = L"\\??\\" + outside;
    std::vector<BYTE> data(sizeof(DWORD) + 2 * sizeof(WORD) + 4 * sizeof(WORD) + (target.size() + 2) * 2, 0);
    auto* words = reinterpret_cast<WORD*>(data.data() + 4);
    *reinterpret_cast<DWORD*>(data.data()) = IO_REPARSE_TAG_MOUNT_POINT;
    words[0] = static_cast<WORD>(data.size() - 8);        // data length
    words[2] = 0;                                           // substitute name offset
    words[3] = static_cast<WORD>(target.size() * 2);        // substitute name length
    words[4] = static_cast<WORD>(target.size() * 2 + 2);    // print name offset
    words[5] = 0;                                           // print name length
    memcpy(&words[6], target.c_str(), target.size() * 2);
    HANDLE dir = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, dir);
    DWORD returned = 0;
    BOOL made = DeviceIoControl(dir, FSCTL_SET_REPARSE_POINT, data.data(), static_cast<DWORD>(data.size()), nullptr, 0,
                                &returned, nullptr);
    CloseHandle(dir);
    if (!made || !Exists(link + L"\\precious.txt"))
        GTEST_SKIP() << "junctions are not available here (" << made << ", " << GetLastError() << ")";

    DeleteFolderContents(root.c_str(), TRUE);
    EXPECT_TRUE(Exists(outside + L"\\precious.txt"));
    EXPECT_FALSE(Exists(root));
}

TEST_F(Folders, DeleteMatchingFiles)
{
    wchar_t path[512];
    wcscpy(path, (m_temp + L"m\\sub").c_str());
    ASSERT_EQ(1, CreateFolderPath(path));
    Touch(m_temp + L"m\\run.log");
    Touch(m_temp + L"m\\keep.txt");
    Touch(m_temp + L"m\\sub\\Other.LOG");

    // An empty text matches nothing (and so deletes nothing).
    DeleteMatchingFiles((m_temp + L"m").c_str(), L"");
    EXPECT_TRUE(Exists(m_temp + L"m\\run.log"));
    DeleteMatchingFiles((m_temp + L"m").c_str(), L".log");
    EXPECT_FALSE(Exists(m_temp + L"m\\run.log"));
    EXPECT_FALSE(Exists(m_temp + L"m\\sub\\Other.LOG"));
    EXPECT_TRUE(Exists(m_temp + L"m\\keep.txt"));
    EXPECT_TRUE(Exists(m_temp + L"m\\sub"));
}

TEST_F(Folders, CreateFolderForEveryone)
{
    const std::wstring folder = m_temp + L"shared";
    EXPECT_TRUE(CreateFolderForEveryone(folder.c_str()));
    EXPECT_EQ(1, IsDirectory(folder.c_str()));
    EXPECT_FALSE(CreateFolderForEveryone(folder.c_str()));

    // Wine keeps no per-file DACL on a plain Unix file system (it answers from the Unix mode
    // bits), so the rights are read from the list that the folder is created with.
    PACL acl = NewEveryoneFolderAcl();
    ASSERT_TRUE(acl);
    BYTE world[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(world);
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, world, &size));
    ACCESS_MASK everyone = 0;
    int entries = 0;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (GetAce(acl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            EqualSid(reinterpret_cast<PSID>(&ace->SidStart), world)) {
            everyone |= ace->Mask;
            EXPECT_EQ(0, ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) << "not inherited";
            ++entries;
        }
    }
    EXPECT_EQ(1u, acl->AceCount);
    LocalFree(acl);
    EXPECT_EQ(1, entries);
    EXPECT_EQ(static_cast<ACCESS_MASK>(DELETE | READ_CONTROL | SYNCHRONIZE), everyone)
        << "never WRITE_DAC or WRITE_OWNER: whoever holds them can take the folder over";
}

TEST_F(Folders, TextFilesInThreeEncodings)
{
    const std::wstring file = m_temp + L"text.txt";
    struct Case {
        int (*write)(const wchar_t*, const wchar_t*, BOOL, BOOL);
        const wchar_t* text;
        std::vector<BYTE> bytes;
    } cases[] = {
        // ANSI code page 1252, LF as CR LF.
        {WriteTextFile, L"Gr\u00FC\u00DFe\n", Bytes({'G', 'r', 0xFC, 0xDF, 'e', 0x0D, 0x0A})},
        // UTF-8 of the euro sign is E2 82 AC; no terminator at the end.
        {WriteUtf8File, L"\u20AC\n", Bytes({0xE2, 0x82, 0xAC, 0x0D, 0x0A})},
        // UTF-16LE with the 0x0A unit intact (text mode would add a 0x0D byte inside it).
        {WriteWideFile, L"\u0A0A\n\u20AC", Bytes({0x0A, 0x0A, 0x0D, 0x00, 0x0A, 0x00, 0xAC, 0x20})},
        {WriteWideFile, L"", Bytes({})},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.write(file.c_str(), c.text, FALSE, TRUE));
        EXPECT_EQ(c.bytes, ReadFileBytes(file)) << c.text;
        // Appending adds the same bytes again.
        ASSERT_TRUE(c.write(file.c_str(), c.text, FALSE, FALSE));
        std::vector<BYTE> twice = c.bytes;
        twice.insert(twice.end(), c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(twice, ReadFileBytes(file)) << c.text;
    }
    // Far more non-Latin characters than a fixed (length + 32) x 2 guess can hold.
    std::wstring many(500, L'\u20AC');
    ASSERT_TRUE(WriteUtf8File(file.c_str(), many.c_str(), FALSE, TRUE));
    std::vector<BYTE> utf8 = ReadFileBytes(file);
    ASSERT_EQ(1500u, utf8.size());
    EXPECT_EQ(0xACu, utf8.back());
    EXPECT_FALSE(WriteWideFile((m_temp + L"nofolder\\x.txt").c_str(), L"x", FALSE, TRUE));
}

TEST_F(Folders, FileSizesAndTimes)
{
    const std::wstring file = m_temp + L"sized.bin";
    EXPECT_EQ(0u, GetFileSizeByName(file.c_str()));
    EXPECT_EQ(0u, GetFileWriteTime(file.c_str()));
    EXPECT_STREQ(L"", GetFileTimeText(file.c_str()));

    CreateFileIfMissing(file.c_str());
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(0u, GetFileSizeByName(file.c_str()));
    WriteFileBytes(file, "12345", 5);
    CreateFileIfMissing(file.c_str());
    EXPECT_EQ(5u, GetFileSizeByName(file.c_str()));

    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME set = {};
    SYSTEMTIME st = {2024, 2, 4, 29, 13, 5, 9, 0};
    SystemTimeToFileTime(&st, &set);
    SetFileTime(h, nullptr, nullptr, &set);
    CloseHandle(h);
    EXPECT_EQ((static_cast<ULONGLONG>(set.dwHighDateTime) << 32) | set.dwLowDateTime, GetFileWriteTime(file.c_str()));
    EXPECT_STREQ(L"2024-02-29 13:05:09", GetFileTimeText(file.c_str()));
    EXPECT_STREQ(L"2024-02-29 13:05:09", GetFileTimeText2(file.c_str()));

    // Held open by someone else who shares only reading: its time is still read.
    h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_STREQ(L"2024-02-29 13:05:09", GetFileTimeText(file.c_str()));
    EXPECT_NE(0u, GetFileWriteTime(file.c_str()));
    CloseHandle(h);
}

TEST_F(Folders, TimeOfALoadedLibrary)
{
    // A copy, so that its time can be set before it is loaded (and it is not shared with
    // another test program).
    const std::wstring library = m_temp + L"loaded.dll";
    ASSERT_TRUE(CopyFileW((std::wstring(GetModuleFolder()) + L"orvix_vertest_none.dll").c_str(), library.c_str(), FALSE));
    HANDLE h = CreateFileW(library.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    FILETIME set = {};
    SYSTEMTIME st = {2023, 11, 3, 30, 23, 59, 58, 0};
    SystemTimeToFileTime(&st, &set);
    SetFileTime(h, nullptr, nullptr, &set);
    CloseHandle(h);
    HMODULE module = LoadLibraryW(library.c_str());
    ASSERT_TRUE(module);
    // Windows' loader keeps the image file open, sharing only reading and deletion; Wine's
    // does not, so that handle is held here as well.
    HANDLE image = CreateFileW(library.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, image);
    EXPECT_STREQ(L"2023-11-30 23:59:58", GetFileTimeText(library.c_str()));
    EXPECT_STREQ(L"2023-11-30 23:59:58", GetFileTimeText2(library.c_str()));
    EXPECT_EQ((static_cast<ULONGLONG>(set.dwHighDateTime) << 32) | set.dwLowDateTime, GetFileWriteTime(library.c_str()));
    CloseHandle(image);
    FreeLibrary(module);
}

TEST(SystemFiles, InstallAndRemove)
{
    const wchar_t kName[] = L"orvix_paths_test_install.txt";
    const std::wstring source = testing_support::ProgramFolder() + kName;
    WriteFileBytes(source, "abc", 3);
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, _countof(system));
    const std::wstring target = std::wstring(system) + L"\\" + kName;

    EXPECT_TRUE(InstallFilesToSystem(nullptr, kName, nullptr));
    EXPECT_EQ(3u, ReadFileBytes(target).size());
    EXPECT_TRUE(RemoveFilesFromSystem(nullptr, kName, nullptr));
    EXPECT_FALSE(Exists(target));
    EXPECT_FALSE(RemoveFilesFromSystem(nullptr, kName, nullptr));
    EXPECT_FALSE(InstallFilesToSystem(nullptr, nullptr, nullptr));

    // The help file goes to the "help" folder of the Windows folder.
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, _countof(windows));
    const std::wstring helpFolder = std::wstring(windows) + L"\\help";
    CreateDirectoryW(helpFolder.c_str(), nullptr);
    EXPECT_TRUE(InstallFilesToSystem(kName, nullptr, kName));
    EXPECT_TRUE(Exists(target));
    EXPECT_TRUE(Exists(helpFolder + L"\\" + kName));
    EXPECT_TRUE(RemoveFilesFromSystem(kName, nullptr, kName));
    EXPECT_FALSE(Exists(target));
    EXPECT_FALSE(Exists(helpFolder + L"\\" + kName));
    DeleteFileW(source.c_str());
}
