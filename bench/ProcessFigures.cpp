#include "bench/ProcessFigures.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace bench {

namespace {

std::string ReadLinuxFile(const std::wstring& path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    return text;
}

std::wstring Widen(const std::string& text)
{
    std::wstring wide;
    for (char c : text)
        wide += c ? static_cast<wchar_t>(static_cast<unsigned char>(c)) : L' ';
    return wide;
}

// The system handle table entry (SystemExtendedHandleInformation).
struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTrace;
    USHORT typeIndex;
    ULONG attributes;
    ULONG reserved;
};

struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

typedef LONG(NTAPI* QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);

// Other Wine prefixes on the machine may run programs of the same name (other builds' benchmark
// runs): only a process of this program's prefix counts.
bool InOurPrefix(const wchar_t* linuxPid)
{
    wchar_t prefix[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH))
        return true;
    std::wstring environment = L" " + Widen(ReadLinuxFile(L"Z:\\proc\\" + std::wstring(linuxPid) + L"\\environ"));
    return environment.find(L" WINEPREFIX=" + std::wstring(prefix) + L" ") != std::wstring::npos;
}

}  // namespace

int FindLinuxProcess(const std::wstring& commandLinePart)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int found = 0;
    do {
        int pid = _wtoi(data.cFileName);
        if (pid <= 0)
            continue;
        std::wstring line = Widen(ReadLinuxFile(L"Z:\\proc\\" + std::wstring(data.cFileName) + L"\\cmdline"));
        if (line.find(commandLinePart) != std::wstring::npos && InOurPrefix(data.cFileName)) {
            found = pid;
            break;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

double LinuxCpuSeconds(int linuxPid)
{
    std::string stat = ReadLinuxFile(L"Z:\\proc\\" + std::to_wstring(linuxPid) + L"\\stat");
    // The fields after the command name in parentheses: state is field 3, utime 14, stime 15.
    size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < stat.size()) {
        size_t end = stat.find(' ', at);
        fields.push_back(stat.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    if (fields.size() < 13)
        return -1;
    // Clock ticks of 1/100 s (Linux's USER_HZ on every common architecture).
    return (atof(fields[11].c_str()) + atof(fields[12].c_str())) / 100.0;
}

double LinuxAnonymousMb(int linuxPid)
{
    std::string status = ReadLinuxFile(L"Z:\\proc\\" + std::to_wstring(linuxPid) + L"\\status");
    size_t at = status.find("RssAnon:");
    if (at == std::string::npos)
        return -1;
    return atof(status.c_str() + at + 8) / 1024.0;
}

double LinuxAnonymousMbWithin(int linuxPid, const std::vector<std::pair<ULONG_PTR, ULONG_PTR>>& ranges)
{
    std::string smaps = LinuxProcFile(linuxPid, L"smaps");
    if (smaps.empty())
        return -1;
    double kb = 0;
    bool inside = false;
    size_t at = 0;
    while (at < smaps.size()) {
        size_t end = smaps.find('\n', at);
        std::string line = smaps.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? smaps.size() : end + 1;
        // A mapping's first line: "start-end perms offset dev inode [path]".
        size_t dash = line.find('-');
        if (dash != std::string::npos && dash > 0 && line.find(':') > dash &&
            line.find_first_not_of("0123456789abcdef") == dash) {
            ULONG_PTR start = strtoul(line.c_str(), nullptr, 16);
            inside = false;
            for (const auto& r : ranges)
                inside = inside || (start >= r.first && start < r.second);
        } else if (inside && line.compare(0, 10, "Anonymous:") == 0) {
            kb += atof(line.c_str() + 10);
        }
    }
    return kb / 1024.0;
}

int LinuxThreads(int linuxPid)
{
    std::string status = LinuxProcFile(linuxPid, L"status");
    size_t at = status.find("Threads:");
    return at == std::string::npos ? -1 : atoi(status.c_str() + at + 8);
}

std::string LinuxProcFile(int linuxPid, const wchar_t* name)
{
    return ReadLinuxFile(L"Z:\\proc\\" + std::to_wstring(linuxPid) + L"\\" + name);
}

DWORD HandleCount(DWORD windowsPid)
{
    auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    std::vector<BYTE> buffer(1 << 20);
    for (int i = 0; i < 8; ++i) {
        ULONG needed = 0;
        LONG status = query(64 /* SystemExtendedHandleInformation */, buffer.data(), (ULONG)buffer.size(), &needed);
        if (status == 0) {
            auto* table = reinterpret_cast<HandleTable*>(buffer.data());
            DWORD count = 0;
            for (ULONG_PTR k = 0; k < table->count; ++k)
                count += table->entries[k].processId == windowsPid;
            return count;
        }
        buffer.resize(needed > buffer.size() ? needed + 65536 : buffer.size() * 2);
    }
    return 0;
}

}  // namespace bench
