#include "plugins/telephony_orkane/Login.h"

#include <algorithm>
#include <cwchar>

#include "bus/BusBuilders.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/Seams.h"
#include "foundation/TextEncoding.h"
#include "foundation/TimeFormat.h"
#include "plugin_support/JsonParserBase.h"
#include "plugins/telephony_orkane/CallControl.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/ConfirmDialog.h"
#include "plugins/telephony_orkane/InnovaphoneVars.h"
#include "plugins/telephony_orkane/PbxRequest.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "plugins/telephony_orkane/SettingsPage.h"
#include "plugins/telephony_orkane/StoredSession.h"

HANDLE volatile g_hInitThread;
volatile DWORD g_dwInitThreadId;
volatile LONG g_dwLoginLoopCount;
DWORD g_dwLoginRetryWait = 60000;
DWORD g_dwLoginStopWait = 5000;
DWORD g_dwDisconnectWait = 10000;
DWORD g_dwLoginResultWait = 10000;
DWORD g_dwReconnectPauseStart = 1000;
DWORD g_dwConnectionStableTime = 120000;

namespace {

constexpr wchar_t kUserAgent[] = L"Orvix Telvane";
constexpr wchar_t kAppName[] = L"orvix-telvane";
// A user login that the PBX holds for a second factor waits this long at most (999,999 s).
constexpr ULONGLONG kConfirmWait = 999999ull * 1000;

CInnovaphoneVars* const User = &InnovaphoneVarsUser;
CInnovaphoneVars* const App = &InnovaphoneVarsApp;

// Starting, ending and restarting the login thread are taken one at a time: a receive thread
// that sees its connection lost and the login thread that ends may both want to start one.
SRWLOCK g_loginStartLock = SRWLOCK_INIT;
// 1 between the start of the connections and their stop: a connection the PBX ends meanwhile
// is logged in again.
volatile LONG g_lWantConnected;
// 1 when the PBX ended a connection since the current login attempt began.
volatile LONG g_lConnectionLost;

// Every stop starts a new generation: a login thread that a stop gave up on still sees that
// it was stopped after the next start has reset the stop event, and from then on touches
// nothing that the next login thread owns.
volatile LONG g_lLoginGeneration;
thread_local LONG t_generation = -1;
// The thread's own handle and id (as its starter stored them) and its own stop event, which
// only its stop sets and nothing resets.
thread_local HANDLE t_ownHandle;
thread_local DWORD t_ownId;
thread_local HANDLE t_stop;
// The starter's copy of the current login thread's stop event (under g_loginStartLock).
HANDLE g_hLoginStop;

// What a login thread is started with; it takes (and frees) it.
struct LoginThreadStart {
    LONG generation;
    HANDLE handle;
    DWORD id;
    HANDLE stop;
    DWORD pause;  // before the first attempt (a login again after a lost connection)
};

// Connections that the PBX (or a proxy) drops soon after the login get a growing pause before
// the next login; a connection that stood a while resets it. Under g_loginStartLock.
LONG g_lShortLivedDrops;
volatile LONG g_lMonitored;
volatile LONG g_lMonitoredTick;

bool Stopping()
{
    return WaitForSingleObject(g_hStopWaits, 0) == WAIT_OBJECT_0 ||
           (t_stop && WaitForSingleObject(t_stop, 0) == WAIT_OBJECT_0) ||
           (t_generation != -1 && t_generation != g_lLoginGeneration);
}

// A pause that a stop ends early; false when it did.
bool Pause(DWORD milliseconds)
{
    HANDLE events[2] = {g_hStopWaits, t_stop};
    DWORD r = WaitForMultipleObjects(t_stop ? 2 : 1, events, FALSE, milliseconds);
    return r == WAIT_TIMEOUT && !Stopping();
}

// Counts one failed step; true when the bound is reached. A stopped thread's failures are no
// longer the login's.
bool CountFailure()
{
    if (Stopping())
        return true;
    return InterlockedIncrement(&g_dwLoginLoopCount) >= kLoginLoopBound;
}

// The dispatcher writes the login values on the receive threads under the dispatch lock:
// they are read under it too, so that a half-written text is never used.
void ReadField(wchar_t* dst, size_t capacity, const wchar_t* field)
{
    EnterCriticalSection(&g_csDispatch);
    CopyText(dst, capacity, field);
    LeaveCriticalSection(&g_csDispatch);
}

void ClearField(wchar_t* field)
{
    EnterCriticalSection(&g_csDispatch);
    field[0] = L'\0';
    LeaveCriticalSection(&g_csDispatch);
}

bool HasText(const wchar_t* field)
{
    EnterCriticalSection(&g_csDispatch);
    bool set = field[0] != L'\0';
    LeaveCriticalSection(&g_csDispatch);
    return set;
}

bool ConnectionLost()
{
    return g_lConnectionLost != 0;
}

// Waits (bounded by elapsed time) until the user connection has a GUID, a further
// "LoginResult" (a refusal) arrived, the connection went, or the plug-in stops. Closing the
// confirmation dialog ends nothing: the PBX still completes or refuses the login.
void WaitForLoginResult(LONG resultsBefore, ULONGLONG milliseconds)
{
    ULONGLONG start = GetTickCount64();
    while (!HasText(User->m_szGUID) && User->m_lLoginResults == resultsBefore && User->m_hWebSocketHandle &&
           !ConnectionLost()) {
        ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= milliseconds || !Pause((DWORD)(std::min)(100ull, milliseconds - elapsed)))
            break;
    }
    Sleep(10);
}

// The retry question after a refused login; IDCANCEL (also without the language strings)
// ends the login loop.
int AskRetry()
{
    wchar_t caption[512], text[1024];
    BOOL haveCaption = LoadLanguageText(20559, nullptr, caption, _countof(caption));
    BOOL haveText = LoadLanguageText(20558, nullptr, text, _countof(text));
    if (!haveCaption || !haveText || !caption[0] || !text[0])
        return IDCANCEL;
    return g_pfnMessageBoxW(nullptr, text, caption, MB_TOPMOST | MB_ICONEXCLAMATION | MB_RETRYCANCEL);
}

// Ends the thread's part in its own handle, unless a stop took it (the stop closes it then);
// the handle there may already be the next thread's. The caller holds g_loginStartLock, under
// which a stop takes the handle and a start stores the next one.
void ReleaseOwnHandle()
{
    if (Stopping() || !t_ownHandle)
        return;
    if (InterlockedCompareExchangePointer(const_cast<PVOID*>(reinterpret_cast<PVOID volatile*>(&g_hInitThread)),
                                          nullptr, t_ownHandle) == t_ownHandle)
        CloseHandle(t_ownHandle);
}

// The retry question is a message box of the login thread: a stop answers it with Cancel.
BOOL CALLBACK CancelQuestion(HWND window, LPARAM)
{
    wchar_t name[16] = L"";
    if (GetClassNameW(window, name, _countof(name)) && !wcscmp(name, L"#32770"))
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

// Waits for the thread, handling messages that other threads send to this one meanwhile (a
// login thread's bus message to the host window must not block the stop that waits for it).
bool WaitForThreadEnd(HANDLE thread, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, milliseconds - elapsed, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0)
            return true;
        if (r == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (r == WAIT_FAILED) {
            return false;
        }
    }
}

HMODULE PinOwnModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&PinOwnModule), &module);
    return module;
}

namespace {

void StartMonitoring()
{
    DoGetDevices();
    for (int i = 0; i < 100; ++i) {
        // A lost connection brings no device list: the login starts again instead.
        if (g_dwDeviceCount == DeviceListSize() || ConnectionLost() || !Pause(100))
            break;
    }
    if (ConnectionLost())
        return;
    MonitorStart();
    Pause(2000);
}

}  // namespace

int SessionLogin()
{
    LogLine(2, L"Func.SessionLogin.Begin");
    int result = 1;
    wchar_t exSession[256], usr[128] = L"", pwd[128] = L"";
    wchar_t password[128];
    if (!HasText(User->m_szSession)) {
        LogLine(1, L"Func.SessionLogin.Abort.Result %d", result);
        return result;
    }
    if (!SendRequest(User, L"{\"mt\":\"CheckBuild\"}", 250)) {
        LogLine(1, L"Func.SessionLogin.Abort.Result %d", result);
        return result;
    }
    ClearField(User->m_szChallenge);
    CPbxRequest start(L"Login");
    start.String(L"type", L"session").String(L"userAgent", kUserAgent);
    if (!SendPbxRequest(User, start, 500, L"SessionLogin") || !HasText(User->m_szChallenge)) {
        LogLine(1, L"Func.SessionLogin.Abort.Result %d", result);
        return result;
    }
    ReadField(exSession, _countof(exSession), User->m_szExSession);
    CJsonParserBase session;
    if (session.Parse(exSession)) {
        session.GetString(usr, _countof(usr), L"usr");
        session.GetString(pwd, _countof(pwd), L"pwd");
    }
    if (!usr[0] || !pwd[0]) {
        // Unusable: dropped, so that the next attempt does not try it again.
        ClearField(User->m_szExSession);
        result = 2;
        LogLine(1, L"Func.SessionLogin.Abort.Result %d", result);
        return result;
    }
    // The session object is deciphered with the nonce of the login that issued it; this login
    // has a fresh one of its own.
    wchar_t issuedNonce[32], nonce[32];
    ReadSessionNonce(issuedNonce, _countof(issuedNonce));
    if (!MakeLoginNonce(nonce, _countof(nonce))) {
        LogLine(1, L"Func.SessionLogin.Abort.Result %d", result);
        return result;
    }
    ReadField(password, _countof(password), User->m_szPassword);
    DecodeStoredCredentialInto(usr, _countof(usr), usr, kSessionUserKeyPattern, issuedNonce, password);
    DecodeStoredCredentialInto(pwd, _countof(pwd), pwd, kSessionPasswordKeyPattern, issuedNonce, password);
    SecureZeroMemory(exSession, sizeof exSession);
    wchar_t method[32], response[256];
    EnterCriticalSection(&g_csDispatch);
    CopyText(method, _countof(method), User->m_szMethod);
    CopyText(response, _countof(response), User->GetSessionDigest(nonce, pwd));
    LeaveCriticalSection(&g_csDispatch);
    // Escaped by the JSON writer: a name with a quote or a backslash stays one string.
    CPbxRequest login(L"Login");
    login.String(L"type", L"session")
        .String(L"method", method)
        .String(L"username", usr)
        .String(L"nonce", nonce)
        .String(L"response", response)
        .String(L"userAgent", kUserAgent);
    SecureZeroMemory(usr, sizeof usr);
    SecureZeroMemory(pwd, sizeof pwd);
    SecureZeroMemory(password, sizeof password);
    LONG results = User->m_lLoginResults;
    BOOL answered = SendPbxRequest(User, login, 2000, L"SessionLogin");
    login.Wipe();
    if (!answered) {
        LogLine(1, L"Func.SessionLogin.Abort.Result %d", result);
        return result;
    }
    WaitForLoginResult(results, g_dwLoginResultWait);
    result = HasText(User->m_szGUID) ? 0 : 2;
    if (result)
        LogLine(1, L"Func.SessionLogin.Abort.Result %d", result);
    else
        LogLine(2, L"Func.SessionLogin.End.Result %d", result);
    return result;
}

int UserLogin()
{
    LogLine(2, L"Func.UserLogin.Begin");
    int result = 1;
    CPbxRequest start(L"Login");
    start.String(L"type", L"user").String(L"userAgent", kUserAgent);
    if (!SendRequest(User, L"{\"mt\":\"CheckBuild\"}", 250) || !SendRequest(User, L"{\"mt\":\"LoginInfo\"}", 250)) {
        LogLine(1, L"Func.UserLogin.Abort.Result %d", result);
        return result;
    }
    ClearField(User->m_szChallenge);
    if (!SendPbxRequest(User, start, 500, L"UserLogin") || !HasText(User->m_szChallenge)) {
        LogLine(1, L"Func.UserLogin.Abort.Result %d", result);
        return result;
    }
    // A nonce of its own for every login: the PBX enciphers the session it hands out with it.
    wchar_t nonce[32];
    if (!MakeLoginNonce(nonce, _countof(nonce))) {
        LogLine(1, L"Func.UserLogin.Abort.Result %d", result);
        return result;
    }
    wchar_t user[128], method[32], response[256];
    EnterCriticalSection(&g_csDispatch);
    CopyText(user, _countof(user), User->m_szUser);
    CopyText(method, _countof(method), User->m_szMethod);
    CopyText(response, _countof(response), User->GetUserDigest(nonce));
    LeaveCriticalSection(&g_csDispatch);
    // Lower-cased, as the digest takes it; the JSON writer's escapes carry a non-ASCII letter
    // (the PBX reads the same characters as from their UTF-8 bytes), a quote or a backslash.
    CharLowerBuffW(user, (DWORD)wcslen(user));
    CPbxRequest login(L"Login");
    login.String(L"type", L"user")
        .String(L"method", method)
        .String(L"username", user)
        .String(L"nonce", nonce)
        .String(L"response", response)
        .String(L"userAgent", kUserAgent);
    InterlockedExchange(&g_bConfirmRequested, 0);
    LONG results = User->m_lLoginResults;
    BOOL answered = SendPbxRequest(User, login, 5000, L"UserLogin");
    // "Authorize" arrives before any other answer of a held login, so the flag is set by now;
    // the dialog window itself may still be in the making.
    bool confirming = g_bConfirmRequested != 0;
    WaitForLoginResult(results, confirming ? kConfirmWait : g_dwLoginResultWait);
    if (answered && HasText(User->m_szGUID))
        result = 0;
    else if (User->m_lLoginResults == results && !User->m_hWebSocketHandle)
        result = 1;  // the connection went before any login result: not refused, the attempt failed
    else
        result = 2;
    // Confirmed or refused: the question is over either way. A stopped thread leaves the
    // dialog to the stop (it may be the next login's).
    if ((confirming || g_hWndConfirm) && !Stopping()) {
        CloseConfirmDialog();
        if (result == 0)
            Pause(1000);
    }
    if (result)
        LogLine(1, L"Func.UserLogin.Abort.Result %d", result);
    else
        LogLine(2, L"Func.UserLogin.End.Result %d", result);
    return result;
}

int AppLogin()
{
    LogLine(2, L"Func.AppLogin.Begin");
    int result = 1;
    if (!SendRequest(App, L"{\"mt\":\"CheckBuild\"}", 250)) {
        LogLine(1, L"Func.AppLogin.Abort.Result %d", result);
        return result;
    }
    ClearField(App->m_szChallenge);
    BOOL answered = SendRequest(App, L"{\"mt\":\"AppChallenge\"}", 500);
    WaitForText(App->m_szChallenge, 10);
    wchar_t challenge[256];
    ReadField(challenge, _countof(challenge), App->m_szChallenge);
    if (!answered || !challenge[0]) {
        LogLine(1, L"Func.AppLogin.Abort.Result %d", result);
        return result;
    }
    // A digest of an earlier attempt must not pass for this one's.
    ClearField(User->m_szDigest);
    CPbxRequest getLogin(L"AppGetLogin");
    getLogin.String(L"src", CreateGuidString()).String(L"app", kAppName).String(L"challenge", challenge);
    answered = SendPbxRequest(User, getLogin, 500, L"AppLogin");
    WaitForText(User->m_szDigest, 10);
    if (!answered || !HasText(User->m_szDigest)) {
        LogLine(1, L"Func.AppLogin.Abort.Result %d", result);
        return result;
    }
    // The PBX's digest covers app, domain, sip, guid, dn and info as it handed them out: each
    // goes back with the same characters (strings escaped by the JSON writer, the info object
    // as the PBX's own text). Without an info object there is no "info" member at all; an
    // empty object would be a different digest.
    CPbxRequest login(L"AppLogin");
    EnterCriticalSection(&g_csDispatch);
    login.String(L"app", User->m_szApp)
        .String(L"domain", User->m_szDomain)
        .String(L"sip", User->m_szSip)
        .String(L"guid", User->m_szGUID)
        .String(L"dn", User->m_szDN);
    if (User->m_szInfo[0])
        login.Object(L"info", User->m_szInfo);
    else if (User->m_bInfoCut)
        login.Fail(L"the PBX's \"info\" object does not fit its buffer");
    login.String(L"pbxObj", User->m_szPbxObj).String(L"digest", User->m_szDigest);
    LeaveCriticalSection(&g_csDispatch);
    if (!SendPbxRequest(App, login, 500, L"AppLogin")) {
        LogLine(1, L"Func.AppLogin.Abort.Result %d", result);
        return result;
    }
    for (int i = 0; i < 10 && !App->m_bLogin; ++i)
        if (!Pause(1000))
            break;
    result = App->m_bLogin ? 0 : 2;
    if (result)
        LogLine(1, L"Func.AppLogin.Abort.Result %d", result);
    else
        LogLine(2, L"Func.AppLogin.End.Result %d", result);
    return result;
}

void UserLogout()
{
    SendRequest(User, L"{\"mt\":\"Logout\"}", 250);
}

void DisconnectAll()
{
    LogLine(2, L"Func.DisconnectAll.Begin");
    // Once a stop has begun the connections are the stop's (or already the next login's):
    // nothing more is sent or closed from here.
    bool going = Pause(1000);
    if (going) {
        MonitorStop();
        going = Pause(1000);
    }
    if (going) {
        UserLogout();
        going = Pause(1000);
    }
    if (going) {
        CloseWebSocket(User, TRUE);
        CloseWebSocket(App, TRUE);
        Pause(g_dwDisconnectWait);
    }
    LogLine(2, L"Func.DisconnectAll.End");
}

namespace {

// What a lost connection leaves behind before the login starts again: monitoring ends where
// the application connection still stands (elsewhere its handles died with the connection),
// both connections close, and the calls of the old connection are forgotten, since a new
// connection numbers its calls afresh.
void ForgetLostConnections()
{
    LogLine(1, L"Func.InitThread.Warning.Connection lost, logging in again");
    MonitorStop();
    EnterCriticalSection(&g_csDispatch);
    g_CallList.clear();
    g_CallConference.clear();
    g_ConferenceCount.clear();
    LeaveCriticalSection(&g_csDispatch);
    CloseWebSocket(User, TRUE);
    CloseWebSocket(App, TRUE);
}

// The pause before a login after a lost connection: none when the connection had stood a
// while (the failure count starts afresh then), else growing from g_dwReconnectPauseStart by
// doubling up to the one-minute retry. The caller holds g_loginStartLock.
DWORD ReconnectPauseLocked()
{
    bool stood = g_lMonitored && GetTickCount() - (DWORD)g_lMonitoredTick >= g_dwConnectionStableTime;
    g_lMonitored = 0;
    if (stood) {
        g_lShortLivedDrops = 0;
        g_dwLoginLoopCount = 0;
        return 0;
    }
    DWORD pause = g_dwReconnectPauseStart;
    for (LONG i = 0; i < g_lShortLivedDrops && pause < g_dwLoginRetryWait; ++i)
        pause *= 2;
    ++g_lShortLivedDrops;
    return (std::min)(pause, g_dwLoginRetryWait);
}

// The caller holds g_loginStartLock. afterLoss: the PBX ended a connection (a login again).
BOOL StartLoginThreadLocked(bool afterLoss)
{
    if (g_hInitThread)
        return FALSE;
    ResetEvent(g_hStopWaits);
    DWORD pause = 0;
    if (afterLoss) {
        pause = ReconnectPauseLocked();
    } else {
        g_dwLoginLoopCount = 0;
        g_lShortLivedDrops = 0;
        g_lMonitored = 0;
    }
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE threadStop = nullptr;
    if (!stop || !DuplicateHandle(GetCurrentProcess(), stop, GetCurrentProcess(), &threadStop, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS)) {
        LogLine(0, L"Func.StartLoginThread.Error.CreateEvent %u", GetLastError());
        if (stop)
            CloseHandle(stop);
        return FALSE;
    }
    LoginThreadStart* start = new LoginThreadStart{g_lLoginGeneration, nullptr, 0, threadStop, pause};
    DWORD id = 0;
    // Suspended until handle and id are stored: the thread ends by clearing them.
    HANDLE thread = CreateThread(nullptr, 2048, InitThread, start, CREATE_SUSPENDED, &id);
    if (!thread) {
        LogLine(0, L"Func.StartLoginThread.Error.CreateThread %u", GetLastError());
        CloseHandle(threadStop);
        CloseHandle(stop);
        delete start;
        return FALSE;
    }
    start->handle = thread;
    start->id = id;
    if (g_hLoginStop)
        CloseHandle(g_hLoginStop);
    g_hLoginStop = stop;
    g_dwInitThreadId = id;
    g_hInitThread = thread;
    ResumeThread(thread);
    return TRUE;
}

}  // namespace

// The argument is the LoginThreadStart the starter made (null: a thread of the current
// generation without handle or pause).
DWORD WINAPI InitThread(LPVOID param)
{
    // The library stays loaded while this thread runs, even when a stop gives up waiting.
    HMODULE self = PinOwnModule();
    DWORD pause = 0;
    if (LoginThreadStart* start = static_cast<LoginThreadStart*>(param)) {
        t_generation = start->generation;
        t_ownHandle = start->handle;
        t_ownId = start->id;
        t_stop = start->stop;
        pause = start->pause;
        delete start;
    } else {
        t_generation = g_lLoginGeneration;
        t_ownId = GetCurrentThreadId();
    }
    LogLine(1, L"Func.InitThread.Begin");
    DoEnableControls();
    if (!Stopping() && InterlockedExchange(&g_lConnectionLost, 0))
        ForgetLostConnections();
    if (pause && !Stopping()) {
        LogLine(1, L"Func.InitThread.Info.Next login in %u ms", pause);
        Pause(pause);
    }
    bool cancelled = false, monitored = false, reported = false;
    while (!Stopping()) {
        // Each attempt starts from fresh connections: only a loss after this counts.
        InterlockedExchange(&g_lConnectionLost, 0);
        SendBusState(g_hWndParent, 0);
        BuildWebsocketURL(User, L"APPCLIENT/websocket");
        if (Stopping())
            break;
        BuildWebsocketURL(App, L"APPS/websocket");
        if (Stopping())
            break;
        if (!User->m_hWebSocketHandle || !App->m_hWebSocketHandle) {
            LogLine(1, L"Func.InitThread.Warning.PBX not reached, next attempt in %u ms", g_dwLoginRetryWait);
            // A half-open pair is closed, so the next attempt starts from nothing.
            CloseWebSocket(User, TRUE);
            CloseWebSocket(App, TRUE);
            if (CountFailure() || !Pause(g_dwLoginRetryWait))
                break;
            continue;
        }
        bool asked = false;
        int r = SessionLogin();
        if (r == 1)
            CountFailure();
        if (r != 0 && !Stopping()) {
            r = UserLogin();
            if (r == 1) {
                CountFailure();
            } else if (r == 2 && !Stopping()) {
                asked = true;
                cancelled = AskRetry() == IDCANCEL;
            }
        }
        // From here on a stopped thread (a question answered after the stop, say) does nothing.
        if (Stopping())
            break;
        CloseConfirmDialog();
        if (r == 0 && !Stopping())
            r = AppLogin();
        // A failure counts here once more (a user login's failure thus twice per attempt).
        if (r == 1)
            CountFailure();
        // One question per attempt: a refused user login was asked about already.
        if (r == 2 && !asked && !Stopping())
            cancelled = AskRetry() == IDCANCEL;
        if (Stopping())
            break;
        if (App->m_bLogin) {
            StartMonitoring();
            if (Stopping())
                break;
            monitored = FirstDeviceMonitored() != FALSE;
            if (monitored)
                break;
            LogLine(0, L"Func.InitThread.Error.UserInitializeResult failed");
            reported = true;
            // A connection lost meanwhile is left to the login that starts again at the end.
            if (ConnectionLost())
                break;
            // Refused monitoring is a failed attempt like any other.
            CountFailure();
        }
        DisconnectAll();
        if (cancelled || g_dwLoginLoopCount >= kLoginLoopBound)
            break;
    }
    if (!Stopping() && !monitored && !reported)
        LogLine(0, L"Func.InitThread.Error.UserInitializeResult failed");
    // Only its own id is cleared: a stop may have given up on this thread, and the id there
    // may be the next one's.
    InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&g_dwInitThreadId), 0, (LONG)t_ownId);
    if (!Stopping()) {
        FillDeviceCombo();
        DoEnableControls();
    }
    LogLine(1, L"Func.InitThread.End");
    AcquireSRWLockExclusive(&g_loginStartLock);
    if (monitored && !Stopping()) {
        g_lMonitoredTick = (LONG)GetTickCount();
        g_lMonitored = 1;
    }
    ReleaseOwnHandle();
    // A connection lost after the last attempt began (while monitoring started, say) was left
    // to this thread: the login starts again.
    if (g_lWantConnected && ConnectionLost() && !cancelled && !Stopping() && g_dwLoginLoopCount < kLoginLoopBound)
        StartLoginThreadLocked(true);
    ReleaseSRWLockExclusive(&g_loginStartLock);
    if (t_stop)
        CloseHandle(t_stop);
    t_stop = nullptr;
    if (self)
        FreeLibraryAndExitThread(self, 0);
    return 0;
}

bool LoginThreadRunning()
{
    AcquireSRWLockShared(&g_loginStartLock);
    bool running = g_hInitThread != nullptr;
    ReleaseSRWLockShared(&g_loginStartLock);
    return running;
}

BOOL StartLoginThread()
{
    AcquireSRWLockExclusive(&g_loginStartLock);
    g_lWantConnected = 1;
    InterlockedExchange(&g_lConnectionLost, 0);
    BOOL started = StartLoginThreadLocked(false);
    ReleaseSRWLockExclusive(&g_loginStartLock);
    return started;
}

void OnConnectionLost(CInnovaphoneVars* conn)
{
    if (conn != User && conn != App)
        return;
    AcquireSRWLockExclusive(&g_loginStartLock);
    if (g_lWantConnected) {
        InterlockedExchange(&g_lConnectionLost, 1);
        // A running login thread sees the loss itself: its attempt fails, or it starts the
        // login again when it ends.
        if (!g_hInitThread) {
            LogLine(1, L"Func.OnConnectionLost.Warning.%s connection ended by the PBX", conn->m_szSection);
            StartLoginThreadLocked(true);
        }
    }
    ReleaseSRWLockExclusive(&g_loginStartLock);
}

void StopLoginThreads()
{
    // The new generation and the taking of the handle go together under the start lock: the
    // thread's own end, under the same lock, sees either both or neither.
    AcquireSRWLockExclusive(&g_loginStartLock);
    g_lWantConnected = 0;
    InterlockedIncrement(&g_lLoginGeneration);
    SetEvent(g_hStopWaits);
    if (g_hLoginStop) {
        SetEvent(g_hLoginStop);
        CloseHandle(g_hLoginStop);
        g_hLoginStop = nullptr;
    }
    HANDLE thread = InterlockedExchangePointer(const_cast<HANDLE*>(&g_hInitThread), nullptr);
    ReleaseSRWLockExclusive(&g_loginStartLock);
    StopConfirmThread(g_dwLoginStopWait);
    if (thread) {
        // The plug-in's own open question is answered with Cancel, also one that shows up while
        // the stop waits. Not terminated when it overruns: it may be inside WinHTTP or hold a
        // lock. It holds its own reference to the library and ends by itself once its call
        // returns, touching nothing of a later login.
        DWORD id = GetThreadId(thread);
        DWORD start = GetTickCount();
        bool ended = false;
        for (;;) {
            EnumThreadWindows(id, CancelQuestion, 0);
            ended = WaitForThreadEnd(thread, 50);
            if (ended || GetTickCount() - start >= g_dwLoginStopWait)
                break;
        }
        if (!ended)
            LogLine(0, L"Func.StopLoginThreads.Error.Login thread did not stop in %u ms", g_dwLoginStopWait);
        CloseHandle(thread);
    }
    g_dwInitThreadId = 0;
    // A confirmation dialog that the login thread's last steps opened is ended too.
    StopConfirmThread(g_dwLoginStopWait);
}
