#include "foundation/tests/ChildProcess.h"

#include "foundation/Format.h"
#include "tests/support/TestSupport.h"

#include <vector>

std::wstring ChildProcess::DefaultProgram() { return testing_support::ProgramFolder() + L"foundation_child.exe"; }

ChildProcess::~ChildProcess()
{
    if (m_info.hProcess) {
        if (m_quit)
            SetEvent(m_quit);
        if (WaitForSingleObject(m_info.hProcess, 5000) != WAIT_OBJECT_0)
            TerminateProcess(m_info.hProcess, 99);
        CloseHandle(m_info.hProcess);
        CloseHandle(m_info.hThread);
    }
    if (m_ready)
        CloseHandle(m_ready);
    if (m_quit)
        CloseHandle(m_quit);
}

bool ChildProcess::Start(const std::wstring& arguments, const std::wstring& program)
{
    std::wstring path = program.empty() ? DefaultProgram() : program;
    std::wstring line = L"\"" + path + L"\" " + arguments;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    return CreateProcessW(path.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_info) != 0;
}

bool ChildProcess::StartMarkedWindow(DWORD marker, const std::wstring& program)
{
    wchar_t ready[64], quit[64];
    FormatW(ready, _countof(ready), L"FoundationChildReady%u_%u", GetCurrentProcessId(), GetTickCount());
    FormatW(quit, _countof(quit), L"FoundationChildQuit%u_%u", GetCurrentProcessId(), GetTickCount());
    m_ready = CreateEventW(nullptr, TRUE, FALSE, ready);
    m_quit = CreateEventW(nullptr, TRUE, FALSE, quit);
    wchar_t args[256];
    FormatW(args, _countof(args), L"window %08X %s %s", marker, ready, quit);
    if (!Start(args, program))
        return false;
    HANDLE both[2] = {m_ready, m_info.hProcess};
    return WaitForMultipleObjects(2, both, FALSE, 30000) == WAIT_OBJECT_0;
}

DWORD ChildProcess::Stop()
{
    if (m_quit)
        SetEvent(m_quit);
    return Wait();
}

DWORD ChildProcess::Wait(DWORD milliseconds)
{
    DWORD code = STILL_ACTIVE;
    if (m_info.hProcess && WaitForSingleObject(m_info.hProcess, milliseconds) == WAIT_OBJECT_0)
        GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}
