// The host's static objects, in the one order they must be built (and torn down in reverse
// when the program returns from its entry). The six plug-in category managers and the bus
// router are built in their own translation unit (host/PluginCategories.cpp): they depend on
// none of the objects here.
#include "host/app/HostGlobals.h"

#include "foundation/Checksums.h"
#include "foundation/KillProcess.h"
#include "foundation/MonitorAccess.h"
#include "foundation/QorDlgColors.h"
#include "foundation/QorDlgFonts.h"
#include "foundation/RegIniAccess.h"
#include "foundation/ResourceAccess.h"
#include "foundation/SharedMem.h"
#include "foundation/StatusLog.h"
#include "host/InfoIcon.h"

namespace {

// Destroyed just before CKillProcess, whose TerminateProcess(…, 0) would otherwise turn a
// refused start (-1) into success.
class CExitCodeKeeper {
public:
    CExitCodeKeeper() = default;
    ~CExitCodeKeeper()
    {
        if (g_nHostExitCode != 0)
            TerminateProcess(GetCurrentProcess(), static_cast<UINT>(g_nHostExitCode));
    }
};

}  // namespace

HINSTANCE g_hInstance = nullptr;
wchar_t g_szHelpFile[512] = L"QUORLAN.CHM";
// The maker's online help: what the help command opens when no help file lies beside the
// program.
wchar_t g_szHelpLink[512] = L"https://www.orvix.example/help/";
volatile DWORD g_bServiceMode = 0;
volatile DWORD g_bServiceRunning = 0;
DWORD g_bWakeUpPending = 0;
DWORD g_bEndQuestionOpen = 0;
wchar_t g_szLastError[255] = L"";
CServiceWindow* g_pServiceWindow = nullptr;
volatile DWORD g_dwMonitorThreadId = 0;
HANDLE g_hMonitorThread = nullptr;
HANDLE g_hMonitorStop = nullptr;
HANDLE g_hServiceDispatcherThread = nullptr;
DWORD g_dwServiceDispatcherThreadId = 0;
volatile int g_nHostExitCode = 0;

CCrc32 g_Crc32;
// Named by CreateSharedMemory, which adds neither user name nor folder checksum itself.
CSharedMem g_SharedMem(0);
CQorDlgColors g_QorDlgColors;
CQorDlgFonts g_QorDlgFonts;
CKillProcess g_KillProcess;
CExitCodeKeeper g_ExitCodeKeeper;
CResourceAccess g_ResourceAccess;
CRegIniAccess g_RegIniAccess;
CMonitorAccess g_MonitorAccess;
// Report files in the per-user LOG folder.
CStatusLog g_StatusLog(0);
CInfoIcon g_InfoIcon;
