#include "foundation/PathTools.h"

#include "foundation/Format.h"
#include "foundation/FolderTools.h"
#include "foundation/TextUtils.h"

#include <shlobj.h>

#include <cstdlib>
#include <cwchar>
#include <io.h>

namespace {

const size_t kPath = 512;

bool IsSeparator(wchar_t ch) { return ch == L'\\' || ch == L'/'; }

// Where the pieces of a path begin: the folder after the drive, the name, the extension.
struct PathPieces {
    size_t folder;     // after "X:" (0 without a drive)
    size_t name;       // after the last separator
    size_t extension;  // the last '.' of the name, or the end
    size_t end;
};

PathPieces SplitPath(const wchar_t* path)
{
    PathPieces p = {};
    p.end = wcslen(path);
    p.folder = (p.end >= 2 && path[1] == L':') ? 2 : 0;
    p.name = p.folder;
    for (size_t i = p.folder; i < p.end; ++i)
        if (IsSeparator(path[i]))
            p.name = i + 1;
    p.extension = p.end;
    for (size_t i = p.end; i > p.name; --i)
        if (path[i - 1] == L'.') {
            p.extension = i - 1;
            break;
        }
    return p;
}

const wchar_t* ShellFolder(wchar_t* buffer, int csidl)
{
    buffer[0] = L'\0';
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, buffer)))
        buffer[0] = L'\0';
    return buffer;
}

bool ExistsReadable(const wchar_t* path) { return _waccess(path, 4) == 0; }

}  // namespace

void AppendPathSeparator(wchar_t* path, size_t size)
{
    if (!path)
        return;
    wchar_t separator = wcschr(path, L'/') ? L'/' : L'\\';
    size_t length = wcslen(path);
    if (length == 0 || path[length - 1] != separator) {
        wchar_t add[2] = {separator, L'\0'};
        AppendText(path, size, add);
    }
}

void AppendSlash(wchar_t* text, size_t size)
{
    if (!text)
        return;
    size_t length = wcslen(text);
    if (length == 0 || text[length - 1] != L'/')
        AppendText(text, size, L"/");
}

void StripTrailingBackslash(wchar_t* path)
{
    size_t length = path ? wcslen(path) : 0;
    if (length && path[length - 1] == L'\\')
        path[length - 1] = L'\0';
}

void StripTrailingSlash(wchar_t* text)
{
    size_t length = text ? wcslen(text) : 0;
    if (length && text[length - 1] == L'/')
        text[length - 1] = L'\0';
}

void TrimLeadingPathChars(wchar_t* path, size_t size)
{
    if (!path)
        return;
    size_t skip = 0;
    while (skip < size && (path[skip] == L'.' || IsSeparator(path[skip])))
        ++skip;
    if (skip)
        memmove(path, path + skip, (BoundedLength(path + skip, size - skip) + 1) * sizeof(wchar_t));
}

const wchar_t* QuotePath(const wchar_t* path)
{
    thread_local wchar_t t_quoted[kPath + 2];
    FormatW(t_quoted, _countof(t_quoted), L"\"%s\"", path ? path : L"");
    return t_quoted;
}

void AppendPathElement(wchar_t* dst, size_t size, const wchar_t* element)
{
    if (!dst || !element)
        return;
    wchar_t piece[kPath];
    CopyText(piece, _countof(piece), element);
    size_t length = wcslen(piece);
    if (length < 2)
        return;
    if (piece[length - 1] == L' ') {
        if (piece[length - 2] == L' ')
            return;
        piece[length - 1] = L'\0';
    } else {
        RemoveBlanks(piece);
    }
    AppendText(dst, size, piece);
    AppendText(dst, size, L"\\");
}

void NormalizePathCase(wchar_t* path)
{
    if (!path || !path[0])
        return;
    PathPieces p = SplitPath(path);
    if (p.name)
        CharUpperBuffW(path, static_cast<DWORD>(p.name));
    if (p.end > p.name) {
        if (IsDirectory(path))
            CharUpperBuffW(path + p.name, static_cast<DWORD>(p.end - p.name));
        else
            CharLowerBuffW(path + p.name, static_cast<DWORD>(p.end - p.name));
    }
}

void MakeRelativePath(const wchar_t* base, wchar_t* path)
{
    if (!base || !path || path[0] == L'.' || (path[0] && path[1] == L'\\'))
        return;
    size_t length = wcslen(path);
    if (length <= 3)
        return;
    NormalizePathCase(path);
    StripTrailingBackslash(path);
    wchar_t folder[kPath];
    CopyText(folder, _countof(folder), base);
    StripTrailingBackslash(folder);
    size_t baseLength = wcslen(folder);
    length = wcslen(path);
    // The base must end at a separator of the path: C:\PROG is no folder of C:\PROGRAMS.
    if (baseLength == 0 || length <= baseLength || path[baseLength] != L'\\')
        return;
    if (CompareStringOrdinal(folder, static_cast<int>(baseLength), path, static_cast<int>(baseLength), TRUE) !=
        CSTR_EQUAL)
        return;
    path[0] = L'.';
    memmove(path + 1, path + baseLength, (length - baseLength + 1) * sizeof(wchar_t));
}

const wchar_t* MakeAbsolutePath(const wchar_t* base, const wchar_t* path)
{
    thread_local wchar_t t_absolute[260];
    t_absolute[0] = L'\0';
    if (!base || !path)
        return t_absolute;
    if (path[0] == L'.') {
        CopyText(t_absolute, _countof(t_absolute), base);
        StripTrailingBackslash(t_absolute);
        AppendText(t_absolute, _countof(t_absolute), path + (path[1] == L'.' ? 2 : 1));
    } else {
        CopyText(t_absolute, _countof(t_absolute), path);
    }
    NormalizePathCase(t_absolute);
    return t_absolute;
}

const wchar_t* GetModulePath()
{
    thread_local wchar_t t_path[kPath];
    DWORD n = GetModuleFileNameW(nullptr, t_path, _countof(t_path));
    t_path[n < _countof(t_path) ? n : _countof(t_path) - 1] = L'\0';
    return t_path;
}

const wchar_t* GetModuleFolderOf(HMODULE module)
{
    thread_local wchar_t t_folder[kPath];
    DWORD n = GetModuleFileNameW(module, t_folder, _countof(t_folder));
    t_folder[n < _countof(t_folder) ? n : _countof(t_folder) - 1] = L'\0';
    t_folder[SplitPath(t_folder).name] = L'\0';
    return t_folder;
}

const wchar_t* GetModuleFolder()
{
    thread_local wchar_t t_folder[kPath];
    CopyText(t_folder, _countof(t_folder), GetModuleFolderOf(nullptr));
    return t_folder;
}

const wchar_t* GetModuleIniPath(HMODULE module)
{
    thread_local wchar_t t_ini[kPath];
    wchar_t path[kPath];
    DWORD n = GetModuleFileNameW(module, path, _countof(path));
    path[n < _countof(path) ? n : _countof(path) - 1] = L'\0';
    path[SplitPath(path).extension] = L'\0';
    FormatW(t_ini, _countof(t_ini), L"%s.INI", path);
    return t_ini;
}

namespace {
void BaseNameOf(const wchar_t* path, wchar_t* dst, size_t capacity)
{
    PathPieces p = SplitPath(path);
    CopyTextN(dst, capacity, path + p.name, p.extension - p.name);
}
}  // namespace

const wchar_t* GetProgramName()
{
    thread_local wchar_t t_name[kPath];
    BaseNameOf(GetModulePath(), t_name, _countof(t_name));
    return t_name;
}

HMODULE GetOwnModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&GetOwnModule), &module);
    return module;
}

const wchar_t* GetOwnModuleBaseName()
{
    thread_local wchar_t t_name[260];
    wchar_t path[kPath];
    DWORD n = GetModuleFileNameW(GetOwnModule(), path, _countof(path));
    path[n < _countof(path) ? n : _countof(path) - 1] = L'\0';
    BaseNameOf(path, t_name, _countof(t_name));
    return t_name;
}

const wchar_t* GetFileNameWithExtension(const wchar_t* path)
{
    thread_local wchar_t t_name[kPath];
    CopyText(t_name, _countof(t_name), path ? path + SplitPath(path).name : L"");
    return t_name;
}

const wchar_t* GetSemFilePath(const wchar_t* path)
{
    thread_local wchar_t t_sem[kPath];
    t_sem[0] = L'\0';
    if (!path)
        return t_sem;
    CopyTextN(t_sem, _countof(t_sem) - 4, path, SplitPath(path).extension);
    AppendText(t_sem, _countof(t_sem), L".SEM");
    return t_sem;
}

const wchar_t* AppendProgramName(const wchar_t* text)
{
    thread_local wchar_t t_text[260];
    CopyText(t_text, _countof(t_text), text);
    AppendText(t_text, _countof(t_text), GetProgramName());
    return t_text;
}

const wchar_t* GetUserComputerName()
{
    thread_local wchar_t t_names[kPath];
    if (!t_names[0]) {
        wchar_t user[257] = L"", computer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
        DWORD n = _countof(user);
        if (!GetUserNameW(user, &n))
            user[0] = L'\0';
        n = _countof(computer);
        if (!GetComputerNameW(computer, &n))
            computer[0] = L'\0';
        FormatW(t_names, _countof(t_names), L"%s#%s", user, computer);
    }
    return t_names;
}

#define ORVIX_SHELL_FOLDER(function, csidl)            \
    const wchar_t* function()                          \
    {                                                  \
        thread_local wchar_t t_folder[MAX_PATH];       \
        return ShellFolder(t_folder, csidl);           \
    }
ORVIX_SHELL_FOLDER(GetAppDataFolder, CSIDL_APPDATA)
ORVIX_SHELL_FOLDER(GetDesktopFolder, CSIDL_DESKTOP)
ORVIX_SHELL_FOLDER(GetStartupFolder, CSIDL_STARTUP)
ORVIX_SHELL_FOLDER(GetStartMenuFolder, CSIDL_STARTMENU)
ORVIX_SHELL_FOLDER(GetProgramFilesFolder, CSIDL_PROGRAM_FILES)
ORVIX_SHELL_FOLDER(GetProgramFilesFolder2, CSIDL_PROGRAM_FILES)
ORVIX_SHELL_FOLDER(GetCommonAppDataFolder, CSIDL_COMMON_APPDATA)
ORVIX_SHELL_FOLDER(GetCommonDesktopFolder, CSIDL_COMMON_DESKTOPDIRECTORY)
ORVIX_SHELL_FOLDER(GetCommonStartupFolder, CSIDL_COMMON_STARTUP)
ORVIX_SHELL_FOLDER(GetCommonStartMenuFolder, CSIDL_COMMON_STARTMENU)
ORVIX_SHELL_FOLDER(GetProgramFilesX86Folder, CSIDL_PROGRAM_FILESX86)
#undef ORVIX_SHELL_FOLDER

const wchar_t* GetLocalAppDataFolder()
{
    thread_local wchar_t t_folder[MAX_PATH];
    thread_local bool t_asked = false;
    if (!t_asked) {
        ShellFolder(t_folder, CSIDL_LOCAL_APPDATA);
        t_asked = true;
    }
    return t_folder;
}

const wchar_t* GetAppDataFilePath(const wchar_t* fileName)
{
    thread_local wchar_t t_path[kPath];
    FormatW(t_path, _countof(t_path), L"%s\\%s", GetAppDataFolder(), fileName ? fileName : L"");
    return t_path;
}

BOOL WriteIniTestEntry(const wchar_t* file)
{
    return WritePrivateProfileStringW(L"Test", L"Test", L"Test", file);
}

const wchar_t* FindWritableIniFile(const wchar_t* fileName)
{
    thread_local wchar_t t_path[kPath];
    if (!fileName)
        fileName = L"";
    FormatW(t_path, _countof(t_path), L"%s%s", GetModuleFolder(), fileName);
    if (ExistsReadable(t_path) && WriteIniTestEntry(t_path))
        return t_path;
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, _countof(windows));
    AppendPathSeparator(windows, _countof(windows));
    FormatW(t_path, _countof(t_path), L"%s%s", windows, fileName);
    if (ExistsReadable(t_path) && WriteIniTestEntry(t_path))
        return t_path;
    CopyText(t_path, _countof(t_path), GetAppDataFilePath(fileName));
    return t_path;
}

int ReadIniNumber(const wchar_t* section, const wchar_t* key, const wchar_t* file)
{
    wchar_t text[32] = L"";
    GetPrivateProfileStringW(section, key, L"", text, _countof(text), file);
    return static_cast<int>(wcstol(text, nullptr, 10));
}

BOOL WriteIniNumber(const wchar_t* section, const wchar_t* key, const wchar_t* file, int value)
{
    wchar_t text[32];
    FormatW(text, _countof(text), L"%d", value);
    return WritePrivateProfileStringW(section, key, text, file);
}
