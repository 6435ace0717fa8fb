#include "plugins/telephony_orkane/CallRecords.h"

#include <cwchar>
#include <memory>

#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/Seams.h"
#include "plugin_support/CallStruct.h"
#include "plugin_support/JsonParserBase.h"

volatile DWORD g_dwDeviceCount;
volatile DWORD g_dwDeviceIndex;
wchar_t g_szSelectedDevice[128];

namespace {

// One row of the translation of an RCC call event.
struct CallEventRow {
    const wchar_t* msg;
    int state;                 // 0: no message at all
    const wchar_t* busEvent;   // the call-state message's Event
    const wchar_t* callEvent;  // the call record's Event
    int inbound;
};

const CallEventRow kCallEvents[] = {
    {L"x-alert", 1, L"Offering", L"OnReceived", 1},
    {L"r-alert", 2, L"Ringback", L"OnDelivered", 0},
    {L"x-conn", 4, L"Connected", L"OnEstablished", 1},
    {L"r-conn", 4, L"Connected", L"OnEstablished", 0},
    {L"r-ct", 4, L"Connected", L"OnEstablished", 1},
    {L"del", 3, L"Idle", L"OnConnectionCleared", 0},
};

thread_local wchar_t t_message[16384];

}  // namespace

void OnCallInfo(const CJsonParserBase& message)
{
    int call = message.GetInt(L"call");
    wchar_t msg[32], conf[64], number[32] = L"";
    message.GetString(msg, _countof(msg), L"msg");
    message.GetString(conf, _countof(conf), L"conf");
    CJsonParserBase peer;
    if (peer.Parse(message.GetObjectText(L"peer")))
        peer.GetString(number, _countof(number), L"e164");
    if (number[0] == L'0')
        memmove(number, number + 1, wcslen(number) * sizeof(wchar_t));

    if (!wcscmp(msg, L"x-setup") || !wcscmp(msg, L"r-setup")) {
        // An alerted leg put into another conference leaves the old one: kept there, it would
        // keep that conference's last leg from ending the call, and its counter for good.
        auto earlier = g_CallConference.find(call);
        auto leg = g_CallList.find(call);
        if (earlier != g_CallConference.end() && earlier->second != conf && leg != g_CallList.end() &&
            leg->second.m_bCounted) {
            auto counter = g_ConferenceCount.find(earlier->second);
            if (counter != g_ConferenceCount.end() && --counter->second <= 0)
                g_ConferenceCount.erase(counter);
            leg->second.m_bCounted = 0;
        }
        g_CallConference[call] = conf;
        return;
    }
    const CallEventRow* row = nullptr;
    for (const CallEventRow& r : kCallEvents)
        if (!wcscmp(msg, r.msg))
            row = &r;
    if (!row)
        return;

    // Among the calls of one conference only the first alert and the last clearing count.
    BOOL record = TRUE;
    auto known = g_CallConference.find(call);
    std::wstring c = known == g_CallConference.end() ? std::wstring() : known->second;
    if (!wcscmp(msg, L"x-alert") || !wcscmp(msg, L"r-alert")) {
        const int inbound = msg[0] == L'x';
        tag_call_info& entry = g_CallList[call];
        entry.m_nCallId = call;
        entry.m_bInbound = inbound;
        entry.m_strNumber = number;
        if (!c.empty()) {
            int& count = g_ConferenceCount[c];
            if (count == kConferenceCleared) {
                // The call's clearing went out already: a leg that alerts after it is no
                // new call of this conference.
                record = FALSE;
            } else {
                if (inbound && count)
                    record = FALSE;
                // A leg counts once, however often it alerts.
                if (!entry.m_bCounted) {
                    ++count;
                    entry.m_bCounted = 1;
                }
            }
        }
    } else if (!wcscmp(msg, L"r-ct")) {
        tag_call_info& entry = g_CallList[call];
        entry.m_nCallId = call;
        entry.m_strNumber = number;
    } else if (!wcscmp(msg, L"del")) {
        auto entry = g_CallList.find(call);
        const bool counted = entry != g_CallList.end() && entry->second.m_bCounted;
        if (entry != g_CallList.end())
            g_CallList.erase(entry);
        // The call is gone: its conference is not needed again.
        if (known != g_CallConference.end())
            g_CallConference.erase(known);
        if (!c.empty()) {
            int& count = g_ConferenceCount[c];
            if (count == kConferenceCleared) {
                // The clearing of this conference went out with its last alerted leg.
                record = FALSE;
            } else if (counted) {
                // Only the last alerted leg's clearing ends the call.
                if (count != 1)
                    record = FALSE;
                --count;
                if (count <= 0)
                    count = kConferenceCleared;
            } else if (count > 0) {
                // A leg that never alerted leaves the counter alone: the call goes on while
                // other legs still ring or talk.
                record = FALSE;
            }
            // A conference is forgotten with its last leg, or the table would grow by a
            // conference per call as long as the plug-in runs. Until then a cleared one is
            // remembered: a leg still in setup (the caller hung up while one leg rang and
            // another was being set up) must not clear the call a second time.
            bool legsLeft = false;
            for (const auto& other : g_CallConference)
                if (other.second == c) {
                    legsLeft = true;
                    break;
                }
            if (!legsLeft || (count <= 0 && count != kConferenceCleared))
                g_ConferenceCount.erase(c);
        }
    }

    BusMsgBegin(t_message, _countof(t_message));
    BusMsgAppend(t_message, _countof(t_message), L" <value keyword=\"Type\">%u</value>\r\n", QOR_BUSMSG_CALLSTATE);
    BusMsgAppend(t_message, _countof(t_message), L" <value keyword=\"Event\">%s</value>\r\n", row->busEvent);
    BusMsgAppendText(t_message, _countof(t_message), L"CallerID", number);
    BusMsgAppend(t_message, _countof(t_message), L" <value keyword=\"CallID\">%d</value>\r\n", call);
    BusMsgEnd(t_message, _countof(t_message));
    SendBusMessage(g_hWndParent, FALSE, QOR_BUSMSG_CALLSTATE, t_message);

    // The record is large: keep it off the receive thread's stack.
    auto callStruct = std::make_unique<CQorCallStruct>();
    CopyText(callStruct->PartnerNumber, _countof(callStruct->PartnerNumber), number);
    g_pfnGetSystemTime(&callStruct->TimeStart);
    callStruct->Inbound = row->inbound;
    callStruct->CallID = call;
    callStruct->SetUniqueCallID(call, number);
    CopyText(callStruct->Event, _countof(callStruct->Event), row->callEvent);
    if (record)
        callStruct->SendToHost(g_hWndParent, QOR_BUSMSG_CALLEVENT);
}
