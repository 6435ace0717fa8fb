// The call path through the real programs: the fake PBX (run around this program by
// scripts/with-fake-pbx) sends CallInfo messages on the telephony plug-in's application
// websocket, the plug-in turns them into call records, the host routes them, and a recording
// probe in the Info folder beside the business-card plug-in notes each Type 44 the moment the
// Info category is called with it.
//
//   CallPathBench latency <calls> [gap ms] [nocard]
//                                   P1: alert sent → Type 44 at the Info category, against the
//                                   floor (a frame to a bare WinHTTP receiver plus one
//                                   PostMessage hop), both asked for over the same control
//                                   connection to the fake PBX; calls come as calls ring, the
//                                   gap (250 ms) apart from the last clearing and the floor
//                                   (the burst is P2); "nocard": without the business-card
//                                   plug-in (its share of the figure)
//   CallPathBench burst <messages> [nocard]
//                                   P2: that many CallInfo messages (alert and clearing of
//                                   half as many calls) within one second: per call, in order,
//                                   its two records, each card shown by the business card and
//                                   hidden at the end (bench/CardWatch); the host's CPU
//                                   seconds ("nocard": without the business-card plug-in,
//                                   its share of the figure)
//   CallPathBench rest <seconds>    P4/P7 with both plug-ins logged in
//   CallPathBench soak <calls> [max seconds] [cards]
//                                   R4: calls (setup, alert, connect, clearing) through the
//                                   whole path: per call, in order, its three records, its
//                                   card shown by the business card, and after each batch the
//                                   card's popup hidden again; memory and handles flat (±5 %)
//                                   unless "cards" (the smoke run) asks only for the cards
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchSocket.h"
#include "bench/BenchStats.h"
#include "bench/CardWatch.h"
#include "bench/DllTwin.h"
#include "bench/HostRun.h"
#include "bench/LoggedInHost.h"
#include "bench/ProbeLog.h"
#include "bench/ProcessFigures.h"

namespace {

constexpr UINT WM_FLOOR = WM_APP + 1;

int g_port = 0;

using bench::LoggedInHost;

std::string CallInfo(int call, const char* msg)
{
    char text[256];
    snprintf(text, sizeof(text),
             "{\"mt\":\"CallInfo\",\"api\":\"RCC\",\"call\":%d,\"msg\":\"%s\",\"peer\":{\"e164\":\"+4930123456\","
             "\"h323\":\"Bench\"}}",
             call, msg);
    return text;
}

std::string Run(const std::string& steps)
{
    return "{\"mt\":\"FakePbx\",\"run\":[" + steps + "]}";
}

// Index of the first Type 44 entry at or after from whose CallID is call (spinning), or -1.
LONG WaitRecord(bench::ProbeLog& probe, LONG from, int call, double seconds)
{
    double start = bench::Now();
    std::wstring id = std::to_wstring(call);
    while (bench::Now() - start < seconds) {
        for (LONG i = from, n = probe.Count(); i < n; ++i) {
            const TestPluginCall* c = probe.At(i);
            if (c && c->type == 44 && bench::ProbeLog::Value(*c, L"CallID") == id)
                return i;
        }
    }
    return -1;
}

LRESULT CALLBACK FloorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcW(hwnd, msg, wp, lp);
}

int Latency(int calls, DWORD gap, bool noCard)
{
    LoggedInHost host("CallPathBench", noCard);
    if (!host.Start())
        return 1;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvixBenchFloor";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    bench::BenchSocket control, floor;
    if (!control.Connect(g_port, L"/PBX0/APPS/websocket") ||
        !floor.Connect(g_port, L"/PBX0/APPCLIENT/websocket", window, WM_FLOOR))
        return host.Fail("no connection to the fake PBX"), 1;
    // The floor connection becomes the PBX's latest user connection ("to":"user").
    floor.Send("{\"mt\":\"CheckBuild\"}");
    if (!floor.WaitFor("CheckBuildResult", 10000))
        return host.Fail("the floor connection got no answer"), 1;
    std::vector<double> product, bare;
    for (int i = 0; i < calls; ++i) {
        int call = 700000 + i;
        // A quiet spell before each alert and each floor frame, as between two calls: the
        // plug-in's receive thread waits in its receive, not in the pause after a message.
        Sleep(gap);
        // The product path: alert → call record at the Info category.
        host.probe().Reset();
        double t0 = bench::Now();
        control.Send(Run("{\"to\":\"app\",\"send\":" + CallInfo(call, "x-alert") + "}"));
        if (WaitRecord(host.probe(), 0, call, 10) < 0)
            return host.Fail("a call record did not reach the Info category"), 1;
        product.push_back(bench::Now() - t0);
        LONG next = host.probe().Count();
        control.Send(Run("{\"to\":\"app\",\"send\":" + CallInfo(call, "del") + "}"));
        if (WaitRecord(host.probe(), next, call, 10) < 0)
            return host.Fail("a clearing did not reach the Info category"), 1;
        // The floor: the same request, a frame to the bare receiver, one posted message.
        std::string ignored;
        while (floor.Take(&ignored)) {
        }
        Sleep(gap);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        t0 = bench::Now();
        control.Send(Run("{\"to\":\"user\",\"send\":{\"mt\":\"Floor\",\"n\":" + std::to_string(i) + "}}"));
        bool got = false;
        while (!got && GetMessageW(&msg, nullptr, 0, 0) > 0)
            got = msg.message == WM_FLOOR;
        bare.push_back(bench::Now() - t0);
    }
    double pm = bench::Median(product) * 1000, p99 = bench::Quantile(product, 0.99) * 1000;
    double fm = bench::Median(bare) * 1000, f99 = bench::Quantile(bare, 0.99) * 1000;
    bench::Row(noCard ? "P1 (no business card)" : "P1", "CallInfo alert from the fake PBX until Type 44 reaches the Info category" +
                         bench::Fmt(" (%.0f calls, ", calls) + bench::Fmt("each %.0f ms after the last clearing and ", gap) +
                         "the floor's frame; median, p99)",
               bench::Fmt("median %.2f ms", pm) + bench::Fmt(" = floor + %.2f ms; ", pm - fm) +
                   bench::Fmt("p99 %.2f ms", p99) + bench::Fmt(" = floor + %.2f ms", p99 - fm),
               bench::Fmt("floor %.2f ms, ", fm) + bench::Fmt("p99 %.2f ms", f99), pm / fm,
               "median ≤ floor + 1 ms, p99 ≤ 5 ms", pm <= fm + 1 && p99 <= 5);
    DestroyWindow(window);
    return 0;
}

// The card's display time in the burst and the soak: each batch's card must be seen hidden
// again, and a second is enough to see it shown.
constexpr DWORD kCardSeconds = 1;

int Burst(int messages, bool noCard)
{
    LoggedInHost host("CallPathBench", noCard);
    host.SetCardSeconds(kCardSeconds);
    if (!host.Start())
        return 1;
    bench::BenchSocket control;
    if (!control.Connect(g_port, L"/PBX0/APPS/websocket"))
        return host.Fail("no connection to the fake PBX"), 1;
    if (!bench::CardWatch::AskForCardLines(host.window()))
        return host.Fail("the host took no debug level"), 1;
    int calls = messages / 2;
    std::string steps;
    std::vector<bench::ExpectedCall> expected;
    // Alert and clearing of each call, spread evenly over one second.
    double gap = 1.0 / messages;
    for (int i = 0; i < calls; ++i) {
        for (const char* m : {"x-alert", "del"}) {
            steps += "{\"to\":\"app\",\"send\":" + CallInfo(800000 + i, m) + "},";
            steps += bench::Fmt("{\"sleep\":%.4f},", gap);
        }
        expected.push_back({std::to_wstring(800000 + i), L"+4930123456", {L"OnReceived", L"OnConnectionCleared"}});
    }
    steps += "{\"send\":{\"mt\":\"BurstDone\"}}";
    int linuxPid = bench::FindLinuxProcess(host.folder().Exe());
    Sleep(500);
    bench::CardWatch watch(host.probe(), host.window(), !noCard);
    for (double quiet = bench::Now(); bench::Now() - quiet < 0.2;)
        watch.Take();
    watch.Clear();
    double cpu0 = bench::LinuxCpuSeconds(linuxPid), t0 = bench::Now();
    control.Send(Run(steps));
    // Every clearing's record, or the time is up.
    double allRecords = 0;
    while (bench::Now() - t0 < 120) {
        watch.Take();
        if (!allRecords && watch.Records() >= expected.size() * 2)
            allRecords = bench::Now();
        if (allRecords && (noCard || watch.Outcomes() >= expected.size() * 2))
            break;
        Sleep(1);
    }
    double elapsed = (allRecords ? allRecords : bench::Now()) - t0;
    double cpu = bench::LinuxCpuSeconds(linuxPid) - cpu0;
    // Per call, in order: its records at the Info category and what the card made of each.
    std::string wrong = watch.Check(expected);
    if (wrong.empty())
        wrong = watch.WaitHidden(kCardSeconds + 10);
    if (!wrong.empty())
        fprintf(stderr, "CallPathBench: burst: %s\n", wrong.c_str());
    bool sent = control.WaitFor("BurstDone", 30000);
    bool good = wrong.empty();
    bench::Row(noCard ? "P2 (no business card)" : "P2",
               bench::Fmt("burst of %.0f CallInfo messages in one second", 2.0 * calls) +
                         bench::Fmt(" (all records in %.2f s", elapsed) + (sent ? ")" : ", PBX not done)"),
               bench::Fmt("%.0f records, ", static_cast<double>(watch.Records())) +
                   (good ? (noCard ? "none lost, in order; " : "none lost, in order, each card shown, hidden at the end; ")
                         : "LOST, OUT OF ORDER OR NO CARD; ") +
                   bench::Fmt("host CPU %.2f s", cpu),
               "—", -1, "none lost, in order, < 1 core-second", good && cpu < 1.0);
    return good ? 0 : 1;
}

struct Figures {
    double cpu = 0, memory = 0;
    DWORD handles = 0;
};

Figures Snapshot(const LoggedInHost& host, int linuxPid)
{
    Figures f;
    f.cpu = bench::LinuxCpuSeconds(linuxPid);
    f.memory = bench::LinuxAnonymousMb(linuxPid);
    f.handles = bench::HandleCount(host.program().Id());
    return f;
}

int Rest(double seconds)
{
    LoggedInHost host("CallPathBench");
    if (!host.Start())
        return 1;
    int linuxPid = bench::FindLinuxProcess(host.folder().Exe());
    Sleep(3000);
    // The comparison for memory: the system DLLs the logged-in host has loaded (WinHTTP and
    // the rest), loaded by a minimal window program idling beside it.
    bench::DllTwin twin;
    if (!twin.Start(host.program().Id(), linuxPid))
        return host.Fail("the program with the host's system DLLs did not start"), 1;
    Figures a = Snapshot(host, linuxPid);
    Sleep(static_cast<DWORD>(seconds * 1000));
    Figures b = Snapshot(host, linuxPid);
    double twinMemory = bench::LinuxAnonymousMb(twin.LinuxPid()), dlls = twin.DllsMb();
    DWORD twinHandles = bench::HandleCount(twin.program().Id());
    int threads = bench::LinuxThreads(linuxPid), twinThreads = bench::LinuxThreads(twin.LinuxPid());
    double images = bench::LinuxAnonymousMbWithin(linuxPid, bench::OwnModuleRanges(host.program().Id()));
    // The recording probe is the benchmark's, not the product's: its file is left out of the
    // host's own share (its few calls at rest cost nothing else worth naming).
    double probe = bench::LinuxAnonymousMbWithin(linuxPid, bench::OwnModuleRanges(host.program().Id(), L"PluginInfoRec.dll"));
    double share = (b.cpu - a.cpu) / seconds * 100;
    bench::Row("P4", bench::Fmt("idle host with both plug-ins logged in, %.0f s", seconds),
               bench::Fmt("%.3f %% of one core", share), "—", -1, "< 0.1 %", share < 0.1);
    double own = b.memory - dlls - probe;
    bench::Row("P7", "private memory (resident anonymous) and handles, both plug-ins logged in",
               bench::Fmt("host %.1f MB, ", b.memory) + bench::Fmt("%.0f handles, ", b.handles) +
                   bench::Fmt("%.0f threads; ", threads) + bench::Fmt("host minus its DLL twin %.1f MB", own) +
                   bench::Fmt(" (its program and plug-in files %.1f MB; ", images - probe) +
                   bench::Fmt("the recording probe's file, %.1f MB, left out)", probe),
               std::string("DLL twin: ") + bench::Fmt("minimal window program with the host's %.0f system DLLs ", twin.Named()) +
                   bench::Fmt("%.1f MB", twinMemory) + bench::Fmt(" (%.1f MB without its own file), ", dlls) +
                   bench::Fmt("%.0f handles, ", twinHandles) +
                   bench::Fmt("%.0f thread", twinThreads) + (twinThreads == 1 ? "" : "s"),
               -1, "host minus its DLL twin ≤ 10 MB", b.memory >= 0 && dlls >= 0 && own <= 10,
               bench::Fmt("raw %.1f MB against 10 MB ", b.memory) + (b.memory <= 10 ? "(met)" : "(over)"));
    return 0;
}

// With cardsOnly the result is only whether every card came and went (the smoke run: a few
// calls say nothing about memory growth).
int Soak(int calls, double maxSeconds, bool cardsOnly)
{
    double began = bench::Now();
    LoggedInHost host("CallPathBench");
    host.SetCardSeconds(kCardSeconds);
    if (!host.Start())
        return 1;
    bench::BenchSocket control;
    if (!control.Connect(g_port, L"/PBX0/APPS/websocket"))
        return host.Fail("no connection to the fake PBX"), 1;
    if (!bench::CardWatch::AskForCardLines(host.window()))
        return host.Fail("the host took no debug level"), 1;
    int linuxPid = bench::FindLinuxProcess(host.folder().Exe());
    bench::CardWatch watch(host.probe(), host.window(), true);
    const int batch = 50;
    Figures warm, last;
    int done = 0, wrongCalls = 0;
    for (int first = 0; first < calls && bench::Now() - began < maxSeconds; first += batch) {
        int n = calls - first < batch ? calls - first : batch;
        // What is left of the last batch (its last log lines) is not this batch's.
        for (double quiet = bench::Now(); bench::Now() - quiet < 0.1;)
            watch.Take();
        watch.Clear();
        std::string steps;
        std::vector<bench::ExpectedCall> expected;
        for (int i = 0; i < n; ++i) {
            std::string number = "+49301234" + std::to_string(first + i);
            steps += "{\"to\":\"app\",\"call\":\"" + number + "\"},";
            expected.push_back({L"", std::wstring(number.begin(), number.end()),
                                {L"OnReceived", L"OnEstablished", L"OnConnectionCleared"}});
        }
        steps += "{\"send\":{\"mt\":\"SoakDone\"}}";
        control.Send(Run(steps));
        // Each call of the batch, in order: its card comes (OnReceived, shown by the card) and
        // goes (OnConnectionCleared); at the end the card hides its popup.
        size_t records = 3 * static_cast<size_t>(n);
        DWORD start = GetTickCount();
        bool pbxDone = false;
        // Generous: under a window manager-less display each card shown or hidden can take 2 s.
        while (GetTickCount() - start < 30000 + 5000u * n) {
            watch.Take();
            pbxDone = pbxDone || control.WaitFor("SoakDone", 1);
            if (pbxDone && watch.Records() >= records && watch.Outcomes() >= records)
                break;
            Sleep(5);
        }
        if (!pbxDone && !control.WaitFor("SoakDone", 1000))
            return host.Fail("the fake PBX did not finish a batch of calls"), 1;
        std::string wrong = watch.Check(expected);
        if (wrong.empty())
            wrong = watch.WaitHidden(kCardSeconds + 10);
        if (!wrong.empty()) {
            fprintf(stderr, "CallPathBench: calls %d..%d: %s\n", first, first + n - 1, wrong.c_str());
            wrongCalls += n;
        }
        done += n;
        last = Snapshot(host, linuxPid);
        if (first == 0 || (first < calls / 10 && first + batch >= calls / 10))
            warm = last;
    }
    double memoryChange = warm.memory > 0 ? (last.memory - warm.memory) / warm.memory * 100 : 0;
    double handleChange = warm.handles ? (double(last.handles) - double(warm.handles)) / warm.handles * 100 : 0;
    bool flat = memoryChange <= 5 && memoryChange >= -5 && handleChange <= 5 && handleChange >= -5;
    printf("CallPathBench soak: %d calls in %.0f s; %d in batches with a wrong record or card; memory %.1f → %.1f MB "
           "(%+.1f %%), handles %lu → %lu (%+.1f %%)\n",
           done, bench::Now() - began, wrongCalls, warm.memory, last.memory, memoryChange, warm.handles, last.handles,
           handleChange);
    // A soak cut short by its time bound has not shown what it was asked to.
    if (done < calls)
        fprintf(stderr, "CallPathBench: the time bound stopped the soak after %d of %d calls\n", done, calls);
    bench::Row("P7", bench::Fmt("memory and handles after %.0f calls, both plug-ins logged in", done),
               bench::Fmt("%.1f MB, ", last.memory) + bench::Fmt("%.0f handles", last.handles),
               bench::Fmt("after the first tenth: %.1f MB, ", warm.memory) + bench::Fmt("%.0f handles", warm.handles),
               -1, "flat (±5 %)", flat);
    return wrongCalls == 0 && done == calls && (flat || cardsOnly) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    g_port = bench::FakePbxPort();
    if (argc < 3 || !g_port) {
        fwprintf(stderr, L"usage (through scripts/with-fake-pbx): CallPathBench latency|burst|rest|soak <n>\n");
        return 2;
    }
    bench::RunningStateGuard quiet;
    std::wstring mode = argv[1];
    int n = _wtoi(argv[2]);
    if (mode == L"latency")
        return Latency(n, argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 250,
                       argc > 4 && lstrcmpW(argv[4], L"nocard") == 0);
    if (mode == L"burst")
        return Burst(n, argc > 3 && lstrcmpW(argv[3], L"nocard") == 0);
    if (mode == L"rest")
        return Rest(n);
    if (mode == L"soak")
        return Soak(n, argc > 3 ? _wtof(argv[3]) : 1e9, argc > 4 && lstrcmpW(argv[4], L"cards") == 0);
    return 2;
}
