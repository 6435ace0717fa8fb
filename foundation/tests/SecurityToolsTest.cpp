#include "foundation/SecurityTools.h"

#include "tests/support/TestSupport.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<BYTE> TokenInfo(HANDLE token, TOKEN_INFORMATION_CLASS kind)
{
    DWORD needed = 0;
    GetTokenInformation(token, kind, nullptr, 0, &needed);
    std::vector<BYTE> info(needed);
    if (!needed || !GetTokenInformation(token, kind, info.data(), needed, &needed))
        info.clear();
    return info;
}

// -1: the process token lacks the privilege; else 1 when enabled, 0 when not.
int PrivilegeState(const wchar_t* name)
{
    LUID luid;
    if (!LookupPrivilegeValueW(nullptr, name, &luid))
        return -1;
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::vector<BYTE> info = TokenInfo(token, TokenPrivileges);
    CloseHandle(token);
    if (info.empty())
        return -1;
    auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(info.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
        if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart)
            return (p.Attributes & SE_PRIVILEGE_ENABLED) ? 1 : 0;
    }
    return -1;
}

bool DaclHasAce(PACL acl, PSID sid, ACCESS_MASK* mask)
{
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (GetAce(acl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            EqualSid(&ace->SidStart, sid)) {
            if (mask)
                *mask = ace->Mask;
            return true;
        }
    }
    return false;
}

std::vector<BYTE> WellKnown(WELL_KNOWN_SID_TYPE type)
{
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    CreateWellKnownSid(type, nullptr, sid.data(), &size);
    return sid;
}

}  // namespace

TEST(Privileges, EnableRulesAndTheOwnToken)
{
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    EXPECT_EQ(0, EnablePrivilege(token, L"SeNoSuchPrivilege", 1));
    const wchar_t* lacking = nullptr;
    for (const wchar_t* name : {SE_CREATE_TOKEN_NAME, SE_TCB_NAME, SE_ASSIGNPRIMARYTOKEN_NAME, SE_LOCK_MEMORY_NAME}) {
        if (PrivilegeState(name) == -1) {
            lacking = name;
            break;
        }
    }
    if (lacking)
        EXPECT_EQ(0, EnablePrivilege(token, lacking, 1)) << "ERROR_NOT_ALL_ASSIGNED is a failure";
    CloseHandle(token);

    const wchar_t* held = nullptr;
    for (const wchar_t* name : {SE_SHUTDOWN_NAME, SE_SYSTEMTIME_NAME, SE_BACKUP_NAME, SE_DEBUG_NAME}) {
        if (PrivilegeState(name) == 0) {
            held = name;
            break;
        }
    }
    if (!held)
        GTEST_SKIP() << "the token holds no disabled privilege to switch";
    EXPECT_EQ(1, AdjustOwnPrivilege(held, 1));
    EXPECT_EQ(1, PrivilegeState(held)) << "enabled on the process token";
    HANDLE threadToken = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &threadToken))
        << "no impersonation token left behind that would hide the change";
    if (threadToken)
        CloseHandle(threadToken);
    EXPECT_EQ(1, AdjustOwnPrivilege(held, 0));
    EXPECT_EQ(0, PrivilegeState(held));
}

TEST(SecurityAttributes, NoneHasANullDacl)
{
    SECURITY_ATTRIBUTES* inheritable = GetInheritableSecurityAttributes();
    EXPECT_EQ(sizeof(SECURITY_ATTRIBUTES), inheritable->nLength);
    EXPECT_TRUE(inheritable->bInheritHandle);
    EXPECT_EQ(nullptr, inheritable->lpSecurityDescriptor) << "default security";

    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::vector<BYTE> user = TokenInfo(token, TokenUser);
    CloseHandle(token);
    ASSERT_FALSE(user.empty());
    PSID self = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;

    SECURITY_ATTRIBUTES* own = GetUserSecurityAttributes();
    ASSERT_EQ(own, GetUserSecurityAttributes()) << "built once";
    EXPECT_FALSE(own->bInheritHandle);
    ASSERT_TRUE(own->lpSecurityDescriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(own->lpSecurityDescriptor, &present, &acl, &defaulted));
    EXPECT_TRUE(present);
    ASSERT_TRUE(acl) << "a DACL, never a null one";
    EXPECT_TRUE(DaclHasAce(acl, self, nullptr));
    std::vector<BYTE> world = WellKnown(WinWorldSid);
    EXPECT_FALSE(DaclHasAce(acl, world.data(), nullptr)) << "not open to everyone";

    // A named object made with them opens again by its name.
    wchar_t name[64];
    wsprintfW(name, L"Local\\H2SecurityProbe%u", GetCurrentProcessId());
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, own, PAGE_READWRITE, 0, 16, name);
    ASSERT_TRUE(mapping);
    HANDLE again = OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name);
    EXPECT_TRUE(again);
    if (again)
        CloseHandle(again);
    CloseHandle(mapping);

    SECURITY_ATTRIBUTES* everyone = GetEveryoneSecurityAttributes();
    ASSERT_TRUE(everyone->lpSecurityDescriptor);
    EXPECT_FALSE(everyone->bInheritHandle);
    acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(everyone->lpSecurityDescriptor, &present, &acl, &defaulted));
    ASSERT_TRUE(acl);
    ACCESS_MASK mask = 0;
    EXPECT_TRUE(DaclHasAce(acl, world.data(), &mask));
    EXPECT_EQ(0x1FFFFFu, mask);
    EXPECT_EQ(1u, acl->AceCount);
}

TEST(SecurityAttributes, OwnObjectsLetInOnlyTheUserSystemAndAdministrators)
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::vector<BYTE> user = TokenInfo(token, TokenUser);
    CloseHandle(token);
    ASSERT_FALSE(user.empty());
    PSID self = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;

    SECURITY_ATTRIBUTES* sa = GetNullDaclSecurityAttributes();
    ASSERT_EQ(sa, GetNullDaclSecurityAttributes()) << "built once";
    EXPECT_EQ(sizeof(SECURITY_ATTRIBUTES), sa->nLength);
    EXPECT_TRUE(sa->bInheritHandle) << "handles made with them are inheritable (the arp pipe relies on it)";
    ASSERT_TRUE(sa->lpSecurityDescriptor);
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(sa->lpSecurityDescriptor, &present, &acl, &defaulted));
    EXPECT_TRUE(present);
    ASSERT_TRUE(acl) << "never a null DACL, whatever the name says";
    std::vector<BYTE> system = WellKnown(WinLocalSystemSid), admins = WellKnown(WinBuiltinAdministratorsSid),
                      world = WellKnown(WinWorldSid);
    ACCESS_MASK mask = 0;
    EXPECT_TRUE(DaclHasAce(acl, self, &mask));
    EXPECT_EQ(static_cast<ACCESS_MASK>(STANDARD_RIGHTS_ALL | SPECIFIC_RIGHTS_ALL), mask);
    EXPECT_TRUE(DaclHasAce(acl, system.data(), nullptr));
    EXPECT_TRUE(DaclHasAce(acl, admins.data(), nullptr));
    EXPECT_FALSE(DaclHasAce(acl, world.data(), nullptr)) << "not open to everyone";
    EXPECT_EQ(3u, acl->AceCount);

    // A pipe made with them has inheritable ends and works.
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, sa, 0));
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(writeEnd, &flags));
    EXPECT_TRUE(flags & HANDLE_FLAG_INHERIT);
    DWORD written = 0, read = 0;
    char out[4] = {};
    EXPECT_TRUE(WriteFile(writeEnd, "abc", 3, &written, nullptr));
    EXPECT_TRUE(ReadFile(readEnd, out, 3, &read, nullptr));
    EXPECT_STREQ("abc", out);
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
}

namespace {
ACCESS_MASK EveryoneFileAccess(const std::wstring& path)
{
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                              &sd) != ERROR_SUCCESS)
        return 0;
    std::vector<BYTE> world = WellKnown(WinWorldSid);
    ACCESS_MASK mask = 0;
    DaclHasAce(acl, world.data(), &mask);
    LocalFree(sd);
    return mask;
}
}  // namespace

TEST(SecurityAttributes, GrantFileAccessToEveryone)
{
    std::wstring folder = testing_support::MakeTempFolder(L"grant");
    std::wstring file = folder + L"shared.txt";
    testing_support::WriteFileBytes(file, "x", 1);
    EXPECT_EQ(0, GrantFileAccessToEveryone(nullptr));
    ASSERT_EQ(1, GrantFileAccessToEveryone(file.c_str()));
    // Wine derives a file's DACL from its Unix mode (owner, SYSTEM, Everyone), so the
    // Administrators entry is not kept there; what shows is that Everyone may now read and write.
    ACCESS_MASK mask = EveryoneFileAccess(file);
    EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_GENERIC_READ), mask & FILE_GENERIC_READ) << std::hex << mask;
    EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_GENERIC_WRITE), mask & FILE_GENERIC_WRITE) << std::hex << mask;
    EXPECT_EQ(0, GrantFileAccessToEveryone((folder + L"missing.txt").c_str()));
    testing_support::RemoveTree(folder);
}
