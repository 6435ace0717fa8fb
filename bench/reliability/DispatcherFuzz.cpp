// The telephony plug-in's dispatcher fed mutated PBX messages in-process, with a recording
// window as the host: no crash, no hang, and nothing on the bus that the PBX did not send.
// A crash or a hang saves the input that caused it (UTF-16LE) and ends the run with exit
// code 3; a forged or malformed bus message ends it with exit code 1 and saves its input too,
// and so does a call left in the plug-in's call tables after its clearing or a conference
// counted with no open call in it (the tables live on from input to input, as in use). A run
// that its time bound stops before its count fails (exit code 1).
//
//   DispatcherFuzz <corpus.jsonl> <output folder> [--seed N] [--count N] [--seconds S]
//                  [--hang-seconds S] [--huge N]
//   DispatcherFuzz --replay <saved input>
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <set>
#include <string>

#include "bench/reliability/BusMessageCheck.h"
#include "bench/reliability/MessageMutator.h"
#include "bus/LogLine.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/Dispatcher.h"
#include "plugins/telephony_orkane/ModuleObjects.h"
#include "tests/hosts/RecordingWindow.h"

namespace {

// What the watchdog needs when the dispatching thread crashed or hangs.
std::wstring g_input;
// The input before it: the dispatcher keeps call state from one message to the next.
std::wstring g_previous;
std::wstring g_outputFolder = L".";
uint64_t g_seed = 0;
volatile LONG64 g_index = -1;
volatile LONG g_crashCode = 0;
HANDLE g_crashEvent;

void WriteText(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(file);
    }
}

// Saves the input (and, beside it, the one before it); returns the input's path.
std::wstring SaveInput(const wchar_t* what)
{
    std::wstring base = g_outputFolder + L"\\" + what + L"-seed" + std::to_wstring(g_seed) + L"-input" +
                        std::to_wstring(g_index);
    WriteText(base + L".u16", g_input);
    WriteText(base + L"-previous.u16", g_previous);
    return base + L".u16";
}

// Runs on the crashed thread's stack, which may be almost used up: only signals the watchdog.
LONG WINAPI OnCrash(EXCEPTION_POINTERS* info)
{
    InterlockedExchange(&g_crashCode, info && info->ExceptionRecord ? (LONG)info->ExceptionRecord->ExceptionCode : 1);
    SetEvent(g_crashEvent);
    Sleep(INFINITE);
    return EXCEPTION_EXECUTE_HANDLER;
}

void OnAbort(int)
{
    InterlockedExchange(&g_crashCode, 0xAB027);
    SetEvent(g_crashEvent);
    Sleep(INFINITE);
}

struct WatchArgs {
    DWORD hangSeconds;
};

DWORD WINAPI Watchdog(void* param)
{
    DWORD hangSeconds = static_cast<WatchArgs*>(param)->hangSeconds;
    LONG64 last = -2;
    DWORD still = 0;
    for (;;) {
        if (WaitForSingleObject(g_crashEvent, 1000) == WAIT_OBJECT_0) {
            std::wstring path = SaveInput(L"crash");
            fwprintf(stderr, L"DispatcherFuzz: CRASH 0x%08lX at input %lld (seed %llu); input saved to %ls\n",
                     (unsigned long)g_crashCode, (long long)g_index, (unsigned long long)g_seed, path.c_str());
            fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        LONG64 now = g_index;
        still = (now == last) ? still + 1 : 0;
        last = now;
        if (now >= 0 && still >= hangSeconds) {
            std::wstring path = SaveInput(L"hang");
            fwprintf(stderr, L"DispatcherFuzz: HANG over %lu s at input %lld (seed %llu); input saved to %ls\n",
                     hangSeconds, (long long)now, (unsigned long long)g_seed, path.c_str());
            fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::wstring ReadSaved(const wchar_t* path)
{
    std::wstring text;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    DWORD size = GetFileSize(file, nullptr), read = 0;
    text.resize(size / sizeof(wchar_t));
    ReadFile(file, &text[0], size, &read, nullptr);
    CloseHandle(file);
    return text;
}

struct TableSizes {
    size_t calls = 0, conferences = 0;
};

// A clearing ends its call in the plug-in's tables: nothing of the call may stay behind, or
// the tables grow by a call for as long as the plug-in runs.
std::wstring CheckClearedCall(const reliability::Expectation& e)
{
    if (!e.known || !e.callEvent || !e.callIdKnown || wcscmp(e.stateEvent, L"Idle") != 0)
        return L"";
    std::wstring id = std::to_wstring(e.callId);
    if (g_CallList.count(e.callId))
        return L"call " + id + L" is still in the call list after its clearing";
    if (g_CallConference.count(e.callId))
        return L"call " + id + L" still has its conference after its clearing";
    return L"";
}

// What use explains: a call stays in the tables from its setup or alert until its clearing
// (the mutated inputs open calls they never clear, so their number grows with the run), and a
// conference keeps its leg counter only while an open call is in it. A counter of a
// conference that no open call is in stays for as long as the plug-in runs.
std::wstring CheckCallTables(TableSizes* largest)
{
    std::set<int> open;
    std::set<std::wstring> inUse;
    for (const auto& c : g_CallList)
        open.insert(c.first);
    for (const auto& c : g_CallConference) {
        open.insert(c.first);
        inUse.insert(c.second);
    }
    largest->calls = open.size() > largest->calls ? open.size() : largest->calls;
    largest->conferences = g_ConferenceCount.size() > largest->conferences ? g_ConferenceCount.size() : largest->conferences;
    for (const auto& c : g_ConferenceCount)
        if (!inUse.count(c.first))
            return L"conference '" + c.first.substr(0, 80) + L"' is counted (" + std::to_wstring(c.second) +
                   L" legs) with no open call in it; " + std::to_wstring(g_ConferenceCount.size()) +
                   L" conferences counted for " + std::to_wstring(open.size()) + L" open calls";
    return L"";
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    uint64_t count = 1000000;
    double seconds = 600;
    DWORD hangSeconds = 20;
    size_t huge = 1 << 18;
    const wchar_t* corpusPath = nullptr;
    const wchar_t* replay = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        bool more = i + 1 < argc;
        if (a == L"--seed" && more)
            g_seed = _wcstoui64(argv[++i], nullptr, 10);
        else if (a == L"--count" && more)
            count = _wcstoui64(argv[++i], nullptr, 10);
        else if (a == L"--seconds" && more)
            seconds = _wtof(argv[++i]);
        else if (a == L"--hang-seconds" && more)
            hangSeconds = static_cast<DWORD>(_wtoi(argv[++i]));
        else if (a == L"--huge" && more)
            huge = static_cast<size_t>(_wtoi(argv[++i]));
        else if (a == L"--replay" && more)
            replay = argv[++i];
        else if (!corpusPath)
            corpusPath = argv[i];
        else
            g_outputFolder = a;
    }
    if (!replay && !corpusPath) {
        fwprintf(stderr, L"usage: DispatcherFuzz <corpus.jsonl> <output folder> [--seed N] [--count N] "
                         L"[--seconds S] [--hang-seconds S] [--huge N] | --replay <file>\n");
        return 2;
    }
    std::vector<std::wstring> corpus;
    if (!replay) {
        corpus = reliability::ReadLines(corpusPath);
        if (corpus.empty()) {
            fwprintf(stderr, L"DispatcherFuzz: no messages in %ls\n", corpusPath);
            return 2;
        }
    }
    CreateDirectoryW(g_outputFolder.c_str(), nullptr);

    g_crashEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetUnhandledExceptionFilter(OnCrash);
    // A stack overflow needs room for the filter to run at all.
    ULONG guarantee = 64 * 1024;
    SetThreadStackGuarantee(&guarantee);
    signal(SIGABRT, OnAbort);
    std::set_terminate([] { OnAbort(0); });
    WatchArgs args = {hangSeconds};
    CreateThread(nullptr, 0, Watchdog, &args, 0, nullptr);

    testing_support::RecordingWindow host;
    g_hWndParent = host.hwnd();
    g_RegIniAccess.Init(TRUE);
    // Every log line goes out, so that the texts the log lines carry are checked as well.
    g_dwGlobalDebugLevel = 5;
    CInnovaphoneVars conn(L"OrkaneReliability");

    reliability::MessageMutator mutator(corpus);
    mutator.hugeLimit = huge;
    double start = GetTickCount() / 1000.0;
    uint64_t done = 0, callEvents = 0, known = 0;
    TableSizes largest;
    for (uint64_t i = 0; replay ? i < 1 : i < count; ++i) {
        if (!replay && i % 256 == 0 && GetTickCount() / 1000.0 - start > seconds)
            break;
        g_previous.swap(g_input);
        g_input = replay ? ReadSaved(replay) : mutator.Make(g_seed, i);
        InterlockedExchange64(&g_index, static_cast<LONG64>(i));
        reliability::Expectation expected = reliability::Expect(g_input);
        DispatchMessages(&conn, g_input.c_str());
        Pump();
        std::wstring wrong = reliability::Check(host.messages(), expected);
        if (!wrong.empty()) {
            std::wstring path = SaveInput(L"forged");
            fwprintf(stderr, L"DispatcherFuzz: FORGED at input %llu (seed %llu): %ls; input saved to %ls\n",
                     (unsigned long long)i, (unsigned long long)g_seed, wrong.c_str(), path.c_str());
            fwprintf(stderr, L"--- the input ---\n%.2000ls\n", g_input.c_str());
            for (const auto& m : host.messages())
                fwprintf(stderr, L"--- bus message %u ---\n%.2000ls\n", m.type, m.text.c_str());
            return 1;
        }
        host.Clear();
        known += expected.known;
        callEvents += expected.callEvent;
        ++done;
        // The call tables live on as they do in use; what is left in them must be explained.
        wrong = CheckClearedCall(expected);
        if (wrong.empty() && (i % 4096 == 4095 || replay))
            wrong = CheckCallTables(&largest);
        if (!wrong.empty()) {
            std::wstring path = SaveInput(L"tables");
            fwprintf(stderr, L"DispatcherFuzz: CALL TABLES at input %llu (seed %llu): %ls; input saved to %ls\n",
                     (unsigned long long)i, (unsigned long long)g_seed, wrong.c_str(), path.c_str());
            return 1;
        }
    }
    std::wstring wrong = CheckCallTables(&largest);
    if (!wrong.empty()) {
        fwprintf(stderr, L"DispatcherFuzz: CALL TABLES at the end (seed %llu): %ls\n", (unsigned long long)g_seed,
                 wrong.c_str());
        return 1;
    }
    double elapsed = GetTickCount() / 1000.0 - start;
    wprintf(L"DispatcherFuzz: seed %llu: %llu inputs in %.1f s (%llu valid JSON, %llu call events): no crash, no "
            L"hang, no forged value; call tables at most %llu calls, %llu conferences\n",
            (unsigned long long)g_seed, (unsigned long long)done, elapsed, (unsigned long long)known,
            (unsigned long long)callEvents, (unsigned long long)largest.calls,
            (unsigned long long)largest.conferences);
    g_hWndParent = nullptr;
    // A run its time bound cut short has not shown what it was asked to.
    if (!replay && done < count) {
        fwprintf(stderr, L"DispatcherFuzz: FAILED: the time bound (%.0f s) stopped the run after %llu of %llu inputs\n",
                 seconds, (unsigned long long)done, (unsigned long long)count);
        return 1;
    }
    return 0;
}
