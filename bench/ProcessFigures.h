// Figures of another running process. Under Wine, GetProcessTimes, K32GetProcessMemoryInfo
// and GetProcessHandleCount give nothing for a process other than the caller, so the CPU time
// and memory are read from the Linux side (each Windows process is a Linux process, its
// /proc entry reachable through the Z: drive) and the handles from the system handle table.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace bench {

// The Linux process id of the running process whose command line holds the text, or 0.
int FindLinuxProcess(const std::wstring& commandLinePart);
// User and system CPU seconds of a Linux process, or a negative value.
double LinuxCpuSeconds(int linuxPid);
// Resident anonymous memory (the process's own, not mapped files) in MB, or a negative value.
double LinuxAnonymousMb(int linuxPid);
// Resident anonymous memory in MB of the mappings that begin within one of the address ranges
// (from /proc/<pid>/smaps), or a negative value.
double LinuxAnonymousMbWithin(int linuxPid, const std::vector<std::pair<ULONG_PTR, ULONG_PTR>>& ranges);
// The Linux threads of the process (one for each Windows thread), or a negative value.
int LinuxThreads(int linuxPid);
// A file of the Linux process's /proc entry ("status", "maps", ...), or an empty text.
std::string LinuxProcFile(int linuxPid, const wchar_t* name);
// The handles a Windows process holds, from the system handle table; 0 when unknown.
DWORD HandleCount(DWORD windowsPid);

}  // namespace bench
