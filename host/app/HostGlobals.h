// The host program's process-wide state. Flags shared between the GUI thread, the service
// threads and the monitor thread are plain 32-bit values written by one thread and polled by
// another.
#pragma once

#include "bus/CommonBusTypes.h"  // the scheme values g_dwSchemeIndex, g_szUsedFont, g_szUsedLanguage
#include <windows.h>

class CServiceWindow;
class CInfoIcon;
class CResourceAccess;
class CRegIniAccess;
class CStatusLog;
class CSharedMem;

// Window class, window title and service name.
constexpr wchar_t kHostClassName[] = L"CorvallExpress";
constexpr UINT kTrayIconId = 2311;
constexpr UINT_PTR TIMER_DEBUGSETTINGS = 1;
constexpr UINT_PTR TIMER_WAKEUP = 2;

extern HINSTANCE g_hInstance;
extern wchar_t g_szHelpFile[512];
extern wchar_t g_szHelpLink[512];
extern volatile DWORD g_bServiceMode;
extern volatile DWORD g_bServiceRunning;
extern DWORD g_bWakeUpPending;
extern DWORD g_bEndQuestionOpen;
extern wchar_t g_szLastError[255];
extern CServiceWindow* g_pServiceWindow;

// The monitor thread: its id (0 tells it to end), its handle (owned by the shutdown) and the
// event it waits on.
extern volatile DWORD g_dwMonitorThreadId;
extern HANDLE g_hMonitorThread;
extern HANDLE g_hMonitorStop;

// The service dispatcher thread (service mode only).
extern HANDLE g_hServiceDispatcherThread;
extern DWORD g_dwServiceDispatcherThreadId;

// The exit code the process ends with once every static object is gone.
extern volatile int g_nHostExitCode;

extern CSharedMem g_SharedMem;
extern CResourceAccess g_ResourceAccess;
extern CRegIniAccess g_RegIniAccess;
extern CStatusLog g_StatusLog;
extern CInfoIcon g_InfoIcon;
