#include "plugins/telephony_orkane/CallControl.h"

#include <shlwapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "foundation/TextUtils.h"
#include "plugin_support/NumberCanonical.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/InnovaphoneVars.h"
#include "plugins/telephony_orkane/PbxRequest.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"

namespace {

// The device list is replaced by the receive thread: the GUI and login threads take a copy
// under the dispatch lock and send without it (the answer needs the lock to arrive).
struct DeviceCopy {
    std::wstring hw;
    DWORD user;
};

std::vector<DeviceCopy> CopyDevices()
{
    std::vector<DeviceCopy> devices;
    EnterCriticalSection(&g_csDispatch);
    for (const tag_rcc_device& d : g_RccDevices)
        devices.push_back({d.m_szDeviceName, d.m_dwUserHandle});
    LeaveCriticalSection(&g_csDispatch);
    return devices;
}

// The user's "cn"; the request's JSON escaping carries any character of it.
void UserCn(wchar_t* cn, size_t size)
{
    EnterCriticalSection(&g_csDispatch);
    CopyText(cn, size, InnovaphoneVarsUser.m_szCN);
    LeaveCriticalSection(&g_csDispatch);
}

// The newest call (highest RCC call id), or 0 with none.
BOOL NewestCall(int* call)
{
    EnterCriticalSection(&g_csDispatch);
    BOOL found = !g_CallList.empty();
    if (found)
        *call = g_CallList.rbegin()->first;
    LeaveCriticalSection(&g_csDispatch);
    return found;
}

}  // namespace

DWORD DeviceListSize()
{
    EnterCriticalSection(&g_csDispatch);
    DWORD size = (DWORD)g_RccDevices.size();
    LeaveCriticalSection(&g_csDispatch);
    return size;
}

BOOL FirstDeviceMonitored()
{
    EnterCriticalSection(&g_csDispatch);
    BOOL monitored = !g_RccDevices.empty() && g_RccDevices[0].m_dwUserHandle != 0;
    LeaveCriticalSection(&g_csDispatch);
    return monitored;
}

void DoGetDevices()
{
    g_dwDeviceCount = 0;
    SendRequest(&InnovaphoneVarsApp, L"{\"mt\":\"Devices\",\"api\":\"RCC\"}", 5000);
}

void MonitorStart()
{
    wchar_t cn[64];
    UserCn(cn, _countof(cn));
    std::vector<DeviceCopy> devices = CopyDevices();
    for (DWORD i = 0; i < devices.size(); ++i) {
        // The dispatcher stores the answer's user handle at this index.
        g_dwDeviceIndex = i;
        CPbxRequest request(L"UserInitialize");
        request.String(L"api", L"RCC").String(L"cn", cn);
        if (!devices[i].hw.empty())
            request.String(L"hw", devices[i].hw.c_str());
        SendPbxRequest(&InnovaphoneVarsApp, request, 10000, L"MonitorStart");
    }
    // Later answers have no request to belong to.
    g_dwDeviceIndex = (DWORD)devices.size();
}

void MonitorStop()
{
    wchar_t cn[64];
    UserCn(cn, _countof(cn));
    // Only monitoring that was started ends: a device without a user handle (or one whose
    // monitoring ended already) would send the PBX a handle it never gave this connection.
    // The handles are taken (and cleared) under the lock, so a second stop sends nothing.
    std::vector<DWORD> users;
    EnterCriticalSection(&g_csDispatch);
    for (tag_rcc_device& d : g_RccDevices) {
        if (d.m_dwUserHandle)
            users.push_back(d.m_dwUserHandle);
        d.m_dwUserHandle = 0;
    }
    LeaveCriticalSection(&g_csDispatch);
    // Monitoring lives on the application connection: once it is closed there is nothing to
    // end (and each request would only wait out its passes). The user name comes from the user
    // connection's login; once that connection is lost the request would name nobody, and the
    // application connection's end ends the monitoring.
    if (!users.empty() && (!InnovaphoneVarsApp.m_hWebSocketHandle || !cn[0])) {
        LogLine(1, L"Func.MonitorStop.Warning.Connection lost, monitoring ends with the connection");
        return;
    }
    for (DWORD user : users) {
        CPbxRequest request(L"UserEnd");
        request.String(L"api", L"RCC").String(L"cn", cn).Int(L"user", (int)user);
        SendPbxRequest(&InnovaphoneVarsApp, request, 1000, L"MonitorStop");
    }
}

void DoMakeCall(const wchar_t* destination)
{
    LogLine(2, L"Func.DoMakeCall.Param._pszDest %s", destination);
    wchar_t dial[64];
    EnterCriticalSection(&g_csDispatch);
    if (wcslen(destination) > 4) {
        // The destination is canonical ("+", country code, number): the PBX's international
        // prefix takes the place of the "+".
        CopyText(dial, _countof(dial), InnovaphoneVarsUser.m_szPrefixInt);
        AppendText(dial, _countof(dial), destination + 1);
    } else {
        CopyText(dial, _countof(dial), destination);
    }
    // A bus caller's text goes into a JSON request: only dialling characters may pass.
    wchar_t* out = dial;
    for (const wchar_t* p = dial; *p; ++p)
        if (wcschr(L"0123456789*#+", *p))
            *out++ = *p;
    *out = L'\0';
    BOOL found = FALSE;
    DWORD user = 0;
    for (const tag_rcc_device& d : g_RccDevices) {
        if (!_wcsicmp(d.m_szDeviceName, g_szSelectedDevice)) {
            found = TRUE;
            user = d.m_dwUserHandle;
            break;
        }
    }
    LeaveCriticalSection(&g_csDispatch);
    if (!found) {
        LogLine(1, L"Func.DoMakeCall.Abort.No device");
        return;
    }
    CPbxRequest request(L"UserCall");
    request.String(L"api", L"RCC").Int(L"user", (int)user).String(L"cn", dial).String(L"e164", dial).String(L"h323", dial);
    LogLine(2, L"Func.DoMakeCall.Var.m_szSend %s", request.Text());
    SendPbxRequest(&InnovaphoneVarsApp, request, 1000, L"DoMakeCall");
}

void DoAnswer()
{
    int call = 0;
    if (!NewestCall(&call))
        return;
    CPbxRequest request(L"UserConnect");
    request.String(L"api", L"RCC").Int(L"call", call);
    SendPbxRequest(&InnovaphoneVarsApp, request, 1000, L"DoAnswer");
}

void DoClearConnection()
{
    int call = 0;
    if (!NewestCall(&call))
        return;
    CPbxRequest request(L"UserClear");
    request.String(L"api", L"RCC").Int(L"call", call).String(L"vause", L"0");
    SendPbxRequest(&InnovaphoneVarsApp, request, 1000, L"DoClearConnection");
}

void HandleCallAction(const wchar_t* text)
{
    wchar_t command[32], destination[128];
    CopyText(command, _countof(command), GetValueByKeyword(text, L"Command"));
    CopyText(destination, _countof(destination), GetValueByKeyword(text, L"Partner"));
    LogLine(2, L"Event.QOR_BUSMSG_CALLACTION.Var.szCommand: %s", command);
    LogLine(2, L"Event.QOR_BUSMSG_CALLACTION.Var.szDest: %s", destination);
    CopyText(destination, _countof(destination), GetCanonicalNumber(destination, nullptr));
    LogLine(2, L"Event.QOR_BUSMSG_CALLACTION.Var.szDest: %s", destination);
    static const wchar_t* const kDial[] = {L"MakeCall", L"CallTo", L"corvall", L"Tel"};
    for (const wchar_t* c : kDial) {
        if (!StrCmpIW(command, c)) {
            DoMakeCall(destination);
            return;
        }
    }
    if (!StrCmpIW(command, L"hangup") || !StrCmpIW(command, L"ClearConnection"))
        DoClearConnection();
    else if (!StrCmpIW(command, L"AnswerCall"))
        DoAnswer();
}
