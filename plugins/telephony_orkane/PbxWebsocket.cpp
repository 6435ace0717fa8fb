#include "plugins/telephony_orkane/PbxWebsocket.h"

#include <winhttp.h>

#include <cstring>

#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "plugin_support/WinHttpErrorText.h"
#include "plugins/telephony_orkane/Dispatcher.h"
#include "plugins/telephony_orkane/Login.h"
#include "plugins/telephony_orkane/SecretText.h"
#include "plugins/telephony_orkane/SettingsPage.h"

CRITICAL_SECTION g_csDispatch;
wchar_t g_szBaseURL[512];
DWORD g_dwMonitorStopWait = 5000;
HANDLE g_hStopWaits;

namespace {

struct DispatchLock {
    DispatchLock()
    {
        InitializeCriticalSection(&g_csDispatch);
        g_hStopWaits = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~DispatchLock()
    {
        CloseHandle(g_hStopWaits);
        DeleteCriticalSection(&g_csDispatch);
    }
} g_dispatchLock;

constexpr DWORD kReceiveBytes = 8192;

// Splits "host:port" (a port written into the URL); the port stays the default without one.
void SplitPort(wchar_t* host, INTERNET_PORT* port)
{
    wchar_t* colon = wcsrchr(host, L':');
    if (!colon || wcschr(colon, L']') || !colon[1])
        return;
    unsigned value = 0;
    for (const wchar_t* p = colon + 1; *p; ++p) {
        if (*p < L'0' || *p > L'9' || value > 65535)
            return;
        value = value * 10 + (*p - L'0');
    }
    if (value == 0 || value > 65535)
        return;
    *colon = L'\0';
    *port = (INTERNET_PORT)value;
}

}  // namespace

void BuildWebsocketURL(CInnovaphoneVars* conn, const wchar_t* path)
{
    conn->ResetValues();
    CopyText(conn->m_szURL, 512, g_szBaseURL);
    size_t length = wcslen(conn->m_szURL);
    if (!length || conn->m_szURL[length - 1] != L'/')
        AppendText(conn->m_szURL, _countof(conn->m_szURL), L"/");
    AppendText(conn->m_szURL, _countof(conn->m_szURL), L"PBX0/");
    AppendText(conn->m_szURL, _countof(conn->m_szURL), path);
    CreateWebsocket(conn);
    Sleep(250);
}

void CreateWebsocket(CInnovaphoneVars* conn)
{
    LogLine(3, L"Func.CreateWebsocket.Begin");
    // A receive thread that ended by itself still has its handle here: release it first.
    if (conn->m_hMonitorThread)
        conn->StopMonitorThread();
    // Handles of an earlier half-open attempt would leak once overwritten.
    conn->CloseHandles();

    wchar_t url[512];
    CopyText(url, _countof(url), conn->m_szURL);
    const wchar_t* scheme = wcsstr(url, L"://");
    BOOL secure = !scheme || wcsstr(url, L"wss://") || wcsstr(url, L"https://");
    LogLine(3, L"Func.CreateWebsocket.Var.bIsSSL %d", secure);

    wchar_t host[512];
    CopyText(host, _countof(host), scheme ? scheme + 3 : url);
    wchar_t path[260] = L"";
    if (wchar_t* slash = wcschr(host, L'/')) {
        CopyText(path, _countof(path), slash);
        *slash = L'\0';
    }
    INTERNET_PORT port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    SplitPort(host, &port);
    LogLine(3, L"Func.CreateWebsocket.Var.szHost %s", host);
    LogLine(3, L"Func.CreateWebsocket.Var.nPort %d", port);
    LogLine(3, L"Func.CreateWebsocket.Var.szPath %s", path);

    conn->m_hSessionHandle = WinHttpOpen(L"WebSocket sample", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                         WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    LogLine(3, L"Func.CreateWebsocket.Var.m_hSessionHandle 0x%08X", (DWORD)(UINT_PTR)conn->m_hSessionHandle);
    if (conn->m_hSessionHandle)
        conn->m_hConnectionHandle = WinHttpConnect(conn->m_hSessionHandle, host, port, 0);
    LogLine(3, L"Func.CreateWebsocket.Var.m_hConnectionHandle 0x%08X", (DWORD)(UINT_PTR)conn->m_hConnectionHandle);
    HINTERNET request = nullptr;
    if (conn->m_hConnectionHandle)
        request = WinHttpOpenRequest(conn->m_hConnectionHandle, L"GET", path, nullptr,
                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                     secure ? WINHTTP_FLAG_SECURE : 0);
    LogLine(3, L"Func.CreateWebsocket.Var.hRequestHandle 0x%08X", (DWORD)(UINT_PTR)request);

    BOOL upgraded = FALSE;
    if (request && WinHttpSetOption(request, WINHTTP_OPTION_UPGRADE_TO_WEB_SOCKET, nullptr, 0)) {
        BOOL sent = WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                       WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
        DWORD error = sent ? 0 : GetLastError();
        LogLine(3, L"Func.CreateWebsocket.Var.WinHttpSendRequest %d %s", sent,
                PluginSupport::GetErrorText(error));
        if (!sent && error == ERROR_WINHTTP_SECURE_FAILURE)
            LogLine(0, L"Func.CreateWebsocket.Error.Connection rejected. Error in SSL certificate.");
        if (sent && WinHttpReceiveResponse(request, nullptr)) {
            BYTE headers[8190];
            DWORD size = sizeof headers;
            BOOL queried = WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF,
                                               WINHTTP_HEADER_NAME_BY_INDEX, headers, &size,
                                               WINHTTP_NO_HEADER_INDEX);
            LogLine(3, L"Func.CreateWebsocket.Var.WinHttpQueryHeaders %d", queried);
            DWORD count = 0;
            if (queried && WinHttpQueryDataAvailable(request, &count)) {
                HINTERNET websocket = WinHttpWebSocketCompleteUpgrade(request, 0);
                EnterCriticalSection(&conn->m_csHandles);
                conn->m_hWebSocketHandle = websocket;
                LeaveCriticalSection(&conn->m_csHandles);
                upgraded = TRUE;
            }
        }
    }
    if (request)
        WinHttpCloseHandle(request);
    LogLine(3, L"Func.CreateWebsocket.Var.m_hWebSocketHandle 0x%08X", (DWORD)(UINT_PTR)conn->m_hWebSocketHandle);
    LogLine(3, L"Func.CreateWebsocket.Info.Login %s", upgraded ? L"successful" : L"failed");

    if (upgraded && conn->m_hWebSocketHandle) {
        ResetEvent(conn->m_hStopEvent);
        // Suspended until the id is stored: the thread's loop runs while the id is nonzero.
        DWORD id = 0;
        HANDLE thread = CreateThread(nullptr, 0, MonitorThread, conn, CREATE_SUSPENDED, &id);
        if (thread) {
            conn->m_hMonitorThread = thread;
            conn->m_dwMonitorThId = id;
            ResumeThread(thread);
        } else {
            LogLine(0, L"Func.CreateWebsocket.Error.CreateThread %s", PluginSupport::GetErrorText(0));
        }
    }
    DoEnableControls();
    LogLine(3, L"Func.CreateWebsocket.End");
}

void CInnovaphoneVars::StopMonitorThread()
{
    m_dwMonitorThId = 0;
    if (m_hStopEvent)
        SetEvent(m_hStopEvent);
    HANDLE thread = m_hMonitorThread;
    if (!thread)
        return;
    if (GetCurrentThreadId() == GetThreadId(thread))
        return;  // the receive thread itself: it leaves its loop on the cleared id
    if (WaitForSingleObject(thread, g_dwMonitorStopWait) == WAIT_TIMEOUT) {
        // Last resort, and only while the thread cannot be holding the dispatch lock.
        if (TryEnterCriticalSection(&g_csDispatch)) {
            LogLine(0, L"Func.StopMonitorThread.Error.%s receive thread did not stop; terminated", m_szSection);
            TerminateThread(thread, 0);
            LeaveCriticalSection(&g_csDispatch);
        } else {
            LogLine(0, L"Func.StopMonitorThread.Error.%s receive thread did not stop", m_szSection);
            return;  // keep the handle: the thread may still use this object
        }
    }
    m_hMonitorThread = nullptr;
    ::CloseHandle(thread);
}

void CloseWebSocket(CInnovaphoneVars* conn, BOOL stopThread)
{
    LogLine(3, L"Func.CloseWebSocket.Begin");
    if (stopThread) {
        // The websocket's shutdown is what unblocks a pending receive, so it comes first;
        // the cleared id tells the thread not to close anything itself.
        conn->m_dwMonitorThId = 0;
        SetEvent(conn->m_hStopEvent);
    }
    EnterCriticalSection(&conn->m_csHandles);
    if (conn->m_hWebSocketHandle) {
        DWORD timeout = 1000;
        WinHttpSetOption(conn->m_hWebSocketHandle, WINHTTP_OPTION_WEB_SOCKET_CLOSE_TIMEOUT, &timeout, sizeof timeout);
        WinHttpWebSocketShutdown(conn->m_hWebSocketHandle, WINHTTP_WEB_SOCKET_SUCCESS_CLOSE_STATUS, nullptr, 0);
    }
    LeaveCriticalSection(&conn->m_csHandles);
    if (stopThread)
        conn->StopMonitorThread();
    conn->CloseHandles();
    conn->ResetValues();
    DoEnableControls();
    LogLine(3, L"Func.CloseWebSocket.End");
}

DWORD WINAPI MonitorThread(LPVOID param)
{
    CInnovaphoneVars* conn = static_cast<CInnovaphoneVars*>(param);
    LogLine(3, L"Func.MonitorThread.Begin.%s", conn->m_szSection);
    static thread_local BYTE buffer[kReceiveBytes];
    static thread_local BYTE overflow[kReceiveBytes];
    static thread_local wchar_t text[kReceiveBytes];
    while (conn->m_dwMonitorThId && conn->m_hWebSocketHandle) {
        HINTERNET websocket = conn->m_hWebSocketHandle;
        memset(buffer, 0, sizeof buffer);
        // One byte stays free for the terminator of a full buffer.
        DWORD space = kReceiveBytes - 1;
        DWORD total = 0, read = 0, tooLong = 0, error = 0;
        WINHTTP_WEB_SOCKET_BUFFER_TYPE type = WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE;
        do {
            BYTE* target = space ? buffer + total : overflow;
            DWORD room = space ? space : sizeof overflow;
            read = 0;
            error = WinHttpWebSocketReceive(websocket, target, room, &read, &type);
            if (error != NO_ERROR)
                break;
            if (space) {
                total += read;
                space -= read;
            } else {
                tooLong += read;
            }
        } while (type == WINHTTP_WEB_SOCKET_UTF8_FRAGMENT_BUFFER_TYPE);

        if (error != NO_ERROR) {
            if (!conn->m_dwMonitorThId)
                break;  // being stopped: the stopper closes the handles
            LogLine(0, L"Func.MonitorThread.Error.%s receive %d %s", conn->m_szSection, error,
                    PluginSupport::GetErrorText(error));
            CloseWebSocket(conn, FALSE);
            OnConnectionLost(conn);
            break;
        }
        if (tooLong) {
            LogLine(0, L"Func.MonitorThread.Error.%s message of %u bytes dropped", conn->m_szSection, total + tooLong);
        } else if (total) {
            if (type == WINHTTP_WEB_SOCKET_BINARY_MESSAGE_BUFFER_TYPE) {
                LogLine(0, L"Func.MonitorThread.Error.Binary");
            } else if (type == WINHTTP_WEB_SOCKET_BINARY_FRAGMENT_BUFFER_TYPE) {
                LogLine(0, L"Func.MonitorThread.Error.Binary Fragment");
            } else if (type == WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE) {
                memset(text, 0, sizeof text);
                MultiByteToWideChar(CP_UTF8, 0, (const char*)buffer, -1, text, kReceiveBytes - 1);
                LogLine(4, L"Func.MonitorThread.Info.%s<--: %s", conn->m_szSection, RedactSecrets(text));
                EnterCriticalSection(&g_csDispatch);
                DispatchMessages(conn, text);
                LeaveCriticalSection(&g_csDispatch);
            }
        } else if (type == WINHTTP_WEB_SOCKET_CLOSE_BUFFER_TYPE) {
            if (!conn->m_dwMonitorThId)
                break;
            LogLine(1, L"Func.MonitorThread.Warning.Websocket closed");
            CloseWebSocket(conn, FALSE);
            OnConnectionLost(conn);
            break;
        }
        WaitForSingleObject(conn->m_hStopEvent, 10);
    }
    LogLine(3, L"Func.MonitorThread.End.%s", conn->m_szSection);
    return 0;
}

namespace {

// The copy into bytes and the send; the caller holds m_csSend. Returns the connection's
// answer count before the send.
LONG SendLocked(CInnovaphoneVars* conn)
{
    char bytes[1024];
    size_t length = 0;
    while (length < sizeof bytes - 1 && conn->m_szSend[length]) {
        bytes[length] = (char)(conn->m_szSend[length] & 0xFF);
        ++length;
    }
    bytes[length] = '\0';
    conn->m_bAnswer = 0;
    LONG answers = conn->m_lAnswers;
    EnterCriticalSection(&conn->m_csHandles);
    if (conn->m_hWebSocketHandle) {
        DWORD error = WinHttpWebSocketSend(conn->m_hWebSocketHandle, WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE,
                                           bytes, (DWORD)length);
        LogLine(3, L"Func.SendBuffer.Info.%s -->: %s %d Bytes", conn->m_szSection, RedactSecrets(conn->m_szSend),
                (int)length);
        if (error != NO_ERROR)
            LogLine(0, L"Func.SendBuffer.Error.%s %d %s", conn->m_szSection, error, PluginSupport::GetErrorText(error));
    }
    LeaveCriticalSection(&conn->m_csHandles);
    return answers;
}

// Answered means: a message arrived after this send. The count cannot be reset by another
// sender the way the shared flag is.
BOOL FinishSend(CInnovaphoneVars* conn, LONG before, DWORD passes)
{
    for (DWORD i = 0; i < passes && conn->m_lAnswers == before; ++i)
        if (WaitForSingleObject(g_hStopWaits, 1) == WAIT_OBJECT_0)
            break;
    BOOL answer = conn->m_lAnswers != before;
    LogLine(3, L"Func.SendBuffer.End.Result %d", answer);
    return answer;
}

}  // namespace

BOOL SendBuffer(CInnovaphoneVars* conn, DWORD passes)
{
    EnterCriticalSection(&conn->m_csSend);
    LONG before = SendLocked(conn);
    LeaveCriticalSection(&conn->m_csSend);
    return FinishSend(conn, before, passes);
}

BOOL SendRequest(CInnovaphoneVars* conn, const wchar_t* text, DWORD passes)
{
    EnterCriticalSection(&conn->m_csSend);
    CopyText(conn->m_szSend, _countof(conn->m_szSend), text);
    LONG before = SendLocked(conn);
    LeaveCriticalSection(&conn->m_csSend);
    return FinishSend(conn, before, passes);
}

void WaitForAnswer(CInnovaphoneVars* conn, DWORD passes)
{
    for (DWORD i = 0; i < passes && !conn->m_bAnswer; ++i)
        if (WaitForSingleObject(g_hStopWaits, 1) == WAIT_OBJECT_0)
            break;
}

int WaitForText(const wchar_t* text, DWORD passes)
{
    for (DWORD i = 0; i < passes && !*(volatile const wchar_t*)text; ++i)
        if (WaitForSingleObject(g_hStopWaits, 1000) == WAIT_OBJECT_0)
            break;
    Sleep(10);
    return 0;
}
