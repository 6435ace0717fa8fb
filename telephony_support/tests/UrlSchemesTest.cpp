#include "telephony_support/UrlSchemes.h"

#include "foundation/PathTools.h"
#include "foundation/RegTool.h"
#include "foundation/Seams.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring ReadDefault(const std::wstring& path, const wchar_t* name = L"")
{
    CRegTool key;
    if (key.OpenExistingKey(HKEY_CURRENT_USER, path.c_str()) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t value[600] = L"";
    int r = key.ReadString(name, value, 600, nullptr);
    key.CloseKey();
    return r == REGREAD_MISSING ? L"<missing>" : value;
}

DWORD ReadDisabled(const wchar_t* path)
{
    CRegTool key;
    DWORD value = 0;
    if (key.OpenExistingKey(HKEY_CURRENT_USER, path) == ERROR_SUCCESS) {
        key.ReadDword(L"DisabledProtocolHandlerRegistrations", &value, 0);
        key.CloseKey();
    }
    return value;
}

void WriteDefault(const std::wstring& path, const wchar_t* value)
{
    CRegTool key;
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CURRENT_USER, path.c_str()));
    key.WriteString(L"", value);
    key.CloseKey();
}

BOOL g_system = FALSE;
BOOL FakeAccount() { return g_system; }

class UrlSchemes : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t* s : {L"callto", L"tel", L"sugartel", L"corvall"}) {
            CRegTool key;
            key.DeleteKeyTree(HKEY_CURRENT_USER, (std::wstring(L"SOFTWARE\\Classes\\") + s).c_str());
        }
        m_account = g_pfnIsSystemAccount;
        g_pfnIsSystemAccount = FakeAccount;
        g_system = FALSE;
        m_handler = std::wstring(GetModuleFolder()) + L"QORHELP.EXE";
        testing_support::WriteFileBytes(m_handler, "MZ", 2);
    }
    void TearDown() override
    {
        g_pfnIsSystemAccount = m_account;
        DeleteFileW(m_handler.c_str());
    }
    decltype(g_pfnIsSystemAccount) m_account;
    std::wstring m_handler;
};

}  // namespace

TEST_F(UrlSchemes, RestoreWithoutRegistrationLeavesOtherOwnersAlone)
{
    // Another program owns all four; this process never registered anything.
    for (const wchar_t* s : {L"callto", L"tel", L"sugartel", L"corvall"}) {
        std::wstring key = std::wstring(L"SOFTWARE\\Classes\\") + s;
        WriteDefault(key + L"\\Shell\\Open\\Command", L"\"C:\\Other\\dialer.exe\" %1");
        WriteDefault(key + L"\\DefaultIcon", L"C:\\Other\\dialer.exe,1");
    }
    RegisterUrlProtocols(L"");
    RegisterUrlProtocols(nullptr);
    for (const wchar_t* s : {L"callto", L"tel", L"sugartel", L"corvall"}) {
        std::wstring key = std::wstring(L"SOFTWARE\\Classes\\") + s;
        EXPECT_EQ(L"\"C:\\Other\\dialer.exe\" %1", ReadDefault(key + L"\\Shell\\Open\\Command")) << s;
        EXPECT_EQ(L"C:\\Other\\dialer.exe,1", ReadDefault(key + L"\\DefaultIcon")) << s;
    }

    // Registered twice, then restored once: the other program gets its scheme back, not a
    // copy of ours saved by the second registration; a further restore changes nothing.
    RegisterUrlProtocols(L"QORHELP.EXE");
    RegisterUrlProtocols(L"QORHELP.EXE");
    EXPECT_EQ(L"\"" + m_handler + L"\" -T %1", ReadDefault(L"SOFTWARE\\Classes\\tel\\Shell\\Open\\Command"));
    RegisterUrlProtocols(L"");
    WriteDefault(L"SOFTWARE\\Classes\\callto\\Shell\\Open\\Command", L"\"C:\\Third\\phone.exe\" %1");
    RegisterUrlProtocols(L"");
    for (const wchar_t* s : {L"tel", L"sugartel", L"corvall"}) {
        std::wstring key = std::wstring(L"SOFTWARE\\Classes\\") + s;
        EXPECT_EQ(L"\"C:\\Other\\dialer.exe\" %1", ReadDefault(key + L"\\Shell\\Open\\Command")) << s;
        EXPECT_EQ(L"C:\\Other\\dialer.exe,1", ReadDefault(key + L"\\DefaultIcon")) << s;
    }
    EXPECT_EQ(L"\"C:\\Third\\phone.exe\" %1", ReadDefault(L"SOFTWARE\\Classes\\callto\\Shell\\Open\\Command"))
        << "the owner that came after the restore keeps the scheme";
}

TEST_F(UrlSchemes, HandlerBesideTheProgramOwnsAllFourAndRestoreBringsBackThePrevious)
{
    WriteDefault(L"SOFTWARE\\Classes\\tel\\Shell\\Open\\Command", L"\"C:\\Other\\dialer.exe\" %1");
    WriteDefault(L"SOFTWARE\\Classes\\tel\\DefaultIcon", L"C:\\Other\\dialer.exe,1");
    RegisterUrlProtocols(L"QORHELP.EXE");
    for (const wchar_t* s : {L"callto", L"tel", L"sugartel", L"corvall"}) {
        std::wstring key = std::wstring(L"SOFTWARE\\Classes\\") + s;
        EXPECT_EQ(L"\"" + m_handler + L"\" -T %1", ReadDefault(key + L"\\Shell\\Open\\Command")) << s;
        EXPECT_EQ(m_handler + L",0", ReadDefault(key + L"\\DefaultIcon")) << s;
        EXPECT_EQ(L"", ReadDefault(key, L"URL Protocol")) << s;
    }
    EXPECT_EQ(63u, ReadDisabled(L"Software\\Microsoft\\Office\\15.0\\Lync"));
    EXPECT_EQ(63u, ReadDisabled(L"SOFTWARE\\Microsoft\\Communicator"));
    RegisterUrlProtocols(L"");
    EXPECT_EQ(L"\"C:\\Other\\dialer.exe\" %1", ReadDefault(L"SOFTWARE\\Classes\\tel\\Shell\\Open\\Command"));
    EXPECT_EQ(L"C:\\Other\\dialer.exe,1", ReadDefault(L"SOFTWARE\\Classes\\tel\\DefaultIcon"));
    EXPECT_EQ(L"", ReadDefault(L"SOFTWARE\\Classes\\callto\\Shell\\Open\\Command")) << "no previous owner: empty";
}

TEST_F(UrlSchemes, MissingHandlerWritesNothingAndServiceModeOnlyTheOfficeValue)
{
    RegisterUrlProtocols(L"NOSUCHHELPER.EXE");
    EXPECT_EQ(L"<missing>", ReadDefault(L"SOFTWARE\\Classes\\callto\\Shell\\Open\\Command"));
    {
        CRegTool key;
        key.DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\15.0\\Lync");
    }
    g_system = TRUE;
    RegisterUrlProtocols(m_handler.c_str());
    EXPECT_EQ(63u, ReadDisabled(L"Software\\Microsoft\\Office\\15.0\\Lync"));
    EXPECT_EQ(L"<missing>", ReadDefault(L"SOFTWARE\\Classes\\callto\\Shell\\Open\\Command"));
}
