// The login thread end to end against the fake PBX that scripts/with-fake-pbx runs
// (tests/fake_pbx/fake_pbx.py), which checks every request itself: password login, the stored
// session (deciphered, re-used, refused), two-factor confirmation, the PBX away at start-up,
// stopping the thread at any point, and no secret in any log line.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Credentials.h"
#include "foundation/Format.h"
#include "foundation/Seams.h"
#include "foundation/TextEncoding.h"
#include "foundation/TextUtils.h"
#include "plugin_support/JsonParserBase.h"
#include "plugins/telephony_orkane/CallControl.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/ConfirmDialog.h"
#include "plugins/telephony_orkane/Login.h"
#include "plugins/telephony_orkane/ModuleObjects.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "plugins/telephony_orkane/Settings.h"
#include "plugins/telephony_orkane/SettingsPage.h"
#include "plugins/telephony_orkane/StoredSession.h"
#include "plugins/telephony_orkane/TelephonyResource.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::RecordingWindow;

// One request as the fake PBX logged it.
struct PbxRequest {
    std::wstring path, mt, type, raw;
    bool response = false;    // a login with a digest response
    int verified = -1;        // the PBX's digest check: -1 none, 0 refused, 1 accepted
    bool violations = false;  // the PBX found the request malformed or out of order
    std::wstring sessionId, sessionUsr, sessionPwd;  // a session the PBX handed out
};

std::wstring Utf8ToWide(const std::string& text)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), (int)text.size(), &wide[0], n);
    return wide;
}

std::wstring PbxLogPath()
{
    wchar_t log[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"FAKE_PBX_LOG", log, _countof(log));
    return log;
}

// What the message box seam was asked, and its answer.
struct Question {
    std::wstring caption, text;
    UINT type;
};
std::vector<Question> g_questions;
int g_answer = IDCANCEL;

int WINAPI RecordMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT type)
{
    g_questions.push_back({caption ? caption : L"", text ? text : L"", type});
    return g_answer;
}

class LoginTest : public testing::Test {
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
        g_pfnMessageBoxW = RecordMessageBox;
        g_questions.clear();
        g_answer = IDCANCEL;
        g_dwLoginRetryWait = 60000;
        g_dwDisconnectWait = 10000;
        g_dwLoginStopWait = 5000;
        g_dwLoginResultWait = 10000;
        g_dwReconnectPauseStart = 1000;
        g_dwConnectionStableTime = 120000;
        g_ResourceAccess.m_hResource = g_ResourceAccess.m_hOwned = nullptr;
        g_szSessionNonce[0] = L'\0';
        CInnovaphoneVars* user = &InnovaphoneVarsUser;
        wcscpy(user->m_szUser, L"Anna Test");
        wcscpy(user->m_szPassword, L"geheim");
        user->m_szSession[0] = user->m_szExSession[0] = user->m_szDigest[0] = L'\0';
        g_RccDevices.clear();
        g_szSelectedDevice[0] = L'\0';
        ASSERT_TRUE(Control(L"\"reset\":true"));
        m_logStart = testing_support::ReadFileBytes(PbxLogPath()).size();
        testing_support::PumpFor(20);
        m_host.Clear();
    }

    void TearDown() override
    {
        StopLoginThreads();
        CloseWebSocket(&InnovaphoneVarsUser, TRUE);
        CloseWebSocket(&InnovaphoneVarsApp, TRUE);
        CloseWebSocket(&m_control, TRUE);
        if (m_library)
            FreeLibrary(m_library);
        g_ResourceAccess.m_hResource = g_ResourceAccess.m_hOwned = nullptr;
        g_pfnMessageBoxW = MessageBoxW;
        testing_support::PumpFor(50);
        g_hWndParent = nullptr;
    }

    // Steers the PBX over a connection of the test's own: {"mt":"FakePbx",<members>,"run":[..]}
    // and waits for the marker the PBX sends after the steps (unless a step drops it).
    bool Control(const wchar_t* members, const wchar_t* steps = L"", bool marker = true)
    {
        if (!m_control.m_hWebSocketHandle) {
            BuildWebsocketURL(&m_control, L"APPS/websocket");
            if (!m_control.m_hWebSocketHandle)
                return false;
        }
        m_control.m_szBuild[0] = L'\0';
        wchar_t text[1024];
        FormatW(text, _countof(text), L"{\"mt\":\"FakePbx\"%s%s,\"run\":[%s%s%s]}", *members ? L"," : L"", members,
                steps, *steps && marker ? L"," : L"",
                marker ? L"{\"send\":{\"mt\":\"CheckBuildResult\",\"build\":\"done\"}}" : L"");
        SendRequest(&m_control, text, 0);
        if (!marker)
            return true;
        DWORD start = GetTickCount();
        while (wcscmp(m_control.m_szBuild, L"done") && GetTickCount() - start < 5000)
            testing_support::PumpFor(10);
        return !wcscmp(m_control.m_szBuild, L"done");
    }

    // Runs the login thread until it ends (pumping the host window); false after the limit.
    bool RunLogin(DWORD limit = 60000)
    {
        EXPECT_TRUE(StartLoginThread());
        return WaitLoginEnd(limit);
    }

    bool WaitLoginEnd(DWORD limit)
    {
        DWORD start = GetTickCount();
        while (LoginThreadRunning() && GetTickCount() - start < limit) {
            testing_support::PumpFor(20);
            if (g_hWndConfirm)
                m_sawDialog = m_sawDialog || IsWindowVisible(g_hWndConfirm);
        }
        testing_support::PumpFor(50);
        return !LoginThreadRunning();
    }

    // The requests the PBX logged since the test began.
    std::vector<PbxRequest> Requests()
    {
        std::vector<BYTE> bytes = testing_support::ReadFileBytes(PbxLogPath());
        std::string all(bytes.begin() + (std::min)(m_logStart, bytes.size()), bytes.end());
        std::vector<PbxRequest> result;
        size_t pos = 0;
        while (pos < all.size()) {
            size_t end = all.find('\n', pos);
            if (end == std::string::npos)
                end = all.size();
            std::wstring line = Utf8ToWide(all.substr(pos, end - pos));
            pos = end + 1;
            CJsonParserBase record;
            if (!record.Parse(line.c_str()))
                continue;
            CJsonParserBase msg;
            if (!msg.Parse(record.GetObjectText(L"msg")))
                continue;
            PbxRequest r;
            wchar_t text[256];
            record.GetString(text, _countof(text), L"path");
            r.path = text;
            msg.GetString(text, _countof(text), L"mt");
            r.mt = text;
            msg.GetString(text, _countof(text), L"type");
            r.type = text;
            r.raw = line;
            r.response = line.find(L"\"response\"") != std::wstring::npos;
            if (line.find(L"\"verified\"") != std::wstring::npos)
                r.verified = record.GetBool(L"verified") ? 1 : 0;
            r.violations = line.find(L"\"violations\"") != std::wstring::npos;
            CJsonParserBase session;
            if (session.Parse(record.GetObjectText(L"session"))) {
                session.GetString(text, _countof(text), L"id");
                r.sessionId = text;
                session.GetString(text, _countof(text), L"usr");
                r.sessionUsr = text;
                session.GetString(text, _countof(text), L"pwd");
                r.sessionPwd = text;
            }
            if (r.mt != L"FakePbx")
                result.push_back(r);
        }
        return result;
    }

    // The response logins of one type: their digest checks in order (1 accepted, 0 refused).
    std::vector<int> ResponseLogins(const wchar_t* type)
    {
        std::vector<int> checks;
        for (const auto& r : Requests())
            if (r.mt == L"Login" && r.response && r.type == type)
                checks.push_back(r.verified);
        return checks;
    }

    // The PBX's checks of the requests of one kind, in order (1 accepted, 0 refused).
    std::vector<int> Checks(const wchar_t* mt)
    {
        std::vector<int> checks;
        for (const auto& r : Requests())
            if (r.mt == mt)
                checks.push_back(r.verified);
        return checks;
    }

    // The PBX's log line of the last request of that kind ("" for none).
    std::wstring LastRaw(const wchar_t* mt)
    {
        std::wstring raw;
        for (const auto& r : Requests())
            if (r.mt == mt)
                raw = r.raw;
        return raw;
    }

    std::vector<std::wstring> Violations()
    {
        std::vector<std::wstring> found;
        for (const auto& r : Requests())
            if (r.violations)
                found.push_back(r.raw);
        return found;
    }

    std::vector<std::wstring> LogTexts()
    {
        testing_support::PumpFor(20);
        std::vector<std::wstring> texts;
        for (const auto& m : m_host.OfType(QOR_BUSMSG_LOG))
            texts.push_back(GetValueByKeyword(m.text.c_str(), L"Text"));
        return texts;
    }

    size_t CountLogs(const wchar_t* part)
    {
        size_t n = 0;
        for (const auto& t : LogTexts())
            if (t.find(part) != std::wstring::npos)
                ++n;
        return n;
    }

    void PrintLogs()
    {
        for (const auto& t : LogTexts())
            printf("%ls\n", t.c_str());
    }

    // The language library with the plug-in's strings, as the host loads it.
    void LoadLanguageLibrary()
    {
        std::wstring path = testing_support::DistFolder() + L"\\Resource\\En\\RESOURCE.DLL";
        m_library = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, m_library) << testing::PrintToString(path);
        // As a library the instance loaded itself: the plug-in reads that one.
        g_ResourceAccess.m_hResource = g_ResourceAccess.m_hOwned = m_library;
    }

    // Waits until a login thread has ended with the device monitored (a lost connection
    // may start the login again meanwhile).
    bool WaitMonitoring(DWORD limit)
    {
        DWORD start = GetTickCount();
        do {
            testing_support::PumpFor(20);
            EnterCriticalSection(&g_csDispatch);
            bool monitored = !g_RccDevices.empty() && g_RccDevices[0].m_dwUserHandle;
            LeaveCriticalSection(&g_csDispatch);
            if (monitored && !LoginThreadRunning() && InnovaphoneVarsApp.m_bLogin)
                return true;
        } while (GetTickCount() - start < limit);
        return false;
    }

    static bool WaitUntilClosed(CInnovaphoneVars* conn)
    {
        DWORD start = GetTickCount();
        while (conn->m_hWebSocketHandle && GetTickCount() - start < 5000)
            testing_support::PumpFor(20);
        return conn->m_hWebSocketHandle == nullptr;
    }

    // The State values on the bus since the host window was last cleared.
    std::vector<std::wstring> States()
    {
        std::vector<std::wstring> states;
        for (const auto& m : m_host.OfType(QOR_BUSMSG_STATE))
            states.push_back(GetValueByKeyword(m.text.c_str(), L"State"));
        return states;
    }

    // Closes both connections as a stop of the plug-in does, keeping the stored values.
    void CloseConnections()
    {
        StopLoginThreads();
        MonitorStop();
        CloseWebSocket(&InnovaphoneVarsUser, TRUE);
        CloseWebSocket(&InnovaphoneVarsApp, TRUE);
        InnovaphoneVarsApp.m_bLogin = 0;
    }

    void ExpectMonitoring()
    {
        ASSERT_EQ(1u, g_RccDevices.size());
        EXPECT_STREQ(L"phone-1", g_RccDevices[0].m_szDeviceName);
        EXPECT_NE(0u, g_RccDevices[0].m_dwUserHandle);
        size_t connected = 0;
        for (const auto& m : m_host.OfType(QOR_BUSMSG_STATE))
            connected += !wcscmp(GetValueByKeyword(m.text.c_str(), L"State"), L"2");
        EXPECT_NE(0u, connected) << "State 2 once monitoring started";
        EXPECT_EQ(0u, CountLogs(L"Func.InitThread.Error.UserInitializeResult failed"));
    }

    RecordingWindow m_host;
    CInnovaphoneVars m_control{L"Ctl"};
    size_t m_logStart = 0;
    bool m_sawDialog = false;
    HMODULE m_library = nullptr;
};

TEST_F(LoginTest, PasswordLoginLogsBothConnectionsInAndMonitors)
{
    // As while the settings page is being filled: the login thread's end leaves that alone
    // (else the page's own set-up counts as an edit, and the next apply logs in again).
    g_bControlsReady = 0;
    ASSERT_TRUE(RunLogin());
    EXPECT_FALSE(g_bControlsReady) << "the login thread wrote the page's state";
    g_bControlsReady = 1;
    EXPECT_TRUE(InnovaphoneVarsApp.m_bLogin);
    EXPECT_STRNE(L"", InnovaphoneVarsUser.m_szGUID);
    EXPECT_EQ(std::vector<int>{1}, ResponseLogins(L"user"));
    EXPECT_TRUE(ResponseLogins(L"session").empty()) << "no stored session: straight to the password";
    ExpectMonitoring();
    // The PBX handed out a session; the plug-in keeps its id and the session object.
    EXPECT_STRNE(L"", InnovaphoneVarsUser.m_szSession);
    EXPECT_EQ(L'{', InnovaphoneVarsUser.m_szExSession[0]);
    // Every request on its connection, with all its members, in the PBX's order.
    EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
    std::vector<std::wstring> order;
    for (const auto& r : Requests())
        if (r.mt == L"Login" || r.mt == L"AppChallenge" || r.mt == L"AppGetLogin" || r.mt == L"AppLogin" ||
            r.mt == L"Devices" || r.mt == L"UserInitialize")
            order.push_back(r.path + L":" + r.mt + (r.response ? L"+" : L""));
    std::vector<std::wstring> expected = {L"user:Login", L"user:Login+", L"app:AppChallenge", L"user:AppGetLogin",
                                          L"app:AppLogin", L"app:Devices", L"app:UserInitialize"};
    EXPECT_EQ(expected, order);
    EXPECT_EQ(1, g_dwLoginLoopCount) << "no stored session counts one failure, nothing else does";
}

// The stored session: deciphered with the password and re-used, or refused and replaced by
// the password login within the same attempt.
TEST_F(LoginTest, StoredSessionIsReusedOrFallsBackToThePassword)
{
    // A first login with the password hands out the session, which the plug-in stores in the
    // Credential Manager and reads back as at the next start.
    ASSERT_TRUE(RunLogin());
    ASSERT_TRUE(InnovaphoneVarsApp.m_bLogin);
    std::wstring session = InnovaphoneVarsUser.m_szSession, exSession = InnovaphoneVarsUser.m_szExSession;
    SaveLoginCredentials();
    CloseConnections();

    const struct {
        const char* name;
        const wchar_t* exSession;  // null: the one stored
        bool forget;               // the PBX no longer knows the session
        std::vector<int> sessionChecks;
        std::vector<int> userChecks;
        bool exSessionKept;  // else a new session object of the password login replaced it
    } cases[] = {
        {"stored session re-used", nullptr, false, {1}, {}, true},
        {"session the PBX forgot", nullptr, true, {0}, {1}, false},
        {"session object of another password", L"{\"usr\":\"00112233445566\",\"pwd\":\"8899AABBCCDD\"}", false, {0}, {1},
         false},
        {"unusable session object", L"{\"usr\":\"\"}", false, {}, {1}, false},
        {"session object that is no JSON", L"usr=AB;pwd=CD", false, {}, {1}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InnovaphoneVarsUser.m_szSession[0] = InnovaphoneVarsUser.m_szExSession[0] = L'\0';
        InnovaphoneVarsUser.m_szPassword[0] = L'\0';
        ReadLoginCredentials();
        EXPECT_STREQ(L"geheim", InnovaphoneVarsUser.m_szPassword);
        EXPECT_EQ(session, InnovaphoneVarsUser.m_szSession);
        EXPECT_EQ(exSession, InnovaphoneVarsUser.m_szExSession);
        // A literal object comes without the nonce of a login that issued it.
        if (c.exSession) {
            wcscpy(InnovaphoneVarsUser.m_szExSession, c.exSession);
            g_szSessionNonce[0] = L'\0';
        }
        if (c.forget) {
            ASSERT_TRUE(Control(L"", L"{\"forget_sessions\":true}"));
        }
        m_logStart = testing_support::ReadFileBytes(PbxLogPath()).size();
        m_host.Clear();
        ASSERT_TRUE(RunLogin());
        EXPECT_TRUE(InnovaphoneVarsApp.m_bLogin);
        EXPECT_EQ(c.sessionChecks, ResponseLogins(L"session"));
        EXPECT_EQ(c.userChecks, ResponseLogins(L"user"));
        std::wstring before = c.exSession ? c.exSession : exSession.c_str();
        EXPECT_EQ(c.exSessionKept, before == InnovaphoneVarsUser.m_szExSession);
        EXPECT_EQ(L'{', InnovaphoneVarsUser.m_szExSession[0]);
        EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
        EXPECT_TRUE(g_questions.empty());
        ExpectMonitoring();
        if (HasFailure())
            PrintLogs();
        CloseConnections();
        if (c.forget) {
            // A fresh session from the password login: stored for the next case.
            session = InnovaphoneVarsUser.m_szSession;
            exSession = InnovaphoneVarsUser.m_szExSession;
            SaveLoginCredentials();
        }
    }
}

// "Authorize" holds the user login for a second factor: the confirmation dialog shows until
// the PBX confirms (it closes by itself) or refuses; a refusal asks the user whether to retry.
TEST_F(LoginTest, TwoFactorConfirmationTable)
{
    const struct {
        const char* name;
        const wchar_t* mode;   // the PBX's answer after the delay
        const wchar_t* delay;  // seconds
        bool userClosesDialog;
        bool languageLibrary;
        bool loggedIn;
        size_t questions;
        DWORD resultWait;  // the wait for a login result without a second factor (ms)
    } cases[] = {
        {"confirmed", L"confirm", L"1.5", false, true, true, 0, 10000},
        // Past the wait of a login without a second factor (shortened here): the held login
        // waits for the PBX's answer.
        {"confirmed after the ordinary wait", L"confirm", L"2.5", false, true, true, 0, 1000},
        {"refused", L"refuse", L"1.5", false, true, false, 1, 10000},
        {"timed out at the PBX", L"timeout", L"1.5", false, true, false, 1, 10000},
        // OK only closes the dialog: the login still completes once the user confirms.
        {"dialog closed by the user, confirmed later", L"confirm", L"3", true, true, true, 0, 1000},
        {"refused without the language strings", L"refuse", L"1.5", false, false, false, 0, 10000},
    };
    g_dwDisconnectWait = 500;  // a cancelled attempt still disconnects; its pause is not the point here
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_dwLoginResultWait = c.resultWait;
        wchar_t set[256];
        FormatW(set, _countof(set), L"\"reset\":true,\"set\":{\"two_factor\":{\"mode\":\"%s\",\"delay\":%s}}",
                c.mode, c.delay);
        ASSERT_TRUE(Control(set));
        CloseWebSocket(&m_control, TRUE);  // the PBX's reset forgets nothing the login needs
        m_logStart = testing_support::ReadFileBytes(PbxLogPath()).size();
        m_host.Clear();
        g_questions.clear();
        m_sawDialog = false;
        InnovaphoneVarsUser.m_szSession[0] = InnovaphoneVarsUser.m_szExSession[0] = L'\0';
        if (c.languageLibrary)
            LoadLanguageLibrary();
        ASSERT_TRUE(StartLoginThread());
        if (c.userClosesDialog) {
            DWORD start = GetTickCount();
            // Shown once the dialog procedure has set it up.
            while (!(g_hWndConfirm && IsWindowVisible(g_hWndConfirm)) && GetTickCount() - start < 20000)
                testing_support::PumpFor(20);
            ASSERT_NE(nullptr, g_hWndConfirm);
            m_sawDialog = IsWindowVisible(g_hWndConfirm);
            // The user presses OK.
            SendMessageW(GetDlgItem(g_hWndConfirm, IDOK), BM_CLICK, 0, 0);
            EXPECT_EQ(nullptr, g_hWndConfirm) << "OK closes the dialog";
            testing_support::PumpFor(300);
            EXPECT_NE(nullptr, g_hInitThread) << "the login goes on waiting for the PBX";
            EXPECT_NE(nullptr, InnovaphoneVarsUser.m_hWebSocketHandle);
        }
        ASSERT_TRUE(WaitLoginEnd(60000));
        EXPECT_TRUE(m_sawDialog) << "the dialog was shown while the PBX held the login";
        EXPECT_EQ(nullptr, g_hWndConfirm);
        EXPECT_EQ(nullptr, g_hConfirmThread) << "the dialog's thread ended";
        EXPECT_EQ(c.loggedIn, InnovaphoneVarsApp.m_bLogin != 0);
        EXPECT_EQ(c.loggedIn, InnovaphoneVarsUser.m_szGUID[0] != L'\0');
        ASSERT_EQ(c.questions, g_questions.size());
        if (c.questions) {
            EXPECT_EQ((UINT)(MB_TOPMOST | MB_ICONEXCLAMATION | MB_RETRYCANCEL), g_questions[0].type);
            wchar_t caption[256] = L"", text[512] = L"";
            LoadStringW(m_library, 20559, caption, _countof(caption));
            LoadStringW(m_library, 20558, text, _countof(text));
            EXPECT_STRNE(L"", caption);
            EXPECT_EQ(caption, g_questions[0].caption);
            EXPECT_EQ(text, g_questions[0].text);
        }
        if (c.loggedIn) {
            ExpectMonitoring();
        } else {
            // Cancel ended the loop after closing the connections.
            EXPECT_EQ(nullptr, InnovaphoneVarsUser.m_hWebSocketHandle);
            EXPECT_EQ(nullptr, InnovaphoneVarsApp.m_hWebSocketHandle);
            EXPECT_TRUE(ResponseLogins(L"session").empty());
            EXPECT_EQ(std::vector<int>{1}, ResponseLogins(L"user")) << "one attempt only";
        }
        EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
        if (HasFailure())
            PrintLogs();
        CloseConnections();
        if (m_library)
            FreeLibrary(m_library);
        m_library = nullptr;
        g_ResourceAccess.m_hResource = g_ResourceAccess.m_hOwned = nullptr;
    }
}

// A PBX that is away when the plug-in starts: every attempt fails at the connection and waits
// the retry interval; once the PBX is back, the next attempt logs in.
TEST_F(LoginTest, PbxAwayAtStartRetriesUntilItIsBack)
{
    ASSERT_TRUE(Control(L"", L"{\"away\":3.0}", false));
    testing_support::PumpFor(300);
    CloseWebSocket(&m_control, TRUE);
    g_dwLoginRetryWait = 400;
    ASSERT_TRUE(RunLogin());
    EXPECT_TRUE(InnovaphoneVarsApp.m_bLogin);
    EXPECT_GE(g_dwLoginLoopCount, 2) << "several attempts failed while the PBX was away";
    EXPECT_GE(CountLogs(L"Func.InitThread.Warning.PBX not reached"), 2u);
    EXPECT_EQ(std::vector<int>{1}, ResponseLogins(L"user"));
    ExpectMonitoring();
    EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
}

// The PBX drops a connection in the middle of a login step: that attempt fails and
// disconnects, and the next one logs in. A connection lost at the user login's response is no
// refusal: nobody is asked whether to try again.
TEST_F(LoginTest, ConnectionDroppedDuringLoginIsRetried)
{
    const wchar_t* steps[] = {L"\"Login\"", L"{\"mt\":\"Login\",\"type\":\"user\",\"response\":true}",
                              L"\"AppChallenge\"", L"\"AppLogin\"", L"\"Devices\""};
    g_dwDisconnectWait = 500;
    // With the language strings a refusal would ask (and record) the question.
    LoadLanguageLibrary();
    for (const wchar_t* step : steps) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(step)));
        wchar_t set[128];
        FormatW(set, _countof(set), L"\"set\":{\"drop_on\":[%s]}", step);
        ASSERT_TRUE(Control(set));
        m_logStart = testing_support::ReadFileBytes(PbxLogPath()).size();
        m_host.Clear();
        InnovaphoneVarsUser.m_szSession[0] = InnovaphoneVarsUser.m_szExSession[0] = L'\0';
        g_RccDevices.clear();
        ASSERT_TRUE(RunLogin());
        size_t dropped = 0;
        for (const auto& r : Requests())
            dropped += r.raw.find(L"\"dropped\": true") != std::wstring::npos;
        EXPECT_EQ(1u, dropped);
        EXPECT_TRUE(g_questions.empty()) << "a lost connection asked the user";
        if (!wcscmp(step, L"\"Devices\"")) {
            // Logged in, then the application connection was lost before the device list
            // came: the thread says so, and the login starts again and monitors.
            EXPECT_EQ(1u, CountLogs(L"Func.InitThread.Error.UserInitializeResult failed"));
            ASSERT_TRUE(WaitMonitoring(30000));
            EXPECT_EQ(1u, CountLogs(L"Func.InitThread.Warning.Connection lost, logging in again"));
            EXPECT_EQ(1u, ResponseLogins(L"session").size()) << "logged in again with the stored session";
            ASSERT_EQ(1u, g_RccDevices.size());
            EXPECT_NE(0u, g_RccDevices[0].m_dwUserHandle);
        } else {
            EXPECT_TRUE(InnovaphoneVarsApp.m_bLogin);
            EXPECT_GE(ResponseLogins(L"user").size(), 1u);
            EXPECT_GT(g_dwLoginLoopCount, 1) << "the dropped attempt counted";
            ExpectMonitoring();
        }
        EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
        CloseConnections();
        ASSERT_TRUE(Control(L"\"reset\":true"));
    }
}

// Logged in, the PBX goes away for a while (every connection ends): the plug-in tells the bus
// it is down, one login thread starts again, retries while the PBX is away, and logs in with
// the stored session; monitoring ended with the connection, so no "UserEnd" goes out.
TEST_F(LoginTest, PbxAwayAfterLoginLogsInAgain)
{
    ASSERT_TRUE(RunLogin());
    ExpectMonitoring();
    m_logStart = testing_support::ReadFileBytes(PbxLogPath()).size();
    m_host.Clear();
    g_dwLoginRetryWait = 1500;
    ASSERT_TRUE(Control(L"", L"{\"away\":2.0}", false));
    CloseWebSocket(&m_control, TRUE);
    ASSERT_TRUE(WaitMonitoring(40000)) << "logged in again after the PBX came back";
    ExpectMonitoring();
    std::vector<std::wstring> states = States();
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(L"0", states.front()) << "down is reported first";
    EXPECT_EQ(L"2", states.back());
    EXPECT_EQ(1u, CountLogs(L"Func.InitThread.Warning.Connection lost, logging in again"));
    EXPECT_GE(CountLogs(L"Func.InitThread.Warning.PBX not reached"), 1u);
    EXPECT_EQ(std::vector<int>{1}, ResponseLogins(L"session"));
    EXPECT_TRUE(ResponseLogins(L"user").empty()) << "the stored session sufficed";
    size_t userEnds = 0;
    for (const auto& r : Requests())
        userEnds += r.mt == L"UserEnd";
    EXPECT_EQ(0u, userEnds);
    EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());

    // Once the plug-in has stopped its login, a connection the PBX ends starts nothing.
    StopLoginThreads();
    ASSERT_TRUE(Control(L"", L"{\"to\":\"app\",\"close\":1001}"));
    ASSERT_TRUE(WaitUntilClosed(&InnovaphoneVarsApp));
    testing_support::PumpFor(500);
    EXPECT_EQ(nullptr, g_hInitThread);
    EXPECT_EQ(1u, CountLogs(L"Func.InitThread.Warning.Connection lost, logging in again"));
}

BOOL CALLBACK CountBox(HWND window, LPARAM count)
{
    wchar_t name[16] = L"";
    if (GetClassNameW(window, name, _countof(name)) && !wcscmp(name, L"#32770") && IsWindowVisible(window))
        ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

// The message boxes (class "#32770") that the thread has open.
size_t OpenBoxesOf(DWORD thread)
{
    size_t n = 0;
    EnumThreadWindows(thread, CountBox, reinterpret_cast<LPARAM>(&n));
    return n;
}

// A stop ends the login thread in bounded time wherever it waits: in the retry pause, in an
// answer wait, in the wait for a second factor with the dialog open, and in the retry question
// after a refused login (a real message box, which the stop answers).
TEST_F(LoginTest, StopEndsTheLoginThreadWhereverItWaits)
{
    const struct {
        const char* name;
        const wchar_t* control;
        const wchar_t* steps;
        const wchar_t* waitingLine;  // logged once the thread waits where the case wants it
        bool question;
    } cases[] = {
        {"retry pause", L"", L"{\"away\":4.0}", L"Func.InitThread.Warning.PBX not reached", false},
        {"pause between attempts", L"\"set\":{\"silent\":[\"LoginInfo\"]}", L"", L"Func.DisconnectAll.Begin", false},
        {"second factor", L"\"set\":{\"two_factor\":{\"mode\":\"confirm\",\"delay\":120}}", L"", L"Func.ConfirmThread.Begin",
         false},
        {"retry question", L"\"set\":{\"refuse_login\":true}", L"", L"Func.UserLogin.Abort.Result 2", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool away = *c.steps != L'\0';
        if (c.question) {
            LoadLanguageLibrary();
            g_pfnMessageBoxW = MessageBoxW;
        }
        ASSERT_TRUE(Control(c.control, c.steps, !away));
        testing_support::PumpFor(300);
        CloseWebSocket(&m_control, TRUE);
        m_host.Clear();
        ASSERT_TRUE(StartLoginThread());
        HANDLE thread = nullptr;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), g_hInitThread, GetCurrentProcess(), &thread, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS));
        DWORD start = GetTickCount();
        while (!CountLogs(c.waitingLine) && GetTickCount() - start < 20000)
            testing_support::PumpFor(20);
        ASSERT_NE(0u, CountLogs(c.waitingLine));
        if (c.question) {
            DWORD id = GetThreadId(thread);
            for (start = GetTickCount(); !OpenBoxesOf(id) && GetTickCount() - start < 10000;)
                testing_support::PumpFor(20);
            ASSERT_EQ(1u, OpenBoxesOf(id)) << "the question is open";
        }
        testing_support::PumpFor(300);
        EXPECT_NE((DWORD)WAIT_OBJECT_0, WaitForSingleObject(thread, 0)) << "still logging in";
        StopLoginThreads();
        // The bound of the stop: the thread has ended when the stop returns.
        EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(thread, 0));
        CloseHandle(thread);
        EXPECT_EQ(nullptr, g_hInitThread);
        EXPECT_EQ(0u, g_dwInitThreadId);
        EXPECT_EQ(nullptr, g_hWndConfirm);
        EXPECT_EQ(nullptr, g_hConfirmThread);
        EXPECT_EQ(0u, CountLogs(L"did not stop"));
        EXPECT_FALSE(InnovaphoneVarsApp.m_bLogin);
        CloseConnections();
        if (c.question) {
            g_pfnMessageBoxW = RecordMessageBox;
            FreeLibrary(m_library);
            m_library = nullptr;
            g_ResourceAccess.m_hResource = g_ResourceAccess.m_hOwned = nullptr;
        }
        if (away)
            testing_support::PumpFor(4000);  // the PBX is back for the next case
        ASSERT_TRUE(Control(L"\"reset\":true"));
    }
}

// Neither the password nor anything of the session (its id, its deciphered parts, the
// enciphered object) nor a login digest appears in any bus message the plug-in sent.
TEST_F(LoginTest, NoSecretInAnyLogLine)
{
    ASSERT_TRUE(Control(L"\"set\":{\"two_factor\":{\"mode\":\"confirm\",\"delay\":0.5}}"));
    ASSERT_TRUE(RunLogin());
    ASSERT_TRUE(InnovaphoneVarsApp.m_bLogin);
    CloseConnections();
    ASSERT_TRUE(RunLogin());  // the stored session this time
    ASSERT_TRUE(InnovaphoneVarsApp.m_bLogin);
    ASSERT_EQ(std::vector<int>{1}, ResponseLogins(L"session"));

    std::vector<std::wstring> secrets = {L"geheim", InnovaphoneVarsUser.m_szSession};
    for (const auto& r : Requests()) {
        for (const std::wstring* s : {&r.sessionId, &r.sessionUsr, &r.sessionPwd})
            if (!s->empty())
                secrets.push_back(*s);
        CJsonParserBase msg;
        wchar_t value[256] = L"";
        if (msg.Parse(r.raw.c_str()) && msg.Parse(msg.GetObjectText(L"msg"))) {
            for (const wchar_t* member : {L"response", L"digest"}) {
                msg.GetString(value, _countof(value), member);
                if (value[0])
                    secrets.push_back(value);
            }
        }
    }
    CJsonParserBase stored;
    ASSERT_TRUE(stored.Parse(InnovaphoneVarsUser.m_szExSession));
    wchar_t part[256];
    for (const wchar_t* member : {L"usr", L"pwd"}) {
        stored.GetString(part, _countof(part), member);
        secrets.push_back(part);
    }
    ASSERT_GE(secrets.size(), 10u);
    testing_support::PumpFor(50);
    size_t lines = 0;
    for (const auto& m : m_host.messages()) {
        ++lines;
        for (const auto& secret : secrets)
            EXPECT_EQ(std::wstring::npos, m.text.find(secret)) << testing::PrintToString(secret) << " in "
                                                               << testing::PrintToString(m.text);
    }
    EXPECT_GT(lines, 50u);
    EXPECT_GT(CountLogs(L"\"response\":\"***\""), 0u) << "the requests are logged, masked";
}

// A question that the stop cannot answer (a seam that ignores it): the thread outlives its
// stop. Answered later, it must touch nothing of the next login.
HANDLE g_questionAsked, g_questionRelease;

int WINAPI BlockingMessageBox(HWND, LPCWSTR, LPCWSTR, UINT)
{
    SetEvent(g_questionAsked);
    WaitForSingleObject(g_questionRelease, 60000);
    return IDRETRY;
}

// The retry question of a refused login is open; the user applies a corrected password (stop
// and start); then answers the old question. The old thread may not send Logout on, or close,
// the new connections, nor close the new thread's handle, id or confirmation dialog.
TEST_F(LoginTest, ThreadThatOutlivedItsStopLeavesTheNextLoginAlone)
{
    LoadLanguageLibrary();
    g_questionAsked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_questionRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_pfnMessageBoxW = BlockingMessageBox;
    g_dwLoginStopWait = 300;
    g_dwDisconnectWait = 500;
    ASSERT_TRUE(Control(L"\"set\":{\"refuse_login\":true}"));
    ASSERT_TRUE(StartLoginThread());
    HANDLE old = nullptr, next = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), g_hInitThread, GetCurrentProcess(), &old, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    DWORD start = GetTickCount();
    while (WaitForSingleObject(g_questionAsked, 0) != WAIT_OBJECT_0 && GetTickCount() - start < 20000)
        testing_support::PumpFor(20);
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(g_questionAsked, 0));
    StopLoginThreads();
    EXPECT_EQ(1u, CountLogs(L"Login thread did not stop")) << "the stop gave up on the asking thread";
    MonitorStop();
    CloseWebSocket(&InnovaphoneVarsUser, TRUE);
    CloseWebSocket(&InnovaphoneVarsApp, TRUE);

    // The next login; the PBX holds it for a second factor for a while.
    ASSERT_TRUE(Control(L"\"reset\":true,\"set\":{\"two_factor\":{\"mode\":\"confirm\",\"delay\":4}}"));
    CloseWebSocket(&m_control, TRUE);
    m_logStart = testing_support::ReadFileBytes(PbxLogPath()).size();
    m_host.Clear();
    ASSERT_TRUE(StartLoginThread());
    DWORD nextId = g_dwInitThreadId;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), g_hInitThread, GetCurrentProcess(), &next, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    for (start = GetTickCount(); !g_hWndConfirm && GetTickCount() - start < 20000;)
        testing_support::PumpFor(20);
    ASSERT_NE(nullptr, g_hWndConfirm);

    // Now the old question gets its answer: Retry.
    SetEvent(g_questionRelease);
    EXPECT_TRUE(WaitForThreadEnd(old, 15000)) << "the old thread ends";
    testing_support::PumpFor(50);
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(next, 0)) << "the next thread still waits for the PBX";
    EXPECT_EQ(nextId, g_dwInitThreadId);
    ASSERT_NE(nullptr, g_hInitThread);
    EXPECT_EQ(nextId, GetThreadId(g_hInitThread)) << "the next thread's handle is still open";
    EXPECT_NE(nullptr, g_hWndConfirm) << "the next thread's dialog is still open";
    EXPECT_NE(nullptr, InnovaphoneVarsUser.m_hWebSocketHandle);
    EXPECT_NE(nullptr, InnovaphoneVarsApp.m_hWebSocketHandle);

    EXPECT_TRUE(WaitForThreadEnd(next, 30000));
    testing_support::PumpFor(100);
    EXPECT_EQ(nullptr, g_hInitThread);
    EXPECT_TRUE(InnovaphoneVarsApp.m_bLogin);
    ExpectMonitoring();
    size_t logouts = 0;
    for (const auto& r : Requests())
        logouts += r.mt == L"Logout";
    EXPECT_EQ(0u, logouts) << "a Logout from the old thread";
    EXPECT_EQ(std::vector<int>{1}, ResponseLogins(L"user"));
    EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
    if (HasFailure())
        PrintLogs();
    CloseHandle(old);
    CloseHandle(next);
    g_pfnMessageBoxW = RecordMessageBox;
    CloseHandle(g_questionAsked);
    CloseHandle(g_questionRelease);
}

// The "Next login in" pauses the log shows, in order.
std::vector<unsigned> ReconnectPauses(const std::vector<std::wstring>& lines)
{
    std::vector<unsigned> pauses;
    const wchar_t kLine[] = L"Func.InitThread.Info.Next login in ";
    for (const auto& t : lines) {
        size_t at = t.find(kLine);
        if (at != std::wstring::npos)
            pauses.push_back((unsigned)_wtoi(t.c_str() + at + wcslen(kLine)));
    }
    return pauses;
}

// A PBX (or proxy) that takes the login and drops the connection soon after, again and again:
// the logins again come with a growing pause, not every few seconds for ever. A connection
// that stood a while is logged in again at once.
TEST_F(LoginTest, ConnectionsDroppedSoonAfterTheLoginAreBackedOff)
{
    g_dwReconnectPauseStart = 3000;
    ASSERT_TRUE(Control(L"\"set\":{\"drop_after_monitor\":0.2}"));
    CloseWebSocket(&m_control, TRUE);
    ASSERT_TRUE(StartLoginThread());
    // A full login takes about 3 s here (the drop comes while monitoring starts): without a
    // pause some seven logins fall into the span, with the pauses (3, 6, 12 s) three.
    for (DWORD start = GetTickCount(); GetTickCount() - start < 25000;)
        testing_support::PumpFor(50);
    size_t logins = ResponseLogins(L"user").size() + ResponseLogins(L"session").size();
    EXPECT_GE(logins, 2u) << "logged in again after a drop";
    EXPECT_LE(logins, 4u) << "logged in again without a growing pause";
    std::vector<unsigned> pauses = ReconnectPauses(LogTexts());
    ASSERT_GE(pauses.size(), 1u);
    EXPECT_EQ(3000u, pauses[0]);
    for (size_t i = 1; i < pauses.size(); ++i)
        EXPECT_EQ(pauses[i - 1] * 2, pauses[i]) << i;
    if (HasFailure())
        PrintLogs();
    CloseConnections();
    ASSERT_TRUE(Control(L"\"reset\":true"));
    CloseWebSocket(&m_control, TRUE);

    // A connection that stood longer than the stable time: its loss is logged in again at once.
    g_dwConnectionStableTime = 1500;
    ASSERT_TRUE(StartLoginThread());
    ASSERT_TRUE(WaitMonitoring(30000));
    testing_support::PumpFor(2000);
    m_host.Clear();
    ASSERT_TRUE(Control(L"", L"{\"to\":\"app\",\"drop\":true}"));
    ASSERT_TRUE(WaitUntilClosed(&InnovaphoneVarsApp));
    ASSERT_TRUE(WaitMonitoring(30000));
    EXPECT_TRUE(ReconnectPauses(LogTexts()).empty()) << "a pause after a connection that stood";
}

// A UserInitialize that the PBX refuses is a failed attempt like any other: the login starts
// again and monitors.
TEST_F(LoginTest, RefusedMonitoringIsRetried)
{
    g_dwDisconnectWait = 500;
    ASSERT_TRUE(Control(L"\"set\":{\"refuse_initialize\":1}"));
    ASSERT_TRUE(RunLogin());
    EXPECT_TRUE(InnovaphoneVarsApp.m_bLogin);
    EXPECT_TRUE(FirstDeviceMonitored()) << "monitoring after the refusal";
    EXPECT_EQ(1u, CountLogs(L"Func.InitThread.Error.UserInitializeResult failed"));
    std::vector<int> initializations;
    for (const auto& r : Requests())
        if (r.mt == L"UserInitialize")
            initializations.push_back(r.verified);
    EXPECT_EQ((std::vector<int>{0, 1}), initializations);
    EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
    if (HasFailure())
        PrintLogs();
}

// Every login sends a nonce of its own from the system's random source; the stored session
// is deciphered with the nonce of the login that issued it (kept beside it in the Credential
// Manager), and a session stored with the fixed nonce of before is still read.
TEST_F(LoginTest, EveryLoginHasItsOwnNonceKeptWithTheSession)
{
    auto nonces = [&] {
        std::vector<std::wstring> out;
        for (const auto& r : Requests()) {
            CJsonParserBase record, msg;
            wchar_t nonce[64] = L"";
            if (r.mt == L"Login" && r.response && record.Parse(r.raw.c_str()) &&
                msg.Parse(record.GetObjectText(L"msg"))) {
                msg.GetString(nonce, _countof(nonce), L"nonce");
                out.push_back(nonce);
            }
        }
        return out;
    };
    auto clearSession = [] {
        InnovaphoneVarsUser.m_szSession[0] = InnovaphoneVarsUser.m_szExSession[0] = L'\0';
        g_szSessionNonce[0] = L'\0';
    };
    ASSERT_TRUE(RunLogin());
    CloseConnections();
    clearSession();
    ASSERT_TRUE(RunLogin());
    std::vector<std::wstring> seen = nonces();
    ASSERT_EQ(2u, seen.size());
    for (const auto& n : seen) {
        EXPECT_EQ(16u, n.size()) << testing::PrintToString(n);
        EXPECT_EQ(n.size(), wcsspn(n.c_str(), L"0123456789abcdef")) << testing::PrintToString(n);
        EXPECT_NE(std::wstring(kFixedClientNonce), n);
    }
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_EQ(seen[1], g_szSessionNonce) << "the nonce is kept with the session it issued";

    // Stored and read back as at the next start: the session login deciphers with it.
    SaveLoginCredentials();
    CloseConnections();
    clearSession();
    ReadLoginCredentials();
    EXPECT_EQ(seen[1], g_szSessionNonce);
    m_logStart = testing_support::ReadFileBytes(PbxLogPath()).size();
    ASSERT_TRUE(RunLogin());
    EXPECT_EQ(std::vector<int>{1}, ResponseLogins(L"session"));
    EXPECT_TRUE(ResponseLogins(L"user").empty());
    ASSERT_EQ(1u, nonces().size());
    EXPECT_NE(seen[1], nonces()[0]) << "the session login has a nonce of its own";
    CloseConnections();

    // A session of the fixed nonce, stored without one.
    ASSERT_TRUE(Control(L"\"set\":{\"session_nonce\":\"3b81e0c7d2946fa5\"}"));
    clearSession();
    ASSERT_TRUE(RunLogin());
    SaveLoginCredentials();
    DeleteCredential(L"PLUGINTELEPHONYORKANE", InnovaphoneVarsUser.m_szUser, L"SessionNonce");
    CloseConnections();
    clearSession();
    ReadLoginCredentials();
    EXPECT_STREQ(L"", g_szSessionNonce);
    m_logStart = testing_support::ReadFileBytes(PbxLogPath()).size();
    ASSERT_TRUE(RunLogin());
    EXPECT_EQ(std::vector<int>{1}, ResponseLogins(L"session")) << "the old session still logs in";
    EXPECT_TRUE(ResponseLogins(L"user").empty());
    EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
}

// The questions' texts come from the language library the process holds now, also when the
// instance's own handle is stale (as after a language switch of the host).
TEST_F(LoginTest, LanguageTextsComeFromTheLibraryInUseNow)
{
    std::wstring path = testing_support::DistFolder() + L"\\Resource\\En\\RESOURCE.DLL";
    HMODULE library = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, library) << testing::PrintToString(path);
    g_ResourceAccess.m_hResource = nullptr;
    wchar_t text[512] = L"", expected[512] = L"";
    LoadStringW(library, 20558, expected, _countof(expected));
    ASSERT_STRNE(L"", expected);
    EXPECT_TRUE(LoadLanguageText(20558, nullptr, text, _countof(text)));
    EXPECT_STREQ(expected, text);
    FreeLibrary(library);
    EXPECT_FALSE(LoadLanguageText(20558, L"fallback", text, _countof(text)));
    EXPECT_STREQ(L"fallback", text);
}

// Two URLs an apply switches between, and what a reader under the dispatch lock saw.
const std::wstring kLongUrl = L"ws://" + std::wstring(200, L'a');
const std::wstring kShortUrl = L"ws://" + std::wstring(20, L'b');
volatile LONG g_stopReader, g_tornReads, g_reads;

DWORD WINAPI ReadUrlUnderLock(LPVOID)
{
    while (!g_stopReader) {
        wchar_t copy[512];
        EnterCriticalSection(&g_csDispatch);
        CopyText(copy, _countof(copy), g_szBaseURL);
        LeaveCriticalSection(&g_csDispatch);
        if (kLongUrl != copy && kShortUrl != copy)
            InterlockedIncrement(&g_tornReads);
        InterlockedIncrement(&g_reads);
    }
    return 0;
}

// The apply puts URL, user and password in under the dispatch lock, under which the login and
// receive threads read them: a reader never sees the start of one URL and the rest of another.
TEST_F(LoginTest, ApplyWritesTheLoginTextsUnderTheDispatchLock)
{
    // A page with the controls the apply reads.
    HWND page = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, page);
    for (int id : {IDC_EDIT_URL, IDC_EDIT_USER, IDC_EDIT_PASSWORD})
        CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 100, 20, page,
                        reinterpret_cast<HMENU>((INT_PTR)id), nullptr, nullptr);
    CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, page,
                    reinterpret_cast<HMENU>((INT_PTR)IDC_COMBO_DEVICE), nullptr, nullptr);
    SetDlgItemTextW(page, IDC_EDIT_USER, L"Anna Test");
    SetDlgItemTextW(page, IDC_EDIT_PASSWORD, L"geheim");
    EnterCriticalSection(&g_csDispatch);
    CopyText(g_szBaseURL, 260, kLongUrl.c_str());
    LeaveCriticalSection(&g_csDispatch);
    g_hWndPage = page;
    g_stopReader = g_tornReads = g_reads = 0;
    HANDLE reader = CreateThread(nullptr, 0, ReadUrlUnderLock, nullptr, 0, nullptr);
    ASSERT_NE(nullptr, reader);
    for (int i = 0; i < 400; ++i) {
        SetDlgItemTextW(page, IDC_EDIT_URL, (i % 2 ? kLongUrl : kShortUrl).c_str());
        DoApplySettings(QOR_BUSMSG_APPLYALL);  // saves, never restarts
    }
    InterlockedExchange(&g_stopReader, 1);
    WaitForSingleObject(reader, 10000);
    CloseHandle(reader);
    g_hWndPage = nullptr;
    DestroyWindow(page);
    EXPECT_GT(g_reads, 0);
    EXPECT_EQ(0, g_tornReads) << "reads of a half-written URL in " << g_reads;
}


// Names with a quote, a backslash or letters beyond ASCII (user, display, SIP and device
// names) reach the PBX as they are: the user login, the application login (whose digest
// covers the display and SIP names) and the monitoring's start and end pass its checks.
TEST_F(LoginTest, NamesWithQuotesBackslashesAndNonAsciiLetters)
{
    const struct {
        const char* name;
        const wchar_t* user;
        const wchar_t* set;  // the PBX's names, JSON members
        const wchar_t* hw;
    } cases[] = {
        {"quote and backslash", L"Anna \"Q\" \\ Test",
         L"\"user\":\"Anna \\\"Q\\\" \\\\ Test\",\"dn\":\"Anna \\\"Q\\\" \\\\\",\"cn\":\"an\\\"na\\\\x\","
         L"\"sip\":\"si\\\"p\\\\\",\"devices\":[{\"hw\":\"phone \\\"1\\\" \\\\\",\"text\":\"Desk\"}]",
         L"phone \"1\" \\"},
        {"beyond ASCII", L"J\u00fcrgen M\u00fcller",
         L"\"user\":\"J\\u00fcrgen M\\u00fcller\",\"dn\":\"J\\u00fcrgen \\u03a9\",\"cn\":\"j\\u00fcrgen\","
         L"\"sip\":\"j\\u00fc.\\u5f20\",\"devices\":[{\"hw\":\"Telefon-\\u00fc\"}]",
         L"Telefon-\u00fc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CInnovaphoneVars* user = &InnovaphoneVarsUser;
        wcscpy(user->m_szUser, c.user);
        user->m_szSession[0] = user->m_szExSession[0] = L'\0';
        wchar_t control[1024];
        FormatW(control, _countof(control), L"\"reset\":true,\"set\":{%s}", c.set);
        ASSERT_TRUE(Control(control));
        m_logStart = testing_support::ReadFileBytes(PbxLogPath()).size();
        ASSERT_TRUE(RunLogin());
        EXPECT_TRUE(InnovaphoneVarsApp.m_bLogin);
        EXPECT_EQ(std::vector<int>{1}, ResponseLogins(L"user"));
        EXPECT_EQ(std::vector<int>{1}, Checks(L"AppLogin"));
        EXPECT_EQ(std::vector<int>{1}, Checks(L"UserInitialize"));
        ASSERT_EQ(1u, g_RccDevices.size());
        EXPECT_STREQ(c.hw, g_RccDevices[0].m_szDeviceName);
        EXPECT_NE(0u, g_RccDevices[0].m_dwUserHandle);
        CloseConnections();
        EXPECT_EQ(std::vector<int>{1}, Checks(L"UserEnd"));
        EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
    }
}

// The PBX's info object goes back as it came, whatever its size, and is left out when the
// PBX gave none (an empty object would change the application digest). One too long to keep
// whole is not sent cut: the application login is not sent, and the log says why.
TEST_F(LoginTest, InfoObjectGoesBackWholeOrNotAtAll)
{
    const struct {
        const char* name;
        const wchar_t* set;
        bool sent;
        bool info;  // the AppLogin carries "info"
    } cases[] = {
        {"about 1,500 characters", L"\"info_size\":1500", true, true},
        {"none", L"\"info\":null", true, false},
        {"longer than its buffer", L"\"info_size\":2500", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InnovaphoneVarsUser.m_szSession[0] = InnovaphoneVarsUser.m_szExSession[0] = L'\0';
        wchar_t control[256];
        FormatW(control, _countof(control), L"\"reset\":true,\"set\":{%s}", c.set);
        ASSERT_TRUE(Control(control));
        m_logStart = testing_support::ReadFileBytes(PbxLogPath()).size();
        m_host.Clear();
        if (c.sent) {
            // Without an info object the PBX names no cn for the monitoring, which it then
            // refuses (and the login tries again): the case ends at the application login.
            ASSERT_TRUE(StartLoginThread());
            for (DWORD start = GetTickCount(); !InnovaphoneVarsApp.m_bLogin && GetTickCount() - start < 30000;)
                testing_support::PumpFor(50);
            EXPECT_TRUE(InnovaphoneVarsApp.m_bLogin);
            EXPECT_EQ(std::vector<int>{1}, Checks(L"AppLogin"));
            std::wstring raw = LastRaw(L"AppLogin");
            EXPECT_EQ(c.info, raw.find(L"\"info\"") != std::wstring::npos) << testing::PrintToString(raw);
            if (c.info) {
                EXPECT_NE(std::wstring::npos, raw.find(std::wstring(1400, L'f'))) << "the whole object";
            }
        } else {
            ASSERT_TRUE(StartLoginThread());
            DWORD start = GetTickCount();
            while (!CountLogs(L"Func.AppLogin.Error.Request not sent") && GetTickCount() - start < 30000)
                testing_support::PumpFor(50);
            EXPECT_EQ(1u, CountLogs(L"Func.AppLogin.Error.Request not sent: the PBX's \"info\" object does not fit"));
            EXPECT_FALSE(InnovaphoneVarsApp.m_bLogin);
            EXPECT_TRUE(Checks(L"AppLogin").empty()) << "nothing cut goes out";
        }
        EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
        CloseConnections();
    }
}

// A device list that the PBX sends while monitoring runs leaves the monitoring as it is: the
// device's calls still arrive, and the stop still ends its monitoring.
TEST_F(LoginTest, DeviceListDuringMonitoringKeepsTheMonitoring)
{
    ASSERT_TRUE(RunLogin());
    ExpectMonitoring();
    m_host.Clear();
    ASSERT_TRUE(Control(L"", L"{\"to\":\"app\",\"send\":{\"mt\":\"DevicesResult\",\"api\":\"RCC\",\"devices\":"
                             L"[{\"hw\":\"phone-1\",\"text\":\"Desk phone\"}]}},{\"to\":\"app\",\"ring\":\"+4930123456\"}"));
    DWORD start = GetTickCount();
    while (m_host.OfType(QOR_BUSMSG_CALLSTATE).empty() && GetTickCount() - start < 5000)
        testing_support::PumpFor(20);
    EXPECT_EQ(1u, m_host.OfType(QOR_BUSMSG_CALLSTATE).size()) << "the ringing call of the monitored device";
    EXPECT_EQ(0u, CountLogs(L"CallInfo for unknown device"));
    CloseConnections();
    EXPECT_EQ(std::vector<int>{1}, Checks(L"UserEnd"));
    EXPECT_TRUE(Violations().empty()) << testing::PrintToString(Violations());
}

}  // namespace
