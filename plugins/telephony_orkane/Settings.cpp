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
    // Read into copies first: a login thread or a receive thread may be using the fields, and
    // they read them under the dispatch lock, under which the copies go in at once.
    wchar_t url[260], device[128], user[128], country[16], area[16], intl[32], ntl[32], subs[32];
    ReadText(kGeneral, L"BaseURL", url, _countof(url));
    ReadText(kGeneral, L"SelectedDevice", device, _countof(device));
    ReadText(kGeneral, L"User", user, _countof(user));
    const wchar_t* section = InnovaphoneVarsUser.m_szSection;
    ReadText(section, L"PrefixCountry", country, _countof(country));
    ReadText(section, L"PrefixArea", area, _countof(area));
    ReadText(section, L"PrefixInt", intl, _countof(intl));
    ReadText(section, L"PrefixNat", ntl, _countof(ntl));
    ReadText(section, L"PrefixSubs", subs, _countof(subs));

    // The myApps client's own settings give the defaults.
    if (!url[0])
        ReadMyApps(HKEY_LOCAL_MACHINE, L"server", url, _countof(url));
    if (!user[0])
        ReadMyApps(HKEY_CURRENT_USER, L"currentUser", user, _countof(user));
    if (url[0] && !wcsstr(url, L"://")) {
        wchar_t bare[260];
        CopyText(bare, _countof(bare), url);
        FormatW(url, _countof(url), L"http://%s", bare);
    }
    EnterCriticalSection(&g_csDispatch);
    CopyText(g_szBaseURL, 260, url);
    CopyText(g_szSelectedDevice, _countof(g_szSelectedDevice), device);
    CopyText(InnovaphoneVarsUser.m_szUser, _countof(InnovaphoneVarsUser.m_szUser), user);
    CopyText(InnovaphoneVarsUser.m_szPrefixCountry, 16, country);
    CopyText(InnovaphoneVarsUser.m_szPrefixArea, 16, area);
    CopyText(InnovaphoneVarsUser.m_szPrefixInt, 32, intl);
    CopyText(InnovaphoneVarsUser.m_szPrefixNat, 32, ntl);
    CopyText(InnovaphoneVarsUser.m_szPrefixSubs, 32, subs);
    LeaveCriticalSection(&g_csDispatch);
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
        wchar_t url[260], user[128], password[128], oldUser[128];
        CEditIO edit(page, IDC_EDIT_URL);
        edit.GetText(url, _countof(url));
        edit.Attach(page, IDC_EDIT_USER);
        edit.GetText(user, _countof(user));
        edit.Attach(page, IDC_EDIT_PASSWORD);
        edit.GetText(password, _countof(password));
        // The login and receive threads read these under the dispatch lock.
        EnterCriticalSection(&g_csDispatch);
        CopyText(oldUser, _countof(oldUser), InnovaphoneVarsUser.m_szUser);
        CopyText(g_szBaseURL, 260, url);
        CopyText(InnovaphoneVarsUser.m_szUser, _countof(InnovaphoneVarsUser.m_szUser), user);
        CopyText(InnovaphoneVarsUser.m_szPassword, _countof(InnovaphoneVarsUser.m_szPassword), password);
        // The stored session belongs to the login it came from; the section name stays, as it
        // names where the prefixes are kept.
        InnovaphoneVarsUser.m_szExSession[0] = L'\0';
        InnovaphoneVarsUser.m_szSession[0] = L'\0';
        g_szSessionNonce[0] = L'\0';
        LeaveCriticalSection(&g_csDispatch);
        SecureZeroMemory(password, sizeof password);
        // Another user: the old one's session would stay in the Credential Manager for good.
        if (oldUser[0] && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, oldUser, -1, user, -1) != CSTR_EQUAL)
            ForgetStoredSession(oldUser);
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
