#include "plugins/telephony_orkane/Lifecycle.h"

#include <cwchar>
#include <cwctype>
#include <initializer_list>

#include "bus/BusBuilders.h"
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/CommonBusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "foundation/TextUtils.h"
#include "foundation/WindowSearch.h"
#include "plugins/telephony_orkane/CallControl.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/ConfirmDialog.h"
#include "plugins/telephony_orkane/InnovaphoneVars.h"
#include "plugins/telephony_orkane/Login.h"
#include "plugins/telephony_orkane/ModuleObjects.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "plugins/telephony_orkane/Settings.h"
#include "plugins/telephony_orkane/SettingsPage.h"

HINSTANCE g_hInstance;

namespace {

BOOL g_bMenuSeparatorAdded;
// DLL_PluginAfterLoad ran (and its DLL_PluginBeforeClose not yet).
BOOL g_bLoaded;
// The connections were started and not yet stopped.
BOOL g_bConnectionStarted;

void StartConnections()
{
    if (InnovaphoneVarsUser.m_szUser[0] && InnovaphoneVarsUser.m_szPassword[0] && g_szBaseURL[0]) {
        StartLoginThread();
        g_bConnectionStarted = TRUE;
    }
}

void StopConnections()
{
    CloseConfirmDialog();
    SendBusState(g_hWndParent, 0);
    // The login and confirmation threads stop cooperatively; the connections close after them.
    StopLoginThreads();
    MonitorStop();
    CloseWebSocket(&InnovaphoneVarsUser, TRUE);
    CloseWebSocket(&InnovaphoneVarsApp, TRUE);
    g_bConnectionStarted = FALSE;
}

void SelectDeviceFromMenu(const wchar_t* text)
{
    int id = _wtoi(GetValueByKeyword(text, L"WParam"));
    if (id < kDeviceMenuFirst || id >= kDeviceMenuEnd)
        return;
    BOOL chosen = FALSE;
    EnterCriticalSection(&g_csDispatch);
    size_t index = (size_t)(id - kDeviceMenuFirst);
    if (index < g_RccDevices.size()) {
        CopyText(g_szSelectedDevice, _countof(g_szSelectedDevice), g_RccDevices[index].m_szDeviceName);
        chosen = TRUE;
    }
    LeaveCriticalSection(&g_csDispatch);
    if (!chosen)
        return;
    CheckDeviceMenuItems();
    BuildDeviceMenu();
    FillDeviceCombo();
}

// A plug-in switched off in the settings dialog ends its PBX login; switched on again, it
// logs in again.
void FollowDisableState()
{
    if (!g_bLoaded)
        return;
    if (g_bIgnoreModule && g_bConnectionStarted) {
        LogLine(0, L"Func.DLL_PluginBusProcess.Info.Switched off");
        StopConnections();
        DoEnableControls();
    } else if (!g_bIgnoreModule && !g_bConnectionStarted) {
        StartConnections();
        DoEnableControls();
    }
}

INIT_ONCE g_moduleInit = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK CompleteModuleInit(PINIT_ONCE, PVOID, PVOID*)
{
    g_RegIniAccess.Init(TRUE);
    g_ResourceAccess.Init();
    g_hWndParent = FindOwnHostWindow();
    DoReadSettings();
    return TRUE;
}

}  // namespace

void InitPluginModule(HINSTANCE instance)
{
    // Under the loader lock only what neither loads a library nor calls out of process: the
    // settings store (shell folders), the language library and the Credential Manager (an RPC
    // to the security service) wait for the first export the host calls.
    g_hInstance = instance;
    SetBusSenderName(kTelephonyModuleId);
    SetLogModuleName(kTelephonyModuleId);
    SetCommonResourceAccess(&g_ResourceAccess);
}

void EnsureModuleInit()
{
    InitOnceExecuteOnce(&g_moduleInit, CompleteModuleInit, nullptr, nullptr);
}

void PluginAfterLoad()
{
    g_bLoaded = TRUE;
    // A switched-off plug-in makes no connection.
    if (!g_bIgnoreModule)
        StartConnections();
    if (!g_bMenuSeparatorAdded) {
        g_bMenuSeparatorAdded = TRUE;
        SendBusMenuAppend(g_hWndParent, 1, nullptr);
    }
}

void PluginBeforeClose()
{
    if (!g_bLoaded)
        return;
    StopConnections();
    DoSaveSettings();
    g_bLoaded = FALSE;
}

void RestartPlugin()
{
    PluginBeforeClose();
    PluginAfterLoad();
}

DWORD PluginBusProcess(UINT type, const wchar_t* text)
{
    if (!text)
        text = L"";
    // The shared handling of every module (26, 51, 53, 76) and the switch's save (34).
    HandleCommonBusMessageFull(type, text);
    // Switched off by either way (the settings dialog, or the host's 51) means logged out.
    if (type == QOR_BUSMSG_APPLYALL || type == QOR_BUSMSG_APPLY || type == QOR_BUSMSG_FORCEIGNORE)
        FollowDisableState();
    if (g_bIgnoreModule)
        return 1;
    switch (type) {
    case QOR_BUSMSG_MENUCOMMAND:
        SelectDeviceFromMenu(text);
        break;
    case QOR_BUSMSG_CALLACTION:
        HandleCallAction(text);
        break;
    case QOR_BUSMSG_APPLY:
    case QOR_BUSMSG_APPLYALL:
        DoApplySettings(type);
        break;
    case QOR_BUSMSG_PLUGINRESTART:
        if (_wtoi(GetValueByKeyword(text, L"PluginID")) == (int)kTelephonyPluginId) {
            DoReadSettings();
            RestartPlugin();
        }
        break;
    default:
        break;
    }
    return 1;
}

const wchar_t* PluginDisplayName()
{
    static wchar_t s_name[512];
    CopyText(s_name, _countof(s_name), L"Innovaphone");
    wchar_t base[260];
    CopyText(base, _countof(base), GetOwnModuleBaseName());
    if (wchar_t* dot = wcschr(base, L'.'))
        *dot = L'\0';
    const size_t n = wcslen(kTelephonyModuleId);
    if (wcslen(base) > n && iswdigit(base[n])) {
        AppendText(s_name, _countof(s_name), L" #");
        AppendText(s_name, _countof(s_name), base + n);
    }
    if (GetProcAddress(g_hInstance, "DLL_IsBetaVersion"))
        AppendText(s_name, _countof(s_name), L" (Beta)");
    return s_name;
}
