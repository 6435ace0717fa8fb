// The PBX websockets end to end, against the fake PBX that scripts/with-fake-pbx runs
// (tests/fake_pbx/fake_pbx.py): login with digests the PBX checks itself, fragments, empty and
// bad messages, answer waits, closes from either side, and call events on the bus.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "foundation/TextUtils.h"
#include "plugins/telephony_orkane/CallControl.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "plugins/telephony_orkane/TelephonySeams.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::RecordingWindow;

constexpr wchar_t kNonce[] = L"3b81e0c7d2946fa5";

// Pumps until the condition holds or about ten seconds have passed.
bool WaitUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 1000; ++i) {
        if (done())
            return true;
        testing_support::PumpFor(10);
    }
    return done();
}

// The fake PBX's log file, and the part of it written since a mark (this run's lines only).
std::wstring PbxLogPath()
{
    wchar_t log[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"FAKE_PBX_LOG", log, _countof(log));
    return log;
}

size_t PbxLogMark()
{
    return testing_support::ReadFileBytes(PbxLogPath()).size();
}

std::string PbxLogSince(size_t mark)
{
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(PbxLogPath());
    return mark < bytes.size() ? std::string(bytes.begin() + (ptrdiff_t)mark, bytes.end()) : std::string();
}

// Windows' timer as the connection layer's waits meet it, on a clock of its own: every wait
// that times out lasts whole ticks of 15.625 ms, at least one, and the clock moves by the
// tick. A bound kept by counting short waits thus overshoots as on Windows, while Wine's
// exact waits would hide it. The real objects are still looked at on every wait.
class WindowsTick {
public:
    WindowsTick()
    {
        s_now = 1000000;
        m_clock = g_pfnWaitClock;
        m_wait = g_pfnWaitForAny;
        g_pfnWaitClock = Clock;
        g_pfnWaitForAny = Wait;
    }
    ~WindowsTick()
    {
        g_pfnWaitClock = m_clock;
        g_pfnWaitForAny = m_wait;
    }
    WindowsTick(const WindowsTick&) = delete;
    WindowsTick& operator=(const WindowsTick&) = delete;
    static DWORD Now() { return (DWORD)(s_now / 1000); }

private:
    static DWORD WINAPI Clock() { return Now(); }
    static DWORD WINAPI Wait(DWORD count, const HANDLE* handles, DWORD milliseconds)
    {
        DWORD r = WaitForMultipleObjects(count, handles, FALSE, milliseconds ? 1 : 0);
        if (r != WAIT_TIMEOUT || !milliseconds)
            return r;
        // In microseconds: whole ticks of 15,625 covering the wait.
        LONGLONG wanted = (LONGLONG)milliseconds * 1000;
        LONGLONG ticks = (wanted + 15624) / 15625;
        InterlockedExchangeAdd64(&s_now, ticks * 15625);
        return WAIT_TIMEOUT;
    }
    static volatile LONGLONG s_now;
    DWORD (WINAPI* m_clock)();
    DWORD (WINAPI* m_wait)(DWORD, const HANDLE*, DWORD);
};
volatile LONGLONG WindowsTick::s_now;

// A websocket close that leaves the pending receive alone, as a shutdown does on Windows.
DWORD WINAPI CloseThatLeavesTheReceive(HINTERNET, USHORT, PVOID, DWORD)
{
    return NO_ERROR;
}

// The application login with what the user connection obtained for it (the info object as
// raw JSON, as the PBX gave it).
BOOL SendAppLogin()
{
    wchar_t text[4096];
    FormatW(text, _countof(text),
            L"{\"mt\":\"AppLogin\",\"app\":\"%s\",\"domain\":\"%s\",\"sip\":\"%s\",\"guid\":\"%s\",\"dn\":\"%s\",\"info\":%s,\"pbxObj\":\"%s\",\"digest\":\"%s\"}",
            InnovaphoneVarsUser.m_szApp, InnovaphoneVarsUser.m_szDomain, InnovaphoneVarsUser.m_szSip,
            InnovaphoneVarsUser.m_szGUID, InnovaphoneVarsUser.m_szDN, InnovaphoneVarsUser.m_szInfo,
            InnovaphoneVarsUser.m_szPbxObj, InnovaphoneVarsUser.m_szDigest);
    return SendRequest(&InnovaphoneVarsApp, text, 5000);
}

class PbxWebsocketTest : public testing::Test {
public:
    void SetUp() override
    {
        wchar_t port[16] = L"";
        ASSERT_NE(0u, GetEnvironmentVariableW(L"FAKE_PBX_PORT", port, _countof(port)))
            << "run through scripts/with-fake-pbx";
        FormatW(g_szBaseURL, _countof(g_szBaseURL), L"ws://127.0.0.1:%s", port);
        g_hWndParent = m_host.hwnd();
        g_dwGlobalDebugLevel = 5;
        SetBusSenderName(L"PLUGINTELEPHONYORKANE");
        SetLogModuleName(L"PLUGINTELEPHONYORKANE");
        Open(&InnovaphoneVarsUser, L"APPCLIENT/websocket");
        Open(&InnovaphoneVarsApp, L"APPS/websocket");
        Control(&InnovaphoneVarsUser, L"\"reset\":true");
        testing_support::PumpFor(20);  // the lines posted so far
        m_host.Clear();
    }

    void TearDown() override
    {
        CloseWebSocket(&InnovaphoneVarsUser, TRUE);
        CloseWebSocket(&InnovaphoneVarsApp, TRUE);
        testing_support::PumpFor(50);
        g_hWndParent = nullptr;
    }

    static void Open(CInnovaphoneVars* conn, const wchar_t* path)
    {
        BuildWebsocketURL(conn, path);
        ASSERT_NE(nullptr, conn->m_hWebSocketHandle) << conn->m_szURL;
        ASSERT_NE(nullptr, conn->m_hMonitorThread);
    }

    // Sends {"mt":"FakePbx",<members>,"run":[<steps>, a marker]} and waits for the marker,
    // which the PBX sends after the steps.
    static bool Control(CInnovaphoneVars* conn, const wchar_t* members, const wchar_t* steps = L"")
    {
        conn->m_szBuild[0] = L'\0';
        wchar_t text[1024];
        FormatW(text, _countof(text),
                L"{\"mt\":\"FakePbx\"%s%s,\"run\":[%s%s{\"send\":{\"mt\":\"CheckBuildResult\",\"build\":\"done\"}}]}",
                *members ? L"," : L"", members, steps, *steps ? L"," : L"");
        SendRequest(conn, text, 0);
        return WaitUntil([conn] { return !wcscmp(conn->m_szBuild, L"done"); });
    }

    // The user login of the plug-in: challenge, then the digest response.
    static void UserLogin(const wchar_t* user)
    {
        CInnovaphoneVars* conn = &InnovaphoneVarsUser;
        wcscpy(conn->m_szUser, user);
        ASSERT_TRUE(SendRequest(conn, L"{\"mt\":\"CheckBuild\"}", 5000));
        EXPECT_STREQ(L"1300", conn->m_szBuild);
        ASSERT_TRUE(SendRequest(conn, L"{\"mt\":\"Login\",\"type\":\"user\",\"userAgent\":\"Orvix Telvane\"}", 5000));
        ASSERT_STRNE(L"", conn->m_szChallenge);
        EXPECT_STREQ(L"example.test", conn->m_szDomain);
        EXPECT_STREQ(L"digest", conn->m_szMethod);
        wchar_t lower[128];
        CopyText(lower, _countof(lower), user);
        CharLowerBuffW(lower, (DWORD)wcslen(lower));
        wchar_t name[512];
        CopyText(name, _countof(name), WideToUtf8Units(lower));
        wchar_t text[1024];
        FormatW(text, _countof(text),
                L"{\"mt\":\"Login\",\"type\":\"user\",\"method\":\"%s\",\"username\":\"%s\",\"nonce\":\"%s\",\"response\":\"%s\",\"userAgent\":\"Orvix Telvane\"}",
                conn->m_szMethod, name, kNonce, conn->GetUserDigest(kNonce));
        ASSERT_TRUE(SendRequest(conn, text, 5000));
    }

    // The user login, then the application login with the digest the user connection obtains.
    static void LogInBoth()
    {
        wcscpy(InnovaphoneVarsUser.m_szPassword, L"geheim");
        UserLogin(L"Anna Test");
        ASSERT_STRNE(L"", InnovaphoneVarsUser.m_szGUID);
        ASSERT_TRUE(SendRequest(&InnovaphoneVarsApp, L"{\"mt\":\"AppChallenge\"}", 5000));
        ASSERT_STRNE(L"", InnovaphoneVarsApp.m_szChallenge);
        wchar_t text[1024];
        FormatW(text, _countof(text),
                L"{\"mt\":\"AppGetLogin\",\"src\":\"{1}\",\"app\":\"orvix-telvane\",\"challenge\":\"%s\"}",
                InnovaphoneVarsApp.m_szChallenge);
        ASSERT_TRUE(SendRequest(&InnovaphoneVarsUser, text, 5000));
        // Its own result ended the wait: the values are there.
        ASSERT_STRNE(L"", InnovaphoneVarsUser.m_szDigest);
        ASSERT_STREQ(L"anna.test", InnovaphoneVarsUser.m_szCN);
        ASSERT_TRUE(SendAppLogin());
        ASSERT_TRUE(InnovaphoneVarsApp.m_bLogin);
    }

    size_t CountLogs(const wchar_t* part)
    {
        testing_support::PumpFor(20);
        size_t n = 0;
        for (const auto& m : m_host.OfType(QOR_BUSMSG_LOG))
            if (std::wstring(GetValueByKeyword(m.text.c_str(), L"Text")).find(part) != std::wstring::npos)
                ++n;
        return n;
    }

    RecordingWindow m_host;

    // The real websocket close, for a test's replacement that ends in it.
    static DWORD (WINAPI* s_realClose)(HINTERNET, USHORT, PVOID, DWORD);
};
DWORD (WINAPI* PbxWebsocketTest::s_realClose)(HINTERNET, USHORT, PVOID, DWORD) = WinHttpWebSocketClose;

TEST_F(PbxWebsocketTest, BothSocketsOpenOnTheirPaths)
{
    std::wstring base = g_szBaseURL;
    EXPECT_EQ(base + L"/PBX0/APPCLIENT/websocket", InnovaphoneVarsUser.m_szURL);
    EXPECT_EQ(base + L"/PBX0/APPS/websocket", InnovaphoneVarsApp.m_szURL);
    EXPECT_TRUE(SendRequest(&InnovaphoneVarsApp, L"{\"mt\":\"CheckBuild\"}", 5000));
    EXPECT_STREQ(L"1300", InnovaphoneVarsApp.m_szBuild);
}

TEST_F(PbxWebsocketTest, UserLoginWithDigestsThePbxAccepts)
{
    const struct {
        const wchar_t* pbxUser;
        const wchar_t* pbxPassword;
        const wchar_t* user;
        const wchar_t* password;
        bool accepted;
    } cases[] = {
        {L"Anna Test", L"geheim", L"Anna Test", L"geheim", true},
        {L"M\u00fcller", L"p\u00e4ss", L"M\u00dcLLER", L"p\u00e4ss", true},
        {L"\u0141ukasz", L"x", L"\u0141UKASZ", L"x", true},
        {L"Anna Test", L"geheim", L"Anna Test", L"wrong", false},
    };
    for (const auto& c : cases) {
        // Both texts as UTF-8 units, which the send puts on the wire byte for byte.
        std::wstring user = WideToUtf8Units(c.pbxUser);
        std::wstring password = WideToUtf8Units(c.pbxPassword);
        wchar_t set[512];
        FormatW(set, _countof(set), L"\"set\":{\"user\":\"%s\",\"password\":\"%s\"}", user.c_str(),
                password.c_str());
        ASSERT_TRUE(Control(&InnovaphoneVarsUser, set));
        InnovaphoneVarsUser.m_szGUID[0] = L'\0';
        InnovaphoneVarsUser.m_bLogin = 0;
        wcscpy(InnovaphoneVarsUser.m_szPassword, c.password);
        UserLogin(c.user);
        EXPECT_EQ(c.accepted, InnovaphoneVarsUser.m_szGUID[0] != L'\0') << testing::PrintToString(std::wstring(c.user));
        EXPECT_EQ(c.accepted, InnovaphoneVarsUser.m_bLogin != 0);
        if (HasFailure())
            for (const auto& m : m_host.OfType(QOR_BUSMSG_LOG))
                printf("%ls\n", GetValueByKeyword(m.text.c_str(), L"Text"));
        if (c.accepted) {
            EXPECT_STREQ(L"221", InnovaphoneVarsUser.m_szNum);
            EXPECT_STREQ(L"000", InnovaphoneVarsUser.m_szPrefixInt);
            EXPECT_STREQ(L"0", InnovaphoneVarsUser.m_szPrefixSubs);
        }
    }
}

TEST_F(PbxWebsocketTest, ApplicationLoginWithTheDigestTheUserConnectionObtains)
{
    wcscpy(InnovaphoneVarsUser.m_szPassword, L"geheim");
    UserLogin(L"Anna Test");
    ASSERT_STRNE(L"", InnovaphoneVarsUser.m_szGUID);
    ASSERT_TRUE(SendRequest(&InnovaphoneVarsApp, L"{\"mt\":\"AppChallenge\"}", 5000));
    ASSERT_STRNE(L"", InnovaphoneVarsApp.m_szChallenge);
    wchar_t text[1024];
    FormatW(text, _countof(text), L"{\"mt\":\"AppGetLogin\",\"src\":\"{1}\",\"app\":\"orvix-telvane\",\"challenge\":\"%s\"}",
            InnovaphoneVarsApp.m_szChallenge);
    ASSERT_TRUE(SendRequest(&InnovaphoneVarsUser, text, 5000));
    // The PBX's messages after a login ("SessionAdded", "UpdateOwnPresence") may be the first
    // to arrive after this send: the answer's fields are waited for by themselves (the receive
    // thread stores them one after the other).
    ASSERT_TRUE(WaitUntil([] {
        return InnovaphoneVarsUser.m_szDigest[0] && InnovaphoneVarsUser.m_szCN[0] && InnovaphoneVarsUser.m_szInfo[0];
    }));
    EXPECT_STREQ(L"anna.test", InnovaphoneVarsUser.m_szCN);
    EXPECT_EQ(L'{', InnovaphoneVarsUser.m_szInfo[0]);
    EXPECT_EQ(L'}', InnovaphoneVarsUser.m_szInfo[wcslen(InnovaphoneVarsUser.m_szInfo) - 1]);
    ASSERT_TRUE(SendAppLogin());
    EXPECT_TRUE(InnovaphoneVarsApp.m_bLogin);

    // A digest the PBX did not hand out is refused (after a fresh challenge: each is used once).
    ASSERT_TRUE(SendRequest(&InnovaphoneVarsApp, L"{\"mt\":\"AppChallenge\"}", 5000));
    FormatW(text, _countof(text), L"{\"mt\":\"AppLogin\",\"app\":\"%s\",\"digest\":\"0000\"}", InnovaphoneVarsUser.m_szApp);
    ASSERT_TRUE(SendRequest(&InnovaphoneVarsApp, text, 5000));
    EXPECT_FALSE(InnovaphoneVarsApp.m_bLogin);
}

TEST_F(PbxWebsocketTest, FragmentedAndEmptyMessagesArriveWhole)
{
    // Fragments, an empty message, then a normal one: each message is dispatched once, whole.
    ASSERT_TRUE(Control(&InnovaphoneVarsUser, L"",
                        L"{\"fragments\":[\"{\\\"mt\\\":\\\"CheckBuildResult\\\",\",\"\\\"build\\\":\",\"\\\"joined\\\"}\"]},"
                        L"{\"raw\":\"\"}"));
    EXPECT_EQ(1u, CountLogs(L"Info.User<--: {\"mt\":\"CheckBuildResult\",\"build\":\"joined\"}"));
    EXPECT_EQ(1u, CountLogs(L"Info.User<--: {\"mt\":\"CheckBuildResult\",\"build\":\"done\"}"));
    EXPECT_EQ(2u, CountLogs(L"Info.User<--: "));
    EXPECT_EQ(0u, CountLogs(L"Cannor parse data"));
    EXPECT_EQ(0u, CountLogs(L"No Data"));
}

TEST_F(PbxWebsocketTest, AnswerWaitEndsWithoutAnAnswer)
{
    ASSERT_TRUE(Control(&InnovaphoneVarsUser, L"\"set\":{\"silent\":[\"CheckBuild\"]}"));
    testing_support::PumpFor(20);  // the lines the set-up posted
    m_host.Clear();
    EXPECT_FALSE(SendRequest(&InnovaphoneVarsUser, L"{\"mt\":\"CheckBuild\"}", 300));
    EXPECT_EQ(1u, CountLogs(L"Func.SendBuffer.End.Result 0"));
    // The connection is still usable afterwards, and a slow answer inside the wait counts.
    ASSERT_TRUE(Control(&InnovaphoneVarsUser, L"\"reset\":true,\"set\":{\"answer_delay\":0.3}"));
    InnovaphoneVarsUser.m_szBuild[0] = L'\0';
    EXPECT_TRUE(SendRequest(&InnovaphoneVarsUser, L"{\"mt\":\"CheckBuild\"}", 5000));
    EXPECT_STREQ(L"1300", InnovaphoneVarsUser.m_szBuild);
}

TEST_F(PbxWebsocketTest, SendOnAClosedConnectionSendsNothing)
{
    CloseWebSocket(&InnovaphoneVarsApp, TRUE);
    EXPECT_EQ(nullptr, InnovaphoneVarsApp.m_hWebSocketHandle);
    EXPECT_FALSE(SendRequest(&InnovaphoneVarsApp, L"{\"mt\":\"CheckBuild\"}", 50));
    EXPECT_EQ(0u, CountLogs(L"Func.SendBuffer.Info.App"));
}

TEST_F(PbxWebsocketTest, ServerCloseEndsTheReceiveThread)
{
    CInnovaphoneVars* conn = &InnovaphoneVarsUser;
    wcscpy(conn->m_szChallenge, L"left over");
    HANDLE thread = conn->m_hMonitorThread;
    SendRequest(conn, L"{\"mt\":\"FakePbx\",\"run\":[{\"close\":1000}]}", 0);
    ASSERT_TRUE(WaitUntil([thread] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
    EXPECT_EQ(nullptr, conn->m_hWebSocketHandle);
    EXPECT_EQ(nullptr, conn->m_hConnectionHandle);
    EXPECT_EQ(nullptr, conn->m_hSessionHandle);
    EXPECT_STREQ(L"", conn->m_szChallenge);
    EXPECT_EQ(1u, CountLogs(L"Func.MonitorThread.Warning.Websocket closed"));
    // The connection opens again (the ended thread's handle is released on the way).
    Open(conn, L"APPCLIENT/websocket");
    EXPECT_TRUE(SendRequest(conn, L"{\"mt\":\"CheckBuild\"}", 5000));
}

// A connection that the PBX drops without a close frame makes the receive fail for good: the
// thread closes the connection and ends, with one error line, rather than polling a dead
// websocket every 10 ms while senders still take it for open.
TEST_F(PbxWebsocketTest, DroppedConnectionEndsTheReceiveThread)
{
    CInnovaphoneVars* conn = &InnovaphoneVarsUser;
    HANDLE thread = conn->m_hMonitorThread;
    SendRequest(conn, L"{\"mt\":\"FakePbx\",\"run\":[{\"drop\":true}]}", 0);
    ASSERT_TRUE(WaitUntil([thread] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
    EXPECT_EQ(nullptr, conn->m_hWebSocketHandle);
    EXPECT_EQ(nullptr, conn->m_hConnectionHandle);
    EXPECT_EQ(nullptr, conn->m_hSessionHandle);
    testing_support::PumpFor(300);
    EXPECT_EQ(1u, CountLogs(L"Func.MonitorThread.Error.User receive"));
    EXPECT_FALSE(SendRequest(conn, L"{\"mt\":\"CheckBuild\"}", 50));
    EXPECT_EQ(0u, CountLogs(L"Func.SendBuffer.Info.User -->: {\"mt\":\"CheckBuild\"}"));
    // The other connection is untouched, and this one opens again.
    EXPECT_TRUE(SendRequest(&InnovaphoneVarsApp, L"{\"mt\":\"CheckBuild\"}", 5000));
    Open(conn, L"APPCLIENT/websocket");
    EXPECT_TRUE(SendRequest(conn, L"{\"mt\":\"CheckBuild\"}", 5000));
}

// Every close clears the request text m_szSend; done while a sender has written it and sends
// it, it must not empty or cut that request. The sender holds the text's lock from its write
// to the end of the send, as SendBuffer's callers do. After each write it lets a clear begin
// (and waits a moment for it) before it sends, and the test goes on for 300 such clears:
// without the lock nearly every one of them would empty the request it meets.
TEST_F(PbxWebsocketTest, ClearingTheRequestWhileSendingKeepsRequestsWhole)
{
    size_t mark = PbxLogMark();
    struct Sender {
        volatile LONG written = 0;   // the number of the request written and not yet sent
        volatile LONG clearing = 0;  // the number of the request whose clear began
        volatile LONG cleared = 0;   // ... and ended
        volatile LONG stop = 0;
        int sent = 0;
        static void Spin(double microseconds)
        {
            LARGE_INTEGER f, t0, t;
            QueryPerformanceFrequency(&f);
            QueryPerformanceCounter(&t0);
            do
                QueryPerformanceCounter(&t);
            while ((double)(t.QuadPart - t0.QuadPart) * 1e6 / (double)f.QuadPart < microseconds);
        }
        static DWORD WINAPI Run(LPVOID p)
        {
            Sender* s = static_cast<Sender*>(p);
            CInnovaphoneVars* conn = &InnovaphoneVarsApp;
            while (!s->stop && s->sent < 2000) {
                LONG n = s->sent + 1;
                EnterCriticalSection(&conn->m_csSend);
                FormatW(conn->m_szSend, _countof(conn->m_szSend), L"{\"mt\":\"Probe\",\"from\":\"reset\",\"n\":%d}", (int)n);
                InterlockedExchange(&s->written, n);
                // The clear's start, bounded: with the lock in place it waits for this send.
                for (int i = 0; i < 2000 && s->clearing != n && !s->stop; ++i)
                    Spin(5);
                Spin(50);
                SendBuffer(conn, 0);
                LeaveCriticalSection(&conn->m_csSend);
                s->sent = (int)n;
                // The clear gets the lock before the next write takes it again.
                for (int i = 0; i < 4000 && s->cleared != n && s->clearing == n && !s->stop; ++i)
                    Spin(5);
            }
            return 0;
        }
    } sender;
    HANDLE thread = CreateThread(nullptr, 0, Sender::Run, &sender, 0, nullptr);
    int clears = 0;
    LONG seen = 0;
    DWORD start = GetTickCount();
    while (clears < 300 && GetTickCount() - start < 60000 && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        LONG n = sender.written;
        if (n == seen)
            continue;
        seen = n;
        InterlockedExchange(&sender.clearing, n);
        InnovaphoneVarsApp.ResetValues();
        InterlockedExchange(&sender.cleared, n);
        ++clears;
    }
    InterlockedExchange(&sender.stop, 1);
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    EXPECT_EQ(300, clears) << "too few clears met a request for the test to tell";
    ASSERT_TRUE(Control(&InnovaphoneVarsApp, L""));
    std::string text = PbxLogSince(mark);
    int missing = 0;
    for (int i = 1; i <= sender.sent; ++i) {
        char probe[64];
        FormatA(probe, sizeof probe, "\"from\": \"reset\", \"n\": %d}", i);
        if (text.find(probe) == std::string::npos)
            ++missing;
    }
    EXPECT_EQ(0, missing) << "of " << sender.sent << " requests";
    EXPECT_EQ(std::string::npos, text.find("\"bad\"")) << "an emptied or cut request went out";
}

TEST_F(PbxWebsocketTest, CloseWithAPendingReceiveStopsTheThread)
{
    for (CInnovaphoneVars* conn : {&InnovaphoneVarsUser, &InnovaphoneVarsApp}) {
        HANDLE copy = nullptr;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), conn->m_hMonitorThread, GetCurrentProcess(), &copy, 0,
                                    FALSE, DUPLICATE_SAME_ACCESS));
        CloseWebSocket(conn, TRUE);
        EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(copy, 0)) << "the thread ended before the close returned";
        DWORD code = 1;
        GetExitCodeThread(copy, &code);
        EXPECT_EQ(0u, code);
        CloseHandle(copy);
        EXPECT_EQ(nullptr, conn->m_hMonitorThread);
        EXPECT_EQ(nullptr, conn->m_hWebSocketHandle);
        EXPECT_EQ(0u, conn->m_dwMonitorThId);
        // A second close is harmless.
        CloseWebSocket(conn, TRUE);
    }
    EXPECT_EQ(0u, CountLogs(L"did not stop"));
}

// A stop with a PBX that reads nothing more. The close ends the connection completely, its
// pending receive included (Windows' documented close, after its close timeout of 1 s at
// most; Wine's waits for its receive timeout of 30 s instead, so here the PBX ends the
// connection while the close runs), so the thread ends without the last resort. Where the
// close leaves the receive pending (as a shutdown does on Windows), the bounded wait and the
// last resort end it. Either way the stop ends in bounded time.
DWORD WINAPI CloseThatEndsTheConnection(HINTERNET websocket, USHORT status, PVOID reason, DWORD length);
DWORD WINAPI PbxEndsTheConnection(HINTERNET, USHORT, PVOID, DWORD);

TEST_F(PbxWebsocketTest, CloseToAPbxThatNeverAnswersEndsInBoundedTime)
{
    const struct {
        const char* name;
        DWORD (WINAPI* close)(HINTERNET, USHORT, PVOID, DWORD);
        size_t terminated;
        DWORD least;
    } cases[] = {
        {"a close that ends the connection", CloseThatEndsTheConnection, 0, 0},
        {"a close that leaves the receive", CloseThatLeavesTheReceive, 1, 500},
    };
    for (const auto& c : cases) {
        CInnovaphoneVars* conn = &InnovaphoneVarsApp;
        if (!conn->m_hWebSocketHandle)
            Open(conn, L"APPS/websocket");
        // A request of its own makes it the PBX's latest application connection.
        ASSERT_TRUE(SendRequest(conn, L"{\"mt\":\"CheckBuild\"}", 5000));
        ASSERT_TRUE(Control(conn, L"", L"{\"send\":{\"mt\":\"CheckBuildResult\",\"build\":\"done\"}},{\"deaf\":true}"));
        testing_support::PumpFor(20);
        m_host.Clear();
        DWORD saved = g_dwMonitorStopWait;
        g_dwMonitorStopWait = 500;
        s_realClose = g_pfnWebSocketClose;
        g_pfnWebSocketClose = c.close;
        DWORD start = GetTickCount();
        CloseWebSocket(conn, TRUE);
        DWORD elapsed = GetTickCount() - start;
        g_pfnWebSocketClose = s_realClose;
        g_dwMonitorStopWait = saved;
        // The close timeout (1 s) and the thread wait (0.5 s), with room for a loaded machine.
        EXPECT_GE(3000u, elapsed) << c.name;
        EXPECT_LE(c.least, elapsed) << c.name;
        EXPECT_EQ(c.terminated, CountLogs(L"Func.StopMonitorThread.Error.App receive thread did not stop; terminated"))
            << c.name;
        EXPECT_EQ(nullptr, conn->m_hWebSocketHandle);
        EXPECT_EQ(nullptr, conn->m_hSessionHandle);
        EXPECT_EQ(0u, conn->m_dwMonitorThId);
        EXPECT_EQ(nullptr, conn->m_hMonitorThread) << c.name << ": the thread is gone, stopped or as a last resort ended";
        // The other connection is untouched.
        EXPECT_TRUE(SendRequest(&InnovaphoneVarsUser, L"{\"mt\":\"CheckBuild\"}", 5000));
    }
}

// The PBX ends the connection as the close runs, and the close itself does nothing more: Wine's
// own close now and then waits out its receive timeout when a send of another thread is stuck
// in the socket as the connection goes, which Windows' close does not (it ends the connection).
DWORD WINAPI PbxEndsTheConnection(HINTERNET, USHORT, PVOID, DWORD)
{
    EXPECT_TRUE(PbxWebsocketTest::Control(&InnovaphoneVarsUser, L"", L"{\"to\":\"app\",\"drop\":true}"));
    return NO_ERROR;
}

DWORD WINAPI CloseThatEndsTheConnection(HINTERNET websocket, USHORT status, PVOID reason, DWORD length)
{
    EXPECT_TRUE(PbxWebsocketTest::Control(&InnovaphoneVarsUser, L"", L"{\"to\":\"app\",\"drop\":true}"));
    return PbxWebsocketTest::s_realClose(websocket, status, reason, length);
}

// A receive thread that does not stop in time is never ended while it may hold the dispatch
// lock: the close gives up on it, keeps its handle, and the thread ends once it is free.
TEST_F(PbxWebsocketTest, StuckReceiveThreadIsNotKilledInsideTheLock)
{
    struct Holder {
        HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        static DWORD WINAPI Run(LPVOID p)
        {
            Holder* h = static_cast<Holder*>(p);
            EnterCriticalSection(&g_csDispatch);
            SetEvent(h->held);
            WaitForSingleObject(h->release, 30000);
            LeaveCriticalSection(&g_csDispatch);
            return 0;
        }
    } holder;
    HANDLE holderThread = CreateThread(nullptr, 0, Holder::Run, &holder, 0, nullptr);
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(holder.held, 10000));

    CInnovaphoneVars* conn = &InnovaphoneVarsUser;
    HANDLE receiver = nullptr;
    DuplicateHandle(GetCurrentProcess(), conn->m_hMonitorThread, GetCurrentProcess(), &receiver, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    SendRequest(conn, L"{\"mt\":\"CheckBuild\"}", 0);
    // Logged just before the thread asks for the lock.
    ASSERT_TRUE(WaitUntil([this] { return CountLogs(L"Info.User<--: {\"mt\":\"CheckBuildResult\"") == 1; }));
    DWORD saved = g_dwMonitorStopWait;
    g_dwMonitorStopWait = 300;
    CloseWebSocket(conn, TRUE);
    g_dwMonitorStopWait = saved;
    EXPECT_EQ(1u, CountLogs(L"Func.StopMonitorThread.Error.User receive thread did not stop"));
    EXPECT_EQ(0u, CountLogs(L"terminated"));
    EXPECT_EQ(nullptr, conn->m_hWebSocketHandle);
    EXPECT_NE(nullptr, conn->m_hMonitorThread) << "the handle stays with its owner";
    // While it still runs, the connection does not open again: a second receive thread would
    // read the same connection.
    HANDLE stuck = conn->m_hMonitorThread;
    DWORD savedWait = g_dwMonitorStopWait;
    g_dwMonitorStopWait = 100;
    CreateWebsocket(conn);
    g_dwMonitorStopWait = savedWait;
    EXPECT_EQ(nullptr, conn->m_hWebSocketHandle);
    EXPECT_EQ(stuck, conn->m_hMonitorThread);
    EXPECT_EQ(1u, CountLogs(L"Func.CreateWebsocket.Error.User receive thread still running, not opened"));

    SetEvent(holder.release);
    WaitForSingleObject(holderThread, 10000);
    CloseHandle(holderThread);
    CloseHandle(holder.held);
    CloseHandle(holder.release);
    ASSERT_TRUE(WaitUntil([receiver] { return WaitForSingleObject(receiver, 0) == WAIT_OBJECT_0; }));
    DWORD code = 1;
    GetExitCodeThread(receiver, &code);
    EXPECT_EQ(0u, code) << "it left its loop by itself";
    CloseHandle(receiver);
    // The next open releases the old handle and works.
    Open(conn, L"APPCLIENT/websocket");
    EXPECT_TRUE(SendRequest(conn, L"{\"mt\":\"CheckBuild\"}", 5000));
}

// Two threads (login and GUI) sending on one connection never mix their requests.
TEST_F(PbxWebsocketTest, ConcurrentSendersKeepTheirRequestsWhole)
{
    size_t mark = PbxLogMark();
    struct Sender {
        const wchar_t* name;
        int count;
        static DWORD WINAPI Run(LPVOID p)
        {
            Sender* s = static_cast<Sender*>(p);
            for (int i = 0; i < s->count; ++i) {
                wchar_t text[256];
                FormatW(text, _countof(text), L"{\"mt\":\"Probe\",\"from\":\"%s\",\"n\":%d,\"pad\":\"%s\"}", s->name, i,
                        i % 2 ? L"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx" : L"");
                SendRequest(&InnovaphoneVarsApp, text, 0);
            }
            return 0;
        }
    } senders[] = {{L"login", 200}, {L"gui", 200}};
    HANDLE threads[2];
    for (int i = 0; i < 2; ++i)
        threads[i] = CreateThread(nullptr, 0, Sender::Run, &senders[i], 0, nullptr);
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForMultipleObjects(2, threads, TRUE, 60000));
    for (HANDLE t : threads)
        CloseHandle(t);
    ASSERT_TRUE(Control(&InnovaphoneVarsApp, L""));
    std::string text = PbxLogSince(mark);
    // Every request arrived exactly once: none lost, none sent twice in place of another.
    for (const auto& sender : senders) {
        char from[16];
        WideCharToMultiByte(CP_ACP, 0, sender.name, -1, from, sizeof from, nullptr, nullptr);
        for (int i = 0; i < sender.count; ++i) {
            char probe[64];
            FormatA(probe, sizeof probe, "\"from\": \"%s\", \"n\": %d,", from, i);
            size_t first = text.find(probe);
            EXPECT_NE(std::string::npos, first) << probe;
            if (first != std::string::npos) {
                EXPECT_EQ(std::string::npos, text.find(probe, first + 1)) << probe;
            }
        }
    }
    EXPECT_EQ(std::string::npos, text.find("\"bad\"")) << "a request arrived garbled";
}

TEST_F(PbxWebsocketTest, BadMessagesAreLoggedAndIgnored)
{
    const struct {
        const wchar_t* step;
        const wchar_t* logged;  // null: nothing but the receive line
    } cases[] = {
        {L"{\"raw\":\"this is no JSON\"}", L"Func.DispatchMessages.Error.Cannor parse data"},
        {L"{\"raw\":\"[1,2]\"}", L"Func.DispatchMessages.Abort.Wrong data"},
        {L"{\"nested\":100000}", L"message of 200000 bytes dropped"},
        {L"{\"nested\":4000}", L"Func.DispatchMessages.Error.Cannor parse data"},
        {L"{\"huge\":100000}", L"message of 100024 bytes dropped"},
        // 8,191 bytes fit the receive buffer with its terminator, 8,192 do not.
        {L"{\"huge\":8167}", L"<--: {\"mt\":\"CallInfo\",\"x\":\"hhhh"},
        {L"{\"huge\":8168}", L"message of 8192 bytes dropped"},
        {L"{\"binary\":\"00ff10\"}", L"Func.MonitorThread.Error.Binary"},
        {L"{\"send\":{\"mt\":\"NoSuchMessage\",\"x\":1}}", nullptr},
        {L"{\"send\":{\"mt\":\"callinfo\",\"call\":1,\"msg\":\"x-alert\"}}", nullptr},
    };
    for (const auto& c : cases) {
        testing_support::PumpFor(20);  // the lines the set-up posted
        m_host.Clear();
        ASSERT_TRUE(Control(&InnovaphoneVarsUser, L"", c.step)) << testing::PrintToString(std::wstring(c.step));
        if (c.logged) {
            EXPECT_EQ(1u, CountLogs(c.logged)) << testing::PrintToString(std::wstring(c.step));
        }
        EXPECT_TRUE(m_host.OfType(QOR_BUSMSG_CALLSTATE).empty());
        EXPECT_NE(nullptr, InnovaphoneVarsUser.m_hWebSocketHandle);
    }
    EXPECT_TRUE(SendRequest(&InnovaphoneVarsUser, L"{\"mt\":\"CheckBuild\"}", 5000));
    EXPECT_STREQ(L"1300", InnovaphoneVarsUser.m_szBuild);
}

TEST_F(PbxWebsocketTest, IncomingCallReachesTheBus)
{
    ASSERT_TRUE(Control(&InnovaphoneVarsApp, L"", L"{\"call\":\"+4930123456\"}"));
    ASSERT_TRUE(WaitUntil([this] { return m_host.OfType(QOR_BUSMSG_CALLEVENT).size() == 3; }));
    testing_support::PumpFor(100);
    auto states = m_host.OfType(QOR_BUSMSG_CALLSTATE);
    ASSERT_EQ(3u, states.size());
    const wchar_t* stateEvents[] = {L"Offering", L"Connected", L"Idle"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_STREQ(stateEvents[i], GetValueByKeyword(states[i].text.c_str(), L"Event"));
        EXPECT_STREQ(L"+4930123456", GetValueByKeyword(states[i].text.c_str(), L"CallerID"));
        EXPECT_STREQ(L"PLUGINTELEPHONYORKANE", GetValueByKeyword(states[i].text.c_str(), L"Sender"));
    }
    auto events = m_host.OfType(QOR_BUSMSG_CALLEVENT);
    const wchar_t* callEvents[] = {L"OnReceived", L"OnEstablished", L"OnConnectionCleared"};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NE(std::wstring::npos, events[i].text.find(callEvents[i])) << i;
    EXPECT_TRUE(g_CallList.empty());
}

// A request goes whole whatever its length (an application login with a PBX info object of
// some thousand characters, say); one that cannot go whole is not sent at all, and the log
// says why.
TEST_F(PbxWebsocketTest, RequestsGoWholeOrNotAtAll)
{
    const struct {
        size_t pad;
        wchar_t odd;  // a unit placed in the pad, 0 for none
        bool sent;
        const wchar_t* logged;
    } cases[] = {
        {1000, 0, true, nullptr},
        {1100, 0, true, nullptr},
        {3000, 0, true, nullptr},
        {65000, 0, true, nullptr},
        {66000, 0, false, L"Func.SendBuffer.Error.App request not sent: 66043 characters, more than 65536"},
        // Text beyond ASCII is put in as UTF-8 units: a unit above 0xFF cannot be one byte, and
        // a byte that begins no UTF-8 sequence would make the PBX fail the connection.
        {100, 0xE4, false, L"Func.SendBuffer.Error.App request not sent: its bytes are no UTF-8"},
        {100, 0x141, false, L"Func.SendBuffer.Error.App request not sent: character U+0141 at 71 is no byte"},
    };
    int n = 0;
    for (const auto& c : cases) {
        testing_support::PumpFor(20);
        m_host.Clear();
        size_t mark = PbxLogMark();
        std::wstring pad(c.pad, L'x');
        if (c.odd)
            pad[30] = c.odd;
        else
            pad.replace(40, 2, L"\u00c3\u00a4");  // the UTF-8 units of U+00E4
        wchar_t head[64];
        FormatW(head, _countof(head), L"{\"mt\":\"Probe\",\"from\":\"long\",\"n\":%d,\"pad\":\"", ++n);
        std::wstring text = head + pad + L"\"}";
        SendRequest(&InnovaphoneVarsApp, text.c_str(), 0);
        ASSERT_TRUE(Control(&InnovaphoneVarsApp, L""));
        std::string log = PbxLogSince(mark);
        char probe[64];
        FormatA(probe, sizeof probe, "\"from\": \"long\", \"n\": %d,", n);
        size_t at = log.find(probe);
        EXPECT_EQ(c.sent, at != std::string::npos) << c.pad;
        EXPECT_EQ(std::string::npos, log.find("\"bad\"")) << c.pad << ": a cut request went out";
        if (at != std::string::npos && !c.odd) {
            std::string whole = "\"pad\": \"" + std::string(40, 'x') + "\xc3\xa4" + std::string(c.pad - 42, 'x') + "\"}";
            EXPECT_NE(std::string::npos, log.find(whole, at)) << c.pad;
        }
        if (c.logged) {
            EXPECT_EQ(1u, CountLogs(c.logged)) << c.pad;
        }
    }
}

// The receive buffer holds 8,191 bytes and the terminator: a message of exactly that size is
// converted and dispatched whole.
TEST_F(PbxWebsocketTest, TheLargestMessageThatFitsIsDispatched)
{
    const struct {
        int size;
        const wchar_t* build;
    } cases[] = {
        {4000, L"mid"},
        {8191, L"full"},
    };
    for (const auto& c : cases) {
        wchar_t step[160];
        FormatW(step, _countof(step), L"{\"padded\":{\"mt\":\"CheckBuildResult\",\"build\":\"%s\"},\"size\":%d}", c.build,
                c.size);
        InnovaphoneVarsUser.m_szBuild[0] = L'\0';
        wchar_t text[512];
        FormatW(text, _countof(text), L"{\"mt\":\"FakePbx\",\"run\":[%s]}", step);
        SendRequest(&InnovaphoneVarsUser, text, 0);
        EXPECT_TRUE(WaitUntil([&] { return !wcscmp(InnovaphoneVarsUser.m_szBuild, c.build); })) << c.size;
    }
    EXPECT_EQ(0u, CountLogs(L"not converted"));
    EXPECT_EQ(0u, CountLogs(L"dropped"));
}

// The PBX sends events between a request and its result, and late results of earlier
// requests: only the request's own result ends its wait, and its values are stored by then.
// A PBX that does not echo "src" still answers with a result of the request's kind.
TEST_F(PbxWebsocketTest, AWaitEndsOnlyWithItsOwnResult)
{
    const struct {
        const wchar_t* set;
        BOOL answered;
        const wchar_t* build;
    } cases[] = {
        // Events first, the result after a while.
        {L"\"interleave\":{\"CheckBuild\":[{\"mt\":\"CallInfo\",\"api\":\"RCC\",\"call\":7,\"msg\":\"x-setup\",\"conf\":\"c\"},"
         L"{\"mt\":\"UpdateOwnPresence\"},{\"sleep\":0}]},\"answer_delay\":0.2",
         TRUE, L"1300"},
        // Another request's late result.
        {L"\"interleave\":{\"CheckBuild\":[{\"mt\":\"CheckBuildResult\",\"build\":\"late\",\"src\":\"orvix-0\"}]},"
         L"\"answer_delay\":0.2",
         TRUE, L"1300"},
        // A PBX that echoes no src: the result of the kind still ends the wait, events do not.
        {L"\"echo_src\":false,\"interleave\":{\"CheckBuild\":[{\"mt\":\"UpdateOwnPresence\"}]},\"answer_delay\":0.2",
         TRUE, L"1300"},
        // No result at all: the events do not pass for one.
        {L"\"silent\":[\"CheckBuild\"],\"interleave\":{\"CheckBuild\":[{\"mt\":\"UpdateOwnPresence\"}]}", FALSE,
         L""},
    };
    for (const auto& c : cases) {
        std::wstring set = L"\"reset\":true,\"set\":{" + std::wstring(c.set) + L"}";
        ASSERT_TRUE(Control(&InnovaphoneVarsUser, set.c_str()));
        InnovaphoneVarsUser.m_szBuild[0] = L'\0';
        EXPECT_EQ(c.answered, SendRequest(&InnovaphoneVarsUser, L"{\"mt\":\"CheckBuild\"}", 1500)) << c.set;
        EXPECT_STREQ(c.build, InnovaphoneVarsUser.m_szBuild) << c.set;
    }
}

// Monitoring of three devices with an event after each result (a CallInfo of the device just
// monitored, under its subscription's src): each device gets the handle the PBX gave it, and a
// result that comes when its request no longer waits is not taken for another device's.
TEST_F(PbxWebsocketTest, EveryDeviceGetsItsOwnUserHandle)
{
    LogInBoth();
    ASSERT_TRUE(Control(&InnovaphoneVarsApp,
                        L"\"set\":{\"devices\":[{\"hw\":\"phone-1\"},{\"hw\":\"phone-2\"},{\"hw\":\"phone-3\"}],"
                        L"\"trail\":{\"UserInitialize\":[{\"mt\":\"CallInfo\",\"api\":\"RCC\",\"user\":\"$user\","
                        L"\"src\":\"$src\",\"call\":900,\"msg\":\"x-setup\",\"conf\":\"c-900\"}]}}"));
    DoGetDevices();
    ASSERT_EQ(3u, DeviceListSize());
    size_t mark = PbxLogMark();
    MonitorStart();
    DWORD handles[3];
    for (int i = 0; i < 3; ++i)
        handles[i] = g_RccDevices[i].m_dwUserHandle;
    EXPECT_NE(0u, handles[0]);
    EXPECT_EQ(handles[0] + 1, handles[1]);
    EXPECT_EQ(handles[0] + 2, handles[2]);
    std::string log = PbxLogSince(mark);
    EXPECT_EQ(std::string::npos, log.find("\"violations\"")) << log;
    // A late result of the first request: no request of that src waits any more.
    std::string first = log.substr(log.find("\"src\": \"") + 8);
    std::wstring src(first.begin(), first.begin() + (ptrdiff_t)first.find('"'));
    g_dwDeviceIndex = 1;
    std::wstring late = L"{\"send\":{\"mt\":\"UserInitializeResult\",\"api\":\"RCC\",\"user\":77,\"src\":\"" + src + L"\"}}";
    ASSERT_TRUE(Control(&InnovaphoneVarsApp, L"", late.c_str()));
    g_dwDeviceIndex = 3;
    EXPECT_EQ(handles[1], g_RccDevices[1].m_dwUserHandle);
    EXPECT_EQ(1u, CountLogs(L"UserInitializeResult of no pending request dropped"));
    MonitorStop();
}

// Every wait is bounded by the clock, in milliseconds, also where a wait lasts a whole timer
// tick (Windows): a silent PBX, a text that never comes, a closed connection.
TEST_F(PbxWebsocketTest, WaitsAreBoundedByTheClockNotByCountsOfWaits)
{
    ASSERT_TRUE(Control(&InnovaphoneVarsUser, L"\"set\":{\"silent\":[\"CheckBuild\"]}"));
    CloseWebSocket(&InnovaphoneVarsApp, TRUE);
    wchar_t empty[8] = L"";
    const struct {
        const char* name;
        std::function<void()> wait;
        DWORD least, most;
    } cases[] = {
        {"answer of a silent PBX", [] { EXPECT_FALSE(SendRequest(&InnovaphoneVarsUser, L"{\"mt\":\"CheckBuild\"}", 300)); },
         300, 316},
        {"a login's long wait", [] { EXPECT_FALSE(SendRequest(&InnovaphoneVarsUser, L"{\"mt\":\"CheckBuild\"}", 5000)); },
         5000, 5016},
        {"any message", [] { WaitForAnswer(&InnovaphoneVarsUser, 300); }, 300, 316},
        {"a text, in seconds", [&empty] { WaitForText(empty, 2); }, 2000, 2016},
        // Nothing goes out on a closed connection, so nothing is waited for.
        {"closed connection", [] { EXPECT_FALSE(SendRequest(&InnovaphoneVarsApp, L"{\"mt\":\"CheckBuild\"}", 5000)); }, 0,
         0},
    };
    for (const auto& c : cases) {
        InnovaphoneVarsUser.m_bAnswer = 0;
        WindowsTick tick;
        DWORD start = WindowsTick::Now();
        c.wait();
        DWORD elapsed = WindowsTick::Now() - start;
        EXPECT_LE(c.least, elapsed) << c.name;
        EXPECT_GE(c.most, elapsed) << c.name;
    }
    EXPECT_EQ(1u, CountLogs(L"Func.SendBuffer.Warning.App not connected, request not sent"));
}

// A PBX that stops reading blocks a send once the socket's buffers are full. That send holds
// up no other sender beyond its own bound (a call action on the GUI thread) and no close;
// the close ends the blocked send with the connection.
TEST_F(PbxWebsocketTest, ABlockedSendHoldsUpNeitherOtherSendersNorTheClose)
{
    CInnovaphoneVars* conn = &InnovaphoneVarsApp;
    ASSERT_TRUE(SendRequest(conn, L"{\"mt\":\"CheckBuild\"}", 5000));  // the PBX's latest app connection
    ASSERT_TRUE(Control(conn, L"", L"{\"send\":{\"mt\":\"CheckBuildResult\",\"build\":\"done\"}},{\"deaf\":true}"));
    struct Flood {
        volatile LONG started = 0, done = 0, stop = 0;
        static DWORD WINAPI Run(LPVOID p)
        {
            Flood* f = static_cast<Flood*>(p);
            std::wstring text = L"{\"mt\":\"Probe\",\"from\":\"flood\",\"pad\":\"" + std::wstring(60000, L'f') + L"\"}";
            while (!f->stop && InnovaphoneVarsApp.m_hWebSocketHandle) {
                InterlockedIncrement(&f->started);
                SendRequest(&InnovaphoneVarsApp, text.c_str(), 0);
                InterlockedIncrement(&f->done);
            }
            return 0;
        }
    } flood;
    HANDLE flooder = CreateThread(nullptr, 0, Flood::Run, &flood, 0, nullptr);
    // Blocked: a send that has not returned for half a second.
    bool blocked = false;
    for (int i = 0; i < 400 && !blocked; ++i) {
        LONG done = flood.done;
        Sleep(50);
        blocked = flood.started != flood.done && flood.done == done && i > 10 &&
                  (Sleep(450), flood.done == done);
    }
    ASSERT_TRUE(blocked) << "the PBX's socket took every request";

    struct Action {
        std::function<void()> run;
        static DWORD WINAPI Run(LPVOID p)
        {
            static_cast<Action*>(p)->run();
            return 0;
        }
    };
    // A call action meanwhile: it gives up within its own bound, and says why.
    BOOL answered = TRUE;
    Action call{[&answered] { answered = SendRequest(&InnovaphoneVarsApp, L"{\"mt\":\"CheckBuild\"}", 300); }};
    HANDLE caller = CreateThread(nullptr, 0, Action::Run, &call, 0, nullptr);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(caller, 3000)) << "the call action waited on the blocked send";
    EXPECT_FALSE(answered);
    EXPECT_EQ(1u, CountLogs(L"Func.SendBuffer.Error.App request not sent: an earlier one is still on its way"));

    // The close (here the PBX ends the connection as the close runs, as a close does on
    // Windows) returns, and the blocked send with it.
    DWORD saved = g_dwMonitorStopWait;
    g_dwMonitorStopWait = 500;
    s_realClose = g_pfnWebSocketClose;
    g_pfnWebSocketClose = PbxEndsTheConnection;
    Action close{[] { CloseWebSocket(&InnovaphoneVarsApp, TRUE); }};
    HANDLE closer = CreateThread(nullptr, 0, Action::Run, &close, 0, nullptr);
    DWORD closed = WaitForSingleObject(closer, 5000);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, closed) << "the close waited on the blocked send";
    if (closed != WAIT_OBJECT_0) {
        Control(&InnovaphoneVarsUser, L"", L"{\"to\":\"app\",\"drop\":true}");  // frees both
        WaitForSingleObject(closer, 10000);
    }
    g_pfnWebSocketClose = s_realClose;
    g_dwMonitorStopWait = saved;
    InterlockedExchange(&flood.stop, 1);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(flooder, 10000)) << "the blocked send did not end";
    for (HANDLE h : {flooder, caller, closer})
        CloseHandle(h);
    EXPECT_EQ(nullptr, conn->m_hWebSocketHandle);
    EXPECT_EQ(nullptr, conn->m_hMonitorThread);
}

}  // namespace
