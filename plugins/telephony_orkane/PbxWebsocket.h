// The two PBX websockets over WinHTTP: open, close, the receive thread of each and the
// send-and-wait primitive of the login and call-control requests.
#pragma once

#include <windows.h>

#include "plugins/telephony_orkane/InnovaphoneVars.h"

// The plug-in's one lock, held round every DispatchMessages call.
extern CRITICAL_SECTION g_csDispatch;
// The BaseURL setting: scheme and host, optionally a port and a path.
extern wchar_t g_szBaseURL[512];

// A copy of g_szBaseURL, taken under g_csDispatch (the lock its writers hold).
void CopyBaseURL(wchar_t* dst, size_t capacity);
// Resets the connection, builds its URL from the base URL, "PBX0" and the path, and opens it.
void BuildWebsocketURL(CInnovaphoneVars* conn, const wchar_t* path);
// Opens the websocket of m_szURL and starts the receive thread; m_hWebSocketHandle tells.
void CreateWebsocket(CInnovaphoneVars* conn);
// Closes the websocket and its handles; with stopThread it also stops the receive thread
// (the websocket is closed first, which ends its pending receive, then the thread is waited
// for, bounded by g_dwMonitorStopWait).
void CloseWebSocket(CInnovaphoneVars* conn, BOOL stopThread);
DWORD WINAPI MonitorThread(LPVOID param);
// Sends m_szSend (taken under m_csSend, which its writer holds) as SendRequest does.
BOOL SendBuffer(CInnovaphoneVars* conn, DWORD milliseconds);
// Sends the text whole as one text message (the low byte of each unit) and, with a nonzero
// bound, waits up to that many milliseconds for the request's own answer: the result that
// echoes its "src" (added here unless the request names one), or a result of its kind
// without any src. Events and other requests' results end no wait. Returns whether the
// answer arrived. A request on a closed connection, or one that cannot go whole, is not sent
// and not waited for; the log says why. The log line shows the text with its secrets masked.
BOOL SendRequest(CInnovaphoneVars* conn, const wchar_t* text, DWORD milliseconds);
// Waits up to milliseconds until any message arrived since the last send (m_bAnswer).
void WaitForAnswer(CInnovaphoneVars* conn, DWORD milliseconds);
// Waits up to seconds seconds until the text is no longer empty.
int WaitForText(const wchar_t* text, DWORD seconds);

// How long a stop waits for a receive thread before it gives up on it.
extern DWORD g_dwMonitorStopWait;
// Set while the plug-in stops (manual reset): every answer wait, text wait and login pause
// ends at once, so that the threads that wait can be stopped in bounded time.
extern HANDLE g_hStopWaits;
