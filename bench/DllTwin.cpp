#include "bench/DllTwin.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cwctype>

#include "bench/ProcessFigures.h"
#include "tests/support/TestSupport.h"

namespace bench {

namespace {

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

struct Module {
    std::wstring path;
    ULONG_PTR base;
    ULONG_PTR size;
};

std::vector<Module> ModuleList(DWORD windowsPid)
{
    std::vector<Module> modules;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, windowsPid);
    if (snapshot == INVALID_HANDLE_VALUE)
        return modules;
    MODULEENTRY32W entry = {sizeof(entry)};
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry))
        modules.push_back({entry.szExePath, reinterpret_cast<ULONG_PTR>(entry.modBaseAddr), entry.modBaseSize});
    CloseHandle(snapshot);
    return modules;
}

std::wstring WindowsFolder()
{
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, MAX_PATH);
    return Lower(windows) + L"\\";
}

bool InFolder(const std::wstring& path, const std::wstring& folder)
{
    return Lower(path).compare(0, folder.size(), folder) == 0;
}

// The PE files the Linux process has mapped that come with Wine (its library folder) or lie
// in the prefix's Windows folder; loaded by name, Wine finds the same files.
std::vector<std::wstring> FromLinuxMaps(int linuxPid)
{
    std::vector<std::wstring> dlls;
    std::string maps = LinuxProcFile(linuxPid, L"maps");
    size_t at = 0;
    while (at < maps.size()) {
        size_t end = maps.find('\n', at);
        std::string line = maps.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? maps.size() : end + 1;
        size_t slash = line.find('/');
        if (slash == std::string::npos)
            continue;
        std::string path = line.substr(slash);
        bool wine = path.find("/wine/") != std::string::npos && path.find("-windows/") != std::string::npos;
        bool windowsFolder = path.find("/drive_c/windows/") != std::string::npos;
        size_t dot = path.rfind('.');
        std::string ext = dot == std::string::npos ? "" : path.substr(dot);
        if ((!wine && !windowsFolder) || ext == ".so" || ext == ".exe")
            continue;
        std::wstring name;
        for (char c : path.substr(path.rfind('/') + 1))
            name += static_cast<wchar_t>(static_cast<unsigned char>(c));
        bool seen = false;
        for (const std::wstring& d : dlls)
            seen = seen || d == name;
        if (!seen)
            dlls.push_back(name);
    }
    return dlls;
}

}  // namespace

std::vector<std::wstring> LoadedSystemDlls(DWORD windowsPid, int linuxPid, std::string* source)
{
    std::vector<std::wstring> dlls;
    std::wstring windows = WindowsFolder();
    for (const Module& m : ModuleList(windowsPid))
        if (InFolder(m.path, windows))
            dlls.push_back(m.path);
    *source = "module list";
    if (dlls.empty()) {
        dlls = FromLinuxMaps(linuxPid);
        *source = "Linux maps";
    }
    return dlls;
}

std::vector<std::pair<ULONG_PTR, ULONG_PTR>> OwnModuleRanges(DWORD windowsPid, const wchar_t* fileName)
{
    std::vector<std::pair<ULONG_PTR, ULONG_PTR>> ranges;
    std::wstring windows = WindowsFolder();
    for (const Module& m : ModuleList(windowsPid)) {
        std::wstring name = Lower(m.path.substr(m.path.rfind(L'\\') + 1));
        if (!InFolder(m.path, windows) && (!fileName || name == Lower(fileName)))
            ranges.emplace_back(m.base, m.base + m.size);
    }
    return ranges;
}

double DllTwin::DllsMb() const
{
    double all = LinuxAnonymousMb(m_linuxPid);
    double file = LinuxAnonymousMbWithin(m_linuxPid, OwnModuleRanges(m_program.Id()));
    return all < 0 || file < 0 ? -1 : all - file;
}

DllTwin::~DllTwin()
{
    if (m_window) {
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        m_program.WaitExit(10000);
    }
    if (!m_folder.empty())
        testing_support::RemoveTree(m_folder);
}

bool DllTwin::Start(DWORD windowsPid, int linuxPid)
{
    m_dlls = LoadedSystemDlls(windowsPid, linuxPid, &m_source);
    if (m_dlls.empty()) {
        fprintf(stderr, "DllTwin: no system DLLs found in process %lu\n", windowsPid);
        return false;
    }
    // A copy of its own under a name of its own: found on the Linux side by that path.
    m_folder = testing_support::MakeTempFolder(L"dll_twin");
    std::wstring exe = m_folder + L"DllTwin.exe", list = m_folder + L"dlls.txt";
    std::wstring text;
    for (const std::wstring& d : m_dlls)
        text += d + L"\n";
    HANDLE file = CreateFileW(list.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    bool saved = file != INVALID_HANDLE_VALUE &&
                 WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!saved || !CopyFileW((testing_support::ProgramFolder() + L"MinimalWindow.exe").c_str(), exe.c_str(), FALSE) ||
        !m_program.Start(exe, list)) {
        fprintf(stderr, "DllTwin: the twin did not start\n");
        return false;
    }
    m_window = WaitAnsweringWindow(m_program, L"OrvixBenchMinimal", 0, 60000);
    m_linuxPid = FindLinuxProcess(exe);
    if (!m_window || !m_linuxPid) {
        fprintf(stderr, "DllTwin: the twin's window or Linux process was not found\n");
        return false;
    }
    wchar_t title[64] = L"";
    GetWindowTextW(m_window, title, _countof(title));
    m_loaded = _wtoi(title + (wcsncmp(title, L"loaded ", 7) == 0 ? 7 : 0));
    if (m_loaded != static_cast<int>(m_dlls.size()))
        fprintf(stderr, "DllTwin: loaded %d of %u DLLs (%ls)\n", m_loaded, static_cast<unsigned>(m_dlls.size()), title);
    return true;
}

}  // namespace bench
