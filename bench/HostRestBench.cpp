// The host at rest: the CPU time it takes while idle, and its memory and handle count, beside
// the same figures of a minimal window program under the same Wine (whose own share of both is
// large). Memory is the process's resident anonymous memory as Linux sees it, the nearest
// figure to private bytes that Wine gives. Wine's share of it grows with every DLL a process
// loads, so memory is also set against a minimal window program that has loaded the same
// system DLLs as the host (taken from the host once it has settled): the difference is the
// host's own share, and the goal is judged on that.
//
//   HostRestBench [idle seconds] [bare]
// With "bare" the host runs without plug-ins (its own share of the figures).
#include <windows.h>

#include <cstdio>

#include "bench/BenchStats.h"
#include "bench/DllTwin.h"
#include "bench/HostRun.h"
#include "bench/ProcessFigures.h"
#include "tests/support/TestSupport.h"

namespace {

struct Rest {
    double cpuSeconds = -1;
    double privateMb = -1;
    DWORD handles = 0;
    int threads = -1;
};

Rest Measure(const bench::Program& program, int linuxPid, double idleSeconds)
{
    Rest rest;
    if (!linuxPid)
        return rest;
    // Let the start-up settle (timers, the plug-ins' first work) before the idle window.
    Sleep(3000);
    double before = bench::LinuxCpuSeconds(linuxPid);
    Sleep(static_cast<DWORD>(idleSeconds * 1000));
    rest.cpuSeconds = bench::LinuxCpuSeconds(linuxPid) - before;
    rest.privateMb = bench::LinuxAnonymousMb(linuxPid);
    rest.handles = bench::HandleCount(program.Id());
    rest.threads = bench::LinuxThreads(linuxPid);
    return rest;
}

struct MeasureArgs {
    const bench::Program* program;
    int linuxPid;
    double idle;
    Rest* rest;
};

DWORD WINAPI MeasureThread(void* param)
{
    auto* a = static_cast<MeasureArgs*>(param);
    *a->rest = Measure(*a->program, a->linuxPid, a->idle);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    double idle = argc > 1 ? _wtof(argv[1]) : 60;
    bench::RunningStateGuard quiet;
    bool bare = argc > 2 && lstrcmpW(argv[2], L"bare") == 0;
    bench::HostFolder folder(L"bench_rest", bare);
    bench::Program host, minimal;
    if (!host.Start(folder.Exe()) || !bench::WaitAnsweringWindow(host, bench::kHostClass, bench::kHostMarker, 60000)) {
        fprintf(stderr, "HostRestBench: the host did not start\n");
        return 1;
    }
    if (!minimal.Start(testing_support::ProgramFolder() + L"MinimalWindow.exe") ||
        !bench::WaitAnsweringWindow(minimal, L"OrvixBenchMinimal", 0, 60000)) {
        fprintf(stderr, "HostRestBench: the minimal program did not start\n");
        return 1;
    }
    int hostPid = bench::FindLinuxProcess(folder.Exe());
    // The host's DLLs once its start-up (and the plug-ins' first work) has settled.
    Sleep(3000);
    bench::DllTwin twin;
    if (!twin.Start(host.Id(), hostPid)) {
        fprintf(stderr, "HostRestBench: the program with the host's system DLLs did not start\n");
        return 1;
    }
    // All three idle side by side over the same seconds.
    Rest m, t;
    MeasureArgs args[] = {{&minimal, bench::FindLinuxProcess(L"MinimalWindow.exe"), idle, &m},
                          {&twin.program(), twin.LinuxPid(), idle, &t}};
    HANDLE threads[2];
    for (int i = 0; i < 2; ++i)
        threads[i] = CreateThread(nullptr, 0, MeasureThread, &args[i], 0, nullptr);
    Rest h = Measure(host, hostPid, idle);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    std::string source;
    size_t dllsAtEnd = bench::LoadedSystemDlls(host.Id(), hostPid, &source).size();
    if (dllsAtEnd != twin.Named())
        fprintf(stderr, "HostRestBench: the host had %u system DLLs at the start of the idle time, %u at its end\n",
                static_cast<unsigned>(twin.Named()), static_cast<unsigned>(dllsAtEnd));

    std::string plugins = folder.HasInfo() ? "PluginInfoVisette" : "";
    if (folder.HasTelephony())
        plugins += plugins.empty() ? "PluginTelephonyOrkane" : " and PluginTelephonyOrkane";
    if (plugins.empty())
        plugins = "no plug-ins";
    if (h.cpuSeconds < 0 || m.cpuSeconds < 0) {
        fprintf(stderr, "HostRestBench: no CPU figures (is /proc reachable through Z:?)\n");
        return 1;
    }
    double share = h.cpuSeconds / idle * 100;
    bench::Row(bare ? "P4 (host alone)" : "P4", std::string("idle host with ") + plugins + bench::Fmt(", %.0f s", idle),
               bench::Fmt("%.3f %% of one core", share),
               bench::Fmt("minimal window program %.3f %%", m.cpuSeconds / idle * 100), -1, "< 0.1 %", share < 0.1);
    // Of the host's own share: its program and plug-in files, which Wine reads into private
    // memory whole (their sections are not page-aligned in the file).
    double images = bench::LinuxAnonymousMbWithin(hostPid, bench::OwnModuleRanges(host.Id()));
    double dlls = twin.DllsMb();
    double own = h.privateMb - dlls;
    bench::Row(bare ? "P7 (host alone)" : "P7",
               "private memory (resident anonymous) and handles of the host at rest with " + plugins,
               bench::Fmt("host %.1f MB, ", h.privateMb) + bench::Fmt("%.0f handles, ", static_cast<double>(h.handles)) +
                   bench::Fmt("%.0f threads; ", h.threads) + bench::Fmt("host minus its DLL twin %.1f MB", own) +
                   bench::Fmt(" (its program and plug-in files %.1f MB)", images),
               std::string("DLL twin: ") + bench::Fmt("minimal window program with the host's %.0f system DLLs ", twin.Named()) +
                   bench::Fmt("%.1f MB", t.privateMb) + bench::Fmt(" (%.1f MB without its own file), ", dlls) +
                   bench::Fmt("%.0f handles, ", static_cast<double>(t.handles)) +
                   bench::Fmt("%.0f thread", t.threads) + (t.threads == 1 ? "" : "s") +
                   bench::Fmt("; without the DLLs %.1f MB, ", m.privateMb) +
                   bench::Fmt("%.0f handles", static_cast<double>(m.handles)),
               -1, "host minus its DLL twin ≤ 10 MB", h.privateMb >= 0 && dlls >= 0 && own <= 10,
               bench::Fmt("raw %.1f MB against 10 MB ", h.privateMb) + (h.privateMb <= 10 ? "(met)" : "(over)"));
    bench::SendText(bench::WaitAnsweringWindow(host, bench::kHostClass, bench::kHostMarker, 1000),
                    bench::BusText(L"10", {}), 10000);
    host.WaitExit(30000);
    PostMessageW(bench::WaitAnsweringWindow(minimal, L"OrvixBenchMinimal", 0, 1000), WM_CLOSE, 0, 0);
    minimal.WaitExit(10000);
    return 0;
}
