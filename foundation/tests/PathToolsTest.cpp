// psapi.h first on purpose: its GetModuleBaseName macro must not reach our own name.
#include <windows.h>
#include <psapi.h>

#include "foundation/PathTools.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::ProgramFolder;

TEST(PathPieces, AppendPathSeparator)
{
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"C:\\Data", L"C:\\Data\\"},
        {L"C:\\Data\\", L"C:\\Data\\"},
        {L"https://host/path", L"https://host/path/"},
        {L"https://host/path/", L"https://host/path/"},
        {L"", L"\\"},
    };
    for (const Case& c : cases) {
        wchar_t buffer[64];
        wcscpy(buffer, c.in);
        AppendPathSeparator(buffer, _countof(buffer));
        EXPECT_STREQ(c.out, buffer) << c.in;
    }
    wchar_t full[4] = L"abc";
    AppendPathSeparator(full, _countof(full));
    EXPECT_STREQ(L"abc", full);

    wchar_t web[16] = L"";
    AppendSlash(web, _countof(web));
    EXPECT_STREQ(L"/", web);
    AppendSlash(web, _countof(web));
    EXPECT_STREQ(L"/", web);
    StripTrailingSlash(web);
    EXPECT_STREQ(L"", web);
    wchar_t folder[16] = L"C:\\x\\\\";
    StripTrailingBackslash(folder);
    EXPECT_STREQ(L"C:\\x\\", folder);
}

TEST(PathPieces, AppendPathElementRules)
{
    struct Case {
        const wchar_t* element;
        const wchar_t* out;
    } cases[] = {
        {L"Orvix Telvane", L"X\\OrvixTelvane\\"},
        {L"A B", L"X\\AB\\"},
        {L"A B ", L"X\\A B\\"},
        {L"A B  ", L"X\\"},
        {L"A", L"X\\"},
        {L"", L"X\\"},
        {L"Ab", L"X\\Ab\\"},
    };
    for (const Case& c : cases) {
        wchar_t buffer[64] = L"X\\";
        AppendPathElement(buffer, _countof(buffer), c.element);
        EXPECT_STREQ(c.out, buffer) << "[" << c.element << "]";
    }
    wchar_t small[6] = L"X\\";
    AppendPathElement(small, _countof(small), L"Longer");
    EXPECT_STREQ(L"X\\Lon", small);
}

TEST(PathPieces, TrimAndQuote)
{
    wchar_t path[32] = L"..\\./Data\\x";
    TrimLeadingPathChars(path, _countof(path));
    EXPECT_STREQ(L"Data\\x", path);
    EXPECT_STREQ(L"\"C:\\a b\\c\"", QuotePath(L"C:\\a b\\c"));
}

TEST(RelativePaths, MakeRelativeTable)
{
    struct Case {
        const wchar_t* base;
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"C:\\PROG", L"c:\\prog\\Data\\x.ini", L".\\DATA\\x.ini"},
        {L"C:\\PROG\\", L"c:\\prog\\Data\\X.INI", L".\\DATA\\x.ini"},
        // Same letters, other folder: not below the base.
        {L"C:\\PROG", L"C:\\PROGRAMS\\x.ini", L"C:\\PROGRAMS\\x.ini"},
        {L"C:\\PROG", L"c:\\prog", L"C:\\prog"},
        {L"C:\\PROG", L".\\DATA\\x.ini", L".\\DATA\\x.ini"},
        {L"C:\\PROG", L"\\\\server\\share\\x", L"\\\\server\\share\\x"},
        {L"C:\\PROG", L"C:\\", L"C:\\"},
    };
    for (const Case& c : cases) {
        wchar_t path[260];
        wcscpy(path, c.in);
        MakeRelativePath(c.base, path);
        EXPECT_STREQ(c.out, path) << c.base << " " << c.in;
    }
    MakeRelativePath(nullptr, nullptr);
}

TEST(RelativePaths, MakeAbsoluteTable)
{
    EXPECT_STREQ(L"C:\\PROG\\DATA\\x.ini", MakeAbsolutePath(L"C:\\PROG", L".\\DATA\\x.ini"));
    EXPECT_STREQ(L"C:\\PROG\\DATA\\x.ini", MakeAbsolutePath(L"C:\\PROG\\", L"..\\DATA\\x.ini"));
    EXPECT_STREQ(L"D:\\OTHER\\y.txt", MakeAbsolutePath(L"C:\\PROG", L"d:\\other\\Y.TXT"));
    EXPECT_STREQ(L"", MakeAbsolutePath(nullptr, L".\\x"));
    // A round trip through the relative form.
    wchar_t path[260] = L"c:\\prog\\Data\\x.ini";
    MakeRelativePath(L"C:\\PROG", path);
    EXPECT_STREQ(L"C:\\PROG\\DATA\\x.ini", MakeAbsolutePath(L"C:\\PROG", path));
}

TEST(RelativePaths, NormalizeKeepsAFolderUpperCase)
{
    const std::wstring temp = testing_support::MakeTempFolder(L"paths_norm");
    const std::wstring folder = temp + L"SubDir";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    wchar_t path[260];
    wcscpy(path, folder.c_str());
    NormalizePathCase(path);
    EXPECT_EQ(L"\\SUBDIR", std::wstring(wcsrchr(path, L'\\')));
    wcscat(path, L"\\File.TXT");
    NormalizePathCase(path);
    EXPECT_EQ(L"\\file.txt", std::wstring(wcsrchr(path, L'\\')));
    testing_support::RemoveTree(temp);
}

TEST(ProgramPaths, NamesOfThisProgram)
{
    const std::wstring folder = ProgramFolder();
    EXPECT_EQ(folder + L"foundation_paths_test.exe", std::wstring(GetModulePath()));
    EXPECT_EQ(folder, std::wstring(GetModuleFolder()));
    EXPECT_EQ(folder, std::wstring(GetModuleFolderOf(nullptr)));
    EXPECT_STREQ(L"foundation_paths_test", GetProgramName());
    EXPECT_STREQ(L"foundation_paths_test", GetOwnModuleBaseName());
    EXPECT_EQ(GetModuleHandleW(nullptr), GetOwnModule());
    EXPECT_EQ(folder + L"foundation_paths_test.INI", std::wstring(GetModuleIniPath(nullptr)));
    EXPECT_STREQ(L"b.txt", GetFileNameWithExtension(L"C:\\a.d\\b.txt"));
    EXPECT_STREQ(L"C:\\a.d\\b.SEM", GetSemFilePath(L"C:\\a.d\\b.txt"));
    EXPECT_STREQ(L"C:\\a.d\\noext.SEM", GetSemFilePath(L"C:\\a.d\\noext"));
    EXPECT_STREQ(L"Prefix-foundation_paths_test", AppendProgramName(L"Prefix-"));

    wchar_t user[257] = L"";
    DWORD n = _countof(user);
    GetUserNameW(user, &n);
    std::wstring names = GetUserComputerName();
    EXPECT_EQ(0u, names.find(std::wstring(user) + L"#"));
    EXPECT_GT(names.size(), wcslen(user) + 1);
}

TEST(ProgramPaths, ShellFoldersExistWithoutTrailingSeparator)
{
    const wchar_t* folders[] = {GetAppDataFolder(), GetLocalAppDataFolder(), GetDesktopFolder(),
                                GetProgramFilesFolder(), GetProgramFilesFolder2(), GetCommonAppDataFolder(),
                                GetStartMenuFolder()};
    for (const wchar_t* folder : folders) {
        ASSERT_TRUE(folder[0]) << "empty";
        EXPECT_NE(L'\\', folder[wcslen(folder) - 1]) << folder;
    }
    EXPECT_STRNE(GetAppDataFolder(), GetLocalAppDataFolder());
    EXPECT_EQ(std::wstring(GetAppDataFolder()) + L"\\x.ini", std::wstring(GetAppDataFilePath(L"x.ini")));
}

TEST(ProgramPaths, FindWritableIniFileOrder)
{
    const wchar_t kName[] = L"orvix_paths_test_find.ini";
    const std::wstring inProgram = ProgramFolder() + kName;
    DeleteFileW(inProgram.c_str());
    // Nowhere yet: the application-data path, untested.
    EXPECT_STREQ(GetAppDataFilePath(kName), FindWritableIniFile(kName));

    testing_support::WriteFileBytes(inProgram, "", 0);
    EXPECT_EQ(inProgram, std::wstring(FindWritableIniFile(kName)));
    wchar_t entry[16] = L"";
    GetPrivateProfileStringW(L"Test", L"Test", L"", entry, _countof(entry), inProgram.c_str());
    EXPECT_STREQ(L"Test", entry);

    EXPECT_TRUE(WriteIniNumber(L"S", L"N", inProgram.c_str(), -42));
    EXPECT_EQ(-42, ReadIniNumber(L"S", L"N", inProgram.c_str()));
    EXPECT_EQ(0, ReadIniNumber(L"S", L"Missing", inProgram.c_str()));
    DeleteFileW(inProgram.c_str());
}
