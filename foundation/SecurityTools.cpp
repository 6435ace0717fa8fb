#include "foundation/SecurityTools.h"

#include <aclapi.h>

#include <vector>

int EnablePrivilege(HANDLE token, const wchar_t* privilegeName, int enable)
{
    TOKEN_PRIVILEGES tp = {};
    if (!privilegeName || !LookupPrivilegeValueW(nullptr, privilegeName, &tp.Privileges[0].Luid))
        return 0;
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    SetLastError(0);
    if (!AdjustTokenPrivileges(token, FALSE, &tp, sizeof(tp), nullptr, nullptr))
        return 0;
    return GetLastError() == 0 ? 1 : 0;
}

int AdjustOwnPrivilege(const wchar_t* privilegeName, int enable)
{
    // Changed on the process token and without impersonating: an impersonation token copied
    // before the change would hide it from this thread for good.
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return 0;
    int result = EnablePrivilege(token, privilegeName, enable);
    CloseHandle(token);
    return result;
}

int TerminateProcessById(DWORD processId)
{
    if (processId == 0)
        return 0;
    HANDLE token = nullptr;
    int enabledHere = 0;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        enabledHere = EnablePrivilege(token, SE_DEBUG_NAME, 1);
    int result = 0;
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId)) {
        result = TerminateProcess(process, 0) ? 1 : 0;
        CloseHandle(process);
    }
    if (token) {
        if (enabledHere)
            EnablePrivilege(token, SE_DEBUG_NAME, 0);
        CloseHandle(token);
    }
    return result;
}

namespace {

DWORD SetFileDacl(const wchar_t* path, PACL acl)
{
    return SetNamedSecurityInfoW(const_cast<wchar_t*>(path), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                 nullptr, acl, nullptr);
}

}  // namespace

int GrantFileAccessToEveryone(const wchar_t* path)
{
    if (!path || !*path)
        return 0;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID everyone = nullptr, admins = nullptr;
    PACL acl = nullptr;
    int result = 0;
    if (AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone) &&
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &admins)) {
        EXPLICIT_ACCESSW entries[2] = {};
        for (EXPLICIT_ACCESSW& e : entries) {
            e.grfAccessPermissions = GENERIC_ALL;
            e.grfAccessMode = SET_ACCESS;
            e.grfInheritance = NO_INHERITANCE;
            e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        }
        entries[0].Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        entries[0].Trustee.ptstrName = static_cast<LPWSTR>(everyone);
        entries[1].Trustee.TrusteeType = TRUSTEE_IS_GROUP;
        entries[1].Trustee.ptstrName = static_cast<LPWSTR>(admins);
        if (SetEntriesInAclW(2, entries, nullptr, &acl) == ERROR_SUCCESS) {
            DWORD rc = SetFileDacl(path, acl);
            if (rc == ERROR_SUCCESS) {
                result = 1;
            } else if (rc == ERROR_ACCESS_DENIED) {
                // As owner the Administrators may write the DACL: take ownership, then set it
                // again; the privilege is only held for these two steps.
                HANDLE token = nullptr;
                if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
                    int enabled = EnablePrivilege(token, SE_TAKE_OWNERSHIP_NAME, 1);
                    if (SetNamedSecurityInfoW(const_cast<wchar_t*>(path), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                              admins, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                        SetFileDacl(path, acl) == ERROR_SUCCESS)
                        result = 1;
                    if (enabled)
                        EnablePrivilege(token, SE_TAKE_OWNERSHIP_NAME, 0);
                    CloseHandle(token);
                }
            }
        }
    }
    if (acl)
        LocalFree(acl);
    if (admins)
        FreeSid(admins);
    if (everyone)
        FreeSid(everyone);
    return result;
}

namespace {

struct Attributes {
    SECURITY_ATTRIBUTES sa = {};
    SECURITY_DESCRIPTOR sd = {};
    std::vector<BYTE> acl;
    bool built = false;
};

// Builds a descriptor whose DACL allows `mask` to each SID; falls back to default security
// (a null descriptor, never a null DACL) when any step fails.
void Build(Attributes& a, const std::vector<PSID>& sids, DWORD mask)
{
    a.sa.nLength = sizeof(a.sa);
    a.sa.bInheritHandle = FALSE;
    a.sa.lpSecurityDescriptor = nullptr;
    DWORD size = sizeof(ACL);
    for (PSID sid : sids)
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
    a.acl.assign(size, 0);
    PACL acl = reinterpret_cast<PACL>(a.acl.data());
    if (!InitializeAcl(acl, size, ACL_REVISION))
        return;
    for (PSID sid : sids) {
        if (!AddAccessAllowedAce(acl, ACL_REVISION, mask, sid))
            return;
    }
    if (InitializeSecurityDescriptor(&a.sd, SECURITY_DESCRIPTOR_REVISION) && SetSecurityDescriptorDacl(&a.sd, TRUE, acl, FALSE))
        a.sa.lpSecurityDescriptor = &a.sd;
}

std::vector<BYTE> CurrentUserSid()
{
    std::vector<BYTE> sid;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return sid;
    DWORD needed = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
    std::vector<BYTE> info(needed ? needed : 1);
    if (needed && GetTokenInformation(token, TokenUser, info.data(), needed, &needed)) {
        PSID user = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
        sid.assign(static_cast<BYTE*>(user), static_cast<BYTE*>(user) + GetLengthSid(user));
    }
    CloseHandle(token);
    return sid;
}

}  // namespace

SECURITY_ATTRIBUTES* GetInheritableSecurityAttributes()
{
    static SECURITY_ATTRIBUTES s_sa = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return &s_sa;
}

namespace {

// The current user, SYSTEM and the Administrators group with full access, nobody else.
void BuildOwnerAttributes(Attributes& a, BOOL inherit)
{
    std::vector<BYTE> user = CurrentUserSid();
    BYTE system[SECURITY_MAX_SID_SIZE], admins[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof(system), adminsSize = sizeof(admins);
    std::vector<PSID> sids;
    if (!user.empty())
        sids.push_back(user.data());
    if (CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize))
        sids.push_back(system);
    if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize))
        sids.push_back(admins);
    if (!user.empty())
        Build(a, sids, STANDARD_RIGHTS_ALL | SPECIFIC_RIGHTS_ALL);
    else
        a.sa = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    a.sa.bInheritHandle = inherit;
    a.built = true;
}

}  // namespace

SECURITY_ATTRIBUTES* GetUserSecurityAttributes()
{
    static Attributes s_attr;
    if (!s_attr.built)
        BuildOwnerAttributes(s_attr, FALSE);
    return &s_attr.sa;
}

SECURITY_ATTRIBUTES* GetNullDaclSecurityAttributes()
{
    static Attributes s_attr;
    if (!s_attr.built)
        BuildOwnerAttributes(s_attr, TRUE);
    return &s_attr.sa;
}

SECURITY_ATTRIBUTES* GetEveryoneSecurityAttributes()
{
    static Attributes s_attr;
    if (!s_attr.built) {
        BYTE world[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof(world);
        if (CreateWellKnownSid(WinWorldSid, nullptr, world, &size))
            Build(s_attr, {world}, 0x1FFFFF);
        else
            s_attr.sa = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
        s_attr.built = true;
    }
    return &s_attr.sa;
}
