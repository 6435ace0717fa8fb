#include "foundation/ShellLinks.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "foundation/PathTools.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

struct LinkInfo {
    bool loaded = false;
    std::wstring target, arguments, icon;
    int iconIndex = -1;
};

LinkInfo ReadLink(const std::wstring& path)
{
    LinkInfo info;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return info;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            wchar_t text[MAX_PATH] = L"";
            info.loaded = true;
            link->GetPath(text, MAX_PATH, nullptr, 0);
            info.target = text;
            text[0] = 0;
            link->GetArguments(text, MAX_PATH);
            info.arguments = text;
            text[0] = 0;
            link->GetIconLocation(text, MAX_PATH, &info.iconIndex);
            info.icon = text;
        }
        file->Release();
    }
    link->Release();
    return info;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ShellLinksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        m_name = L"OrvixLinkTest" + std::to_wstring(GetCurrentProcessId());
        m_target = ProgramFolder() + L"foundation_shell_test.exe";
    }
    void TearDown() override
    {
        DeleteStartupShortcuts(m_name.c_str());
        DeleteDesktopShortcuts(m_name.c_str());
        DeleteStartMenuShortcuts(m_name.c_str(), m_name.c_str());
        RemoveStartMenuFolders(m_name.c_str());
        CoUninitialize();
    }
    std::wstring In(const wchar_t* folder) const { return std::wstring(folder) + L"\\" + m_name + L".LNK"; }

    std::wstring m_name;
    std::wstring m_target;
};

TEST_F(ShellLinksTest, StartupShortcutIsCreatedReadBackAndDeleted)
{
    const std::wstring path = In(GetStartupFolder());
    ASSERT_EQ(S_OK, CreateStartupShortcut(m_target.c_str(), m_name.c_str(), L"-S x", FALSE));
    LinkInfo info = ReadLink(path);
    ASSERT_TRUE(info.loaded) << path;
    EXPECT_EQ(0, lstrcmpiW(m_target.c_str(), info.target.c_str())) << info.target;
    EXPECT_EQ(L"-S x", info.arguments);

    // An existing link is left as it is.
    EXPECT_EQ(0, CreateStartupShortcut(L"C:\\other.exe", m_name.c_str(), L"-other", FALSE));
    EXPECT_EQ(L"-S x", ReadLink(path).arguments);

    DeleteStartupShortcuts(m_name.c_str());
    EXPECT_FALSE(Exists(path));
}

TEST_F(ShellLinksTest, DesktopShortcutNeverOverwritesAFile)
{
    const std::wstring path = In(GetDesktopFolder());
    const char marker[] = "not a link";
    WriteFileBytes(path, marker, sizeof(marker));
    EXPECT_EQ(0, CreateDesktopShortcut(m_target.c_str(), m_name.c_str(), L""));
    std::vector<BYTE> bytes = ReadFileBytes(path);
    EXPECT_EQ(std::vector<BYTE>(marker, marker + sizeof(marker)), bytes);
    DeleteDesktopShortcuts(m_name.c_str());
    EXPECT_FALSE(Exists(path));

    ASSERT_EQ(S_OK, CreateDesktopShortcut(m_target.c_str(), m_name.c_str(), L"/a"));
    EXPECT_EQ(L"/a", ReadLink(path).arguments);
}

TEST_F(ShellLinksTest, StartMenuShortcutInItsOwnFolder)
{
    const std::wstring folder = std::wstring(GetStartMenuFolder()) + L"\\" + m_name;
    const std::wstring path = In(folder.c_str());
    ASSERT_EQ(S_OK, CreateStartMenuShortcut(m_target.c_str(), m_name.c_str(), m_name.c_str(), FALSE, nullptr));
    LinkInfo info = ReadLink(path);
    ASSERT_TRUE(info.loaded);
    EXPECT_EQ(0, lstrcmpiW(m_target.c_str(), info.icon.c_str())) << "the target's icon when none is given";
    EXPECT_EQ(0, info.iconIndex);

    // The folder goes only once it is empty.
    RemoveStartMenuFolders(m_name.c_str());
    EXPECT_TRUE(Exists(folder));
    DeleteStartMenuShortcuts(m_name.c_str(), m_name.c_str());
    EXPECT_FALSE(Exists(path));
    RemoveStartMenuFolders(m_name.c_str());
    EXPECT_FALSE(Exists(folder));

    const std::wstring icon = ProgramFolder() + L"icon.ico";
    ASSERT_EQ(S_OK, CreateStartMenuShortcut(m_target.c_str(), m_name.c_str(), m_name.c_str(), FALSE, icon.c_str()));
    EXPECT_EQ(0, lstrcmpiW(icon.c_str(), ReadLink(path).icon.c_str()));
}

}  // namespace
