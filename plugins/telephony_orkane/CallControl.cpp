// Device list and monitoring requests (the call commands are not part of this build).
#include "plugins/telephony_orkane/CallControl.h"

#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/TextEncoding.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"

namespace {

// The user's cn as UTF-8 units, as the requests carry it.
void GetCnUnits(wchar_t* cn, size_t capacity)
{
    wchar_t plain[64];
    EnterCriticalSection(&g_csDispatch);
    CopyText(plain, _countof(plain), InnovaphoneVarsUser.m_szCN);
    LeaveCriticalSection(&g_csDispatch);
    CopyText(cn, capacity, WideToUtf8Units(plain));
}

size_t DeviceCount()
{
    EnterCriticalSection(&g_csDispatch);
    size_t count = g_RccDevices.size();
    LeaveCriticalSection(&g_csDispatch);
    return count;
}

}  // namespace

void DoGetDevices()
{
    g_dwDeviceCount = 0;
    SendRequest(&InnovaphoneVarsApp, L"{\"mt\":\"Devices\",\"api\":\"RCC\"}", 5000);
}

void MonitorStart()
{
    wchar_t cn[256];
    GetCnUnits(cn, _countof(cn));
    size_t count = DeviceCount();
    for (g_dwDeviceIndex = 0; g_dwDeviceIndex < count; ++g_dwDeviceIndex) {
        wchar_t text[1024];
        FormatW(text, _countof(text), L"{\"mt\":\"UserInitialize\",\"api\":\"RCC\",\"cn\":\"%s\"", cn);
        EnterCriticalSection(&g_csDispatch);
        if (g_dwDeviceIndex < g_RccDevices.size() && g_RccDevices[g_dwDeviceIndex].m_szDeviceName[0])
            AppendPrintf(text, _countof(text), L",\"hw\":\"%s\"",
                         WideToUtf8Units(g_RccDevices[g_dwDeviceIndex].m_szDeviceName));
        LeaveCriticalSection(&g_csDispatch);
        AppendText(text, _countof(text), L"}");
        SendRequest(&InnovaphoneVarsApp, text, 10000);
    }
}

void MonitorStop()
{
    wchar_t cn[256];
    GetCnUnits(cn, _countof(cn));
    size_t count = DeviceCount();
    for (g_dwDeviceIndex = 0; g_dwDeviceIndex < count; ++g_dwDeviceIndex) {
        // Only monitoring that was started ends: a device without a user handle (or one whose
        // monitoring ended already) would send the PBX a handle it never gave this connection.
        DWORD user = 0;
        EnterCriticalSection(&g_csDispatch);
        if (g_dwDeviceIndex < g_RccDevices.size()) {
            user = g_RccDevices[g_dwDeviceIndex].m_dwUserHandle;
            g_RccDevices[g_dwDeviceIndex].m_dwUserHandle = 0;
        }
        LeaveCriticalSection(&g_csDispatch);
        if (!user)
            continue;
        wchar_t text[1024];
        FormatW(text, _countof(text), L"{\"mt\":\"UserEnd\",\"api\":\"RCC\",\"cn\":\"%s\",\"user\":%d}", cn, (int)user);
        SendRequest(&InnovaphoneVarsApp, text, 1000);
    }
}
