// The host's hidden main window: the address of the whole bus. It keeps the bus types meant
// for the host itself, hands every other one to the router, and takes the texts that other
// programs put on it with WM_SETTEXT.
#include "host/app/ServiceWindow.h"

#include "bus/BusBuilders.h"
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/ResourceAccess.h"
#include "foundation/SharedMem.h"
#include "foundation/StatusLog.h"
#include "foundation/TextUtils.h"
#include "host/BusRouter.h"
#include "host/InfoIcon.h"
#include "host/PluginBase.h"
#include "host/ProgramState.h"
#include "host/app/ConfigDialog.h"
#include "host/app/HostGlobals.h"
#include "host/app/HostUi.h"
#include "host/app/MainConfig.h"
#include "host/app/ServiceMode.h"
#include "resources/host/HostResource.h"

#include <cwchar>
#include <vector>

namespace {

std::vector<HostMainThreadFunc> g_mainThreadFuncs;
bool g_bPluginsClosed = false;
// Set once the end has begun: from then on the host takes no more work.
bool g_bEnding = false;
// A last error that came while the host ended: written once, after the end's pumps.
bool g_bLastErrorPending = false;
// How long the end waits for the shell's removal of the tray icon once the plug-ins are
// closed (which takes half a second already); a healthy shell is done long before.
constexpr DWORD kTrayRemovalWait = 100;
// The plug-ins' closing pumps the thread's messages for their last log lines. Behind them
// may wait any number of messages that other programs queued, and each one costs its turn
// through the queue even when it is dropped unread: past this the rest go with the process.
constexpr DWORD kClosingPumpBudget = 25;

// The value of keyword, cut to at most maxChars characters.
void ReadValue(wchar_t* dst, size_t maxChars, const wchar_t* text, const wchar_t* keyword)
{
    CopyText(dst, maxChars + 1, GetValueByKeyword(text, keyword));
}

long ReadNumber(const wchar_t* text, const wchar_t* keyword, size_t maxChars = 30)
{
    wchar_t value[256];
    ReadValue(value, maxChars < 255 ? maxChars : 255, text, keyword);
    return ParseNumber(value);
}

bool TrayMode()
{
    return g_bServiceMode == 0;
}

// The types the host handles without the router (it frees their blocks itself).
bool IsHostOnlyType(UINT type)
{
    switch (type) {
    case QOR_BUSMSG_MENUENABLE: case QOR_BUSMSG_COMMAND: case QOR_BUSMSG_SHOWCONFIG:
    case QOR_BUSMSG_PROGRAMEND: case QOR_BUSMSG_MENUAPPEND: case QOR_BUSMSG_SETICON:
    case QOR_BUSMSG_CLOSECONFIG: case QOR_BUSMSG_MENUSHOW: case QOR_BUSMSG_MENUTEXT:
    case QOR_BUSMSG_LASTERROR: case QOR_BUSMSG_MENUDELETE: case QOR_BUSMSG_MENUCHECK:
        return true;
    default:
        return false;
    }
}

void HandleHostOnlyType(UINT type, const wchar_t* text)
{
    wchar_t value[256];
    switch (type) {
    case QOR_BUSMSG_MENUENABLE:
        if (TrayMode())
            g_InfoIcon.EnableMenuItem(static_cast<UINT>(ReadNumber(text, L"ID")), ReadNumber(text, L"Enable") != 0);
        break;
    case QOR_BUSMSG_COMMAND: {
        wchar_t command[127];
        ReadValue(command, 126, text, L"CMD");
        ReadValue(value, 254, text, L"Arg");
        g_BusRouter.ExecuteBusCommand(command, value);
        break;
    }
    case QOR_BUSMSG_SHOWCONFIG:
        ShowConfig(static_cast<DWORD>(ReadNumber(text, L"Module")));
        break;
    case QOR_BUSMSG_PROGRAMEND:
        RequestProgramEnd(FALSE);
        break;
    case QOR_BUSMSG_MENUAPPEND:
        if (TrayMode()) {
            ReadValue(value, 126, text, L"Text");
            g_InfoIcon.AppendMenuItem(static_cast<UINT>(ReadNumber(text, L"ID")), value);
        }
        break;
    case QOR_BUSMSG_SETICON: {
        HWND target = reinterpret_cast<HWND>(static_cast<INT_PTR>(ReadNumber(text, L"Window")));
        if (target && IsWindow(target)) {
            HICON icon = static_cast<HICON>(
                LoadImageW(g_hInstance, MAKEINTRESOURCEW(IDI_TRAY_RUNNING), IMAGE_ICON, 16, 16, LR_SHARED));
            // A hung window must not stop the bus.
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(target, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon),
                                SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &ignored);
        }
        break;
    }
    case QOR_BUSMSG_CLOSECONFIG:
        CloseConfig();
        break;
    case QOR_BUSMSG_MENUSHOW:
        if (TrayMode()) {
            ReadValue(value, 254, text, L"Text");
            g_InfoIcon.ShowMenuItem(static_cast<UINT>(ReadNumber(text, L"ID")), ReadNumber(text, L"Visible") != 0,
                                    ReadNumber(text, L"Separator") != 0, value);
        }
        break;
    case QOR_BUSMSG_MENUTEXT:
        if (TrayMode()) {
            ReadValue(value, 254, text, L"Text");
            g_InfoIcon.SetMenuItemText(static_cast<UINT>(ReadNumber(text, L"ID")), value);
        }
        break;
    case QOR_BUSMSG_LASTERROR:
        ReadValue(g_szLastError, 254, text, L"LastErr");
        CServiceWindow::WriteLastError(g_szLastError);
        break;
    case QOR_BUSMSG_MENUDELETE:
        g_InfoIcon.DeleteMenuItem(static_cast<UINT>(ReadNumber(text, L"ID")));
        break;
    case QOR_BUSMSG_MENUCHECK:
        g_InfoIcon.CheckMenuItem(static_cast<UINT>(ReadNumber(text, L"ID")), ReadNumber(text, L"Enable") != 0);
        break;
    default:
        break;
    }
}

LRESULT OnBusMessage(UINT type, HGLOBAL block)
{
    const wchar_t* text = GetBusBlockText(block);
    if (!text) {
        // Another program's pointer, or no block at all: nothing of it is read or freed.
        LogLine(0, L"Func.MainWndProc.Error.Type %u: no readable message block 0x%08X", type,
                static_cast<unsigned>(reinterpret_cast<UINT_PTR>(block)));
        return 0;
    }
    if (IsHostOnlyType(type)) {
        HandleHostOnlyType(type, text);
        // Freed as the router frees a delivered message: the MemBlock block too.
        g_BusRouter.ReleaseBlock(block);
        return 0;
    }
    switch (type) {
    case QOR_BUSMSG_LOG:
        g_pServiceWindow->DistributeBusMessage(type, block);
        return 0;
    case QOR_BUSMSG_APPLY:
    case QOR_BUSMSG_APPLYALL:
        ApplyDisableStates();
        g_pServiceWindow->DistributeBusMessage(type, block);
        return 0;
    case QOR_BUSMSG_STATE:
        if (TrayMode()) {
            ProgramStateInfo info = GetProgramStateInfo(ReadNumber(text, L"State", 126));
            CServiceWindow::WriteProgramStatus(info.text);
            g_InfoIcon.SetState(info.trayImage);
        }
        g_pServiceWindow->DistributeBusMessage(type, block);
        return 0;
    case QOR_BUSMSG_DEBUGLEVEL:
        g_dwGlobalDebugLevel = static_cast<DWORD>(ReadNumber(text, L"Level"));
        g_pServiceWindow->DistributeBusMessage(type, block);
        return 0;
    case QOR_BUSMSG_FORCEIGNORE:
    case QOR_BUSMSG_ALLOWDISABLE:
        g_pServiceWindow->DistributeBusMessage(type, block);
        PostMessageW(g_hWndParent, WM_QOR_MODULESCHANGED, 0, 0);
        return 0;
    default:
        return static_cast<LRESULT>(g_pServiceWindow->DistributeBusMessage(type, block));
    }
}

// A bus text from another program. Its block is the host's own, sized by the one block rule
// of SendBusMessage, so a long text arrives whole up to the bus value limit.
LRESULT OnSetText(WPARAM wParam, const wchar_t* text)
{
    if (!text || text[0] != L'<')
        return 0;
    UINT type = static_cast<UINT>(ReadNumber(text, L"Type"));
    // The router never honours a MemBlock value of such a text.
    if (type == QOR_BUSMSG_PROGRAMEND) {
        // Handled now even when posting was asked for: queued, the end would wait behind
        // everything other programs have put on the host before it. The process ends in it.
        WritePrgMsg(text);
        g_BusRouter.PassForeignText(g_hWndParent, true, type, text);
        return 0;
    }
    g_BusRouter.PassForeignText(g_hWndParent, wParam != 0, type, text);
    WritePrgMsg(text);
    return 0;
}

void OnSchemeChanged(HGLOBAL block)
{
    const wchar_t* text = GetBusBlockText(block);
    if (!text) {
        LogLine(0, L"Func.MainWndProc.Error.WM_QOR_SCHEMECHANGED: no readable message block");
        return;
    }
    // The second value reader: the sender's text is not overwritten.
    g_dwSchemeIndex = static_cast<DWORD>(ParseNumber(GetValueByKeyword2(text, L"SchemeIndex")));
    CopyText(g_szUsedFont, 127, GetValueByKeyword2(text, L"UsedFont"));
    CopyText(g_szUsedLanguage, 31, GetValueByKeyword2(text, L"UsedLanguage"));
    SendBusScheme(g_hWndParent, g_dwSchemeIndex, g_szUsedFont, g_szUsedLanguage);
    g_ResourceAccess.SwitchLanguage(g_szUsedLanguage);
    BuildTrayMenu();
    BOOL configOpen = IsConfigOpen();
    CloseAbout();
    if (configOpen) {
        CloseConfig();
        Sleep(100);
        ShowConfig(0);
        SelectConfigPage(L"Extra", L"Scheme config");
    }
}

void OnTimer(WPARAM id)
{
    if (id == TIMER_DEBUGSETTINGS) {
        LogLine(4, L"Event.TIMER_DEBUGSETTINGS.Begin");
        LogLine(0, L"Event.TIMER_DEBUGSETTINGS.Var.g_dwGlobalDebugLevel: %d", static_cast<int>(g_dwGlobalDebugLevel));
        g_PluginDebug.PrintFileInfos();
        LogLine(4, L"Event.TIMER_DEBUGSETTINGS.End");
    } else if (id == TIMER_WAKEUP) {
        if (g_bWakeUpPending) {
            LogLine(4, L"Event.TIMER_WAKEUP.Begin");
            SendBusType(g_hWndParent, FALSE, QOR_BUSMSG_WAKEUP);
            g_bWakeUpPending = 0;
            LogLine(4, L"Event.TIMER_WAKEUP.End");
        }
    }
}

// The plug-ins' closing pumps the thread's messages, and what waits in the queue may be
// anything other programs put there, thousands of messages deep. While the host ends it takes
// no more work: no dialog, no menu, no command, no plug-in load. The host's own log lines
// still reach the trace plug-ins, and its own last error is kept for the status report (one
// write when the pumps are done, not one per message); everything other programs queued,
// and every post whose block is no block of ours, is dropped unread and without a log line
// (a line would be one more message in the queue the end is working through).
LRESULT WhileEnding(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QOR_BUSMESSAGE: {
        auto block = reinterpret_cast<HGLOBAL>(lParam);
        const wchar_t* text = g_BusRouter.IsForeign(block) ? nullptr : GetBusBlockText(block);
        if (text && g_pServiceWindow && wParam == QOR_BUSMSG_LOG)
            return OnBusMessage(QOR_BUSMSG_LOG, block);
        if (text && wParam == QOR_BUSMSG_LASTERROR) {
            ReadValue(g_szLastError, 254, text, L"LastErr");
            g_bLastErrorPending = true;
        }
        if (text || g_BusRouter.IsForeign(block))
            g_BusRouter.ReleaseBlock(block);
        return 0;
    }
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_SETTEXT:
    case WM_COMMAND:
    case WM_TIMER:
    case WM_QOR_TRAYNOTIFY:
    case WM_QOR_SERVICECONTROL:
    case WM_QOR_CONFIGCHANGED:
    case WM_QOR_MODULESCHANGED:
    case WM_QOR_RUNINMAINTHREAD:
    case WM_QOR_SCHEMECHANGED:
    case WM_HOST_TRAYCHECK:
        return 0;
    case WM_QOR_LOGLINE: {
        const wchar_t* text = GetBusBlockText(reinterpret_cast<HGLOBAL>(lParam));
        if (text)
            SendBusLog(window, static_cast<DWORD>(wParam), text);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

LPARAM RegisterMainThreadFunc(HostMainThreadFunc func)
{
    if (func)
        g_mainThreadFuncs.push_back(func);
    return reinterpret_cast<LPARAM>(func);
}

namespace {

// Handles the waiting messages until none is left or the budget is spent.
void PumpWithin(DWORD budget)
{
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < budget && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The closing's half-second pause. The messages that come meanwhile are handled in it rather
// than after it: a long queue then drains in time the end spends anyway.
void PumpingPause(DWORD duration)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (GetTickCount() - start < duration && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DWORD spent = GetTickCount() - start;
        if (spent >= duration)
            return;
        MsgWaitForMultipleObjectsEx(0, nullptr, duration - spent, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace

void UnloadAllPlugins()
{
    // Once only: the plug-ins' closing must not run twice (an ended session, then WM_DESTROY).
    if (g_bPluginsClosed)
        return;
    g_bPluginsClosed = true;
    g_PluginSearch.BeforeClose();
    g_PluginSave.BeforeClose();
    g_PluginInfo.BeforeClose();
    g_PluginExtra.BeforeClose();
    g_PluginTelephony.BeforeClose();
    PumpWithin(kClosingPumpBudget);
    g_PluginDebug.BeforeClose();
    PumpingPause(500);
    PumpWithin(kClosingPumpBudget);
}

void CreateMainWindow()
{
    if (g_hWndParent)
        return;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = g_hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kHostClassName;
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, kHostClassName, kHostClassName, WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr,
                                  nullptr, g_hInstance, nullptr);
    g_hWndParent = window;
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, HOST_WINDOW_MAGIC);
        ShowWindow(window, SW_HIDE);
    }
}

void PublishMainWindow()
{
    g_pSharedMemView[3] = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(g_hWndParent));
}

void EndHostProcess()
{
    // Once: a message handled while the plug-ins close (another end request, WM_CLOSE) leaves
    // the end to the call already under way.
    if (g_bEnding)
        return;
    g_bEnding = true;
    LogLine(4, L"Event.WM_DESTROY.Begin");
    LogLine(4, L"Event.WM_DESTROY.End");
    // A sender from another thread or program is answered now: the process ends in here.
    if (InSendMessage())
        ReplyMessage(0);
    // The monitor would put the icon back; its wait ends at once.
    StopMonitorThread();
    // The shell removes the icon while the plug-ins close; it gets a little longer, not more.
    HANDLE iconRemoval = StartTrayIconRemoval();
    SaveMainConfig();
    UnloadAllPlugins();
    FinishTrayIconRemoval(iconRemoval, kTrayRemovalWait);
    if (g_bLastErrorPending)
        CServiceWindow::WriteLastError(g_szLastError);
    // The process ends here, so the tail of the entry never runs: the end state goes out now.
    CServiceWindow::WriteProgramStatus(L"ENDED");
    g_pSharedMemView[2] = 0;
    if (g_pSharedMemView[3] == static_cast<DWORD>(reinterpret_cast<UINT_PTR>(g_hWndParent)))
        g_pSharedMemView[3] = 0;
    PostQuitMessage(0);
    g_hWndParent = nullptr;
    // A service reports STOPPED last: the service control manager may end the process at
    // any moment after it.
    ReportServiceEnded();
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(g_nHostExitCode));
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_bEnding)
        return WhileEnding(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        EndHostProcess();
        return 0;
    case WM_SETTEXT:
        return OnSetText(wParam, reinterpret_cast<const wchar_t*>(lParam));
    case WM_CLOSE:
        DestroyWindow(window);
        return 1;
    case WM_QUERYENDSESSION:
        // The log-off may still be cancelled: the plug-ins close only once it happens.
        break;
    case WM_ENDSESSION:
        if (wParam)
            UnloadAllPlugins();
        return 0;
    case WM_COMMAND:
        if (g_pServiceWindow)
            g_pServiceWindow->OnCommand(wParam);
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        break;
    case WM_POWERBROADCAST:
        LogLine(2, L"Event.WM_POWERBROADCAST.Begin");
        LogLine(2, L"Event.WM_POWERBROADCAST.Param._wParam 0x%08X", static_cast<unsigned>(wParam));
        LogLine(2, L"Event.WM_POWERBROADCAST.Param._lParam 0x%08X", static_cast<unsigned>(lParam));
        if (wParam == PBT_APMRESUMESUSPEND)
            g_bWakeUpPending = 1;
        LogLine(2, L"Event.WM_POWERBROADCAST.End");
        break;
    case WM_QOR_TRAYNOTIFY:
        if (g_pServiceWindow)
            g_pServiceWindow->OnTrayNotify(static_cast<UINT>(lParam));
        return 0;
    case WM_QOR_SERVICECONTROL:
        DispatchServiceMessages(wParam);
        return 0;
    case WM_QOR_LOGLINE: {
        const wchar_t* text = GetBusBlockText(reinterpret_cast<HGLOBAL>(lParam));
        if (text)
            SendBusLog(window, static_cast<DWORD>(wParam), text);
        else
            LogLine(0, L"Func.MainWndProc.Error.WM_QOR_LOGLINE: no readable message block");
        return 0;
    }
    case WM_QOR_BUSMESSAGE:
        if (!g_pServiceWindow) {
            // Before the start-up or after the end: nothing to hand it to.
            g_BusRouter.ReleaseBlock(reinterpret_cast<HGLOBAL>(lParam));
            return 0;
        }
        return OnBusMessage(static_cast<UINT>(wParam), reinterpret_cast<HGLOBAL>(lParam));
    case WM_QOR_CONFIGCHANGED:
        MarkConfigChanged();
        UpdateConfigButtons();
        return 0;
    case WM_QOR_MODULESCHANGED:
        g_PluginSearch.UpdateCanDisable();
        FillModuleList();
        break;
    case WM_QOR_RUNINMAINTHREAD:
        if (lParam) {
            for (HostMainThreadFunc func : g_mainThreadFuncs) {
                if (reinterpret_cast<LPARAM>(func) == lParam) {
                    func();
                    break;
                }
            }
        }
        break;
    case WM_QOR_SCHEMECHANGED:
        OnSchemeChanged(reinterpret_cast<HGLOBAL>(lParam));
        break;
    case WM_HOST_TRAYCHECK:
        CheckTrayIcon();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
