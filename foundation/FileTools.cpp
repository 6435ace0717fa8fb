#include "foundation/FileTools.h"

#include "foundation/FolderTools.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/SecurityTools.h"

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <io.h>
#include <string>
#include <vector>

namespace {

bool ReadWriteTime(const wchar_t* path, FILETIME* written)
{
    if (!path)
        return false;
    // Attributes only and every kind of sharing: a file that another process holds open, such
    // as a loaded library, still tells its time.
    HANDLE file = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              GetNullDaclSecurityAttributes(), OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BOOL ok = GetFileTime(file, nullptr, nullptr, written);
    CloseHandle(file);
    return ok != FALSE;
}

const wchar_t* FormatWriteTime(wchar_t* buffer, size_t capacity, const wchar_t* path)
{
    buffer[0] = L'\0';
    FILETIME written;
    SYSTEMTIME st;
    if (ReadWriteTime(path, &written) && FileTimeToSystemTime(&written, &st))
        FormatW(buffer, capacity, L"%04d-%02d-%02d %02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                st.wSecond);
    return buffer;
}

void ShowInNotepad(const wchar_t* path)
{
    ShellExecuteW(nullptr, L"open", L"Notepad", path, nullptr, SW_SHOWNORMAL);
}

// Writes the bytes to the file opened in the given mode; nonzero when all were written.
int WriteBytes(const wchar_t* path, const wchar_t* mode, const void* bytes, size_t count, BOOL show)
{
    if (!path)
        return 0;
    FILE* file = _wfopen(path, mode);
    if (!file)
        return 0;
    size_t written = count ? fwrite(bytes, 1, count, file) : 0;
    int ok = fflush(file) == 0 && written == count;
    if (fclose(file) != 0)
        ok = 0;
    if (show)
        ShowInNotepad(path);
    return ok;
}

std::string ToCodePage(const wchar_t* text, UINT codePage)
{
    std::string bytes;
    int length = static_cast<int>(wcslen(text));
    if (length == 0)
        return bytes;
    // The converter says how many bytes it needs: no fixed guess can be too small.
    int needed = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return bytes;
    bytes.resize(static_cast<size_t>(needed));
    WideCharToMultiByte(codePage, 0, text, length, &bytes[0], needed, nullptr, nullptr);
    return bytes;
}

// The program folder's copies of B, A and the help file C and their places in the Windows
// folders, in that order; false (and nothing) when the program runs from the system folder.
struct SystemFile {
    wchar_t source[512];
    wchar_t target[512];
};

bool SystemFiles(const wchar_t* fileA, const wchar_t* fileB, const wchar_t* helpFile, std::vector<SystemFile>& files)
{
    wchar_t system[MAX_PATH] = L"";
    GetSystemDirectoryW(system, _countof(system));
    AppendPathSeparator(system, _countof(system));
    if (lstrcmpiW(system, GetModuleFolder()) == 0)
        return false;
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, _countof(windows));
    AppendPathSeparator(windows, _countof(windows));
    const wchar_t* names[] = {fileB, fileA, helpFile};
    for (int i = 0; i < 3; ++i) {
        if (!names[i])
            continue;
        SystemFile file;
        FormatW(file.source, _countof(file.source), L"%s%s", GetModuleFolder(), names[i]);
        if (i < 2)
            FormatW(file.target, _countof(file.target), L"%s%s", system, names[i]);
        else
            FormatW(file.target, _countof(file.target), L"%shelp\\%s", windows, names[i]);
        files.push_back(file);
    }
    return true;
}

}  // namespace

DWORD GetFileSizeByName(const wchar_t* path)
{
    WIN32_FIND_DATAW found;
    return FindPathEntry(path, &found) ? found.nFileSizeLow : 0;
}

ULONGLONG GetFileWriteTime(const wchar_t* path)
{
    FILETIME written;
    if (!ReadWriteTime(path, &written))
        return 0;
    return (static_cast<ULONGLONG>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

const wchar_t* GetFileTimeText(const wchar_t* path)
{
    thread_local wchar_t t_text[32];
    return FormatWriteTime(t_text, _countof(t_text), path);
}

const wchar_t* GetFileTimeText2(const wchar_t* path)
{
    thread_local wchar_t t_text[32];
    return FormatWriteTime(t_text, _countof(t_text), path);
}

void CreateFileIfMissing(const wchar_t* path)
{
    if (!path || _waccess(path, 0) == 0)
        return;
    FILE* file = _wfopen(path, L"wt");
    if (file)
        fclose(file);
}

int WriteTextFile(const wchar_t* path, const wchar_t* text, BOOL show, BOOL overwrite)
{
    std::string bytes = ToCodePage(text ? text : L"", CP_ACP);
    return WriteBytes(path, overwrite ? L"wt" : L"at", bytes.data(), bytes.size(), show);
}

int WriteUtf8File(const wchar_t* path, const wchar_t* text, BOOL show, BOOL overwrite)
{
    std::string bytes = ToCodePage(text ? text : L"", CP_UTF8);
    return WriteBytes(path, overwrite ? L"wt" : L"at", bytes.data(), bytes.size(), show);
}

int WriteWideFile(const wchar_t* path, const wchar_t* text, BOOL show, BOOL overwrite)
{
    // Text mode would add a CR byte after every 0x0A byte of the UTF-16 form; the file is
    // written in binary mode and LF becomes CR LF here, as in the other writers.
    std::wstring units;
    for (const wchar_t* p = text ? text : L""; *p; ++p) {
        if (*p == L'\n')
            units += L'\r';
        units += *p;
    }
    return WriteBytes(path, overwrite ? L"wb" : L"ab", units.data(), units.size() * sizeof(wchar_t), show);
}

BOOL InstallFilesToSystem(const wchar_t* fileA, const wchar_t* fileB, const wchar_t* helpFile)
{
    std::vector<SystemFile> files;
    BOOL result = FALSE;
    if (SystemFiles(fileA, fileB, helpFile, files))
        for (const SystemFile& file : files)
            result = CopyFileW(file.source, file.target, FALSE);
    return result;
}

BOOL RemoveFilesFromSystem(const wchar_t* fileA, const wchar_t* fileB, const wchar_t* helpFile)
{
    std::vector<SystemFile> files;
    BOOL result = FALSE;
    if (SystemFiles(fileA, fileB, helpFile, files))
        for (const SystemFile& file : files)
            result = DeleteFileW(file.target);
    return result;
}
