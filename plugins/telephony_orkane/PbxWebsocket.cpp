#include "plugins/telephony_orkane/PbxWebsocket.h"

#include <winhttp.h>

#include <cstring>
#include <string>

#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "plugin_support/WinHttpErrorText.h"
#include "plugins/telephony_orkane/Dispatcher.h"
#include "plugins/telephony_orkane/Login.h"
#include "plugins/telephony_orkane/PendingAnswers.h"
#include "plugins/telephony_orkane/SecretText.h"
#include "plugins/telephony_orkane/SettingsPage.h"
#include "plugins/telephony_orkane/TelephonySeams.h"
#include "plugin_support/JsonParserBase.h"

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

void CopyBaseURL(wchar_t* dst, size_t capacity)
{
    // The settings write g_szBaseURL under g_csDispatch; the login thread reads it here.
    EnterCriticalSection(&g_csDispatch);
    CopyText(dst, capacity, g_szBaseURL);
    LeaveCriticalSection(&g_csDispatch);
}

void BuildWebsocketURL(CInnovaphoneVars* conn, const wchar_t* path)
{
    conn->ResetValues();
    wchar_t base[_countof(g_szBaseURL)];
    CopyBaseURL(base, _countof(base));
    CopyText(conn->m_szURL, 512, base);
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
    // One that did not stop still reads this connection: a second one must not join it.
    if (conn->m_hMonitorThread) {
        LogLine(0, L"Func.CreateWebsocket.Error.%s receive thread still running, not opened", conn->m_szSection);
        LogLine(3, L"Func.CreateWebsocket.End");
        return;
    }
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
        // The cleared id tells the thread not to close anything itself.
        conn->m_dwMonitorThId = 0;
        SetEvent(conn->m_hStopEvent);
    }
    // The receive side ends first, the documented way: a shutdown only sends the close frame
    // and leaves a pending receive waiting for a PBX that may never answer, while the close
    // ends the connection completely (after at most its close timeout); then the handle.
    EnterCriticalSection(&conn->m_csHandles);
    HINTERNET websocket = conn->m_hWebSocketHandle;
    conn->m_hWebSocketHandle = nullptr;
    LeaveCriticalSection(&conn->m_csHandles);
    if (websocket) {
        DWORD timeout = 1000;
        WinHttpSetOption(websocket, WINHTTP_OPTION_WEB_SOCKET_CLOSE_TIMEOUT, &timeout, sizeof timeout);
        g_pfnWebSocketClose(websocket, WINHTTP_WEB_SOCKET_SUCCESS_CLOSE_STATUS, nullptr, 0);
        WinHttpCloseHandle(websocket);
    }
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
    // The thread reads the websocket it was started for, as long as it is the connection's
    // receive thread: a thread that a stop gave up on never reads the next websocket.
    const DWORD self = GetCurrentThreadId();
    EnterCriticalSection(&conn->m_csHandles);
    HINTERNET websocket = conn->m_hWebSocketHandle;
    LeaveCriticalSection(&conn->m_csHandles);
    static thread_local BYTE buffer[kReceiveBytes];
    static thread_local BYTE overflow[kReceiveBytes];
    static thread_local wchar_t text[kReceiveBytes];
    while (websocket && conn->m_dwMonitorThId == self) {
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
            if (conn->m_dwMonitorThId != self)
                break;  // being stopped: the stopper closes the handles
            LogLine(0, L"Func.MonitorThread.Error.%s receive %d %s", conn->m_szSection, error,
                    PluginSupport::GetErrorText(error));
            // The connection is gone: no close handshake, which would wait for a close frame
            // that cannot come (under Wine up to the receive timeout); the handle only.
            EnterCriticalSection(&conn->m_csHandles);
            if (conn->m_hWebSocketHandle == websocket)
                conn->m_hWebSocketHandle = nullptr;
            else
                websocket = nullptr;
            LeaveCriticalSection(&conn->m_csHandles);
            if (websocket)
                WinHttpCloseHandle(websocket);
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
                // The whole buffer is the room: up to 8,191 units and the terminator, which
                // the count of the converted text includes.
                int converted = MultiByteToWideChar(CP_UTF8, 0, (const char*)buffer, -1, text, kReceiveBytes);
                if (!converted) {
                    LogLine(0, L"Func.MonitorThread.Error.%s message of %u bytes not converted %s", conn->m_szSection,
                            total, PluginSupport::GetErrorText(GetLastError()));
                } else {
                    LogLine(4, L"Func.MonitorThread.Info.%s<--: %s", conn->m_szSection, RedactSecrets(text));
                    EnterCriticalSection(&g_csDispatch);
                    DispatchMessages(conn, text);
                    LeaveCriticalSection(&g_csDispatch);
                }
            }
        } else if (type == WINHTTP_WEB_SOCKET_CLOSE_BUFFER_TYPE) {
            if (conn->m_dwMonitorThId != self)
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

// A request longer than this is refused rather than sent: no PBX request comes near it.
constexpr size_t kMaxRequestBytes = 65536;
// How long a request without an answer wait waits for the wire at most.
constexpr DWORD kWireWait = 1000;

volatile LONG g_lNextSource;

// The wire form of a request: one byte per unit (texts beyond ASCII are UTF-8 units already).
// False, with the reason, when the text cannot go whole: too long, a unit that is no byte, or
// bytes that are no UTF-8 (a text message must be, and a peer fails the connection else).
bool ToWireBytes(const std::wstring& text, std::string* bytes, wchar_t* why, size_t whySize)
{
    if (text.size() > kMaxRequestBytes) {
        FormatW(why, whySize, L"%u characters, more than %u", (unsigned)text.size(), (unsigned)kMaxRequestBytes);
        return false;
    }
    bytes->resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] > 0xFF) {
            FormatW(why, whySize, L"character U+%04X at %u is no byte", (unsigned)text[i], (unsigned)i);
            return false;
        }
        (*bytes)[i] = (char)text[i];
    }
    if (!bytes->empty() &&
        !MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes->data(), (int)bytes->size(), nullptr, 0)) {
        FormatW(why, whySize, L"its bytes are no UTF-8");
        return false;
    }
    return true;
}

// A request that waits carries a "src" of its own, which the PBX echoes in its result; one
// that names its own keeps it. mt and src receive the request's.
std::wstring WithSource(const wchar_t* text, bool waits, wchar_t* mt, size_t mtSize, wchar_t* src, size_t srcSize)
{
    mt[0] = src[0] = L'\0';
    std::wstring request = text;
    if (!waits)
        return request;
    CJsonParserBase parsed;
    if (!parsed.Parse(text))
        return request;  // goes as it is; no result can be told apart
    parsed.GetString(mt, mtSize, L"mt");
    parsed.GetString(src, srcSize, L"src");
    if (src[0])
        return request;
    size_t brace = request.find(L'{');
    if (brace == std::wstring::npos)
        return request;
    FormatW(src, srcSize, L"orvix-%u", (unsigned)InterlockedIncrement(&g_lNextSource));
    size_t next = request.find_first_not_of(L" \t\r\n", brace + 1);
    bool empty = next != std::wstring::npos && request[next] == L'}';
    std::wstring member = L"\"src\":\"" + std::wstring(src) + (empty ? L"\"" : L"\",");
    request.insert(brace + 1, member);
    return request;
}

// Takes the connection's wire, waiting at most milliseconds (or until the plug-in stops).
bool TakeWire(CInnovaphoneVars* conn, DWORD start, DWORD milliseconds)
{
    HANDLE handles[2] = {conn->m_hWireLock, g_hStopWaits};
    for (;;) {
        DWORD elapsed = g_pfnWaitClock() - start;
        DWORD r = g_pfnWaitForAny(2, handles, elapsed >= milliseconds ? 0 : milliseconds - elapsed);
        if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED_0)
            return true;
        if (r != WAIT_TIMEOUT || elapsed >= milliseconds)
            return false;
    }
}

// Sends one request and waits for its own answer up to milliseconds of the wait clock; the
// locks are held only to copy, never across the send (a PBX that stops reading blocks the
// sender alone, and a close ends the send).
BOOL SendAndWait(CInnovaphoneVars* conn, const wchar_t* text, DWORD milliseconds)
{
    DWORD start = g_pfnWaitClock();
    if (!conn->m_hWebSocketHandle) {
        // Nothing goes out, so there is nothing to wait for.
        LogLine(1, L"Func.SendBuffer.Warning.%s not connected, request not sent", conn->m_szSection);
        LogLine(3, L"Func.SendBuffer.End.Result %d", 0);
        return FALSE;
    }
    wchar_t mt[64], src[96], why[128];
    std::wstring request = WithSource(text, milliseconds != 0, mt, _countof(mt), src, _countof(src));
    std::string bytes;
    if (!ToWireBytes(request, &bytes, why, _countof(why))) {
        LogLine(0, L"Func.SendBuffer.Error.%s request not sent: %s", conn->m_szSection, why);
        LogLine(3, L"Func.SendBuffer.End.Result %d", 0);
        return FALSE;
    }
    // Registered before the send: the answer may come before the send returns.
    int slot = milliseconds ? BeginAnswerWait(conn, mt, src) : -1;
    conn->m_bAnswer = 0;
    DWORD error = ERROR_INVALID_HANDLE;
    bool sent = false;
    if (TakeWire(conn, start, milliseconds ? milliseconds : kWireWait)) {
        EnterCriticalSection(&conn->m_csHandles);
        HINTERNET websocket = conn->m_hWebSocketHandle;
        LeaveCriticalSection(&conn->m_csHandles);
        if (websocket) {
            error = WinHttpWebSocketSend(websocket, WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE, &bytes[0],
                                         (DWORD)bytes.size());
            sent = error == NO_ERROR;
            LogLine(3, L"Func.SendBuffer.Info.%s -->: %s %d Bytes", conn->m_szSection, RedactSecrets(request.c_str()),
                    (int)bytes.size());
            if (!sent)
                LogLine(0, L"Func.SendBuffer.Error.%s %d %s", conn->m_szSection, error, PluginSupport::GetErrorText(error));
        } else {
            LogLine(1, L"Func.SendBuffer.Warning.%s not connected, request not sent", conn->m_szSection);
        }
        ReleaseMutex(conn->m_hWireLock);
    } else {
        LogLine(0, L"Func.SendBuffer.Error.%s request not sent: an earlier one is still on its way", conn->m_szSection);
    }
    BOOL answer = FALSE;
    if (slot >= 0)
        answer = FinishAnswerWait(slot, start, sent ? milliseconds : 0);
    LogLine(3, L"Func.SendBuffer.End.Result %d", answer);
    return answer;
}

}  // namespace

BOOL SendBuffer(CInnovaphoneVars* conn, DWORD milliseconds)
{
    // The text is taken under its lock; a writer of m_szSend holds the same lock.
    EnterCriticalSection(&conn->m_csSend);
    std::wstring text = conn->m_szSend;
    LeaveCriticalSection(&conn->m_csSend);
    return SendAndWait(conn, text.c_str(), milliseconds);
}

BOOL SendRequest(CInnovaphoneVars* conn, const wchar_t* text, DWORD milliseconds)
{
    return SendAndWait(conn, text ? text : L"", milliseconds);
}

void WaitForAnswer(CInnovaphoneVars* conn, DWORD milliseconds)
{
    DWORD start = g_pfnWaitClock();
    while (!conn->m_bAnswer) {
        DWORD elapsed = g_pfnWaitClock() - start;
        if (elapsed >= milliseconds)
            break;
        DWORD left = milliseconds - elapsed;
        if (g_pfnWaitForAny(1, &g_hStopWaits, left < 10 ? left : 10) != WAIT_TIMEOUT)
            break;
    }
}

int WaitForText(const wchar_t* text, DWORD seconds)
{
    // The count is of seconds; the text is looked at every 50 ms, the bound is the clock's.
    DWORD start = g_pfnWaitClock();
    DWORD milliseconds = seconds > MAXDWORD / 1000 ? MAXDWORD : seconds * 1000;
    while (!*(volatile const wchar_t*)text) {
        DWORD elapsed = g_pfnWaitClock() - start;
        if (elapsed >= milliseconds)
            break;
        DWORD left = milliseconds - elapsed;
        if (g_pfnWaitForAny(1, &g_hStopWaits, left < 50 ? left : 50) != WAIT_TIMEOUT)
            break;
    }
    Sleep(10);
    return 0;
}
