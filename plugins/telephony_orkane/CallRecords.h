// The device list and the call tables that the dispatcher keeps from the PBX's answers and
// RCC call events.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

struct tag_rcc_device {
    wchar_t m_szDeviceName[128];         // the PBX's "hw"
    wchar_t m_szHumanRedeableName[128];  // "text", or the hw name when that is empty
    DWORD m_dwUserHandle;                // RCC user handle; 0 until "UserInitializeResult"
};

struct tag_call_info {
    int m_nCallId;
    int m_bInbound;
    std::wstring m_strNumber;
    int m_bCounted;  // the call's alert was counted in its conference
};

extern std::vector<tag_rcc_device> g_RccDevices;
extern volatile DWORD g_dwDeviceCount;
extern volatile DWORD g_dwDeviceIndex;
// A call's conference from its setup until its clearing.
extern std::map<int, std::wstring> g_CallConference;
extern std::map<int, tag_call_info> g_CallList;
// The alerted legs of each conference that still has one; kConferenceCleared for one whose
// clearing was sent while legs of it are still known.
extern std::map<std::wstring, int> g_ConferenceCount;
constexpr int kConferenceCleared = -1;
// The hw name of the device that places calls (setting "SelectedDevice").
extern wchar_t g_szSelectedDevice[128];

// Translates one RCC "CallInfo" message (the parsed accessor of it) into the call-state
// message and the call record on the bus.
class CJsonParserBase;
void OnCallInfo(const CJsonParserBase& message);
