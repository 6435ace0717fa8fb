#include "foundation/ProgramFiles.h"

#include "foundation/DataFolder.h"
#include "foundation/FileTools.h"
#include "foundation/FolderTools.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/RegTool.h"
#include "foundation/Seams.h"
#include "foundation/SystemAccount.h"

#include <cwchar>
#include <vector>

namespace {

constexpr size_t kPath = 1024;
SYSTEMTIME g_startTime;
bool g_startTimeSet = false;

void ProgramFilePath(wchar_t* dst, size_t capacity, const wchar_t* subFolder, const wchar_t* file)
{
    if (subFolder && *subFolder)
        FormatW(dst, capacity, L"%s%s\\%s", GetModuleFolder(), subFolder, file ? file : L"");
    else
        FormatW(dst, capacity, L"%s%s", GetModuleFolder(), file ? file : L"");
}

// A path that names a whole drive or share, or depends on the current folder, is never
// emptied.
bool IsSafeTreeRoot(const wchar_t* folder)
{
    wchar_t path[kPath];
    CopyText(path, _countof(path), folder);
    size_t len = wcslen(path);
    while (len > 0 && (path[len - 1] == L'\\' || path[len - 1] == L'/'))
        path[--len] = L'\0';
    if (len < 4)
        return false;
    if (path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
        return wcschr(path + 3, L'\\') != nullptr || path[3] != L'\0';
    if (path[0] == L'\\' && path[1] == L'\\') {
        // \\server\share\folder: at least three parts below the prefix
        const wchar_t* share = wcschr(path + 2, L'\\');
        return share && wcschr(share + 1, L'\\');
    }
    return false;
}

void DeleteTreeUnder(const wchar_t* base, const wchar_t* first, const wchar_t* second)
{
    if (!base || !*base || !first || !*first)
        return;
    wchar_t path[kPath];
    if (second && *second)
        FormatW(path, _countof(path), L"%s\\%s\\%s", base, first, second);
    else
        FormatW(path, _countof(path), L"%s\\%s", base, first);
    DeleteFolderTree(path, TRUE);
}

void MoveUnder(const wchar_t* base, const wchar_t* source, const wchar_t* target)
{
    if (!base || !*base)
        return;
    wchar_t from[kPath], to[kPath];
    FormatW(from, _countof(from), L"%s\\%s", base, source);
    FormatW(to, _countof(to), L"%s\\%s", base, target);
    if (IsExistingFile(from))
        MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING);
}

const wchar_t* OrvixProgramPath(wchar_t* buffer, size_t capacity, const wchar_t* tail)
{
    FormatW(buffer, capacity, L"\"%s\\Orvix\\Orvix Telvane\\%s", GetProgramFilesX86Folder(), tail);
    return buffer;
}

int DeleteMatchingIn(REGSAM view, HKEY root, const wchar_t* path, const wchar_t* valueName, const wchar_t* valueText,
                     DWORD highestVersion)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ | KEY_WRITE | view, &key) != ERROR_SUCCESS)
        return 0;
    int deleted = 0;
    // The index moves on only past keys that stay: a deletion shifts the next key into place.
    for (DWORD index = 0;;) {
        wchar_t name[128];
        DWORD nameLen = _countof(name);
        if (RegEnumKeyExW(key, index, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        bool remove = false;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ | view, &sub) == ERROR_SUCCESS) {
            wchar_t value[128] = L"";
            if (RegReadValue(sub, valueName, value, sizeof(value) - sizeof(wchar_t)) == ERROR_SUCCESS) {
                value[_countof(value) - 1] = L'\0';
                if (lstrcmpiW(value, valueText ? valueText : L"") == 0) {
                    DWORD version = 0, size = sizeof(version);
                    RegQueryValueExW(sub, L"Version", nullptr, nullptr, reinterpret_cast<BYTE*>(&version), &size);
                    remove = highestVersion == 0 || (version != 0 && version < highestVersion);
                }
            }
            RegCloseKey(sub);
        }
        if (remove) {
            CRegTool tool;
            if (view == KEY_WOW64_32KEY)
                tool.Use32BitView();
            else if (view == KEY_WOW64_64KEY)
                tool.Use64BitView();
            wchar_t full[kPath];
            FormatW(full, _countof(full), L"%s\\%s", path, name);
            if (tool.DeleteKeyTree(root, full) == ERROR_SUCCESS) {
                ++deleted;
                continue;
            }
        }
        ++index;
    }
    RegCloseKey(key);
    return deleted;
}

}  // namespace

void WriteLogFile(const wchar_t* fileName, const wchar_t* text)
{
    if (!fileName || !*fileName)
        return;
    wchar_t path[kPath];
    FormatW(path, _countof(path), L"%s\\%s", GetDataFolder(L"LOG"), fileName);
    CreateFileFolder(path);
    WriteTextFile(path, text ? text : L"", FALSE, TRUE);
}

void ReplaceUpdaterProgram()
{
    wchar_t download[kPath], updater[kPath];
    ProgramFilePath(download, _countof(download), nullptr, L"ZUPDRA.EX_");
    ProgramFilePath(updater, _countof(updater), nullptr, L"ZUPDRA.EXE");
    if (!IsExistingFile(download))
        return;
    if (!CopyFileW(download, updater, FALSE))
        return;  // keep the download so the next start can try again
    Sleep(25);
    DeleteFileW(download);
}

void ReplaceProgramFile(const wchar_t* subFolder, const wchar_t* source, const wchar_t* target)
{
    if (!source || !*source || !target || !*target)
        return;
    wchar_t from[kPath], to[kPath];
    ProgramFilePath(from, _countof(from), subFolder, source);
    ProgramFilePath(to, _countof(to), subFolder, target);
    if (!IsExistingFile(from))
        return;
    DeleteFileW(to);
    MoveFileW(from, to);
}

void DeleteProgramFile(const wchar_t* subFolder, const wchar_t* file)
{
    if (!file || !*file)
        return;
    wchar_t path[kPath];
    ProgramFilePath(path, _countof(path), subFolder, file);
    DeleteFileW(path);
}

int DeleteFolderTree(const wchar_t* folder, BOOL removeFolders)
{
    if (!folder || wcsstr(folder, L"QuorlanSupport") || !IsSafeTreeRoot(folder))
        return 0;
    wchar_t path[kPath];
    CopyText(path, _countof(path), folder);
    StripTrailingBackslash(path);
    DeleteFolderContents(path, removeFolders);
    return 1;
}

void DeleteUserDataFolders(const wchar_t* subPath)
{
    // An empty sub-path would name the whole application-data folder.
    if (!subPath || !*subPath || IsSystemAccount())
        return;
    DeleteTreeUnder(GetAppDataFolder(), subPath, nullptr);
    wchar_t common[kPath];
    FormatW(common, _countof(common), L"%s\\%s", GetCommonAppDataFolder(), subPath);
    if (GetFileAttributesW(common) != INVALID_FILE_ATTRIBUTES)
        DeleteFolderTree(common, TRUE);
}

void DeleteProgramFilesFolders(const wchar_t* first, const wchar_t* second)
{
    if (!first || !*first)
        return;
    DeleteTreeUnder(GetProgramFilesFolder(), first, second);
    DeleteTreeUnder(L"C:\\Program Files", first, second);
}

void MoveProgramFilesFile(const wchar_t* source, const wchar_t* target)
{
    if (!source || !*source || !target || !*target)
        return;
    MoveUnder(GetProgramFilesFolder(), source, target);
    MoveUnder(L"C:\\Program Files", source, target);
}

const wchar_t* GetProgramIconPath()
{
    thread_local wchar_t t_icon[260];
    return OrvixProgramPath(t_icon, _countof(t_icon), L"OrvixTelvane.exe\",0");
}

const wchar_t* GetUrlProtocolCommand()
{
    thread_local wchar_t t_command[260];
    return OrvixProgramPath(t_command, _countof(t_command), L"QORHELP.EXE\" -T %1");
}

void InstallActPlugin()
{
    wchar_t actFolder[kPath], source[kPath], target[kPath];
    FormatW(actFolder, _countof(actFolder), L"%s\\ACT\\Act for Windows\\Plugins", GetProgramFilesFolder());
    ProgramFilePath(source, _countof(source), L"PluginSearch", L"TelvaneForACT.dll");
    if (!IsDirectory(actFolder) || !IsExistingFile(source))
        return;
    FormatW(target, _countof(target), L"%s\\TelvaneForACT.dll", actFolder);
    CopyFileW(source, target, FALSE);
}

void SetAccessFlags(CRegTool* registry, DWORD flags)
{
    if (registry)
        registry->SetViewFlags(flags);
}

int DeleteRegisteredSubkeys(HKEY root, const wchar_t* path, const wchar_t* valueName, const wchar_t* valueText,
                            DWORD highestVersion)
{
    if (!path || !valueName)
        return 0;
    return DeleteMatchingIn(KEY_WOW64_32KEY, root, path, valueName, valueText, highestVersion) +
           DeleteMatchingIn(KEY_WOW64_64KEY, root, path, valueName, valueText, highestVersion);
}

int IsTapiTelephonyPluginLoaded()
{
    return GetModuleHandleW(L"PluginTelephonyTapi.dll") ? 1 : 0;
}

void RememberStartTime()
{
    g_pfnGetLocalTime(&g_startTime);
    g_startTimeSet = true;
}

void ShowStartTime(HWND dialog, int itemId)
{
    wchar_t text[32] = L"-";
    if (g_startTimeSet)
        FormatW(text, _countof(text), L"%04d/%02d/%02d %02d:%02d:%02d", g_startTime.wYear, g_startTime.wMonth,
                g_startTime.wDay, g_startTime.wHour, g_startTime.wMinute, g_startTime.wSecond);
    SetDlgItemTextW(dialog, itemId, text);
    UpdateWindow(GetDlgItem(dialog, itemId));
}
