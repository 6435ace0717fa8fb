#include "foundation/ProgramLinks.h"
#include "foundation/ProgramStart.h"
#include "foundation/SelectionCopy.h"

#include "foundation/ClipboardTools.h"
#include "foundation/PathTools.h"
#include "foundation/Seams.h"
#include "foundation/ShellLinks.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace {

bool Exists(const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

class Links : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
};

}  // namespace

TEST_F(Links, StartupAndStartMenuShortcutsOfTheProgram)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring startup = std::wstring(GetCommonStartupFolder()) + L"\\OrvixTestLink.lnk";
    DeleteFileW(startup.c_str());
    HRESULT hr = CreateStartupLink(self, L"OrvixTestLink");
    EXPECT_EQ(S_OK, hr) << std::hex << hr;
    EXPECT_TRUE(Exists(startup)) << "an all-users Startup shortcut";
    EXPECT_EQ(S_FALSE, CreateStartupLink(L"NoSuchProgram.exe", L"OrvixTestLink"));
    EXPECT_FALSE(Exists(startup)) << "the old shortcut went, no new one for a missing file";

    std::wstring group = std::wstring(GetCommonStartMenuFolder()) + L"\\OrvixTestGroup";
    hr = CreateStartMenuLink(L"OrvixTestGroup", L"Telvane", self);
    EXPECT_EQ(S_OK, hr) << std::hex << hr;
    EXPECT_TRUE(Exists(group + L"\\Telvane.lnk"));
    RemoveStartMenuLink(L"OrvixTestGroup", L"Telvane");
    EXPECT_FALSE(Exists(group + L"\\Telvane.lnk"));
    EXPECT_FALSE(Exists(group)) << "the emptied group goes too";
}

TEST_F(Links, NamelessShortcutsAreNeverMade)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(E_INVALIDARG, CreateStartupLink(self, L""));
    EXPECT_EQ(E_INVALIDARG, CreateStartMenuLink(L"", L"Name", self));
    EXPECT_EQ(E_INVALIDARG, CreateStartMenuLink(L"Group", nullptr, self));
    EXPECT_FALSE(Exists(std::wstring(GetCommonStartupFolder()) + L"\\.lnk"));
}

TEST(Selection, EditControlCopiesByMessageAndTheOldTextIsKept)
{
    HWND parent = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 200, 50, nullptr, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowW(L"EDIT", L"call 0301234 now", WS_CHILD | WS_VISIBLE, 0, 0, 200, 20, parent, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(nullptr, edit);
    SendMessageW(edit, EM_SETSEL, 5, 12);
    SetClipboardText(parent, L"user's text", TRUE);
    BOOL saved = FALSE;
    HGLOBAL old = nullptr;
    EXPECT_EQ(1, CopySelection(edit, 0, &saved, &old));
    EXPECT_TRUE(saved);
    ASSERT_NE(nullptr, old);
    EXPECT_STREQ(L"0301234", GetClipboardText(parent));
    PutClipboardText(&old, parent);
    EXPECT_EQ(nullptr, old) << "the clipboard owns the block now";
    EXPECT_STREQ(L"user's text", GetClipboardText(parent));
    DestroyWindow(parent);
}

TEST(Selection, CopyTextBytesKeepsInsideTheBytes)
{
    wchar_t out[8];
    wmemset(out, L'#', 8);
    CopyTextBytes(out, 8, L"abcdef");
    EXPECT_STREQ(L"abc", out);
    EXPECT_EQ(L'#', out[4]);
    CopyTextBytes(out, 1, L"x");
    EXPECT_STREQ(L"abc", out) << "no room: nothing written";
}

namespace {
std::wstring g_boxText, g_boxCaption;
int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT)
{
    g_boxText = text;
    g_boxCaption = caption;
    return IDOK;
}
}  // namespace

TEST(ProgramStart, FileOpenThreadReportsAShellFailure)
{
    auto saved = g_pfnMessageBoxW;
    g_pfnMessageBoxW = RecordBox;
    HANDLE thread = StartFileOpenThread(L"C:\\no\\such\\file.orvixtest", nullptr, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 20000));
    CloseHandle(thread);  // the caller's handle: the thread never closes it
    g_pfnMessageBoxW = saved;
    EXPECT_EQ(L"Open File Error", g_boxCaption);
    EXPECT_FALSE(g_boxText.empty());
    EXPECT_EQ(nullptr, StartFileOpenThread(L"", nullptr, nullptr));
}

TEST(ProgramStart, NoProgramNoStart)
{
    EXPECT_EQ(0, StartProgramInUserSession(L""));
    EXPECT_EQ(0, StartProgramInUserSession(nullptr));
}
