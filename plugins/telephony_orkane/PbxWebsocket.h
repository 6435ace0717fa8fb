// The two PBX websockets over WinHTTP: open, close, the receive thread of each and the
// send-and-wait primitive of the login and call-control requests.
#pragma once

#include <windows.h>

#include "plugins/telephony_orkane/InnovaphoneVars.h"

// The plug-in's one lock, held round every DispatchMessages call.
extern CRITICAL_SECTION g_csDispatch;
// The BaseURL setting: scheme and host, optionally a port and a path.
extern wchar_t g_szBaseURL[512];

// Resets the connection, builds its URL from g_szBaseURL, "PBX0" and the path, and opens it.
void BuildWebsocketURL(CInnovaphoneVars* conn, const wchar_t* path);
// Opens the websocket of m_szURL and starts the receive thread; m_hWebSocketHandle tells.
void CreateWebsocket(CInnovaphoneVars* conn);
// Closes the websocket and its handles; with stopThread it first stops the receive thread.
void CloseWebSocket(CInnovaphoneVars* conn, BOOL stopThread);
DWORD WINAPI MonitorThread(LPVOID param);
// Sends m_szSend as one text message (the low byte of each unit) and waits up to passes
// 1 ms passes for any answer; returns whether a message arrived on the connection since this
// very send (another thread's send in between does not hide it). The log line shows the text
// with its secrets masked.
BOOL SendBuffer(CInnovaphoneVars* conn, DWORD passes);
// The same for a text that is first copied into m_szSend; the copy and the send are done
// under the connection's send lock, so that two threads' requests never mix.
BOOL SendRequest(CInnovaphoneVars* conn, const wchar_t* text, DWORD passes);
void WaitForAnswer(CInnovaphoneVars* conn, DWORD passes);
int WaitForText(const wchar_t* text, DWORD passes);

// How long a stop waits for a receive thread before it gives up on it.
extern DWORD g_dwMonitorStopWait;
// Set while the plug-in stops (manual reset): every answer wait, text wait and login pause
// ends at once, so that the threads that wait can be stopped in bounded time.
extern HANDLE g_hStopWaits;
