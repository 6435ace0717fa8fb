#include "plugins/telephony_orkane/Dispatcher.h"

#include <cwchar>
#include <map>
#include <string>

#include "bus/BusBuilders.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "plugin_support/JsonParserBase.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/ConfirmDialog.h"
#include "plugins/telephony_orkane/JsonScan.h"
#include "plugins/telephony_orkane/ModuleObjects.h"
#include "plugins/telephony_orkane/PendingAnswers.h"
#include "plugins/telephony_orkane/SettingsPage.h"
#include "plugins/telephony_orkane/StoredSession.h"

namespace {

void SavePrefixes(CInnovaphoneVars* conn)
{
    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } prefixes[] = {
        {L"PrefixCountry", conn->m_szPrefixCountry}, {L"PrefixArea", conn->m_szPrefixArea},
        {L"PrefixInt", conn->m_szPrefixInt},         {L"PrefixNat", conn->m_szPrefixNat},
        {L"PrefixSubs", conn->m_szPrefixSubs},
    };
    for (const auto& p : prefixes) {
        // The PBX's text is the value, never a format: a "%" in it must not be expanded.
        if (g_RegIniAccess.WriteFormatted(conn->m_szSection, p.key, L"%s", p.value))
            LogLine(2, L"Func.DoSaveSettings.Info.Write Settings OK! (%s)", p.key);
        else
            LogLine(0, L"Func.DoSaveSettings.Error.Write Settings ERROR! (%s)", p.key);
    }
    CPredialNumbers* predials = GetPredialNumbers();
    if (predials) {
        predials->SetCountryCode(conn->m_szPrefixCountry);
        predials->SetAreaCode(conn->m_szPrefixArea);
    }
    // The PBX's prefixes include its outside-line prefix; the dialling rules want them without.
    size_t outside = wcslen(conn->m_szPrefixSubs);
    LogLine(3, L"dwOutsideLen %d", (int)outside);
    wchar_t international[32] = L"", national[32] = L"";
    if (outside < 10) {
        if (wcslen(conn->m_szPrefixInt) >= outside)
            CopyText(international, _countof(international), conn->m_szPrefixInt + outside);
        if (wcslen(conn->m_szPrefixNat) >= outside)
            CopyText(national, _countof(national), conn->m_szPrefixNat + outside);
    }
    if (predials) {
        predials->SetInternationalPrefix(international);
        predials->SetNationalPrefix(national);
        predials->SetOutsideLinePrefix(conn->m_szPrefixSubs);
    }
}

void OnLoginResult(CInnovaphoneVars* conn, const CJsonParserBase& message)
{
    CJsonParserBase info;
    if (!info.Parse(message.GetObjectText(L"info")))
        return;
    CJsonParserBase user;
    if (user.Parse(info.GetObjectText(L"user"))) {
        user.GetString(conn->m_szGUID, 64, L"guid");
        user.GetString(conn->m_szDN, 64, L"dn");
        user.GetString(conn->m_szNum, 32, L"num");
        CJsonParserBase prefix;
        if (prefix.Parse(user.GetObjectText(L"prefix"))) {
            prefix.GetString(conn->m_szPrefixCountry, 16, L"country");
            prefix.GetString(conn->m_szPrefixArea, 16, L"area");
            prefix.GetString(conn->m_szPrefixInt, 32, L"intl");
            prefix.GetString(conn->m_szPrefixNat, 32, L"ntl");
            prefix.GetString(conn->m_szPrefixSubs, 32, L"subs");
            SavePrefixes(conn);
        }
        conn->m_bLogin = 1;
    }
    const wchar_t* session = info.GetObjectText(L"session");
    if (session[0] == L'{')
        AdoptSessionObject(conn, session);
}

void OnAppGetLoginResult(CInnovaphoneVars* conn, const CJsonParserBase& message, const wchar_t* text)
{
    message.GetString(conn->m_szPbxObj, 128, L"pbxObj");
    message.GetString(conn->m_szDigest, 128, L"digest");
    message.GetString(conn->m_szApp, 128, L"app");
    message.GetString(conn->m_szSip, 128, L"sip");
    // The PBX's own text of the object goes on unchanged in the application login; an object
    // of an earlier answer must not (the digest covers this answer's object, or none).
    conn->m_szInfo[0] = L'\0';
    conn->m_bInfoCut = FALSE;
    const wchar_t* found = wcsstr(text, L"\"info\":{");
    if (!found)
        return;
    // The object ends at its matching brace (strings skipped), wherever it stands in the
    // message and whatever objects it holds; a cut at the first "}," would lose the object
    // when it is the message's last member and cut it short when it nests one.
    const wchar_t* start = found + 7;
    const wchar_t* end = FindJsonValueEnd(start);
    std::wstring object(start, end ? (size_t)(end - start) : 0);
    // Kept whole or not at all: a cut object would make the application login's digest wrong.
    if (object.size() < _countof(conn->m_szInfo)) {
        CopyText(conn->m_szInfo, _countof(conn->m_szInfo), object.c_str());
    } else {
        conn->m_bInfoCut = TRUE;
        LogLine(0, L"Func.DispatchMessages.Error.AppGetLoginResult info object of %u characters is too long",
                (unsigned)object.size());
    }
    CJsonParserBase info;
    if (info.Parse(object.c_str()))
        info.GetString(conn->m_szCN, 64, L"cn");
}

void OnDevicesResult(const CJsonParserBase& message)
{
    // A list of the wrong kind is no device list: the one in use stays.
    if (!message.HasArray(L"devices")) {
        LogLine(1, L"Func.DispatchMessages.Warning.DevicesResult without a device list dropped");
        return;
    }
    JsonArrayView devices = message.GetArray(L"devices");
    // A list that comes while monitoring runs replaces the records, not the monitoring: a
    // device still listed (by hw) keeps its user handle, or its calls would be dropped as
    // another user's and the stop would not end its monitoring.
    std::map<std::wstring, DWORD> handles;
    for (const tag_rcc_device& d : g_RccDevices)
        if (d.m_dwUserHandle)
            handles.emplace(d.m_szDeviceName, d.m_dwUserHandle);
    g_RccDevices.clear();
    g_dwDeviceCount = (DWORD)devices.size();
    LogLine(3, L"DevicesResult count %d", (int)devices.size());
    for (const CJsonValue* element : devices) {
        if (!element || !element->IsObject())
            continue;
        wchar_t object[4096];
        CopyText(object, _countof(object), JsonStringify(element).c_str());
        LogLine(5, L"szObject %s", object);
        CJsonParserBase device;
        if (!device.Parse(object))
            continue;
        tag_rcc_device record = {};
        device.GetString(record.m_szDeviceName, 128, L"hw");
        device.GetString(record.m_szHumanRedeableName, 128, L"text");
        if (!record.m_szHumanRedeableName[0])
            CopyText(record.m_szHumanRedeableName, 128, record.m_szDeviceName);
        if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, record.m_szDeviceName,
                           (int)BoundedLength(record.m_szDeviceName, 3), L"rcc", 3) == CSTR_EQUAL) {
            LogLine(5, L"Func.DispatchMessages.Info.Device %s ignored.", record.m_szDeviceName);
            continue;
        }
        auto kept = handles.find(record.m_szDeviceName);
        if (kept != handles.end()) {
            record.m_dwUserHandle = kept->second;
            // One device, one handle, even when the PBX lists a hw name twice.
            handles.erase(kept);
        }
        g_RccDevices.push_back(record);
    }
    if (!g_szSelectedDevice[0] && !g_RccDevices.empty())
        CopyText(g_szSelectedDevice, _countof(g_szSelectedDevice), g_RccDevices[0].m_szDeviceName);
    OnDeviceListChanged();
}

void OnUserInitializeResult(const CJsonParserBase& message, const wchar_t* src, LONG answered)
{
    DWORD user = (DWORD)message.GetInt(L"user");
    // A result that names a request no longer waiting (a late one) belongs to a device the
    // index has moved past.
    if (src[0] && !answered) {
        LogLine(1, L"Func.DispatchMessages.Warning.UserInitializeResult of no pending request dropped");
        return;
    }
    // Read once: the login thread moves it on as soon as the wait ends.
    DWORD index = g_dwDeviceIndex;
    // An answer with no request pending has no device to go to.
    if (index >= g_RccDevices.size()) {
        LogLine(0, L"Func.DispatchMessages.Error.UserInitializeResult without device %u", index);
        return;
    }
    g_RccDevices[index].m_dwUserHandle = user;
    if (InnovaphoneVarsUser.m_hWebSocketHandle && InnovaphoneVarsApp.m_hWebSocketHandle && user) {
        SendBusEnabled(g_hWndParent, 0);
        SendBusState(g_hWndParent, 2);
    }
}

// An RCC event names the monitored device by its user handle: one for a device that is not
// monitored here is not this user's call.
bool IsMonitoredUser(DWORD user)
{
    if (!user)
        return true;
    for (const tag_rcc_device& d : g_RccDevices)
        if (d.m_dwUserHandle == user)
            return true;
    LogLine(1, L"Func.DispatchMessages.Warning.CallInfo for unknown device %u dropped", (unsigned)user);
    return false;
}

}  // namespace

void DispatchMessages(CInnovaphoneVars* conn, const wchar_t* text)
{
    if (!text) {
        LogLine(0, L"Func.DispatchMessages.Abort.No Data #1");
        return;
    }
    if (!text[0]) {
        LogLine(0, L"Func.DispatchMessages.Abort.No Data #2");
        return;
    }
    CJsonParserBase message;
    if (!message.Parse(text)) {
        LogLine(0, L"Func.DispatchMessages.Error.Cannor parse data");
        LogLine(0, L"Func.DispatchMessages.Abort.Wrong data");
        return;
    }
    wchar_t mt[256], src[96];
    message.GetString(mt, _countof(mt), L"mt");
    message.GetString(src, _countof(src), L"src");
    // The request this message answers, if any: only its own result ends a sender's wait.
    LONG answered = FindAnsweredWait(conn, mt, src);
    if (!wcscmp(mt, L"CheckBuildResult")) {
        message.GetString(conn->m_szBuild, 32, L"build");
    } else if (!wcscmp(mt, L"AppChallengeResult")) {
        message.GetString(conn->m_szChallenge, 256, L"challenge");
    } else if (!wcscmp(mt, L"Authenticate")) {
        message.GetString(conn->m_szType, 32, L"type");
        message.GetString(conn->m_szMethod, 32, L"method");
        message.GetString(conn->m_szDomain, 256, L"domain");
        message.GetString(conn->m_szChallenge, 256, L"challenge");
    } else if (!wcscmp(mt, L"UserInitializeResult")) {
        OnUserInitializeResult(message, src, answered);
    } else if (!wcscmp(mt, L"LoginResult")) {
        OnLoginResult(conn, message);
        InterlockedIncrement(&conn->m_lLoginResults);
    } else if (!wcscmp(mt, L"AppLoginResult")) {
        conn->m_bLogin = message.GetBool(L"ok");
    } else if (!wcscmp(mt, L"Authorize")) {
        OnAuthorize();
    } else if (!wcscmp(mt, L"SessionAdded")) {
        CJsonParserBase info;
        if (info.Parse(message.GetObjectText(L"info")) && info.GetBool(L"current"))
            message.GetString(InnovaphoneVarsUser.m_szSession, 128, L"id");
    } else if (!wcscmp(mt, L"UserCallResult")) {
        conn->SetHandleCall((DWORD)message.GetInt(L"call"));
    } else if (!wcscmp(mt, L"CallInfo")) {
        if (IsMonitoredUser((DWORD)message.GetInt(L"user")))
            OnCallInfo(message);
    } else if (!wcscmp(mt, L"AppGetLoginResult")) {
        OnAppGetLoginResult(conn, message, text);
    } else if (!wcscmp(mt, L"DevicesResult")) {
        OnDevicesResult(message);
    }
    // Marked answered only once the message's values are stored: a sender that returns on the
    // answer reads them at once, without the lock.
    InterlockedExchange(reinterpret_cast<volatile LONG*>(&conn->m_bAnswer), 1);
    InterlockedIncrement(&conn->m_lAnswers);
    MarkAnswered(answered);
    message.Clear();
    LogLine(4, L"Func.DispatchMessages.End");
}
