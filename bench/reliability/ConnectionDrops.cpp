// The fake PBX drops the telephony plug-in's connections: at each request the plug-in sends
// during a login, in the middle of calls (a call ringing and one connected; the user and the
// application connection; a TCP abort and a close frame), and the whole PBX goes away for a
// few seconds. The real host with both real plug-ins and the recording probe in the Info
// folder runs against the fake PBX (scripts/with-fake-pbx), on the loopback only.
//
// After each drop the bus must carry State 0 (before any State 2), then State 2 once the
// plug-in is logged in again; a whole call (setup, alert, connect, clearing) must then come
// through; and every call event the PBX sent on the plug-in's application connection must be
// on the bus exactly once, in the order sent: the PBX's log of what it sent against the
// probe's record (call-state messages, Type 17, for every event; call records, Type 44).
// After a drop of one connection the plug-in must also have ended the other, and the PBX must
// have seen no request that breaks its protocol.
//
// The login steps are not a fixed list: they are the requests the plug-in sent in an
// undisturbed login again (with its stored session, and once with the session forgotten by
// the PBX, which takes it through the user-name login), as the PBX's log shows them; each is
// then dropped in a login of its own, which a mid-call drop starts.
//
//   ConnectionDrops [--rounds N] [--seconds S]   the full run: a drop in the first login, then
//                                                per round the mid-call drops, the login steps
//                                                (odd rounds by TCP abort, even rounds by close
//                                                frame) and the PBX away once
//   ConnectionDrops --smoke                       one mid-call drop of each connection
//
// Exit code 0 when every check held, 1 when one did not, 2 for a wrong start.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSocket.h"
#include "bench/BenchStats.h"
#include "bench/HostRun.h"
#include "bench/LoggedInHost.h"
#include "bench/reliability/BusRecord.h"
#include "bench/reliability/PbxLog.h"

namespace {

using reliability::BusRecord;
using reliability::PbxLine;
using reliability::ReadPbxLog;

constexpr DWORD kState = 11, kCallState = 17, kCallEvent = 44;
// The login thread pauses this long after monitoring started before it ends; a drop is made
// only after it, so that each drop meets a plug-in at rest.
constexpr double kSettleSeconds = 3.0;
// A card shown or hidden can block the host's GUI thread up to 2 s under Xvfb without a window
// manager (the tests' prefix): waits for a call's records are generous.
constexpr double kRecordSeconds = 30.0;
// The login thread's pause after an unreachable PBX is 60 s.
constexpr double kAwaySeconds = 5.0;

// Failed checks by kind, for the result line: the states after a drop, the call events on the
// bus, message boxes, and the rest.
enum Kind { kStates, kEvents, kBoxes, kOther, kKinds };
int g_failures[kKinds];
std::string g_boxText;

int Failures()
{
    int all = 0;
    for (int n : g_failures)
        all += n;
    return all;
}

void Failure(const std::string& scenario, const std::string& what, Kind kind = kOther)
{
    ++g_failures[kind];
    fprintf(stderr, "ConnectionDrops: FAILED: %s: %s\n", scenario.c_str(), what.c_str());
    fflush(stderr);
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// The control connection to the fake PBX. Control messages are handled in order; a run of
// actions ends with a message the PBX sends back, so that its end is known.
class Pbx {
public:
    explicit Pbx(BusRecord& bus) : m_bus(bus) {}

    // (Re)opens the control connection, trying for up to that many seconds.
    bool Connect(double seconds)
    {
        double start = bench::Now();
        do {
            m_socket.reset(new bench::BenchSocket);
            if (m_socket->Connect(bench::FakePbxPort(), L"/PBX0/APPS/websocket"))
                return true;
            m_socket.reset();
            Sleep(250);
        } while (bench::Now() - start < seconds);
        return false;
    }

    // Sets the members (when given) and runs the actions; waits until the PBX has run them.
    bool Run(const std::string& actions, const std::string& set = "")
    {
        int n = ++m_marker;
        std::string text = "{\"mt\":\"FakePbx\"";
        if (!set.empty())
            text += ",\"set\":{" + set + "}";
        text += ",\"run\":[" + actions + (actions.empty() ? "" : ",") + "{\"send\":{\"mt\":\"R3Done\",\"n\":" +
                std::to_string(n) + "}}]}";
        if (!m_socket || !m_socket->Send(text))
            return false;
        std::string marker = "\"R3Done\",\"n\":" + std::to_string(n) + "}", received;
        double start = bench::Now();
        while (bench::Now() - start < 60) {
            while (m_socket->Take(&received))
                if (received.find(marker) != std::string::npos)
                    return true;
            m_bus.Poll();
            Sleep(2);
        }
        return false;
    }

    // Sends the actions without waiting (the PBX going away takes the control connection along).
    bool Send(const std::string& actions)
    {
        return m_socket && m_socket->Send("{\"mt\":\"FakePbx\",\"run\":[" + actions + "]}");
    }

private:
    BusRecord& m_bus;
    std::unique_ptr<bench::BenchSocket> m_socket;
    int m_marker = 0;
};

std::string CallInfo(long long call, const char* msg)
{
    std::string id = std::to_string(call);
    return "{\"to\":\"app\",\"send\":{\"mt\":\"CallInfo\",\"api\":\"RCC\",\"call\":" + id + ",\"msg\":\"" + msg +
           "\",\"conf\":\"r3-" + id + "\",\"peer\":{\"e164\":\"+4930555" + id.substr(id.size() > 4 ? id.size() - 4 : 0) +
           "\",\"h323\":\"Drop\"}}}";
}

// What the bus must carry for an event the PBX sent: the call-state message's Event (Type 17)
// and the call record's (Type 44; every call of this run has a conference of its own), or
// nothing for an event without a state.
bool ExpectedEvents(const std::string& msg, const wchar_t** state, const wchar_t** record)
{
    static const struct {
        const char* msg;
        const wchar_t* state;
        const wchar_t* record;
    } table[] = {
        {"x-alert", L"Offering", L"OnReceived"}, {"r-alert", L"Ringback", L"OnDelivered"},
        {"x-conn", L"Connected", L"OnEstablished"}, {"r-conn", L"Connected", L"OnEstablished"},
        {"r-ct", L"Connected", L"OnEstablished"}, {"del", L"Idle", L"OnConnectionCleared"},
    };
    for (const auto& t : table)
        if (msg == t.msg) {
            *state = t.state;
            *record = t.record;
            return true;
        }
    return false;
}

// A request of a login as the PBX saw it, made into a "drop_on" entry that matches it alone.
struct Step {
    std::string mt, path, type;
    bool response = false;
    int skip = 0;      // matching requests of the same login before it
    bool forget = false;  // reached only when the PBX has forgotten the stored session

    bool Same(const Step& o) const
    {
        return mt == o.mt && path == o.path && type == o.type && response == o.response && skip == o.skip;
    }
    std::string Entry(bool close) const
    {
        std::string e = "{\"mt\":\"" + mt + "\",\"path\":\"" + path + "\"";
        if (!type.empty())
            e += ",\"type\":\"" + type + "\"";
        e += std::string(",\"response\":") + (response ? "true" : "false");
        if (skip)
            e += ",\"skip\":" + std::to_string(skip);
        if (close)
            e += ",\"close\":1000";
        return e + "}";
    }
    std::string Name() const
    {
        std::string n = mt + " (" + path;
        if (!type.empty())
            n += ", " + type;
        if (response)
            n += ", response";
        if (skip)
            n += ", #" + std::to_string(skip + 1);
        return n + ")";
    }
};

enum class Link { User, App, Away };
enum class Way { Abort, Close };

struct Drop {
    Link link;
    Way way;
    bool connected;  // the call in progress is connected (else ringing)
};

std::string DropName(const Drop& d)
{
    if (d.link == Link::Away)
        return "PBX away " + std::to_string(static_cast<int>(kAwaySeconds)) + " s, a call ringing";
    return std::string(d.link == Link::User ? "user" : "application") + " connection " +
           (d.way == Way::Abort ? "TCP abort" : "close frame") + ", a call " + (d.connected ? "connected" : "ringing");
}

struct Totals {
    int loginDrops = 0, midCallDrops = 0, away = 0, events = 0, scenarios = 0;
    double slowest = 0;         // drop → logged in again, except the PBX away
    double awaySlowest = 0;
};

class Run {
public:
    Run(bench::LoggedInHost& host, BusRecord& bus, Pbx& pbx) : m_host(host), m_bus(bus), m_pbx(pbx) {}

    Totals totals;
    std::vector<Step> sessionSteps, userSteps;

    // One drop in the middle of a call; with a step, the login that follows is dropped at it.
    // Learn receives the requests of the login that follows. False when the plug-in is not
    // logged in at the end (the run cannot go on).
    bool MidCallDrop(const Drop& d, const Step* step, bool stepClose, bool forget, std::vector<Step>* learn)
    {
        std::string name = step ? "login step " + step->Name() + (stepClose ? " by close frame" : " by TCP abort") +
                                      " (after: " + DropName(d) + ")"
                                : DropName(d) + (forget ? ", stored session forgotten" : "");
        ++totals.scenarios;
        Settle();
        std::vector<PbxLine> log = ReadPbxLog();
        size_t logStart = log.size(), busStart = m_bus.Size();
        int userConn = LatestConn(log, "user"), appConn = LatestConn(log, "app");
        std::string set;
        if (step)
            set = "\"drop_on\":[" + step->Entry(stepClose) + "]";
        if (!m_pbx.Run(forget || (step && step->forget) ? "{\"forget_sessions\":true}" : "", set))
            return Failure(name, "the fake PBX did not take the control message"), false;

        // The call in progress: its card came (and, connected, its connect record).
        long long a = NextCall();
        if (!m_pbx.Run(CallInfo(a, "x-setup") + "," + CallInfo(a, "x-alert")) ||
            WaitRecord(busStart, a, L"OnReceived") < 0)
            return Failure(name, "the call before the drop did not ring at the Info category"), false;
        if (d.connected &&
            (!m_pbx.Run(CallInfo(a, "x-conn")) || WaitRecord(busStart, a, L"OnEstablished") < 0))
            return Failure(name, "the call before the drop was not connected at the Info category"), false;

        size_t dropAt = m_bus.Size();
        size_t dropLine = ReadPbxLog().size();
        double t0 = bench::Now();
        if (d.link == Link::Away) {
            // Every connection goes, the control connection too.
            m_pbx.Send("{\"away\":" + std::to_string(kAwaySeconds) + "}");
        } else {
            std::string to = d.link == Link::User ? "user" : "app", actions;
            if (d.way == Way::Close && d.link == Link::App) {
                // Events just before the close frame: they precede it on the connection, so
                // they must reach the bus.
                long long b = NextCall();
                actions = CallInfo(b, "x-setup") + "," + CallInfo(b, "x-alert") + ",";
            }
            actions += "{\"to\":\"" + to + "\"," + (d.way == Way::Abort ? "\"drop\":true}" : "\"close\":1000}");
            if (!m_pbx.Run(actions))
                return Failure(name, "the fake PBX did not drop the connection"), false;
        }

        // State 0 while down, before any State 2.
        long zero = WaitState(dropAt, L"0", 20);
        if (zero < 0) {
            Failure(name, "no State 0 on the bus within 20 s of the drop" + Tail(dropLine), kStates);
            return false;
        }
        long early = m_bus.Find(dropAt, kState, {{L"State", L"2"}});
        if (early >= 0 && early < zero)
            Failure(name, "State 2 on the bus after the drop before State 0", kStates);
        double down = bench::Now() - t0;
        if (d.link == Link::Away) {
            Sleep(static_cast<DWORD>(kAwaySeconds * 1000) + 500);
            if (!m_pbx.Connect(20))
                return Failure(name, "the fake PBX did not come back"), false;
        }
        double bound = d.link == Link::Away ? 180 : step ? 150 : 90;
        long two = WaitState(zero, L"2", bound - (bench::Now() - t0), name);
        if (two < 0) {
            Failure(name, "not logged in again (no State 2) within " + std::to_string(static_cast<int>(bound)) +
                              " s of the drop" + Tail(dropLine),
                    kStates);
            return false;
        }
        double up = bench::Now() - t0;
        m_loggedInAt = bench::Now();
        if (d.link == Link::Away) {
            ++totals.away;
            totals.awaySlowest = up > totals.awaySlowest ? up : totals.awaySlowest;
        } else {
            (step ? totals.loginDrops : totals.midCallDrops)++;
            totals.slowest = up > totals.slowest ? up : totals.slowest;
        }

        // A whole call after the reconnection.
        long long c = NextCall();
        if (!m_pbx.Run(CallInfo(c, "x-setup") + "," + CallInfo(c, "x-alert") + "," + CallInfo(c, "x-conn") + "," +
                       CallInfo(c, "del")))
            return Failure(name, "the fake PBX did not send the call after the reconnection"), false;
        for (const wchar_t* e : {L"OnReceived", L"OnEstablished", L"OnConnectionCleared"})
            if (WaitRecord(two, c, e) < 0)
                Failure(name, "the call after the reconnection: no " + Narrow(e) + " record");

        log = ReadPbxLog();
        CheckDropped(name, log, dropLine, step);
        // A step never reached must not drop a later login.
        if (step && !m_pbx.Run("", "\"drop_on\":[]"))
            Failure(name, "the fake PBX did not take the control message");
        if (d.link != Link::Away)
            CheckOtherClosed(name, log, dropLine, d.link == Link::User ? appConn : userConn, d.link == Link::User);
        CheckViolations(name, log, logStart);
        int events = CheckEvents(name, log, logStart, busStart);
        if (learn)
            *learn = LoginRequests(log, dropLine, userConn > appConn ? userConn : appConn);
        printf("ConnectionDrops: %s: State 0 after %.2f s, State 2 after %.1f s; %d call events\n", name.c_str(), down,
               up, events);
        fflush(stdout);
        return true;
    }

    // A drop at one request of the first login (the host's start), then a whole call.
    bool FirstLogin(const Step& step)
    {
        std::string name = "first login, dropped at " + step.Name();
        ++totals.scenarios;
        if (!m_pbx.Run("", "\"drop_on\":[" + step.Entry(false) + "]"))
            return Failure(name, "the fake PBX did not take the control message"), false;
        double t0 = bench::Now();
        if (!m_host.Launch())
            return Failure(name, "the host did not start"), false;
        if (WaitState(0, L"2", 180, name) < 0)
            return Failure(name, "not logged in within 180 s" + Tail(0), kStates), false;
        double up = bench::Now() - t0;
        m_loggedInAt = bench::Now();
        ++totals.loginDrops;
        long long c = NextCall();
        if (!m_pbx.Run(CallInfo(c, "x-setup") + "," + CallInfo(c, "x-alert") + "," + CallInfo(c, "x-conn") + "," +
                       CallInfo(c, "del")))
            return Failure(name, "the fake PBX did not send the call"), false;
        for (const wchar_t* e : {L"OnReceived", L"OnEstablished", L"OnConnectionCleared"})
            if (WaitRecord(0, c, e) < 0)
                Failure(name, "the call after the login: no " + Narrow(e) + " record");
        std::vector<PbxLine> log = ReadPbxLog();
        CheckDropped(name, log, 0, &step);
        if (!m_pbx.Run("", "\"drop_on\":[]"))
            Failure(name, "the fake PBX did not take the control message");
        CheckViolations(name, log, 0);
        int events = CheckEvents(name, log, 0, 0);
        printf("ConnectionDrops: %s: State 2 after %.1f s; %d call events\n", name.c_str(), up, events);
        fflush(stdout);
        return true;
    }

    // Starts the host and waits for its first login.
    bool Start()
    {
        if (!m_host.Start())
            return Failure("start", "the host did not log in to the fake PBX"), false;
        m_loggedInAt = bench::Now();
        return true;
    }

    // The probe's record must have kept up.
    void CheckRecord()
    {
        if (m_bus.Overflowed())
            Failure("the run", "the probe's record ran full between two reads: the comparison is incomplete");
    }

private:
    long long NextCall() { return ++m_call; }

    void Settle()
    {
        while (bench::Now() - m_loggedInAt < kSettleSeconds) {
            m_bus.Poll();
            Sleep(5);
        }
    }

    struct BoxSearch {
        DWORD pid;
        HWND box;
    };
    static BOOL CALLBACK FindBox(HWND w, LPARAM p)
    {
        auto* s = reinterpret_cast<BoxSearch*>(p);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        wchar_t cls[32] = L"";
        GetClassNameW(w, cls, _countof(cls));
        if (pid == s->pid && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(w)) {
            s->box = w;
            return FALSE;
        }
        return TRUE;
    }

    // A message box the host process shows: reported, and answered with Retry (else Cancel,
    // else OK) so that the run goes on. True when there was one.
    bool AnswerBox(const std::string& name)
    {
        BoxSearch search = {m_host.program().Id(), nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (!search.box)
            return false;
        wchar_t caption[256] = L"", text[1024] = L"";
        GetWindowTextW(search.box, caption, _countof(caption));
        GetDlgItemTextW(search.box, 0xFFFF, text, _countof(text));
        int button = GetDlgItem(search.box, IDRETRY) ? IDRETRY : GetDlgItem(search.box, IDCANCEL) ? IDCANCEL : IDOK;
        g_boxText = Narrow(caption) + "\" / \"" + Narrow(text);
        Failure(name,
                "the host showed a message box \"" + g_boxText + "\" (answered " +
                    (button == IDRETRY ? "Retry" : button == IDCANCEL ? "Cancel" : "OK") + ")",
                kBoxes);
        PostMessageW(search.box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        Sleep(500);
        return true;
    }

    long WaitState(size_t from, const wchar_t* state, double seconds, const std::string& name = "")
    {
        double start = bench::Now(), looked = 0;
        for (;;) {
            if (!name.empty() && bench::Now() - looked > 1) {
                looked = bench::Now();
                AnswerBox(name);
            }
            m_bus.Poll();
            long at = m_bus.Find(from, kState, {{L"State", state}});
            if (at >= 0 || bench::Now() - start > seconds)
                return at;
            Sleep(5);
        }
    }

    long WaitRecord(size_t from, long long call, const wchar_t* event)
    {
        double start = bench::Now();
        std::wstring id = std::to_wstring(call);
        for (;;) {
            m_bus.Poll();
            long at = m_bus.Find(from, kCallEvent, {{L"CallID", id}, {L"Event", event}});
            if (at >= 0 || bench::Now() - start > kRecordSeconds)
                return at;
            Sleep(5);
        }
    }

    // The PBX's number of the plug-in's latest connection of that kind (the one that sent the
    // latest request on it), or 0.
    static int LatestConn(const std::vector<PbxLine>& log, const char* path)
    {
        for (size_t i = log.size(); i-- > 0;)
            if (log[i].kind == PbxLine::Request && log[i].path == path)
                return log[i].conn;
        return 0;
    }

    // The requests since that line, for a failure's report.
    static std::string Tail(size_t from)
    {
        std::vector<PbxLine> log = ReadPbxLog();
        std::string text = "; the PBX saw since the drop:";
        size_t shown = 0;
        for (size_t i = from; i < log.size(); ++i) {
            const PbxLine& l = log[i];
            std::string item;
            if (l.kind == PbxLine::Request)
                item = l.mt + (l.type.empty() ? "" : "/" + l.type) + (l.response ? "+response" : "") + " on " + l.path +
                       " #" + std::to_string(l.conn) + (l.dropped ? " (dropped)" : "");
            else if (l.kind == PbxLine::Open)
                item = "open " + l.path + " #" + std::to_string(l.conn);
            else if (l.kind == PbxLine::Closed)
                item = "closed " + l.path + " #" + std::to_string(l.conn) + " code " + std::to_string(l.code);
            else if (l.kind == PbxLine::Away || l.kind == PbxLine::Back)
                item = l.kind == PbxLine::Away ? "away" : "back";
            else if (l.kind == PbxLine::NoConnection)
                item = "no " + l.path + " connection to act on";
            if (item.empty())
                continue;
            if (++shown > 40) {
                text += " ...";
                break;
            }
            text += " " + item + ";";
        }
        return shown ? text : text + " nothing";
    }

    // The step's request reached the PBX and was dropped.
    void CheckDropped(const std::string& name, const std::vector<PbxLine>& log, size_t from, const Step* step)
    {
        if (!step)
            return;
        for (size_t i = from; i < log.size(); ++i)
            if (log[i].kind == PbxLine::Request && log[i].dropped && log[i].mt == step->mt && log[i].path == step->path)
                return;
        Failure(name, "the plug-in's login never sent the request to drop at" + Tail(from));
    }

    // After a drop of one connection the plug-in ends the other too. (Monitoring ends with the
    // application connection; a "UserEnd" it sends first must be one the PBX takes, which the
    // check for protocol violations sees.)
    void CheckOtherClosed(const std::string& name, const std::vector<PbxLine>& log, size_t from, int other,
                          bool otherIsApp)
    {
        if (!other)
            return;
        for (size_t i = from; i < log.size(); ++i)
            if (log[i].conn == other && log[i].kind == PbxLine::Closed)
                return;
        Failure(name, std::string("the ") + (otherIsApp ? "application" : "user") +
                          " connection was not closed by the plug-in after the drop");
    }

    void CheckViolations(const std::string& name, const std::vector<PbxLine>& log, size_t from)
    {
        for (size_t i = from; i < log.size(); ++i)
            for (const std::string& v : log[i].violations)
                Failure(name, "the fake PBX saw a protocol violation: " + v + " (" + log[i].mt + ")");
    }

    // The call events the PBX sent on the plug-in's connection against the probe's record:
    // each exactly once, in order. Returns the number of events.
    int CheckEvents(const std::string& name, const std::vector<PbxLine>& log, size_t logFrom, size_t busFrom)
    {
        std::vector<std::pair<std::wstring, std::wstring>> states, records;  // (call id, Event)
        for (size_t i = logFrom; i < log.size(); ++i) {
            const PbxLine& l = log[i];
            const wchar_t *state, *record;
            if (l.kind != PbxLine::Sent || l.mt != "CallInfo" || !ExpectedEvents(l.callMsg, &state, &record))
                continue;
            if (!l.peer) {
                Failure(name, "a call event went to a connection that was not the plug-in's latest", kEvents);
                continue;
            }
            states.push_back({std::to_wstring(l.call), state});
            records.push_back({std::to_wstring(l.call), record});
        }
        // The records of the last events may still be on their way.
        double start = bench::Now();
        std::vector<std::pair<std::wstring, std::wstring>> seenStates, seenRecords;
        do {
            m_bus.Poll();
            seenStates.clear();
            seenRecords.clear();
            for (size_t i = busFrom; i < m_bus.Size(); ++i) {
                const auto& e = m_bus[i];
                if (e.type == kCallState)
                    seenStates.push_back({e.Value(L"CallID"), e.Value(L"Event")});
                else if (e.type == kCallEvent)
                    seenRecords.push_back({e.Value(L"CallID"), e.Value(L"Event")});
            }
            if (seenStates.size() >= states.size() && seenRecords.size() >= records.size())
                break;
            Sleep(10);
        } while (bench::Now() - start < 10);
        Compare(name, "call-state message (Type 17)", states, seenStates);
        Compare(name, "call record (Type 44)", records, seenRecords);
        totals.events += static_cast<int>(states.size());
        return static_cast<int>(states.size());
    }

    static void Compare(const std::string& name, const char* what,
                        const std::vector<std::pair<std::wstring, std::wstring>>& sent,
                        const std::vector<std::pair<std::wstring, std::wstring>>& seen)
    {
        if (sent == seen)
            return;
        size_t k = 0;
        while (k < sent.size() && k < seen.size() && sent[k] == seen[k])
            ++k;
        std::string text = std::string(what) + ": " + std::to_string(sent.size()) + " events sent, " +
                           std::to_string(seen.size()) + " on the bus; first difference at " + std::to_string(k + 1) +
                           ": sent ";
        text += k < sent.size() ? Narrow(sent[k].second) + " of call " + Narrow(sent[k].first) : "nothing";
        text += ", on the bus ";
        text += k < seen.size() ? Narrow(seen[k].second) + " of call " + Narrow(seen[k].first) : "nothing";
        Failure(name, text, kEvents);
    }

    // The requests the plug-in sent on new connections (numbered above lastConn) after that
    // line, up to its first UserInitialize: the steps of one login.
    static std::vector<Step> LoginRequests(const std::vector<PbxLine>& log, size_t from, int lastConn)
    {
        std::vector<Step> steps;
        for (size_t i = from; i < log.size(); ++i) {
            const PbxLine& l = log[i];
            if (l.kind != PbxLine::Request || l.conn <= lastConn)
                continue;
            Step s;
            s.mt = l.mt;
            s.path = l.path;
            s.type = l.type;
            s.response = l.response;
            for (const Step& earlier : steps)
                s.skip += earlier.mt == s.mt && earlier.path == s.path && earlier.type == s.type &&
                          earlier.response == s.response;
            steps.push_back(s);
            if (l.mt == "UserInitialize")
                break;
        }
        return steps;
    }

    bench::LoggedInHost& m_host;
    BusRecord& m_bus;
    Pbx& m_pbx;
    long long m_call = 7300000;
    double m_loggedInAt = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int rounds = 2;
    double seconds = 3000;
    bool smoke = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--rounds" && i + 1 < argc)
            rounds = _wtoi(argv[++i]);
        else if (a == L"--seconds" && i + 1 < argc)
            seconds = _wtof(argv[++i]);
        else if (a == L"--smoke")
            smoke = true;
        else
            rounds = -1;
    }
    if (!bench::FakePbxPort() || rounds < 1) {
        fwprintf(stderr, L"usage (through scripts/with-fake-pbx): ConnectionDrops [--rounds N] [--seconds S] | --smoke\n");
        return 2;
    }
    bench::RunningStateGuard quiet;
    double began = bench::Now();
    bench::LoggedInHost host("ConnectionDrops");
    BusRecord bus(host.probe(), {kState, kCallState, kCallEvent});
    Pbx pbx(bus);
    if (!pbx.Connect(10)) {
        fprintf(stderr, "ConnectionDrops: no control connection to the fake PBX\n");
        return 1;
    }
    Run run(host, bus, pbx);
    const Drop midCall[] = {
        {Link::User, Way::Abort, false}, {Link::App, Way::Abort, true}, {Link::User, Way::Close, true},
        {Link::App, Way::Close, false},  {Link::User, Way::Abort, true}, {Link::App, Way::Abort, false},
        {Link::User, Way::Close, false}, {Link::App, Way::Close, true},
    };
    bool going = true;
    bool timeUp = false;
    auto left = [&](double need) {
        timeUp = timeUp || bench::Now() - began + need > seconds;
        return !timeUp;
    };
    int roundsDone = 0;
    if (smoke) {
        going = run.Start() && run.MidCallDrop({Link::User, Way::Abort, false}, nullptr, false, false, nullptr) &&
                run.MidCallDrop({Link::App, Way::Close, true}, nullptr, false, false, nullptr);
    } else {
        // The first login: without a stored session that the PBX knows, through the user-name
        // login, dropped at its response.
        Step first;
        first.mt = "Login";
        first.path = "user";
        first.type = "user";
        first.response = true;
        going = run.FirstLogin(first);
        for (int round = 1; going && round <= rounds && left(300); ++round) {
            bool close = round % 2 == 0;
            size_t k = 0;
            for (const Drop& d : midCall) {
                if (!going || !left(120))
                    break;
                going = run.MidCallDrop(d, nullptr, false, false, round == 1 && k == 0 ? &run.sessionSteps : nullptr);
                ++k;
            }
            if (going && round == 1 && left(150))
                going = run.MidCallDrop(midCall[k++ % 8], nullptr, false, true, &run.userSteps);
            if (going && round == 1) {
                for (Step& s : run.userSteps) {
                    bool inSession = false;
                    for (const Step& t : run.sessionSteps)
                        inSession = inSession || t.Same(s);
                    s.forget = !inSession;
                }
                std::string list;
                for (const Step& s : run.sessionSteps)
                    list += " " + s.Name() + ";";
                for (const Step& s : run.userSteps)
                    if (s.forget)
                        list += " " + s.Name() + " [session forgotten];";
                printf("ConnectionDrops: login steps to drop at:%s\n", list.c_str());
                if (run.sessionSteps.empty() || run.userSteps.empty())
                    Failure("the run", "the login steps could not be read from the fake PBX's log");
            }
            std::vector<const Step*> steps;
            for (const Step& s : run.sessionSteps)
                steps.push_back(&s);
            for (const Step& s : run.userSteps)
                if (s.forget)
                    steps.push_back(&s);
            for (const Step* s : steps) {
                if (!going || !left(150))
                    break;
                going = run.MidCallDrop(midCall[k++ % 8], s, close, false, nullptr);
            }
            if (going && left(200))
                going = run.MidCallDrop({Link::Away, Way::Abort, false}, nullptr, false, false, nullptr);
            if (going && !timeUp)
                ++roundsDone;
        }
    }
    run.CheckRecord();
    const Totals& t = run.totals;
    char line[512];
    snprintf(line, sizeof line, "%d scenarios in %.0f s", t.scenarios, bench::Now() - began);
    std::string result = line;
    if (!smoke)
        result += " (" + std::to_string(roundsDone) + " of " + std::to_string(rounds) + " rounds" +
                  (timeUp ? ", time bound reached" : "") + ")";
    snprintf(line, sizeof line, ": %d drops at login steps, %d mid-call drops, %d times the PBX away; ", t.loginDrops,
             t.midCallDrops, t.away);
    result += line;
    if (!g_failures[kStates]) {
        snprintf(line, sizeof line, "after every drop State 0, then State 2 again (slowest %.1f s", t.slowest);
        result += line;
        if (t.away) {
            snprintf(line, sizeof line, "; after the PBX away %.1f s", t.awaySlowest);
            result += line;
        }
        result += "); ";
    } else {
        result += std::to_string(g_failures[kStates]) + " times not State 0, then State 2 again; ";
    }
    result += std::to_string(t.events) + " call events sent, " +
              (g_failures[kEvents] ? std::to_string(g_failures[kEvents]) + " comparisons FAILED (lost, doubled or out of order)"
                                   : std::string("all on the bus once, in order"));
    if (g_failures[kBoxes])
        result += "; FAILED: " + std::to_string(g_failures[kBoxes]) + " message boxes (\"" + g_boxText + "\")";
    if (g_failures[kOther])
        result += "; " + std::to_string(g_failures[kOther]) + " other checks FAILED";
    if (!going)
        result += "; the run stopped early";
    // Rounds the time bound left out were never run: the run has not shown what it was asked to.
    const bool cutShort = !smoke && roundsDone < rounds;
    if (cutShort)
        result += "; FAILED: the time bound stopped the run after " + std::to_string(roundsDone) + " of " +
                  std::to_string(rounds) + " rounds";
    printf("ConnectionDrops: %s\n", result.c_str());
    fflush(stdout);
    return Failures() == 0 && going && !cutShort ? 0 : 1;
}
