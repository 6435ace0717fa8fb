#include "foundation/ProcessTools.h"

#include "foundation/Format.h"
#include "foundation/Seams.h"
#include "foundation/SecurityTools.h"
#include "foundation/WindowSearch.h"
#include "foundation/WindowTools.h"

#include <psapi.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

constexpr DWORD kProcessTable = 2048;

std::vector<DWORD> ListProcesses()
{
    std::vector<DWORD> ids(kProcessTable);
    DWORD bytes = 0;
    if (!K32EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes))
        bytes = 0;
    ids.resize(bytes / sizeof(DWORD));
    return ids;
}

// The module path of a process, upper-cased; empty when it cannot be read.
bool UpperPath(DWORD processId, wchar_t* path)
{
    path[0] = L'\0';
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        return false;
    // The image path in one query: the module list of another process (K32GetModuleFileNameExW)
    // is read from that process's memory piece by piece.
    DWORD n = kProcessPathChars;
    if (!QueryFullProcessImageNameW(process, 0, path, &n))
        n = 0;
    CloseHandle(process);
    if (n == 0)
        return false;
    path[n < kProcessPathChars ? n : kProcessPathChars] = L'\0';
    CharUpperW(path);
    return path[0] != L'\0';
}

std::vector<wchar_t> UpperText(const wchar_t* text)
{
    std::vector<wchar_t> upper(text ? wcslen(text) + 1 : 1, L'\0');
    if (text) {
        wcscpy(upper.data(), text);
        CharUpperW(upper.data());
    }
    return upper;
}

enum class Filter { Any, Session, User };

bool SameUser(DWORD processId)
{
    wchar_t self[128] = L"";
    DWORD selfSize = _countof(self) - 1;
    if (!GetUserNameW(self, &selfSize))
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process)
        return false;
    bool same = false;
    HANDLE token = nullptr;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        DWORD needed = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
        std::vector<BYTE> info(needed ? needed : 1);
        if (needed && GetTokenInformation(token, TokenUser, info.data(), needed, &needed)) {
            wchar_t name[128] = L"", domain[128] = L"";
            DWORD nameSize = _countof(name) - 1, domainSize = _countof(domain) - 1;
            SID_NAME_USE use;
            if (LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid, name, &nameSize,
                                  domain, &domainSize, &use))
                same = lstrcmpiW(name, self) == 0;
        }
        CloseHandle(token);
    }
    CloseHandle(process);
    return same;
}

// Visits the processes whose path holds the text; stops when `visit` returns false.
template <typename Visit>
void ForMatchingProcesses(const wchar_t* text, Filter filter, const Visit& visit)
{
    if (!text)
        return;
    std::vector<wchar_t> upper = UpperText(text);
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    wchar_t path[kProcessPathChars + 1];
    for (DWORD id : ListProcesses()) {
        if (!UpperPath(id, path) || !wcsstr(path, upper.data()))
            continue;
        if (filter == Filter::Session) {
            DWORD theirs = 0;
            if (!ProcessIdToSessionId(id, &theirs) || theirs != session)
                continue;
        }
        if (filter == Filter::User && !SameUser(id))
            continue;
        if (!visit(id))
            return;
    }
}

DWORD WindowProcess(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

}  // namespace

int GetProcessImagePath(DWORD processId, wchar_t* path)
{
    if (!path)
        return 0;
    path[0] = L'\0';
    HMODULE psapi = LoadLibraryW(L"PSAPI.DLL");
    if (!psapi) {
        g_pfnMessageBoxW(nullptr, L"Please install the PSAPI.DLL on your System.", L"Warning", MB_ICONEXCLAMATION);
        return 0;
    }
    FreeLibrary(psapi);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        return 0;
    HMODULE first = nullptr;
    DWORD needed = 0;
    DWORD n = 0;
    if (K32EnumProcessModulesEx(process, &first, sizeof(first), &needed, LIST_MODULES_ALL) && first)
        n = K32GetModuleFileNameExW(process, first, path, kProcessPathChars);
    CloseHandle(process);
    path[n < kProcessPathChars ? n : kProcessPathChars] = L'\0';
    return n > 0 ? 1 : 0;
}

DWORD FindCommandPromptProcess()
{
    wchar_t path[kProcessPathChars + 1];
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (!IsWindowVisible(w))
            continue;
        DWORD pid = WindowProcess(w);
        if (GetProcessImagePath(pid, path)) {
            CharUpperW(path);
            if (wcsstr(path, L"\\CMD.EXE"))
                return pid;
        }
    }
    return 0;
}

HWND FindWindowByTitlePrefix(const wchar_t* titlePrefix, DWORD userData)
{
    if (!titlePrefix)
        return nullptr;
    int prefixLength = static_cast<int>(wcslen(titlePrefix));
    wchar_t path[kProcessPathChars + 1];
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (!IsWindowVisible(w))
            continue;
        wchar_t text[64] = L"";
        if (GetWindowTextW(w, text, _countof(text)) <= 0 || StrCmpNIW(text, titlePrefix, prefixLength) != 0)
            continue;
        if (!GetProcessImagePath(WindowProcess(w), path))
            continue;
        if (userData != 0 && GetWindowLongPtrW(w, GWLP_USERDATA) != static_cast<LONG_PTR>(userData))
            continue;
        return w;
    }
    return nullptr;
}

DWORD FindProcessByPath(const wchar_t* text)
{
    DWORD found = 0;
    ForMatchingProcesses(text, Filter::Any, [&found](DWORD id) { found = id; return false; });
    return found;
}

DWORD FindProcessByPathInSession(const wchar_t* text)
{
    DWORD found = 0;
    ForMatchingProcesses(text, Filter::Session, [&found](DWORD id) { found = id; return false; });
    return found;
}

int CountProcessesByPath(const wchar_t* text)
{
    int count = 0;
    ForMatchingProcesses(text, Filter::Any, [&count](DWORD) { ++count; return true; });
    return count;
}

int CountUserProcesses(const wchar_t* text)
{
    int count = 0;
    ForMatchingProcesses(text, Filter::User, [&count](DWORD) { ++count; return true; });
    return count;
}

int IsOwnProcessWindow(HWND window) { return window && WindowProcess(window) == GetCurrentProcessId() ? 1 : 0; }

DWORD StartProcess(const wchar_t* commandLine, int hidden)
{
    if (!commandLine)
        return 0;
    std::vector<wchar_t> line(commandLine, commandLine + wcslen(commandLine) + 1);  // CreateProcessW may write to it
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (hidden) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
    }
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    SetLastError(0);
    return pi.dwProcessId;
}

DWORD StartProcessViaHelper(DWORD a, DWORD b, DWORD c)
{
    typedef DWORD(WINAPI * StartFn)(DWORD, DWORD, DWORD);
    HMODULE library = GetModuleHandleW(L"SPAWNEL.DLL");
    if (!library)
        library = LoadLibraryW(L"SPAWNEL.DLL");
    if (!library)
        return 0;
    auto start = reinterpret_cast<StartFn>(reinterpret_cast<void*>(GetProcAddress(library, "DLL_Spawnel_StartProcess")));
    return start ? start(a, b, c) : 0;
}

DWORD WINAPI ShellExecuteThreadProc(LPVOID param)
{
    ShellExecuteRecord* record = static_cast<ShellExecuteRecord*>(param);
    Sleep(100);
    HRESULT com = CoInitialize(nullptr);
    record->path[_countof(record->path) - 1] = L'\0';
    ShellExecuteW(nullptr, nullptr, record->path, nullptr, nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(com))
        CoUninitialize();
    Sleep(100);
    CloseHandleAndExitThread(&record->thread);
    return 0;
}

void CloseHandleAndExitThread(HANDLE* threadHandle)
{
    if (!threadHandle)
        return;
    HANDLE handle = static_cast<HANDLE>(InterlockedExchangePointer(threadHandle, nullptr));
    if (!handle)
        return;
    CloseHandle(handle);
    ExitThread(0);
}

void SetProcessPriority(DWORD priorityClass)
{
    if (HANDLE self = OpenProcess(PROCESS_SET_INFORMATION, FALSE, GetCurrentProcessId())) {
        SetPriorityClass(self, priorityClass);
        CloseHandle(self);
    }
}

void DisableWow64FsRedirection()
{
    typedef BOOL(WINAPI * DisableFn)(PVOID*);
    auto disable = reinterpret_cast<DisableFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"KERNEL32.DLL"), "Wow64DisableWow64FsRedirection")));
    if (disable) {
        PVOID old = nullptr;
        disable(&old);
    }
}

int GetProcessorLoad()
{
    // Looked up at run time so that no deliverable imports the performance-data library.
    typedef LONG(WINAPI * OpenQueryFn)(LPCWSTR, DWORD_PTR, HANDLE*);
    typedef LONG(WINAPI * AddCounterFn)(HANDLE, LPCWSTR, DWORD_PTR, HANDLE*);
    typedef LONG(WINAPI * CollectFn)(HANDLE);
    typedef LONG(WINAPI * FormattedFn)(HANDLE, DWORD, DWORD*, void*);
    typedef LONG(WINAPI * CloseFn)(HANDLE);
    struct FmtCounterValue {
        DWORD CStatus;
        DWORD pad;
        union {
            LONG longValue;
            double doubleValue;
            LONGLONG largeValue;
        };
    };
    HMODULE pdh = LoadLibraryW(L"PDH.DLL");
    if (!pdh)
        return -1;
    auto openQuery = reinterpret_cast<OpenQueryFn>(reinterpret_cast<void*>(GetProcAddress(pdh, "PdhOpenQueryW")));
    auto addCounter = reinterpret_cast<AddCounterFn>(reinterpret_cast<void*>(GetProcAddress(pdh, "PdhAddEnglishCounterW")));
    if (!addCounter)
        addCounter = reinterpret_cast<AddCounterFn>(reinterpret_cast<void*>(GetProcAddress(pdh, "PdhAddCounterW")));
    auto collect = reinterpret_cast<CollectFn>(reinterpret_cast<void*>(GetProcAddress(pdh, "PdhCollectQueryData")));
    auto formatted = reinterpret_cast<FormattedFn>(reinterpret_cast<void*>(GetProcAddress(pdh, "PdhGetFormattedCounterValue")));
    auto closeQuery = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(GetProcAddress(pdh, "PdhCloseQuery")));
    int load = -1;
    HANDLE query = nullptr;
    if (openQuery && addCounter && collect && formatted && closeQuery && openQuery(nullptr, 0, &query) == 0) {
        HANDLE counter = nullptr;
        const DWORD kFormatLong = 0x00000100;  // PDH_FMT_LONG
        FmtCounterValue value = {};
        // A rate needs two samples some time apart; back to back they measure nothing.
        if (addCounter(query, L"\\Processor(_Total)\\% Processor Time", 0, &counter) == 0 && collect(query) == 0) {
            Sleep(100);
            if (collect(query) == 0 && formatted(counter, kFormatLong, nullptr, &value) == 0)
                load = value.longValue < 0 ? 0 : (value.longValue > 100 ? 100 : value.longValue);
        }
        closeQuery(query);
    }
    FreeLibrary(pdh);
    return load;
}

void OpenControlPanelApplet(HWND owner, DWORD userData, const wchar_t* applet)
{
    if (userData != 0) {
        if (HWND existing = FindWindowByUserData(GetDesktopWindow(), userData)) {
            BringWindowToFront(existing);
            return;
        }
    }
    wchar_t parameters[600];
    FormatW(parameters, _countof(parameters), L"SHELL32.DLL,Control_RunDLL %s", applet ? applet : L"");
    wchar_t system[MAX_PATH] = L"";
    GetSystemDirectoryW(system, _countof(system));
    ShellExecuteW(owner, nullptr, L"RUNDLL32.EXE", parameters, system, SW_SHOWNORMAL);
}

int FindNewestLogFile(const wchar_t* path, wchar_t* found, size_t capacity)
{
    if (!found || capacity == 0)
        return 0;
    found[0] = L'\0';
    if (!path)
        return 0;
    wchar_t drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME];
    if (_wsplitpath_s(path, drive, _countof(drive), dir, _countof(dir), name, _countof(name), nullptr, 0) != 0)
        return 0;
    wchar_t folder[MAX_PATH * 2], pattern[MAX_PATH * 2];
    FormatW(folder, _countof(folder), L"%s%s", drive, dir);
    if (folder[0] && folder[wcslen(folder) - 1] != L'\\')
        AppendText(folder, _countof(folder), L"\\");
    FormatW(pattern, _countof(pattern), L"%s%s*.LOG", folder, name);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern, &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    FILETIME newest = {};
    bool any = false;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        wchar_t candidate[MAX_PATH * 2];
        FormatW(candidate, _countof(candidate), L"%s%s", folder, data.cFileName);
        HANDLE file = CreateFileW(candidate, FILE_READ_ATTRIBUTES, 0, GetNullDaclSecurityAttributes(), OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        FILETIME access = {};
        if (GetFileTime(file, nullptr, &access, nullptr) && (!any || CompareFileTime(&access, &newest) > 0)) {
            newest = access;
            any = true;
            CopyText(found, capacity, candidate);
        }
        CloseHandle(file);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return any && GetFileAttributesW(found) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

void OpenNewestLogFile(HWND owner, const wchar_t* path)
{
    wchar_t file[MAX_PATH * 2];
    if (FindNewestLogFile(path, file, _countof(file)))
        ShellExecuteW(owner, L"open", L"NOTEPAD.EXE", file, L"", SW_SHOW);
}
