// The comparison for memory under Wine: a minimal window program that has loaded the same
// system DLLs as the measured process has at that moment. Wine fills a process's private
// memory with its own share for every DLL the process loads (the DLL's pages it relocated or
// wrote); any program that loads those DLLs under Wine pays it, and Windows shares those pages
// between processes instead. The measured process's figure less the twin's is its own share.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "bench/HostRun.h"

namespace bench {

// The system DLLs (those under the Windows folder) a running process has loaded, in load
// order, as paths the caller can load; from the process's module list, else from the files
// its Linux process has mapped. source says which ("module list" or "Linux maps").
std::vector<std::wstring> LoadedSystemDlls(DWORD windowsPid, int linuxPid, std::string* source);

// The address ranges of the modules a running process has loaded from outside the Windows
// folder (its program and plug-ins), from its module list; empty when Wine gives none.
// With fileName set, only the module of that file name.
std::vector<std::pair<ULONG_PTR, ULONG_PTR>> OwnModuleRanges(DWORD windowsPid, const wchar_t* fileName = nullptr);

class DllTwin {
public:
    DllTwin() = default;
    ~DllTwin();
    DllTwin(const DllTwin&) = delete;
    DllTwin& operator=(const DllTwin&) = delete;

    // Takes the list from the process now, starts the twin with it and waits until its window
    // answers; false (with the reason on stderr) when any of that fails.
    bool Start(DWORD windowsPid, int linuxPid);
    const Program& program() const { return m_program; }
    int LinuxPid() const { return m_linuxPid; }
    // DLLs named to the twin, and how many of them it loaded.
    size_t Named() const { return m_dlls.size(); }
    int Loaded() const { return m_loaded; }
    const std::vector<std::wstring>& Dlls() const { return m_dlls; }
    const std::string& Source() const { return m_source; }
    // The twin's resident anonymous memory in MB less that of its own program file (which
    // Wine reads into private memory whole): what Wine and the DLLs cost; negative if unknown.
    double DllsMb() const;

private:
    std::wstring m_folder;
    std::vector<std::wstring> m_dlls;
    std::string m_source;
    Program m_program;
    HWND m_window = nullptr;
    int m_linuxPid = 0;
    int m_loaded = 0;
};

}  // namespace bench
