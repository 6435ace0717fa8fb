// Running the real host program from another program, as the benchmarks and the reliability
// runs do: a folder shaped like the installed layout, starting, finding the window, the bus
// texts that other programs send, and the end.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace bench {

// A fresh folder holding the host, its language libraries and the real plug-ins that are
// built (PluginInfo with its Layout, and PluginTelephony when present); removed at the end.
class HostFolder {
public:
    // Without plug-ins when bare is set (to tell the host's own share from the plug-ins').
    explicit HostFolder(const wchar_t* name, bool bare = false);
    ~HostFolder();
    HostFolder(const HostFolder&) = delete;
    HostFolder& operator=(const HostFolder&) = delete;

    std::wstring Folder() const { return m_folder; }
    std::wstring Exe() const { return m_folder + L"OrvixTelvane.exe"; }
    bool HasTelephony() const { return m_telephony; }
    bool HasInfo() const { return m_info; }
    // Files whose name holds "_CRASHDUMP" in the folder (the host's crash dumps).
    size_t CountCrashDumps() const;

private:
    std::wstring m_folder;
    bool m_telephony = false;
    bool m_info = false;
};

// One started program; ended by force in the destructor when it still runs.
class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Start(const std::wstring& exe, const std::wstring& arguments = L"");
    HANDLE Process() const { return m_pi.hProcess; }
    DWORD Id() const { return m_pi.dwProcessId; }
    // The exit code after waiting, or STILL_ACTIVE.
    DWORD WaitExit(DWORD milliseconds);

private:
    PROCESS_INFORMATION m_pi = {};
};

// Polls for the program's top-level window of that class and returns it once it has
// answered a WM_NULL (its thread pumps messages); null when the program ended or the time ran
// out. With marker set, only a window carrying it in GWLP_USERDATA counts.
HWND WaitAnsweringWindow(const Program& program, const wchar_t* className, LONG_PTR marker, DWORD milliseconds);

// A bus text as other programs write it (values are put in as they stand).
std::wstring BusText(const std::wstring& type, const std::vector<std::pair<std::wstring, std::wstring>>& values);

// Puts a text on a window by WM_SETTEXT; false when it did not answer in time.
bool SendText(HWND window, const std::wstring& text, DWORD milliseconds);

// The program status in the host's status report when it names this process ("OK" is
// written just before the message loop, "ENDED" once the plug-ins are closed and unloaded),
// else an empty text.
std::wstring HostReportedStatus(DWORD pid);

// Waiting for a change of the host's status report without reading it over and over: a loop
// that read it every millisecond made about 600 reads in one start-up, each a file open on
// the wineserver that the host waits on too, work beside what it measured. The watch is armed
// on the report's folder when made (the folder is made if missing, as the host would), so a
// write after that is not missed.
class StatusReportWatch {
public:
    StatusReportWatch();
    ~StatusReportWatch();
    StatusReportWatch(const StatusReportWatch&) = delete;
    StatusReportWatch& operator=(const StatusReportWatch&) = delete;

    // Returns once the report's folder changed, the process ended or the milliseconds passed
    // (the bound also covers a change the notification did not carry); true when the process
    // has ended.
    bool Wait(HANDLE process, DWORD milliseconds);

private:
    HANDLE m_change = INVALID_HANDLE_VALUE;
};

// Starts the minimal window program (MinimalWindow.exe beside the benchmarks), waits for its
// window, posts WM_CLOSE and returns the seconds until it is gone: the comparison for an end;
// negative when it failed.
double MinimalProgramEnd();

// The host's class name and window marker.
extern const wchar_t kHostClass[];
constexpr LONG_PTR kHostMarker = 0x4578AD11;

// Runs with the machine's running-state value set, which keeps the host's refusal boxes
// from blocking an unattended run; restores the old value.
class RunningStateGuard {
public:
    RunningStateGuard();
    ~RunningStateGuard();

private:
    DWORD m_old;
};

}  // namespace bench
