// The host's start-up, message loop and shutdown, and its status report entries.
#include "host/app/ServiceWindow.h"

#include "bus/BusBuilders.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/DataFolder.h"
#include "foundation/DebugOutput.h"
#include "foundation/FileTools.h"
#include "foundation/Format.h"
#include "foundation/MessagePump.h"
#include "foundation/PathTools.h"
#include "foundation/ProgramFiles.h"
#include "foundation/ResourceAccess.h"
#include "foundation/Seams.h"
#include "foundation/StatusLog.h"
#include "foundation/TextUtils.h"
#include "foundation/VersionTool.h"
#include "host/BusRouter.h"
#include "host/InfoIcon.h"
#include "host/PluginBase.h"
#include "host/app/ConfigDialog.h"
#include "host/app/HostGlobals.h"
#include "host/app/HostUi.h"
#include "host/app/ServiceMode.h"
#include "resources/host/HostResource.h"

#include <cstdlib>
#include <ctime>
#include <cwchar>

namespace {

UINT_PTR g_debugTimer = 0;
UINT_PTR g_wakeUpTimer = 0;

LONG WINAPI CrashGuard(EXCEPTION_POINTERS* pointers)
{
    WriteCrashDump(pointers, 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

// A registry text of at most 127 characters, always terminated (the stored value may lack
// its terminator); a single blank when empty or missing.
void ReadLocationText(HKEY key, const wchar_t* name, wchar_t* text, size_t capacity)
{
    wchar_t value[128] = L"";
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        value[0] = L'\0';
    value[_countof(value) - 1] = L'\0';
    AppendText(text, capacity, value[0] ? value : L" ");
    AppendText(text, capacity, L";");
}

DWORD ReadLocationDword(HKEY key, const wchar_t* name)
{
    DWORD value = 0;
    DWORD bytes = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &bytes) != ERROR_SUCCESS)
        value = 0;
    return value;
}

void ReportLocation()
{
    static const wchar_t kLocations[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";
    DWORD currentId = 0;
    HKEY locations = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLocations, 0, KEY_READ, &locations) == ERROR_SUCCESS) {
        currentId = ReadLocationDword(locations, L"CurrentID");
        RegCloseKey(locations);
    }
    wchar_t text[2048];
    FormatW(text, _countof(text), L"%d;", static_cast<int>(currentId));
    wchar_t subKey[512];
    FormatW(subKey, _countof(subKey), L"%s\\Location%d", kLocations, static_cast<int>(currentId));
    HKEY location = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ | KEY_WOW64_64KEY, &location) != ERROR_SUCCESS) {
        LogLine(0, L"Func.CServiceWindow.Error.Location %d;", static_cast<int>(currentId));
        return;
    }
    wchar_t number[32];
    FormatW(number, _countof(number), L"%d;", static_cast<int>(ReadLocationDword(location, L"Country")));
    AppendText(text, _countof(text), number);
    FormatW(number, _countof(number), L"%d;", static_cast<int>(ReadLocationDword(location, L"Flags")));
    AppendText(text, _countof(text), number);
    for (const wchar_t* name : {L"AreaCode", L"DisableCallWaiting", L"InternationalCarrierCode", L"LongDistanceAccess",
                                L"LongDistanceCarrierCode", L"Name", L"OutsideAccess"})
        ReadLocationText(location, name, text, _countof(text));
    LogLine(0, L"Func.CServiceWindow.Info.Location %s", text);
    RegCloseKey(location);
}

void ReportSystemVersion()
{
    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOEXW*);
    HMODULE ntdll = GetModuleHandleW(L"NTDLL.DLL");
    RtlGetVersionFn rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFn>(GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
    if (!rtlGetVersion)
        return;
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    rtlGetVersion(&info);
    LogLine(0, L"Func.CServiceWindow.Info.WinMajorVersion: %d", static_cast<int>(info.dwMajorVersion));
    LogLine(0, L"Func.CServiceWindow.Info.WinMinorVersion: %d", static_cast<int>(info.dwMinorVersion));
    LogLine(0, L"Func.CServiceWindow.Info.WinBuildNumber: %d", static_cast<int>(info.dwBuildNumber));
    LogLine(0, L"Func.CServiceWindow.Info.dwPlatformId: %d", static_cast<int>(info.dwPlatformId));
    LogLine(0, L"Func.CServiceWindow.Info.wServicePackMajor: %d", static_cast<int>(info.wServicePackMajor));
    LogLine(0, L"Func.CServiceWindow.Info.wServicePackMinor: %d", static_cast<int>(info.wServicePackMinor));
    LogLine(0, L"Func.CServiceWindow.Info.wProductType: %d", static_cast<int>(info.wProductType));
}

void WriteStartupReport(const CVersionTool& version)
{
    LogLine(0, L"Func.CServiceWindow.Begin");
    LogLine(0, L"Func.CServiceWindow.Info.Version:%s", version.GetProductVersion());
    LogLine(0, L"Func.CServiceWindow.Info.ProgramBitness:%d", static_cast<int>(sizeof(void*) * 8));
    LogLine(0, L"Func.CServiceWindow.Info.DebugLevel:%d", static_cast<int>(g_dwGlobalDebugLevel));
    wchar_t text[512] = L"";
    DWORD size = _countof(text);
    if (!GetComputerNameW(text, &size))
        text[0] = L'\0';
    LogLine(0, L"Func.CServiceWindow.Info.ComputerName:%s", text);
    size = _countof(text);
    if (!GetUserNameW(text, &size))
        text[0] = L'\0';
    LogLine(0, L"Func.CServiceWindow.Info.UserName:%s", text);
    if (!GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTLANGUAGE, text, _countof(text)))
        text[0] = L'\0';
    LogLine(0, L"Func.CServiceWindow.Info.Language:%s", text);
    UINT length = GetWindowsDirectoryW(text, _countof(text));
    LogLine(0, L"Func.CServiceWindow.Info.WinDir %d Bytes %s", static_cast<int>(length), text);
    GetSystemDirectoryW(text, _countof(text));
    LogLine(0, L"Func.CServiceWindow.Info.SysDir %s", text);
    LogLine(0, L"Func.CServiceWindow.Var.g_szHelpLink %s", g_szHelpLink);
    SYSTEM_INFO si = {};
    GetSystemInfo(&si);
    FormatW(text, _countof(text),
            L"Architecture:0x%04X;ActiveProcessorMask:0x%08X;NumberOfProcessors:0x%08X;ProcessorType:0x%08X;"
            L"ProcessorLevel:0x%04X;Processor:0x%04X;",
            si.wProcessorArchitecture, static_cast<unsigned>(si.dwActiveProcessorMask), si.dwNumberOfProcessors,
            si.dwProcessorType, si.wProcessorLevel, si.wProcessorRevision);
    LogLine(0, L"Func.CServiceWindow.Info.Processor:%s", text);
    ReportSystemVersion();
    LogLine(0, L"Func.CServiceWindow.Info.IsServer:%d", static_cast<int>(IsServer()));
    LogLine(2, L"Func.CServiceWindow.Info.Var.g_hWndParent 0x%08X",
            static_cast<unsigned>(reinterpret_cast<UINT_PTR>(g_hWndParent)));
    // 64-bit ticks: no wrap after 49.7 days.
    ULONGLONG seconds = GetTickCount64() / 1000;
    LogLine(0, L"Func.CServiceWindow.Info.Runtime:%d:%02d:%02d", static_cast<int>(seconds / 3600),
            static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    ReportLocation();
    LogLine(3, L"Func.CServiceWindow.Info.Version:%s", version.GetProductVersion());
}

}  // namespace

CServiceWindow::CServiceWindow()
{
    g_pServiceWindow = this;
    srand(static_cast<unsigned>(time(nullptr)));
    WriteLastError(L"OK");
    WriteProgramStatus(L"STARTING");
    // The service status record was prepared before the dispatcher thread started (RunHost).
    CVersionTool version(static_cast<HMODULE>(nullptr));
    if (!g_bServiceMode) {
        g_InfoIcon.SetEnabled(TRUE);
        g_InfoIcon.Create(g_hInstance, g_hWndParent, WM_QOR_TRAYNOTIFY, kTrayIconId, IDI_TRAY_RUNNING,
                          IDI_TRAY_STOPPED, IDI_TRAY_PAUSED);
        g_InfoIcon.SetTip(L"%s", version.GetProductName());
        g_InfoIcon.SetState(0);
        g_InfoIcon.RemoveServiceItems();
    }
    g_PluginDebug.LoadAllModules();
    g_PluginSearch.LoadAllModules();
    g_PluginSave.LoadAllModules();
    g_PluginInfo.LoadAllModules();
    g_PluginExtra.LoadAllModules();
    g_PluginTelephony.LoadAllModules();
    Sleep(250);
    g_PluginDebug.AfterLoad();
    SleepPumping(250);
    WriteStartupReport(version);
    g_PluginDebug.PrintFileInfos();
    g_PluginSearch.PrintFileInfos();
    g_PluginSave.PrintFileInfos();
    g_PluginInfo.PrintFileInfos();
    g_PluginExtra.PrintFileInfos();
    g_PluginTelephony.PrintFileInfos();
    PrintSubProgram(L"QORHELP.EXE");
    PrintSubProgram(L"Resource\\RESOURCE.DLL");
    PrintSubProgram(L"Resource\\De\\RESOURCE.DLL");
    PrintSubProgram(L"Resource\\En\\RESOURCE.DLL");
    LogLine(3, L"Func.CServiceWindow.Info.Begin After Load Action");
    g_PluginSearch.AfterLoad();
    g_PluginSave.AfterLoad();
    g_PluginInfo.AfterLoad();
    g_PluginExtra.AfterLoad();
    g_PluginTelephony.AfterLoad();
    LogLine(3, L"Func.CServiceWindow.Info.End After Load Action");
    StartMonitorThread();
    LogLine(3, L"Func.CServiceWindow.Info.MonitorThread started");
    ReplaceUpdaterProgram();
    LogLine(1, L"Func.CServiceWindow.Info.Application started");
    g_debugTimer = SetTimer(g_hWndParent, TIMER_DEBUGSETTINGS, 3600000, nullptr);
    g_wakeUpTimer = SetTimer(g_hWndParent, TIMER_WAKEUP, 10000, nullptr);
    WriteProgramStatus(L"OK");
    LogLine(0, L"Func.CServiceWindow.End");
}

CServiceWindow::~CServiceWindow()
{
    CloseConfig();
    StopMonitorThread();
    if (g_hWndParent && IsWindow(g_hWndParent))
        DestroyWindow(g_hWndParent);
    g_hWndParent = nullptr;
    UnregisterClassW(kHostClassName, g_hInstance);
    WriteProgramStatus(L"ENDED");
    g_pServiceWindow = nullptr;
}

int CServiceWindow::Run()
{
    // An exception that escapes a message's handling writes a dump; the process then ends.
    SetUnhandledExceptionFilter(CrashGuard);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        if (msg.message == 0)
            continue;
        if (msg.message == WM_KEYUP)
            ConfigKeyUp(msg.hwnd, msg.wParam);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

DWORD CServiceWindow::DistributeBusMessage(UINT type, HGLOBAL block)
{
    return g_BusRouter.DistributeBusMessage(type, block);
}

void CServiceWindow::OnTrayNotify(UINT mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONUP: {
        const wchar_t* folder = nullptr;
        if (GetKeyState('C') & 0x8000)
            folder = GetDataFolder(L"CFG");
        else if (GetKeyState('L') & 0x8000)
            folder = GetDataFolder(L"LOG");
        else if (GetKeyState('S') & 0x8000)
            folder = GetModuleFolder();
        if (folder)
            ShellExecuteW(nullptr, L"open", L"explorer", folder, nullptr, SW_SHOWNORMAL);
        else
            SendBusType(g_hWndParent, FALSE, QOR_BUSMSG_TRAYCLICK);
        break;
    }
    case WM_LBUTTONDBLCLK:
        if (SendBusType(g_hWndParent, TRUE, QOR_BUSMSG_TRAYDBLCLICK))
            ShowConfig(0);
        break;
    case WM_RBUTTONUP:
        SendBusType(g_hWndParent, TRUE, QOR_BUSMSG_TRAYRCLICK);
        g_InfoIcon.ShowPopupMenu();
        break;
    default:
        break;
    }
}

void CServiceWindow::OnCommand(WPARAM id)
{
    switch (id) {
    case IDM_TRAY_SETTINGS:
        ShowConfig(0);
        break;
    case IDM_TRAY_HELP:
        ShowHelp(1, 1);
        break;
    case IDM_TRAY_INFO:
        ShowAbout();
        break;
    case IDM_TRAY_PAUSE:
        if (g_bServiceRunning)
            ControlHostService(SERVICE_CONTROL_PAUSE);
        else
            SendMessageW(g_hWndParent, WM_QOR_SERVICECONTROL, 7, 0);
        break;
    case IDM_TRAY_CONTINUE:
        if (g_bServiceRunning)
            ControlHostService(SERVICE_CONTROL_CONTINUE);
        else
            SendMessageW(g_hWndParent, WM_QOR_SERVICECONTROL, 4, 0);
        break;
    case IDM_TRAY_END: {
        if (g_bEndQuestionOpen)
            return;
        g_bEndQuestionOpen = 1;
        wchar_t caption[127];
        CopyText(caption, _countof(caption), g_ResourceAccess.GetString(1025, L"Program end"));
        int answer = g_pfnMessageBoxW(nullptr, g_ResourceAccess.GetString(1026, L"Should the program be terminated?"),
                                      caption, MB_OKCANCEL | MB_ICONQUESTION | MB_TOPMOST);
        if (answer == IDOK)
            RequestProgramEnd(TRUE);
        g_bEndQuestionOpen = 0;
        break;
    }
    default:
        SendBusMenuCommand(FALSE, g_hWndParent, static_cast<UINT>(id), 0);
        break;
    }
}

void CServiceWindow::WriteProgramStatus(const wchar_t* text)
{
    g_StatusLog.WriteText(L"ProgramStatus", L"Status", text);
}

void CServiceWindow::WriteLastError(const wchar_t* text)
{
    g_StatusLog.WriteText(L"LastError", L"Error", text);
}

void WritePrgMsg(const wchar_t* text)
{
    static const wchar_t* const keys[] = {L"Type", L"Command", L"Partner", L"Sender"};
    for (const wchar_t* key : keys) {
        wchar_t value[31];
        CopyText(value, _countof(value), GetValueByKeyword(text, key));
        g_StatusLog.WriteText(L"PrgMsg", key, value);
    }
}

void PrintSubProgram(const wchar_t* relativeName)
{
    // Every line here is of level 3: below it the file's version is not read at all.
    if (!LogLevelOn(3))
        return;
    LogLine(3, L"Func.PrintSubProgram.Begin");
    LogLine(3, L"Func.PrintSubProgram.Param._pszModule %s", relativeName ? relativeName : L"NULL");
    if (relativeName) {
        wchar_t path[511];
        CopyText(path, _countof(path), GetModuleFolder());
        size_t length = wcslen(path);
        if (length == 0 || path[length - 1] != L'\\')
            AppendText(path, _countof(path), L"\\");
        AppendText(path, _countof(path), relativeName);
        if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
            CVersionTool version(path);
            wchar_t text[1024];
            FormatW(text, _countof(text), L"Module%s;%s;%s;", path, version.GetProductVersion(),
                    version.GetFileVersion());
            LogLine(3, L"Func.PrintSubProgram.Info.%s", text);
        }
    }
    LogLine(3, L"Func.PrintSubProgram.End");
}

DWORD IsServer()
{
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.wProductType = VER_NT_WORKSTATION;
    DWORDLONG mask = VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL);
    return VerifyVersionInfoW(&info, VER_PRODUCT_TYPE, mask) ? 0 : 1;
}
