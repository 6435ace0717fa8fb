#include "foundation/VersionTool.h"

#include "foundation/PathTools.h"
#include "foundation/Seams.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

using testing_support::ProgramFolder;

namespace {

std::wstring Library(const wchar_t* kind) { return ProgramFolder() + L"orvix_vertest_" + kind + L".dll"; }

struct Expected {
    const wchar_t* kind;
    const wchar_t* description;
    const wchar_t* product;
    const wchar_t* comments;
    const wchar_t* original;
    const wchar_t* fileVersion;
    const wchar_t* productVersion;
    DWORD fileVersionMS;
};

const Expected kLibraries[] = {
    // The German table wins over the English one of the same block.
    {L"de", L"Pr\u00FCfbibliothek f\u00FCr Versionen", L"Orvix Pr\u00FCfung", L"Deutsche Tabelle",
     L"orvix_vertest_de.dll", L"1.2.3.4", L"5.6.7.65535", 0x00010002},
    {L"en", L"English only library", L"Orvix English", L"Only an English table", L"orvix_vertest_en.dll", L"9.8.7.6",
     L"9.8.0.0", 0x00090008},
    {L"none", L"", L"", L"", L"", L"", L"", 0},
};

void ExpectBlock(const Expected& e, const CVersionTool& v)
{
    EXPECT_STREQ(e.description, v.GetFileDescription()) << e.kind;
    EXPECT_STREQ(e.product, v.GetProductName()) << e.kind;
    EXPECT_STREQ(e.comments, v.GetComments()) << e.kind;
    EXPECT_STREQ(e.original, v.GetOriginalFilename()) << e.kind;
    EXPECT_STREQ(e.fileVersion, v.GetFileVersion()) << e.kind;
    EXPECT_STREQ(e.productVersion, v.GetProductVersion()) << e.kind;
    EXPECT_EQ(e.fileVersionMS, v.GetFileVersionMS()) << e.kind;
}

}  // namespace

TEST(VersionTool, BlocksOfThreeLibraries)
{
    for (const Expected& e : kLibraries) {
        CVersionTool fresh(Library(e.kind).c_str());
        ExpectBlock(e, fresh);
    }
}

TEST(VersionTool, ASecondFileWithoutBlockReportsNothingOfTheFirst)
{
    CVersionTool v(Library(L"de").c_str());
    ASSERT_STREQ(L"1.2.3.4", v.GetFileVersion());
    v.ReadVersionInfo(Library(L"none").c_str());
    ExpectBlock(kLibraries[2], v);
    EXPECT_EQ(0u, v.GetFixedInfo().dwSignature);

    v.ReadVersionInfo(Library(L"en").c_str());
    ExpectBlock(kLibraries[1], v);
    v.ReadVersionInfo((ProgramFolder() + L"no_such_file.dll").c_str());
    ExpectBlock(kLibraries[2], v);
    v.ReadVersionInfo(nullptr);
    ExpectBlock(kLibraries[2], v);
}

TEST(VersionTool, LoadedModuleAndProgram)
{
    HMODULE module = LoadLibraryW(Library(L"en").c_str());
    ASSERT_TRUE(module);
    CVersionTool v(module);
    ExpectBlock(kLibraries[1], v);
    FreeLibrary(module);

    CVersionTool program(static_cast<HMODULE>(nullptr));
    EXPECT_STREQ(L"Vt Suite", program.GetProductName());
    EXPECT_STREQ(L"Data Folder Test ", program.GetFileDescription());
    EXPECT_STREQ(L"3.1.4.1", program.GetFileVersion());

    CVersionTool empty;
    ExpectBlock(kLibraries[2], empty);
}

TEST(DataFolder, UserFolderFromTheProgramsBlock)
{
    wchar_t appData[MAX_PATH] = L"";
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, appData));
    // "Vt Suite" loses its blank; "Data Folder Test " keeps its inner blanks, not the last.
    EXPECT_EQ(std::wstring(appData) + L"\\Orvix\\VtSuite\\Data Folder Test\\LOG", std::wstring(GetDataFolder(L"LOG")));
    EXPECT_EQ(std::wstring(appData) + L"\\Orvix\\VtSuite\\Data Folder Test\\", std::wstring(GetDataFolder(L"")));
}

namespace {
BOOL ServiceAccount() { return TRUE; }
}  // namespace

TEST(DataFolder, ServiceAccountUsesTheProgramFolder)
{
    auto saved = g_pfnIsSystemAccount;
    g_pfnIsSystemAccount = ServiceAccount;
    std::wstring folder = GetDataFolder(L"CFG");
    g_pfnIsSystemAccount = saved;
    EXPECT_EQ(ProgramFolder() + L"CFG", folder);
}
