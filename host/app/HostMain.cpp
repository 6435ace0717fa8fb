// The body of the host program's entry: prepares the process-wide objects, acts on a
// command-line switch, keeps a second tray instance from starting, then runs the host.
#include "host/app/HostMain.h"

#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/FolderTools.h"
#include "foundation/Format.h"
#include "foundation/StatusLog.h"
#include "foundation/PathTools.h"
#include "foundation/RegIniAccess.h"
#include "foundation/RegTool.h"
#include "foundation/SecurityTools.h"
#include "foundation/ResourceAccess.h"
#include "foundation/Seams.h"
#include "foundation/SharedMem.h"
#include "foundation/ProcessTools.h"
#include "foundation/ProgramLinks.h"
#include "foundation/ServiceTools.h"
#include "foundation/SystemAccount.h"
#include "foundation/VersionTool.h"
#include "foundation/WindowSearch.h"
#include "host/CommandLine.h"
#include "host/InfoIcon.h"
#include "host/app/HostGlobals.h"
#include "host/app/HostUi.h"
#include "host/app/MainConfig.h"
#include "host/app/ServiceMode.h"
#include "host/app/ServiceWindow.h"
#include "resources/host/HostResource.h"

#include <commctrl.h>
#include <ole2.h>

#include <cwchar>

namespace {

// The help file lies beside the program: "<PRODUCTNAME without blanks>.CHM", else the default.
void ChooseHelpFile(const CVersionTool& version)
{
    CopyText(g_szHelpFile, _countof(g_szHelpFile), L"QUORLAN.CHM");
    const wchar_t* product = version.GetProductName();
    if (!product[0])
        return;
    wchar_t name[512];
    size_t n = 0;
    for (const wchar_t* p = product; *p && n + 1 < _countof(name); ++p)
        if (*p != L' ')
            name[n++] = *p;
    name[n] = L'\0';
    CharUpperW(name);
    AppendText(name, _countof(name), L".CHM");
    wchar_t path[1024];
    FormatW(path, _countof(path), L"%s%s", GetModuleFolder(), name);
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        CopyText(g_szHelpFile, _countof(g_szHelpFile), name);
}

// A running host's window: the marker and the class must both match.
HWND FindRunningHostWindow()
{
    // Among the host-class windows, the one with the marker: other programs' marked windows
    // (a test host, a helper) must not hide the host from the search.
    for (HWND window = FindWindowExW(nullptr, nullptr, kHostClassName, nullptr); window;
         window = FindWindowExW(nullptr, window, kHostClassName, nullptr))
        if (GetWindowLongPtrW(window, GWLP_USERDATA) == HOST_WINDOW_MAGIC)
            return window;
    return nullptr;
}

// The report files lie in the per-user LOG folder, which may not exist yet.
void PrepareStatusReport()
{
    g_StatusLog.Init();
    CreateFileFolder(g_StatusLog.GetReportFile());
}

int Refuse(UINT textId, const wchar_t* defaultText)
{
    wchar_t caption[127];
    CopyText(caption, _countof(caption), g_ResourceAccess.GetString(1025, L"Program end"));
    if (!GetRunningState())
        g_pfnMessageBoxW(nullptr, g_ResourceAccess.GetString(textId, defaultText), caption, MB_ICONHAND);
    return -1;
}

// 0 to start, 1 another instance runs, 2 the host should run as its service.
int RefusalReason()
{
    if (CountUserProcesses(GetModulePath()) >= 2)
        return 1;
    if (!ServiceExists(kHostClassName))
        return 0;
    wchar_t imagePath[511];
    wchar_t ownPath[511];
    CopyText(imagePath, _countof(imagePath), GetServiceImagePath(kHostClassName));
    // A service whose program file is missing (or that names none) is no service of this
    // program: it must not keep every tray start away.
    if (!imagePath[0] || GetFileAttributesW(imagePath) == INVALID_FILE_ATTRIBUTES)
        return 0;
    CopyText(ownPath, _countof(ownPath), GetModulePath());
    CharUpperW(imagePath);
    CharUpperW(ownPath);
    if (lstrcmpW(imagePath, ownPath) != 0)
        return 0;
    DWORD state = GetServiceState(kHostClassName);
    return (state == 0 || state == SERVICE_STOPPED) ? 2 : 1;
}

int RunHost()
{
    CreateMainWindow();
    // The status record is complete before the dispatcher thread exists: the service manager
    // may run ServiceMain, and send controls whose answers report the record, while this
    // thread is still early in the start-up. Filled in there, it overwrote the RUNNING that
    // ServiceMain had reported with STOPPED, and the next control's answer stopped the service.
    PrepareServiceStatus();
    if (g_pfnIsSystemAccount()) {
        g_bServiceMode = 1;
        DWORD id = 0;
        // Default security: the thread's handle is the host's own and no child process needs it.
        HANDLE thread = CreateThread(nullptr, 0, ServiceDispatcherThread, &g_hServiceDispatcherThread, 0, &id);
        if (!thread)
            return -1;
        g_hServiceDispatcherThread = thread;
        g_dwServiceDispatcherThreadId = id;
    } else {
        int reason = RefusalReason();
        if (reason == 1)
            return Refuse(1028, L"This program will be closed. It does not run in multiple instance.");
        if (reason == 2)
            return Refuse(1029, L"This program will be closed. It should be run as a service.");
    }
    // Only a host that goes on running tells other programs where it is.
    PublishMainWindow();
    g_pSharedMemView[2] = 1;
    int exitCode;
    {
        CServiceWindow host;
        exitCode = host.Run();
        SaveMainConfig();
    }
    OleUninitialize();
    g_pSharedMemView[2] = 0;
    return exitCode;
}

}  // namespace

int HostMain(HINSTANCE instance, const wchar_t* commandLine)
{
    CVersionTool version(static_cast<HMODULE>(nullptr));
    ChooseHelpFile(version);
    CreateSharedMemory();
    SetProcessPriority(HIGH_PRIORITY_CLASS);
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
    g_hInstance = instance;
    g_RegIniAccess.Init(TRUE);
    PrepareStatusReport();
    LoadMainConfig();
    g_ResourceAccess.Init();
    g_InfoIcon.LoadMenuResource(instance, IDM_TRAY_MENU);
    BuildTrayMenu();

    HostCommandLine parsed;
    ParseHostCommandLine(commandLine, &parsed);
    switch (parsed.action) {
    case HOST_SWITCH_START_SERVICE:
        ControlServiceByName(0, kHostClassName, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
        return 0;
    case HOST_SWITCH_INSTALL:
        InstallService(SERVICE_INTERACTIVE_PROCESS, kHostClassName, GetModulePath(), SERVICE_AUTO_START, nullptr,
                       version.GetFileDescription(), version.GetProductName());
        return 0;
    case HOST_SWITCH_UNINSTALL: {
        RemoveService(kHostClassName);
        HWND running = FindRunningHostWindow();
        if (running) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(running, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &ignored);
            Sleep(2500);
        }
        return 0;
    }
    case HOST_SWITCH_SHORTCUTS:
        // A field that did not fit leaves the name empty: no nameless shortcuts.
        if (parsed.name[0]) {
            CreateStartupLink(GetModulePath(), parsed.name);
            CreateStartMenuLink(parsed.group, parsed.name, GetModulePath());
        }
        break;
    default:
        break;
    }
    return RunHost();
}

