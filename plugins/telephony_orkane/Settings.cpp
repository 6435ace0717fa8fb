#include "plugins/telephony_orkane/Settings.h"

#include <cwchar>

#include "bus/BusTypes.h"
#include "bus/CommonBusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/RegTool.h"
#include "plugin_support/EditIO.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/InnovaphoneVars.h"
#include "plugins/telephony_orkane/Lifecycle.h"
#include "plugins/telephony_orkane/ModuleObjects.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "plugins/telephony_orkane/SettingsPage.h"
#include "plugins/telephony_orkane/StoredSession.h"
#include "plugins/telephony_orkane/TelephonyResource.h"

const wchar_t kTelephonyModuleId[] = L"PLUGINTELEPHONYORKANE";

namespace {

const wchar_t kGeneral[] = L"General";
const wchar_t kMyAppsKey[] = L"SOFTWARE\\innovaphone\\myApps";

void ReadText(const wchar_t* section, const wchar_t* key, wchar_t* field, size_t size)
{
    CopyText(field, size, g_RegIniAccess.ReadStringDefault(section, key, L""));
}

void ReadMyApps(HKEY root, const wchar_t* name, wchar_t* field, DWORD size)
{
    CRegTool key;
    if (key.OpenExistingKey(root, kMyAppsKey) != ERROR_SUCCESS)
        return;
    key.ReadString(name, field, size, L"");
}

void SaveIgnoreModule()
{
    if (g_RegIniAccess.WriteInt(kGeneral, L"IgnoreModule", g_bIgnoreModule))
        LogLine(2, L"Func.DoSaveSettings.Info.Write Settings OK!0");
    else
        LogLine(0, L"Func.DoSaveSettings.Error.Write Settings ERROR!0");
}

}  // namespace

void DoReadSettings()
{
    g_bIgnoreModule = _wtoi(g_RegIniAccess.ReadStringDefault(kGeneral, L"IgnoreModule", L"0"));
    ReadText(kGeneral, L"BaseURL", g_szBaseURL, 260);
    ReadText(kGeneral, L"SelectedDevice", g_szSelectedDevice, _countof(g_szSelectedDevice));
    ReadText(kGeneral, L"User", InnovaphoneVarsUser.m_szUser, _countof(InnovaphoneVarsUser.m_szUser));
    const wchar_t* section = InnovaphoneVarsUser.m_szSection;
    ReadText(section, L"PrefixCountry", InnovaphoneVarsUser.m_szPrefixCountry, 16);
    ReadText(section, L"PrefixArea", InnovaphoneVarsUser.m_szPrefixArea, 16);
    ReadText(section, L"PrefixInt", InnovaphoneVarsUser.m_szPrefixInt, 32);
    ReadText(section, L"PrefixNat", InnovaphoneVarsUser.m_szPrefixNat, 32);
    ReadText(section, L"PrefixSubs", InnovaphoneVarsUser.m_szPrefixSubs, 32);

    // The myApps client's own settings give the defaults.
    if (!g_szBaseURL[0])
        ReadMyApps(HKEY_LOCAL_MACHINE, L"server", g_szBaseURL, 260);
    if (!InnovaphoneVarsUser.m_szUser[0])
        ReadMyApps(HKEY_CURRENT_USER, L"currentUser", InnovaphoneVarsUser.m_szUser, 128);
    if (g_szBaseURL[0] && !wcsstr(g_szBaseURL, L"://")) {
        wchar_t url[260];
        FormatW(url, _countof(url), L"http://%s", g_szBaseURL);
        CopyText(g_szBaseURL, 260, url);
    }
    ReadLoginCredentials();
}

void DoSaveSettings()
{
    SaveIgnoreModule();
    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } texts[] = {
        {L"BaseURL", g_szBaseURL},
        {L"SelectedDevice", g_szSelectedDevice},
        {L"User", InnovaphoneVarsUser.m_szUser},
    };
    for (const auto& t : texts) {
        // The value is never a format: a "%" in a URL or name must be stored as it stands.
        if (g_RegIniAccess.WriteFormatted(kGeneral, t.key, L"%s", t.value))
            LogLine(2, L"Func.DoSaveSettings.Info.Write Settings OK! (%s)", t.key);
        else
            LogLine(0, L"Func.DoSaveSettings.Error.Write Settings ERROR! (%s)", t.key);
    }
    SaveLoginCredentials();
}

void HandleCommonBusMessage(UINT type, const wchar_t* text)
{
    if (type == QOR_BUSMSG_APPLYALL)
        SaveIgnoreModule();
    else
        HandleSchemeBusTypes(type, text);
}

void HandleCommonBusMessageFull(UINT type, const wchar_t* text)
{
    if (type == QOR_BUSMSG_APPLYALL)
        SaveIgnoreModule();
    else
        HandleCommonBusTypes(type, text);
}

void DoApplySettings(UINT type)
{
    LogLine(1, L"Event.QOR_BUSMSG_APPLY.Begin");
    HWND page = g_hWndPage;
    LogLine(1, L"Event.QOR_BUSMSG_APPLY.Var.g_hWndPage 0x%08X", (unsigned)(UINT_PTR)page);
    if (page && IsWindow(page)) {
        g_bControlsReady = 0;
        CEditIO edit(page, IDC_EDIT_URL);
        edit.GetText(g_szBaseURL, 260);
        edit.Attach(page, IDC_EDIT_USER);
        edit.GetText(InnovaphoneVarsUser.m_szUser, _countof(InnovaphoneVarsUser.m_szUser));
        edit.Attach(page, IDC_EDIT_PASSWORD);
        edit.GetText(InnovaphoneVarsUser.m_szPassword, _countof(InnovaphoneVarsUser.m_szPassword));

        // The stored session belongs to the login it came from; the section name stays, as it
        // names where the prefixes are kept.
        InnovaphoneVarsUser.m_szExSession[0] = L'\0';
        InnovaphoneVarsUser.m_szSession[0] = L'\0';
        LRESULT selection = SendDlgItemMessageW(page, IDC_COMBO_DEVICE, CB_GETCURSEL, 0, 0);
        BOOL chosen = FALSE;
        EnterCriticalSection(&g_csDispatch);
        g_szSelectedDevice[0] = L'\0';
        if (selection != CB_ERR && selection >= 0 && (size_t)selection < g_RccDevices.size()) {
            CopyText(g_szSelectedDevice, _countof(g_szSelectedDevice), g_RccDevices[selection].m_szDeviceName);
            chosen = TRUE;
        }
        LeaveCriticalSection(&g_csDispatch);
        if (chosen) {
            CheckDeviceMenuItems();
            BuildDeviceMenu();
        }
        DoEnableControls();
        DoSaveSettings();
        if (type == QOR_BUSMSG_APPLY && g_bSettingsChanged) {
            g_bSettingsChanged = 0;
            RestartPlugin();
        }
        g_bControlsReady = 1;
    }
    LogLine(1, L"Event.QOR_BUSMSG_APPLY.End");
}
