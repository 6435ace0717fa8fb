// The login thread: it connects both websockets, logs in on the user connection (the stored
// PBX session first, then user name and password, with a two-factor confirmation when the
// PBX asks for one), logs the application connection in with a login that the user connection
// obtains for it, then asks for the devices and starts monitoring them. It retries while the
// PBX is away.
#pragma once

#include <windows.h>

class CInnovaphoneVars;

extern HANDLE volatile g_hInitThread;
// Whether a login thread runs, read under the start lock: a thread that ends and starts the
// next login clears its handle just before it stores the next one, so a plain read of
// g_hInitThread may fall between the two.
bool LoginThreadRunning();
extern volatile DWORD g_dwInitThreadId;
// Failed steps; the thread stops trying when it reaches kLoginLoopBound.
extern volatile LONG g_dwLoginLoopCount;
constexpr LONG kLoginLoopBound = 99999;
// The pause before the next attempt when a websocket could not be opened (one minute).
extern DWORD g_dwLoginRetryWait;
// The pause that ends a failed attempt's disconnection before the next attempt (ten seconds).
extern DWORD g_dwDisconnectWait;
// How long a stop waits for the login and confirmation threads.
extern DWORD g_dwLoginStopWait;
// How long a login waits for its "LoginResult" when the PBX asked for no second factor
// (ten seconds); with one it waits for the PBX's answer up to 999,999 seconds.
extern DWORD g_dwLoginResultWait;
// The pause before the login after a connection that the PBX ended soon after the login
// (one second), doubled for every further such loss up to g_dwLoginRetryWait; a connection
// that stood g_dwConnectionStableTime (two minutes) resets it, and the login after its loss
// starts at once.
extern DWORD g_dwReconnectPauseStart;
extern DWORD g_dwConnectionStableTime;

DWORD WINAPI InitThread(LPVOID param);
// 0 logged in, 1 not possible or not answered, 2 refused.
int SessionLogin();
int UserLogin();
int AppLogin();
void UserLogout();
void DisconnectAll();

// Starts the login thread (counter 0); FALSE when one runs already or it cannot start. From
// then until StopLoginThreads the plug-in logs in again whenever the PBX ends a connection.
BOOL StartLoginThread();
// Called by a receive thread whose connection the PBX ended (a close frame or a failed
// receive) after it closed it: while the connections are wanted, the login starts again from
// the beginning (State 0 on the bus, the stored session first, State 2 once a device is
// monitored); a login thread that runs already takes care of it.
void OnConnectionLost(CInnovaphoneVars* conn);
// Stops the confirmation dialog and the login thread cooperatively, each with a bounded wait:
// every wait and pause of theirs ends at once, and a thread that overruns is left to end by
// itself (never killed while it may hold a lock or be inside WinHTTP). Idempotent; the
// connections stay open for the caller to close.
void StopLoginThreads();
