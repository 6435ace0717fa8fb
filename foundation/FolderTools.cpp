#include "foundation/FolderTools.h"

#include "foundation/Format.h"
#include "foundation/Seams.h"

#include <aclapi.h>

#include <cwchar>
#include <io.h>

namespace {

const size_t kPath = 512;

bool IsDotName(const wchar_t* name) { return !wcscmp(name, L".") || !wcscmp(name, L".."); }

bool Exists(const wchar_t* path) { return _waccess(path, 0) == 0; }

void DeleteMatchingBelow(const wchar_t* folder, const wchar_t* upperText)
{
    wchar_t pattern[kPath];
    FormatW(pattern, _countof(pattern), L"%s\\*.*", folder);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (IsDotName(found.cFileName))
            continue;
        wchar_t path[kPath];
        if (FormatW(path, _countof(path), L"%s\\%s", folder, found.cFileName) < 0)
            continue;  // a path too long to name exactly is left alone
        DWORD attributes = g_pfnDirectoryEntryAttributes(path, &found);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or folder link may lead outside the tree: its files are not ours.
            if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                DeleteMatchingBelow(path, upperText);
            continue;
        }
        wchar_t upper[kPath];
        CopyText(upper, _countof(upper), path);
        CharUpperW(upper);
        if (wcsstr(upper, upperText))
            DeleteFileW(path);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

}  // namespace

DWORD FoundEntryAttributes(const wchar_t*, const WIN32_FIND_DATAW* found)
{
    return found ? found->dwFileAttributes : 0;
}

bool FindPathEntry(const wchar_t* path, WIN32_FIND_DATAW* found)
{
    if (!path || !path[0])
        return false;
    HANDLE find = FindFirstFileW(path, found);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
}

int IsExistingFile(const wchar_t* path)
{
    DWORD attributes = path ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int IsDirectory(const wchar_t* path)
{
    WIN32_FIND_DATAW found;
    return FindPathEntry(path, &found) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int CreateFolderPath(wchar_t* path)
{
    if (!path)
        return 0;
    size_t length = wcslen(path);
    if (length < 4)
        return 1;
    if (path[length - 1] == L'\\')
        path[--length] = L'\0';
    size_t start = (path[1] == L':') ? 2 : 1;
    for (size_t i = start + 1; i < length; ++i) {
        if (path[i] != L'\\')
            continue;
        path[i] = L'\0';
        bool ok = Exists(path) || CreateDirectoryW(path, nullptr);
        path[i] = L'\\';
        if (!ok)
            return 0;
    }
    if (Exists(path))
        return 1;
    return CreateDirectoryW(path, nullptr) ? 1 : 0;
}

int CreateFileFolder(const wchar_t* filePath)
{
    if (!filePath)
        return 0;
    wchar_t folder[260];
    CopyText(folder, _countof(folder), filePath);
    wchar_t* slash = wcsrchr(folder, L'\\');
    if (!slash)
        return 1;
    slash[1] = L'\0';
    return CreateFolderPath(folder);
}

PACL NewEveryoneFolderAcl()
{
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        return nullptr;
    EXPLICIT_ACCESSW access = {};
    // DELETE, READ_CONTROL and SYNCHRONIZE; never WRITE_DAC or WRITE_OWNER, with which anyone
    // could take the folder over.
    access.grfAccessPermissions = DELETE | READ_CONTROL | SYNCHRONIZE;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
    PACL acl = nullptr;
    if (SetEntriesInAclW(1, &access, nullptr, &acl) != ERROR_SUCCESS)
        acl = nullptr;
    FreeSid(everyone);
    return acl;
}

BOOL CreateFolderForEveryone(const wchar_t* folder)
{
    PACL acl = NewEveryoneFolderAcl();
    if (!acl)
        return FALSE;
    BOOL result = FALSE;
    SECURITY_DESCRIPTOR descriptor;
    if (InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE)) {
        SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
        result = CreateDirectoryW(folder, &attributes);
    }
    LocalFree(acl);
    return result;
}

void RemoveFolderChain(const wchar_t* folder)
{
    if (!folder || !folder[0])
        return;
    wchar_t path[kPath];
    CopyText(path, _countof(path) - 1, folder);
    size_t length = wcslen(path);
    while (length && path[length - 1] == L'\\')
        path[--length] = L'\0';
    // "X:" and the root itself are never removed: the climb ends below them.
    size_t floor = (length >= 2 && path[1] == L':') ? 2 : 0;
    if (!RemoveDirectoryW(path))
        return;
    for (size_t i = length; i-- > floor + 1;) {
        if (path[i] != L'\\')
            continue;
        path[i] = L'\0';
        if (i <= floor || !RemoveDirectoryW(path))
            return;
    }
}

void DeleteFolderContents(const wchar_t* folder, BOOL removeFolders)
{
    if (!folder || !folder[0])
        return;
    wchar_t pattern[kPath];
    FormatW(pattern, _countof(pattern), L"%s\\*.*", folder);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (IsDotName(found.cFileName))
                continue;
            wchar_t path[kPath];
            if (FormatW(path, _countof(path), L"%s\\%s", folder, found.cFileName) < 0)
                continue;
            DWORD attributes = g_pfnDirectoryEntryAttributes(path, &found);
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileW(path);
            } else if (found.cFileName[0] != L'.') {
                // A junction or folder link is removed as a link; what it points to stays.
                if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                    if (removeFolders)
                        RemoveDirectoryW(path);
                } else {
                    DeleteFolderContents(path, removeFolders);
                }
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    if (removeFolders)
        RemoveDirectoryW(folder);
}

void DeleteMatchingFiles(const wchar_t* folder, const wchar_t* text)
{
    if (!folder || !text || !text[0])
        return;
    wchar_t upper[32];
    CopyText(upper, _countof(upper), text);
    CharUpperW(upper);
    DeleteMatchingBelow(folder, upper);
}
