#include "plugins/info_visette/VisetteState.h"

#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/CommonBusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"
#include "foundation/WindowSearch.h"
#include "plugins/info_visette/Popup.h"
#include "plugins/info_visette/PopupPosition.h"
#include "plugins/info_visette/SettingsPage.h"

#include <cwchar>
#include <initializer_list>

HINSTANCE g_hInstance = nullptr;
VisetteSettings g_Settings;
DWORD g_dwScalePercent = 100;
DWORD g_dwPopupWidth = 450;

HWND g_hConfigPage = nullptr;
BOOL g_bPageFilled = FALSE;

CRegIniAccess g_RegIni;
CResourceAccess g_Resource;
CQorDlgColors g_DlgColors;
CQorDlgFonts g_DlgFonts;

CQorCallStruct g_CallStruct;
volatile LONG g_dwRestLoopCount = 0;
volatile LONG g_bPopupClosed = 0;
CRITICAL_SECTION g_csPopup;

namespace {

const wchar_t kGeneral[] = L"General";
bool g_bStateReady = false;
bool g_bStarted = false;

DWORD ReadNumber(const wchar_t* key, const wchar_t* defaultText)
{
    return static_cast<DWORD>(_wtoi(g_RegIni.ReadStringDefault(kGeneral, key, defaultText)));
}

void LogSaveResult(const wchar_t* key, int ok)
{
    if (ok)
        LogLine(2, L"Func.DoSaveSettings.Info.Write Settings OK! (%s)", key);
    else
        LogLine(0, L"Func.DoSaveSettings.Error.Write Settings ERROR! (%s)", key);
}

void SaveIgnoreModule()
{
    // The switch is stored even while the plug-in is off; only the log lines need it on.
    if (g_RegIni.WriteInt(kGeneral, L"IgnoreModule", g_bIgnoreModule))
        LogLine(2, L"Func.DoSaveSettings.Info.Write Settings OK!0");
    else
        LogLine(0, L"Func.DoSaveSettings.Error.Write Settings ERROR!0");
}

}  // namespace

void InitModuleState(HINSTANCE instance)
{
    g_hInstance = instance;
    if (!g_bStateReady) {
        InitializeCriticalSection(&g_csPopup);
        g_bStateReady = true;
    }
    SetBusSenderName(L"PLUGININFOVISETTE");
    SetLogModuleName(L"PLUGININFOVISETTE");
    g_RegIni.Init(TRUE);
    g_Resource.Init();
    // A scheme message switches this module's language library.
    SetCommonResourceAccess(&g_Resource);
}

void DoReadSettings()
{
    g_bIgnoreModule = static_cast<int>(ReadNumber(L"IgnoreModule", nullptr));
    g_dwUsedScreen = ReadNumber(L"UsedScreen", nullptr);
    g_Settings.PreferredMonitor = ReadNumber(L"PreferredMonitor", nullptr);
    g_dwPreferredMonitor = g_Settings.PreferredMonitor;
    g_dwUsedScreen = g_Settings.PreferredMonitor;
    g_Settings.UsedPosition = ReadNumber(L"UsedPosition", L"0") & 3;
    g_Settings.UsePictures = ReadNumber(L"UsePictures", nullptr);
    g_Settings.Duration = ReadNumber(L"Duration", nullptr);
    if (g_Settings.Duration == 0)
        g_Settings.Duration = 10;
    g_Settings.UseDuration = ReadNumber(L"UseDuration", L"1");
    g_Settings.ScaleIndex = ReadNumber(L"ScaleIndex", L"0");
    CheckScaleFactor(&g_Settings.ScaleIndex, &g_dwScalePercent, &g_dwPopupWidth);
}

void DoSaveSettings()
{
    SaveIgnoreModule();
    struct {
        const wchar_t* key;
        DWORD value;
    } values[] = {
        {L"UsedScreen", g_dwUsedScreen},
        {L"PreferredMonitor", g_Settings.PreferredMonitor},
        {L"UsePictures", g_Settings.UsePictures},
        {L"Duration", g_Settings.Duration},
        {L"UseDuration", g_Settings.UseDuration},
        {L"UsedPosition", g_Settings.UsedPosition},
        {L"ScaleIndex", g_Settings.ScaleIndex},
    };
    for (const auto& v : values)
        LogSaveResult(v.key, g_RegIni.WriteInt(kGeneral, v.key, static_cast<int>(v.value)));
}

void DoBusProcessCommon(DWORD type, const wchar_t* text)
{
    // Debug level, forced ignore, allow disable and scheme, as every module handles them.
    HandleCommonBusTypes(type, text);
    if (type == QOR_BUSMSG_APPLYALL)
        SaveIgnoreModule();
}

DWORD VisetteBusProcess(DWORD type, const wchar_t* text)
{
    DoBusProcessCommon(type, text);
    if (g_bIgnoreModule)
        return 1;
    switch (type) {
    case QOR_BUSMSG_APPLY:
    case QOR_BUSMSG_APPLYALL:
        if (!ApplySettingsPage())
            return 1;
        if (type == QOR_BUSMSG_APPLY) {
            VisetteStop();
            VisetteStart();
        }
        g_bPageFilled = TRUE;
        return 0;
    case QOR_BUSMSG_PLUGINRESTART:
        if (_wtoi(GetValueByKeyword(text, L"PluginID")) == static_cast<int>(kVisettePluginId)) {
            DoReadSettings();
            VisetteStop();
            VisetteStart();
        }
        return 1;
    case QOR_BUSMSG_CALLEVENT:
        DoInfo(text);
        return 1;
    case QOR_BUSMSG_CLOSEPOPUP:
        CloseHTMLPopup();
        return 1;
    default:
        return 1;
    }
}

void VisetteStart()
{
    LogLine(3, L"Func.DLL_PluginAfterLoad.Begin");
    if (!g_hWndParent || !IsWindow(g_hWndParent))
        g_hWndParent = FindOwnHostWindow();
    g_MonitorPosition.UpdateMonitorRect();
    if (!StartInfoLoopThread())
        LogLine(0, L"Func.DLL_PluginAfterLoad.Error.No display thread");
    g_bStarted = true;
    LogLine(3, L"Func.DLL_PluginAfterLoad.End");
}

void VisetteStop()
{
    LogLine(3, L"Func.DLL_PluginBeforeClose.Begin");
    CloseHTMLPopup();
    StopInfoLoopThread();
    g_dwRestLoopCount = 0;
    if (g_bStarted) {
        DoSaveSettings();
        g_bStarted = false;
    }
    LogLine(3, L"Func.DLL_PluginBeforeClose.End");
}
