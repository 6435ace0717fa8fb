// The host's start and end against a minimal window program started and ended the same way:
//   start: CreateProcess until the program's window answers a sent message (its thread pumps
//          messages, which for the host means its start-up has reached the message loop);
//   end:   the end request (the program-end bus text by WM_SETTEXT for the host, WM_CLOSE for
//          the minimal program) until the process is gone.
// Runs of the two alternate (for the start with a third: the minimal program loading the
// host's system DLLs first); the figures are the medians.
//
//   HostLifeBench [runs] [seconds to stay up before the end request] [bare|loggedin]
// With "bare" the host runs without plug-ins (its own share of the figures). With "loggedin"
// (through scripts/with-fake-pbx) only the end is measured, with both plug-ins logged in to
// the fake PBX: the telephony plug-in ends its monitoring (UserEnd) and closes both websockets
// on the way, which the fake PBX's log must show for every run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchStats.h"
#include "bench/DllTwin.h"
#include "bench/HostRun.h"
#include "bench/LoggedInHost.h"
#include "bench/ProcessFigures.h"
#include "bench/reliability/PbxLog.h"
#include "tests/support/TestSupport.h"

namespace {

struct Life {
    double start = -1;
    double end = -1;
    double ended = -1;  // host only: until its report said ENDED
};

// The start-up's fixed pauses: Sleep(250) after loading the plug-ins and SleepPumping(250),
// which sleeps two rounds of 100 ms.
constexpr double kStartPauses = 0.450;

// From the end request sent at t1 until the host is gone (at most 30 s); life->end stays
// negative when it did not end. Where the time goes: the report says ENDED once the plug-ins
// are closed and unloaded, just before the process ends itself.
void WaitHostEnd(const bench::Program& host, bench::StatusReportWatch& watch, double t1, Life* life)
{
    while (!watch.Wait(host.Process(), 10) && bench::Now() - t1 < 30) {
        if (life->ended < 0 && bench::HostReportedStatus(host.Id()) == L"ENDED")
            life->ended = bench::Now() - t1;
    }
    if (WaitForSingleObject(host.Process(), 0) == WAIT_OBJECT_0)
        life->end = bench::Now() - t1;
}

// With dlls set and empty, the system DLLs the host has loaded once its loop runs are put in.
Life RunHost(bench::HostFolder& folder, double settle, std::vector<std::wstring>* dlls = nullptr)
{
    Life life;
    bench::Program host;
    bench::StatusReportWatch watch;
    double t0 = bench::Now();
    if (!host.Start(folder.Exe()))
        return life;
    HWND window = bench::WaitAnsweringWindow(host, bench::kHostClass, bench::kHostMarker, 60000);
    if (!window)
        return life;
    // The window answers already while the start-up pumps messages; the loop runs once the
    // status report says so.
    while (bench::HostReportedStatus(host.Id()) != L"OK") {
        if (watch.Wait(host.Process(), 10) || bench::Now() - t0 > 60)
            return life;
    }
    life.start = bench::Now() - t0;
    if (dlls && dlls->empty()) {
        std::string source;
        *dlls = bench::LoadedSystemDlls(host.Id(), bench::FindLinuxProcess(folder.Exe()), &source);
    }
    Sleep(static_cast<DWORD>(settle * 1000));
    std::wstring end = bench::BusText(L"10", {});
    double t1 = bench::Now();
    if (!bench::SendText(window, end, 10000))
        return life;
    WaitHostEnd(host, watch, t1, &life);
    return life;
}

// With a list file, the minimal program loads the DLLs it names before its window exists.
Life RunMinimal(const std::wstring& exe, double settle, const std::wstring& list = L"")
{
    Life life;
    bench::Program program;
    double t0 = bench::Now();
    if (!program.Start(exe, list))
        return life;
    HWND window = bench::WaitAnsweringWindow(program, L"OrvixBenchMinimal", 0, 60000);
    if (!window)
        return life;
    life.start = bench::Now() - t0;
    Sleep(static_cast<DWORD>(settle * 1000));
    double t1 = bench::Now();
    if (PostMessageW(window, WM_CLOSE, 0, 0) && program.WaitExit(30000) != STILL_ACTIVE)
        life.end = bench::Now() - t1;
    return life;
}

// The end of a host logged in to the fake PBX. The PBX's log from the end request on must hold
// a UserEnd and a close frame for each connection that was open then; why names what lacked.
Life RunLoggedIn(double settle, std::string* why)
{
    using reliability::PbxLine;
    Life life;
    bench::LoggedInHost host("HostLifeBench");
    if (!host.Start()) {
        *why = "no login";
        return life;
    }
    HWND window = bench::WaitAnsweringWindow(host.program(), bench::kHostClass, bench::kHostMarker, 10000);
    if (!window) {
        *why = "no host window";
        return life;
    }
    Sleep(static_cast<DWORD>(settle * 1000));
    size_t from = reliability::ReadPbxLog().size();
    bench::StatusReportWatch watch;
    double t1 = bench::Now();
    if (!bench::SendText(window, bench::BusText(L"10", {}), 10000)) {
        *why = "the end text was not taken";
        return life;
    }
    WaitHostEnd(host.program(), watch, t1, &life);
    if (life.end < 0) {
        *why = "the host did not end";
        return life;
    }
    // The PBX writes a connection's closing once it has seen it: give its log a moment.
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<PbxLine> log = reliability::ReadPbxLog();
        std::vector<int> open;
        bool userEnd = false;
        for (size_t i = 0; i < log.size(); ++i) {
            const PbxLine& l = log[i];
            if (l.kind == PbxLine::Open)
                open.push_back(l.conn);
            else if (l.kind == PbxLine::Closed && (i < from || l.code != 1006))
                open.erase(std::remove(open.begin(), open.end(), l.conn), open.end());
            else if (l.kind == PbxLine::Request && l.mt == "UserEnd" && i >= from)
                userEnd = true;
        }
        if (userEnd && open.empty())
            return life;
        if (GetTickCount() - start > 5000) {
            *why = std::string(userEnd ? "" : "no UserEnd; ") + std::to_string(open.size()) +
                   " connection(s) not closed by a close frame";
            life.end = -1;
            return life;
        }
        Sleep(20);
    }
}

// The row of an end figure: the host's ends against the minimal program's, with the text of
// what was measured before the run's figures.
void EndRow(const std::string& id, const std::string& what, const std::vector<double>& hostEnd,
            const std::vector<double>& hostEnded, const std::vector<double>& minEnd, int runs)
{
    double c = bench::Median(hostEnd), d = bench::Median(minEnd);
    bench::Row(id.c_str(), what + bench::Fmt("median of %.0f; max ", runs) +
                       bench::Fmt("%.0f ms; ", bench::Quantile(hostEnd, 1.0) * 1000) +
                       bench::Fmt("report said ENDED after %.0f ms)", bench::Median(hostEnded) * 1000),
               bench::Fmt("%.0f ms", c * 1000), bench::Fmt("WM_CLOSE to minimal program %.0f ms", d * 1000), c / d,
               "≤ 2× and < 1 s", c / d <= 2 && c < 1.0);
}

int LoggedIn(int runs, double settle, const std::wstring& minimal)
{
    std::vector<double> hostEnd, hostEnded, minEnd;
    for (int i = 0; i < runs; ++i) {
        std::string why;
        Life h = RunLoggedIn(settle, &why);
        Life m = RunMinimal(minimal, settle);
        if (h.end < 0 || m.end < 0) {
            fprintf(stderr, "HostLifeBench: logged-in run %d failed (%s; minimal %.3f)\n", i, why.c_str(), m.end);
            return 1;
        }
        hostEnd.push_back(h.end);
        hostEnded.push_back(h.ended);
        minEnd.push_back(m.end);
    }
    EndRow("P8 (logged in)",
           "program-end text from another program until the host is gone, both plug-ins logged in to the fake PBX "
           "(UserEnd and both websockets closed by close frames in every run; ",
           hostEnd, hostEnded, minEnd, runs);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int runs = argc > 1 ? _wtoi(argv[1]) : 10;
    double settle = argc > 2 ? _wtof(argv[2]) : 1.0;
    bench::RunningStateGuard quiet;
    if (argc > 3 && lstrcmpW(argv[3], L"loggedin") == 0) {
        if (!bench::FakePbxPort()) {
            fprintf(stderr, "HostLifeBench: \"loggedin\" runs through scripts/with-fake-pbx\n");
            return 2;
        }
        return LoggedIn(runs, settle, testing_support::ProgramFolder() + L"MinimalWindow.exe");
    }
    bool bare = argc > 3 && lstrcmpW(argv[3], L"bare") == 0;
    bench::HostFolder folder(L"bench_life", bare);
    std::wstring minimal = testing_support::ProgramFolder() + L"MinimalWindow.exe";
    std::vector<double> hostStart, hostEnd, hostEnded, minStart, minEnd, twinStart;
    // Beside the minimal program, for the start: the same program loading the system DLLs the
    // host has loaded by the time its loop runs (its "DLL twin"): what Wine's loading and
    // initialising of those DLLs costs any program.
    std::vector<std::wstring> dlls;
    std::wstring list = folder.Folder() + L"dlls.txt";
    for (int i = 0; i < runs; ++i) {
        Life h = RunHost(folder, settle, &dlls);
        if (i == 0) {
            std::wstring text;
            for (const std::wstring& d : dlls)
                text += d + L"\n";
            HANDLE file = CreateFileW(list.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            if (file != INVALID_HANDLE_VALUE) {
                WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
                CloseHandle(file);
            }
        }
        Life m = RunMinimal(minimal, settle);
        Life t = RunMinimal(minimal, 0, L"\"" + list + L"\"");
        if (h.start < 0 || h.end < 0 || m.start < 0 || m.end < 0 || t.start < 0 || dlls.empty()) {
            fprintf(stderr, "HostLifeBench: run %d failed (host %.3f/%.3f, minimal %.3f/%.3f, DLL twin %.3f)\n", i,
                    h.start, h.end, m.start, m.end, t.start);
            return 1;
        }
        twinStart.push_back(t.start);
        hostStart.push_back(h.start);
        hostEnd.push_back(h.end);
        hostEnded.push_back(h.ended);
        minStart.push_back(m.start);
        minEnd.push_back(m.end);
    }
    std::string plugins = folder.HasInfo() ? "PluginInfoVisette" : "";
    if (folder.HasTelephony())
        plugins += plugins.empty() ? "PluginTelephonyOrkane" : " and PluginTelephonyOrkane";
    if (plugins.empty())
        plugins = "no plug-ins";
    const char* id3 = bare ? "P3 (host alone)" : "P3";
    const char* id8 = bare ? "P8 (host alone)" : "P8";
    double a = bench::Median(hostStart), b = bench::Median(minStart), tw = bench::Median(twinStart);
    double beyond = a - kStartPauses;
    bench::Row(id3, "host start until its message loop runs, with " + plugins + bench::Fmt(" (median of %.0f)", runs),
               bench::Fmt("%.0f ms", a * 1000) + bench::Fmt("; beyond its 450 ms of fixed pauses %.0f ms", beyond * 1000),
               bench::Fmt("minimal window program %.0f ms; ", b * 1000) +
                   bench::Fmt("its DLL twin (the host's %.0f system DLLs loaded) ", double(dlls.size())) +
                   bench::Fmt("%.0f ms", tw * 1000),
               // The goal is the start beyond its fixed pauses against the minimal program.
               beyond / b, "beyond the pauses ≤ 1.5×", beyond / b <= 1.5,
               bench::Fmt("the whole start %.2f× the minimal program; ", a / b) +
                   bench::Fmt("beyond the pauses %.2f× its DLL twin", beyond / tw));
    EndRow(id8, "program-end text from another program until the host is gone, with " + plugins + " (", hostEnd,
           hostEnded, minEnd, runs);
    return 0;
}
