// The login thread with the plain password login of the user connection and the application
// login that the user connection obtains for the application connection.
#include "plugins/telephony_orkane/Login.h"

#include <cwchar>

#include "bus/BusBuilders.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "foundation/TimeFormat.h"
#include "plugins/telephony_orkane/CallControl.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/ConfirmDialog.h"
#include "plugins/telephony_orkane/InnovaphoneVars.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "plugins/telephony_orkane/SettingsPage.h"

HANDLE g_hInitThread;
volatile DWORD g_dwInitThreadId;
volatile DWORD g_dwLoginLoopCount;
HANDLE g_hConfirmThread;
volatile DWORD g_dwConfirmThreadId;
HWND volatile g_hWndConfirm;

namespace {

const wchar_t kClientNonce[] = L"3b81e0c7d2946fa5";
const wchar_t kUserAgent[] = L"Orvix Telvane";
const wchar_t kAppName[] = L"orvix-telvane";
constexpr DWORD kLoopBound = 99999;
// How long a stop waits for the login thread before it gives up on it.
constexpr DWORD kStopWait = 15000;

HANDLE g_hLoginStop;

struct LoginStopEvent {
    LoginStopEvent() { g_hLoginStop = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~LoginStopEvent() { CloseHandle(g_hLoginStop); }
} g_loginStopEvent;

BOOL Send(CInnovaphoneVars* conn, const wchar_t* text, DWORD passes)
{
    return SendRequest(conn, text, passes);
}

void CountFailure()
{
    InterlockedIncrement(reinterpret_cast<volatile LONG*>(&g_dwLoginLoopCount));
}

}  // namespace

BOOL LoginStopRequested(DWORD milliseconds)
{
    return WaitForSingleObject(g_hLoginStop, milliseconds) == WAIT_OBJECT_0;
}

int SessionLogin()
{
    // The stored-session login is not part of this login thread.
    return 1;
}

const wchar_t* DecodeStoredCredential(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*)
{
    static wchar_t s_text[256];
    s_text[0] = L'\0';
    return s_text;
}

int UserLogin()
{
    CInnovaphoneVars* user = &InnovaphoneVarsUser;
    wchar_t text[1024];
    if (!Send(user, L"{\"mt\":\"CheckBuild\"}", 250) || !Send(user, L"{\"mt\":\"LoginInfo\"}", 250)) {
        LogLine(1, L"Func.UserLogin.Abort.Result %d", 1);
        return 1;
    }
    FormatW(text, _countof(text), L"{\"mt\":\"Login\",\"type\":\"user\",\"userAgent\":\"%s\"}", kUserAgent);
    if (!Send(user, text, 500)) {
        LogLine(1, L"Func.UserLogin.Abort.Result %d", 1);
        return 1;
    }
    wchar_t name[128];
    CopyText(name, _countof(name), user->m_szUser);
    CInnovaphoneVars::ToUtf8Text(name, _countof(name));
    wchar_t response[256];
    CopyText(response, _countof(response), user->GetUserDigest(kClientNonce));
    FormatW(text, _countof(text),
            L"{\"mt\":\"Login\",\"type\":\"user\",\"method\":\"%s\",\"username\":\"%s\",\"nonce\":\"%s\","
            L"\"response\":\"%s\",\"userAgent\":\"%s\"}",
            user->m_szMethod, name, kClientNonce, response, kUserAgent);
    BOOL answered = Send(user, text, 5000);
    WaitForText(user->m_szGUID, g_hWndConfirm ? 999999 : 10);
    if (answered && user->m_szGUID[0]) {
        if (g_hWndConfirm) {
            CloseConfirmDialog();
            Sleep(1000);
        }
        return 0;
    }
    LogLine(1, L"Func.UserLogin.Abort.Result %d", 2);
    return 2;
}

int AppLogin()
{
    CInnovaphoneVars* app = &InnovaphoneVarsApp;
    CInnovaphoneVars* user = &InnovaphoneVarsUser;
    if (!Send(app, L"{\"mt\":\"CheckBuild\"}", 250)) {
        LogLine(1, L"Func.AppLogin.Abort.Result %d", 1);
        return 1;
    }
    BOOL answered = Send(app, L"{\"mt\":\"AppChallenge\"}", 500);
    WaitForText(app->m_szChallenge, 10);
    if (!answered || !app->m_szChallenge[0]) {
        LogLine(1, L"Func.AppLogin.Abort.Result %d", 1);
        return 1;
    }
    wchar_t text[1024];
    wchar_t guid[64];
    CopyText(guid, _countof(guid), CreateGuidString());
    FormatW(text, _countof(text), L"{\"mt\":\"AppGetLogin\",\"src\":\"%s\",\"app\":\"%s\",\"challenge\":\"%s\"}", guid,
            kAppName, app->m_szChallenge);
    answered = Send(user, text, 500);
    WaitForText(user->m_szDigest, 10);
    if (!answered || !user->m_szDigest[0]) {
        LogLine(1, L"Func.AppLogin.Abort.Result %d", 1);
        return 1;
    }
    wchar_t sip[128], dn[256];
    CopyText(sip, _countof(sip), WideToUtf8Units(user->m_szSip));
    CopyText(dn, _countof(dn), WideToUtf8Units(user->m_szDN));
    static wchar_t s_info[2048];
    CopyText(s_info, _countof(s_info), WideToUtf8Units(user->m_szInfo));
    FormatW(text, _countof(text),
            L"{\"mt\":\"AppLogin\",\"app\":\"%s\",\"domain\":\"%s\",\"sip\":\"%s\",\"guid\":\"%s\",\"dn\":\"%s\","
            L"\"info\":%s,\"pbxObj\":\"%s\",\"digest\":\"%s\"}",
            user->m_szApp, user->m_szDomain, sip, user->m_szGUID, dn, s_info[0] ? s_info : L"{}",
            user->m_szPbxObj, user->m_szDigest);
    if (!Send(app, text, 500)) {
        LogLine(1, L"Func.AppLogin.Abort.Result %d", 1);
        return 1;
    }
    for (int i = 0; i < 10 && !app->m_bLogin; ++i)
        if (LoginStopRequested(1000))
            break;
    if (app->m_bLogin)
        return 0;
    LogLine(1, L"Func.AppLogin.Abort.Result %d", 2);
    return 2;
}

void UserLogout()
{
    Send(&InnovaphoneVarsUser, L"{\"mt\":\"Logout\"}", 250);
}

void DisconnectAll()
{
    LoginStopRequested(1000);
    MonitorStop();
    LoginStopRequested(1000);
    UserLogout();
    LoginStopRequested(1000);
    CloseWebSocket(&InnovaphoneVarsUser, TRUE);
    CloseWebSocket(&InnovaphoneVarsApp, TRUE);
    LoginStopRequested(10000);
}

DWORD WINAPI InitThread(LPVOID)
{
    LogLine(2, L"Func.InitThread.Begin");
    DoEnableControls();
    BOOL stop = FALSE;
    while (!stop && !LoginStopRequested(0)) {
        SendBusState(g_hWndParent, 0);
        BuildWebsocketURL(&InnovaphoneVarsUser, L"APPCLIENT/websocket");
        BuildWebsocketURL(&InnovaphoneVarsApp, L"APPS/websocket");
        if (!InnovaphoneVarsUser.m_hWebSocketHandle || !InnovaphoneVarsApp.m_hWebSocketHandle) {
            CountFailure();
            stop = LoginStopRequested(60000) || g_dwLoginLoopCount >= kLoopBound;
            continue;
        }
        int r = SessionLogin();
        if (r == 1)
            CountFailure();
        if (r != 0) {
            r = UserLogin();
            if (r == 1)
                CountFailure();
            else if (r == 2)
                stop = TRUE;
        }
        CloseConfirmDialog();
        if (r == 0) {
            r = AppLogin();
            if (r == 1)
                CountFailure();
            else if (r == 2)
                stop = TRUE;
        }
        if (InnovaphoneVarsApp.m_bLogin || stop || LoginStopRequested(0))
            break;
        DisconnectAll();
        stop = g_dwLoginLoopCount >= kLoopBound;
    }
    if (InnovaphoneVarsApp.m_bLogin && !LoginStopRequested(0)) {
        DoGetDevices();
        for (int i = 0; i < 100 && g_dwDeviceCount != DeviceListSize(); ++i)
            if (LoginStopRequested(100))
                break;
        MonitorStart();
        LoginStopRequested(2000);
    }
    if (!FirstDeviceMonitored())
        LogLine(0, L"Func.InitThread.Error.UserInitializeResult failed");
    g_dwInitThreadId = 0;
    RefreshDevicesOnPage();
    DoEnableControls();
    LogLine(2, L"Func.InitThread.End");
    return 0;
}

void StartInitThread()
{
    if (g_hInitThread) {
        if (WaitForSingleObject(g_hInitThread, 0) != WAIT_OBJECT_0)
            return;
        CloseHandle(g_hInitThread);
        g_hInitThread = nullptr;
    }
    ResetEvent(g_hLoginStop);
    g_dwLoginLoopCount = 0;
    DWORD id = 0;
    // The id is known before the thread's first step reads it.
    HANDLE thread = CreateThread(nullptr, 2048, InitThread, nullptr, CREATE_SUSPENDED, &id);
    if (!thread) {
        LogLine(0, L"Func.DLL_PluginAfterLoad.Error.CreateThread %u", (unsigned)GetLastError());
        return;
    }
    g_dwInitThreadId = id;
    g_hInitThread = thread;
    ResumeThread(thread);
}

void StopInitThread()
{
    if (!g_hInitThread)
        return;
    SetEvent(g_hLoginStop);
    if (WaitForSingleObject(g_hInitThread, kStopWait) != WAIT_OBJECT_0) {
        // Last resort, and only while the thread holds none of the module's locks.
        CRITICAL_SECTION* locks[] = {&g_csDispatch, &InnovaphoneVarsUser.m_csSend, &InnovaphoneVarsApp.m_csSend};
        int held = 0;
        while (held < 3 && TryEnterCriticalSection(locks[held]))
            ++held;
        if (held == 3) {
            LogLine(0, L"Func.DLL_PluginBeforeClose.Error.Login thread did not stop; terminated");
            TerminateThread(g_hInitThread, 0);
        } else {
            LogLine(0, L"Func.DLL_PluginBeforeClose.Error.Login thread did not stop");
        }
        while (held > 0)
            LeaveCriticalSection(locks[--held]);
        if (WaitForSingleObject(g_hInitThread, 0) != WAIT_OBJECT_0)
            return;  // keep the handle: the thread still runs
    }
    CloseHandle(g_hInitThread);
    g_hInitThread = nullptr;
    g_dwInitThreadId = 0;
}

void CloseConfirmDialog()
{
    HWND dialog = g_hWndConfirm;
    if (!dialog)
        return;
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    g_hWndConfirm = nullptr;
}

void StopConfirmThread()
{
    if (!g_hConfirmThread)
        return;
    if (WaitForSingleObject(g_hConfirmThread, 5000) != WAIT_OBJECT_0)
        TerminateThread(g_hConfirmThread, 0);
    CloseHandle(g_hConfirmThread);
    g_hConfirmThread = nullptr;
    g_dwConfirmThreadId = 0;
}
