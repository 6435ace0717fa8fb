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
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
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

class PbxWebsocketTest : public testing::Test {
protected:
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
};

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
    FormatW(text, _countof(text),
            L"{\"mt\":\"AppLogin\",\"app\":\"%s\",\"domain\":\"%s\",\"sip\":\"%s\",\"guid\":\"%s\",\"dn\":\"%s\",\"info\":%s,\"pbxObj\":\"%s\",\"digest\":\"%s\"}",
            InnovaphoneVarsUser.m_szApp, InnovaphoneVarsUser.m_szDomain, InnovaphoneVarsUser.m_szSip,
            InnovaphoneVarsUser.m_szGUID, InnovaphoneVarsUser.m_szDN, InnovaphoneVarsUser.m_szInfo,
            InnovaphoneVarsUser.m_szPbxObj, InnovaphoneVarsUser.m_szDigest);
    ASSERT_TRUE(SendRequest(&InnovaphoneVarsApp, text, 5000));
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

// Every close clears the request text; done while another thread sends, it must not empty or
// cut a request on its way out.
TEST_F(PbxWebsocketTest, ClearingTheRequestWhileSendingKeepsRequestsWhole)
{
    wchar_t log[MAX_PATH] = L"";
    ASSERT_NE(0u, GetEnvironmentVariableW(L"FAKE_PBX_LOG", log, _countof(log)));
    struct Sender {
        static DWORD WINAPI Run(LPVOID)
        {
            for (int i = 0; i < 400; ++i) {
                wchar_t text[128];
                FormatW(text, _countof(text), L"{\"mt\":\"Probe\",\"from\":\"reset\",\"n\":%d}", i);
                SendRequest(&InnovaphoneVarsApp, text, 0);
            }
            return 0;
        }
    };
    HANDLE thread = CreateThread(nullptr, 0, Sender::Run, nullptr, 0, nullptr);
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT)
        InnovaphoneVarsApp.ResetValues();
    CloseHandle(thread);
    ASSERT_TRUE(Control(&InnovaphoneVarsApp, L""));
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(log);
    std::string text(bytes.begin(), bytes.end());
    for (int i = 0; i < 400; ++i) {
        char probe[64];
        FormatA(probe, sizeof probe, "\"from\": \"reset\", \"n\": %d}", i);
        EXPECT_NE(std::string::npos, text.find(probe)) << probe;
    }
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

TEST_F(PbxWebsocketTest, CloseToAPbxThatNeverAnswersEndsInBoundedTime)
{
    CInnovaphoneVars* conn = &InnovaphoneVarsApp;
    ASSERT_TRUE(Control(conn, L"", L"{\"send\":{\"mt\":\"CheckBuildResult\",\"build\":\"done\"}},{\"deaf\":true}"));
    DWORD saved = g_dwMonitorStopWait;
    g_dwMonitorStopWait = 500;
    CloseWebSocket(conn, TRUE);
    g_dwMonitorStopWait = saved;
    EXPECT_EQ(nullptr, conn->m_hWebSocketHandle);
    EXPECT_EQ(nullptr, conn->m_hSessionHandle);
    EXPECT_EQ(0u, conn->m_dwMonitorThId);
    EXPECT_EQ(nullptr, conn->m_hMonitorThread) << "the thread is gone, stopped or as a last resort ended";
    // The other connection is untouched.
    EXPECT_TRUE(SendRequest(&InnovaphoneVarsUser, L"{\"mt\":\"CheckBuild\"}", 5000));
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
    wchar_t log[MAX_PATH] = L"";
    ASSERT_NE(0u, GetEnvironmentVariableW(L"FAKE_PBX_LOG", log, _countof(log)));
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
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(log);
    std::string text(bytes.begin(), bytes.end());
    // Every request arrived exactly once: none lost, none sent twice in place of another.
    for (const auto& sender : senders) {
        char from[16];
        WideCharToMultiByte(CP_ACP, 0, sender.name, -1, from, sizeof from, nullptr, nullptr);
        for (int i = 0; i < sender.count; ++i) {
            char probe[64];
            FormatA(probe, sizeof probe, "\"from\": \"%s\", \"n\": %d,", from, i);
            size_t first = text.find(probe);
            EXPECT_NE(std::string::npos, first) << probe;
            if (first != std::string::npos)
                EXPECT_EQ(std::string::npos, text.find(probe, first + 1)) << probe;
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
        if (c.logged)
            EXPECT_EQ(1u, CountLogs(c.logged)) << testing::PrintToString(std::wstring(c.step));
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

}  // namespace
