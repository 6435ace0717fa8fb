// Starting foundation_child.exe (built beside the tests) and talking to it.
#pragma once

#include <windows.h>

#include <string>

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the child program (default: foundation_child.exe beside the test) with arguments.
    bool Start(const std::wstring& arguments, const std::wstring& program = L"");
    // Starts "window <marker> <ready> <quit>" and waits until its window exists.
    bool StartMarkedWindow(DWORD marker, const std::wstring& program = L"");
    // Asks a window child to end and waits for it; returns its exit code.
    DWORD Stop();
    // Waits for the child to end by itself; returns its exit code (or STILL_ACTIVE).
    DWORD Wait(DWORD milliseconds = 30000);
    DWORD Id() const { return m_info.dwProcessId; }

    static std::wstring DefaultProgram();

private:
    PROCESS_INFORMATION m_info = {};
    HANDLE m_ready = nullptr;
    HANDLE m_quit = nullptr;
};
