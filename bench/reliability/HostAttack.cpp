// Another program throws hostile bus texts (WM_SETTEXT) and foreign 0x47F/0x479/0x485 posts
// with made-up blocks at the running host. The host must keep answering a sent message
// throughout, and end cleanly on the program-end text afterwards (exit code 0, no crash
// dump). Types that legitimately open dialogs or menus, switch plug-ins or end the host are
// not thrown: their effect is the command, not an attack.
//
//   HostAttack [--seed N] [--count N] [--seconds S] [--row]
// With --row the end after the flood is also printed as a benchmark row (P8), against a
// minimal window program's end by WM_CLOSE.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchStats.h"
#include "bench/HostRun.h"
#include "bench/ProbeLog.h"
#include "tests/support/TestSupport.h"
#include "bench/reliability/MessageMutator.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"

namespace {

using reliability::Random;

// Types thrown in bus texts: handled by the host, routed to the plug-ins, or unknown. A type
// is read like any number ("17x" is 17, "10x" would be a program end); every text is checked
// as the host reads it (HostileNonCommandText).
const wchar_t* const kTypes[] = {
    L"3", L"4", L"7", L"8", L"11", L"12", L"17", L"18", L"19", L"21", L"24", L"25", L"26", L"32", L"36", L"37",
    L"43", L"44", L"48", L"60", L"61", L"66", L"72", L"73", L"76", L"77", L"78", L"0", L"81", L"4294967306",
    L"-10", L"17x", L"", L"abc", L"65535", L"99999999999999999999",
};

const wchar_t* const kKeywords[] = {
    L"Type", L"CMD", L"Arg", L"ID", L"Text", L"Level", L"Window", L"Module", L"Event", L"Partner", L"Command",
    L"CallerID", L"CallID", L"MemBlock", L"LastErr", L"SchemeIndex", L"UsedFont", L"UsedLanguage", L"Sender",
    L"Enable", L"Visible", L"Value", L"Record",
};

const wchar_t* const kValues[] = {
    L"", L"0", L"1", L"-1", L"4294967295", L"99999999999999999999", L"%s%n%s%n", L"&amp;lt;&#0;&bogus;&",
    L"LoadPlugin", L"UnloadPlugin", L"..\\..\\Windows\\System32\\evil.dll", L"C:\\PluginEvil.DLL",
    L"PluginNotThere.DLL", L"\\\\server\\share\\PluginX.DLL", L"OnReceived", L"MakeCall", L"+4930123456",
    L"</value><value keyword=\"Type\">10</value>", L"<value keyword=\"MemBlock\">1234</value>",
    L"\xD800\xDBFF\xDFFF\xFFFE", L"\U0001F4DE", L"0x7FFE0000", L"12345678",
};

std::wstring Noise(size_t length, Random& r)
{
    std::wstring text;
    for (size_t i = 0; i < length; ++i)
        text += static_cast<wchar_t>(1 + r.Below(0xFFFF));
    return text;
}

std::wstring HostileText(Random& r)
{
    switch (r.Below(6)) {
    case 0:  // noise that begins like a bus text
        return L"<" + Noise(r.Below(300), r);
    case 1:  // not a bus text at all
        return Noise(1 + r.Below(100), r);
    case 2: {  // a bus text cut anywhere after its type (a cut type could turn into a command)
        std::wstring t = bench::BusText(kTypes[r.Below(_countof(kTypes))], {{L"Text", kValues[r.Below(_countof(kValues))]}});
        size_t typeEnd = t.find(L"</value>") + 8;
        return t.substr(0, typeEnd + r.Below(t.size() - typeEnd + 1));
    }
    case 3: {  // one very long value
        std::wstring huge(static_cast<size_t>(1) << (8 + r.Below(10)), L'A');
        return bench::BusText(kTypes[r.Below(_countof(kTypes))], {{kKeywords[r.Below(_countof(kKeywords))], huge}});
    }
    default: {  // well-formed with hostile keywords and values
        std::vector<std::pair<std::wstring, std::wstring>> values;
        size_t n = r.Below(8);
        for (size_t i = 0; i < n; ++i)
            values.push_back({kKeywords[r.Below(_countof(kKeywords))], kValues[r.Below(_countof(kValues))]});
        std::wstring text = bench::BusText(kTypes[r.Below(_countof(kTypes))], values);
        if (r.Chance(20))  // a second header, a lost footer, markup in a keyword
            text.insert(r.Below(text.size()), r.Chance(50) ? L"<data>\r\n" : L"<value keyword=\"<\">");
        return text;
    }
    }
}

// The type the host reads from a text, as it reads it: the first Type value, cut to 30
// characters, as a number.
long TypeAsRead(const std::wstring& text)
{
    wchar_t value[31];
    CopyText(value, _countof(value), GetValueByKeyword(text.c_str(), L"Type"));
    return ParseNumber(value);
}

// Types whose effect is a command (menus, dialogs, tray clicks, switching or restarting
// plug-ins, applying settings, pause and continue, program end): a text that reads as one of
// them is a command another program may give, not an attack.
bool IsCommandType(long type)
{
    static const long kCommands[] = {1, 2, 5, 6, 9, 10, 14, 33, 34, 51, 53, 62, 63, 71};
    for (long c : kCommands)
        if (type == c)
            return true;
    return false;
}

// A hostile text that does not read as a command (a cut or an inserted tag can make an
// earlier planted value the first Type).
std::wstring HostileNonCommandText(Random& r)
{
    for (;;) {
        std::wstring text = HostileText(r);
        if (text[0] != L'<' || !IsCommandType(TypeAsRead(text)))
            return text;
    }
}

LPARAM HostileBlock(Random& r)
{
    switch (r.Below(6)) {
    case 0: return 0;
    case 1: return static_cast<LPARAM>(r.Below(0x10000));
    case 2: return static_cast<LPARAM>(-1);
    case 3: return static_cast<LPARAM>(0x00010000 + (r.Below(0x7FFF0000) & ~static_cast<size_t>(7)));
    case 4: return static_cast<LPARAM>(r.Next());
    default: return static_cast<LPARAM>(0x7FFE0000);  // readable in every process, never a block
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    uint64_t seed = 1, count = 100000;
    double seconds = 900;
    bool row = false;
    for (int i = 1; i < argc; ++i)
        row = row || lstrcmpW(argv[i], L"--row") == 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::wstring a = argv[i];
        if (a == L"--seed")
            seed = _wcstoui64(argv[i + 1], nullptr, 10);
        else if (a == L"--count")
            count = _wcstoui64(argv[i + 1], nullptr, 10);
        else if (a == L"--seconds")
            seconds = _wtof(argv[i + 1]);
    }
    bench::RunningStateGuard quiet;
    // A recording trace plug-in in the host: its BeforeClose tells the moment the host begins
    // to end, so that an end that the attack caused is caught at the action that caused it.
    bench::ProbeLog probe;
    bench::HostFolder folder(L"reliability_attack");
    testing_support::CopyFolderFiles(testing_support::ProgramFolder() + L"..\\testtree\\main\\PluginDebug",
                                     folder.Folder() + L"PluginDebug", L"*.dll");
    bench::Program host;
    if (!host.Start(folder.Exe())) {
        fwprintf(stderr, L"HostAttack: the host did not start\n");
        return 1;
    }
    HWND window = bench::WaitAnsweringWindow(host, bench::kHostClass, bench::kHostMarker, 60000);
    if (!window) {
        fwprintf(stderr, L"HostAttack: no answering host window\n");
        return 1;
    }
    Random r(seed);
    const UINT foreign[] = {0x47F, 0x479, 0x485};
    // The last actions, for the report of a failure.
    std::vector<std::wstring> recent(16);
    auto remember = [&](uint64_t n, const std::wstring& what) { recent[n % recent.size()] = what; };
    auto printRecent = [&](uint64_t n) {
        fwprintf(stderr, L"HostAttack: the last actions:\n");
        for (uint64_t k = n >= recent.size() ? n - recent.size() + 1 : 0; k <= n; ++k)
            fwprintf(stderr, L"  %llu: %.160ls\n", (unsigned long long)k, recent[k % recent.size()].c_str());
    };
    DWORD start = GetTickCount(), slowest = 0;
    uint64_t texts = 0, posts = 0, done = 0;
    for (; done < count && GetTickCount() - start < seconds * 1000; ++done) {
        if (r.Chance(60)) {
            std::wstring text = HostileNonCommandText(r);
            std::wstring shown = text.substr(0, 160);
            for (wchar_t& ch : shown)
                if (ch < 0x20)
                    ch = L' ';
            remember(done, L"text " + std::to_wstring(text.size()) + L" chars: " + shown);
            DWORD t0 = GetTickCount();
            if (!bench::SendText(window, text, 10000)) {
                DWORD code = host.WaitExit(0);
                fwprintf(stderr, L"HostAttack: the host took no text (after %llu of %llu, %lu ms, %ls, exit code 0x%08lX, "
                                 L"%u crash dumps); the text:\n%.600ls\n",
                         (unsigned long long)done, (unsigned long long)count, GetTickCount() - t0,
                         code == STILL_ACTIVE ? L"still running" : L"ended", code, (unsigned)folder.CountCrashDumps(),
                         text.c_str());
                printRecent(done);
                return 1;
            }
            slowest = GetTickCount() - t0 > slowest ? GetTickCount() - t0 : slowest;
            ++texts;
        } else {
            UINT message = foreign[r.Below(3)];
            WPARAM type = r.Chance(70) ? r.Below(80) : static_cast<WPARAM>(r.Next());
            // A full queue only refuses the post; the next answer check paces the flood.
            LPARAM block = HostileBlock(r);
            remember(done, L"post " + std::to_wstring(message) + L" type " + std::to_wstring(type) + L" block " +
                               std::to_wstring(static_cast<unsigned long long>(block)));
            PostMessageW(window, message, type, block);
            ++posts;
        }
        if (done % 64 == 63) {
            DWORD_PTR result = 0;
            DWORD t0 = GetTickCount();
            if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) {
                fwprintf(stderr, L"HostAttack: the host stopped answering after %llu of %llu\n",
                         (unsigned long long)done, (unsigned long long)count);
                printRecent(done);
                return 1;
            }
            slowest = GetTickCount() - t0 > slowest ? GetTickCount() - t0 : slowest;
        }
        // The probe's record is only read for the closing; keep it from filling up.
        bool closing = false;
        for (LONG k = 0, n = probe.Count(); k < n && !closing; ++k) {
            const TestPluginCall* c = probe.At(k);
            closing = c && wcscmp(c->function, L"BeforeClose") == 0;
        }
        if (closing) {
            fwprintf(stderr, L"HostAttack: the host began to end during the attack, after %llu\n", (unsigned long long)done);
            printRecent(done);
            return 1;
        }
        if (probe.Count() > 4000)
            probe.Reset();
        if (WaitForSingleObject(host.Process(), 0) == WAIT_OBJECT_0) {
            fwprintf(stderr, L"HostAttack: the host ended during the attack (exit code 0x%08lX, %u crash dumps) after %llu\n",
                     host.WaitExit(0), (unsigned)folder.CountCrashDumps(), (unsigned long long)done);
            printRecent(done);
            return 1;
        }
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) {
        fwprintf(stderr, L"HostAttack: the host stopped answering at the end\n");
        return 1;
    }
    DWORD t0 = GetTickCount();
    double t1 = bench::Now();
    bench::SendText(window, bench::BusText(L"10", {}), 10000);
    DWORD code = host.WaitExit(30000);
    DWORD endMs = GetTickCount() - t0;
    double end = bench::Now() - t1;
    size_t dumps = folder.CountCrashDumps();
    wprintf(L"HostAttack: seed %llu: %llu texts and %llu foreign posts in %.1f s; slowest answer %lu ms; ended "
            L"with code %ld after %lu ms; %u crash dumps\n",
            (unsigned long long)seed, (unsigned long long)texts, (unsigned long long)posts,
            (GetTickCount() - start) / 1000.0, slowest, (long)code, endMs, (unsigned)dumps);
    if (code != 0 || dumps) {
        fwprintf(stderr, L"HostAttack: the host did not end cleanly\n");
        return 1;
    }
    // Fewer actions than asked for have not shown what the run was asked to.
    if (done < count) {
        fwprintf(stderr, L"HostAttack: FAILED: the time bound stopped the run after %llu of %llu actions\n",
                 (unsigned long long)done, (unsigned long long)count);
        return 1;
    }
    if (row) {
        double minimal = bench::MinimalProgramEnd();
        bench::Row("P8 (after R2's flood)",
                   "program-end text until the host is gone, after R2's flood of " + bench::Fmt("%.0f actions ", double(done)) +
                       bench::Fmt("(%.0f hostile texts, ", double(texts)) + bench::Fmt("%.0f foreign posts, ", double(posts)) +
                       bench::Fmt("seed %.0f; ", double(seed)) +
                       "PluginInfoVisette, PluginTelephonyOrkane not logged in, a recording trace plug-in; one run)",
                   bench::Fmt("%.0f ms", end * 1000), bench::Fmt("WM_CLOSE to minimal program %.0f ms", minimal * 1000),
                   minimal > 0 ? end / minimal : -1, "≤ 2× and < 1 s", minimal > 0 && end / minimal <= 2 && end < 1.0);
    }
    return 0;
}
