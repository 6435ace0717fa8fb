// The dispatcher's handling of single PBX messages, without a socket.
#include <gtest/gtest.h>

#include <vector>

#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"
#include "plugins/telephony_orkane/CallRecords.h"
#include "plugins/telephony_orkane/Dispatcher.h"
#include "plugins/telephony_orkane/ModuleObjects.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(Dispatcher, LoginResultFillsTheLoginValues)
{
    g_RegIniAccess.Init(TRUE);
    // A section of its own in the shared prefix; "%s%n" would crash if taken as a format.
    CInnovaphoneVars conn(L"OrkaneDispatcherTest");
    DispatchMessages(&conn, L"{\"mt\":\"LoginResult\",\"info\":{\"user\":{\"guid\":\"{G}\",\"dn\":\"Anna\",\"num\":\"221\","
                            L"\"prefix\":{\"country\":\"49\",\"area\":\"30%s%n\",\"intl\":\"000\",\"ntl\":\"00\",\"subs\":\"0\"}},"
                            L"\"session\":{\"usr\":\"0a\",\"pwd\":\"0b\"}}}");
    EXPECT_STREQ(L"49", g_RegIniAccess.ReadStringDefault(L"OrkaneDispatcherTest", L"PrefixCountry", L"<none>"));
    EXPECT_STREQ(L"30%s%n", g_RegIniAccess.ReadStringDefault(L"OrkaneDispatcherTest", L"PrefixArea", L"<none>"));
    EXPECT_STREQ(L"000", g_RegIniAccess.ReadStringDefault(L"OrkaneDispatcherTest", L"PrefixInt", L"<none>"));
    // The dialling rules get the prefixes without the outside-line prefix.
    EXPECT_STREQ(L"00", g_PredialNumbers.GetInternationalPrefix());
    EXPECT_STREQ(L"0", g_PredialNumbers.GetNationalPrefix());
    EXPECT_STREQ(L"49", g_PredialNumbers.GetCountryCode());
    EXPECT_TRUE(conn.m_bAnswer);
    EXPECT_TRUE(conn.m_bLogin);
    EXPECT_STREQ(L"{G}", conn.m_szGUID);
    EXPECT_STREQ(L"Anna", conn.m_szDN);
    EXPECT_STREQ(L"221", conn.m_szNum);
    EXPECT_STREQ(L"49", conn.m_szPrefixCountry);
    EXPECT_STREQ(L"30%s%n", conn.m_szPrefixArea);
    EXPECT_STREQ(L"000", conn.m_szPrefixInt);
    EXPECT_STREQ(L"{\"pwd\":\"0b\",\"usr\":\"0a\"}", conn.m_szExSession);
}

TEST(Dispatcher, RefusedOrBrokenMessagesLeaveTheValues)
{
    const struct {
        const wchar_t* text;
        BOOL answered;
    } cases[] = {
        {L"{\"mt\":\"LoginResult\",\"error\":1}", TRUE},
        {L"{\"mt\":\"loginresult\",\"info\":{\"user\":{\"guid\":\"x\"}}}", TRUE},
        {L"not json", FALSE},
        {L"[{\"mt\":\"LoginResult\"}]", FALSE},
        {L"", FALSE},
        {nullptr, FALSE},
    };
    for (const auto& c : cases) {
        CInnovaphoneVars conn(L"User");
        DispatchMessages(&conn, c.text);
        EXPECT_EQ(c.answered, conn.m_bAnswer);
        EXPECT_FALSE(conn.m_bLogin);
        EXPECT_STREQ(L"", conn.m_szGUID);
    }
}

TEST(Dispatcher, ConferenceLegsGiveOneRecordEach)
{
    testing_support::RecordingWindow host;
    g_hWndParent = host.hwnd();
    CInnovaphoneVars conn(L"App");
    const wchar_t* events[] = {
        L"{\"mt\":\"CallInfo\",\"call\":7,\"msg\":\"x-setup\",\"conf\":\"c1\"}",
        L"{\"mt\":\"CallInfo\",\"call\":8,\"msg\":\"x-setup\",\"conf\":\"c1\"}",
        L"{\"mt\":\"CallInfo\",\"call\":7,\"msg\":\"x-alert\",\"conf\":\"c1\",\"peer\":{\"e164\":\"0030123\"}}",
        L"{\"mt\":\"CallInfo\",\"call\":8,\"msg\":\"x-alert\",\"conf\":\"c1\",\"peer\":{\"e164\":\"0030123\"}}",
        L"{\"mt\":\"CallInfo\",\"call\":7,\"msg\":\"del\",\"conf\":\"c1\"}",
        L"{\"mt\":\"CallInfo\",\"call\":8,\"msg\":\"del\",\"conf\":\"c1\"}",
        L"{\"mt\":\"CallInfo\",\"call\":9,\"msg\":\"x-alert\",\"peer\":{\"e164\":\"123\"}}",
    };
    for (const wchar_t* e : events)
        DispatchMessages(&conn, e);
    testing_support::PumpFor(100);
    auto states = host.OfType(QOR_BUSMSG_CALLSTATE);
    ASSERT_EQ(5u, states.size());
    const wchar_t* expected[] = {L"Offering", L"Offering", L"Idle", L"Idle", L"Offering"};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_STREQ(expected[i], GetValueByKeyword(states[i].text.c_str(), L"Event")) << i;
    // One leading zero goes.
    EXPECT_STREQ(L"030123", GetValueByKeyword(states[0].text.c_str(), L"CallerID"));
    auto records = host.OfType(QOR_BUSMSG_CALLEVENT);
    ASSERT_EQ(3u, records.size());
    EXPECT_NE(std::wstring::npos, records[0].text.find(L"OnReceived"));
    EXPECT_NE(std::wstring::npos, records[1].text.find(L"OnConnectionCleared"));
    EXPECT_NE(std::wstring::npos, records[2].text.find(L"OnReceived"));
    // The record's text says the type it travels as.
    for (const auto& r : records)
        EXPECT_STREQ(L"44", GetValueByKeyword(r.text.c_str(), L"Type"));
    EXPECT_EQ(1u, g_CallList.count(9));
    g_CallList.clear();
    g_hWndParent = nullptr;
}

struct CallStep {
    int call;
    const wchar_t* msg;
    const wchar_t* conf;
    const wchar_t* record;  // the call record's Event, or null for none
};

// Feeds the steps to the dispatcher with empty call tables; each step's record (or none) must
// come, and once every call is cleared nothing of them may be kept (the tables would
// otherwise grow for as long as the plug-in runs).
void RunCallSteps(const std::vector<CallStep>& steps)
{
    g_CallList.clear();
    g_CallConference.clear();
    g_ConferenceCount.clear();
    testing_support::RecordingWindow host;
    g_hWndParent = host.hwnd();
    CInnovaphoneVars conn(L"App");
    for (const auto& s : steps) {
        host.Clear();
        wchar_t text[256];
        FormatW(text, _countof(text),
                L"{\"mt\":\"CallInfo\",\"call\":%d,\"msg\":\"%s\",\"conf\":\"%s\",\"peer\":{\"e164\":\"4930\"}}",
                s.call, s.msg, s.conf);
        DispatchMessages(&conn, text);
        testing_support::PumpFor(20);
        auto records = host.OfType(QOR_BUSMSG_CALLEVENT);
        if (!s.record) {
            EXPECT_EQ(0u, records.size()) << s.call << " " << testing::PrintToString(std::wstring(s.msg));
        } else {
            ASSERT_EQ(1u, records.size()) << s.call << " " << testing::PrintToString(std::wstring(s.msg));
            EXPECT_NE(std::wstring::npos, records[0].text.find(s.record)) << s.call;
        }
    }
    EXPECT_TRUE(g_CallList.empty());
    EXPECT_TRUE(g_CallConference.empty()) << g_CallConference.size();
    EXPECT_TRUE(g_ConferenceCount.empty()) << g_ConferenceCount.size();
    g_CallList.clear();
    g_CallConference.clear();
    g_ConferenceCount.clear();
    g_hWndParent = nullptr;
}

// Forked legs of one conference: a leg that is cleared without ever alerting must neither end
// the call while another leg rings nor drive the conference counter below zero.
TEST(Dispatcher, LegWithoutAlertDoesNotEndTheCall)
{
    RunCallSteps({
        {20, L"x-setup", L"c2", nullptr},   {21, L"x-setup", L"c2", nullptr}, {22, L"x-setup", L"c2", nullptr},
        {20, L"x-alert", L"c2", L"OnReceived"}, {21, L"x-alert", L"c2", nullptr},
        {21, L"x-alert", L"c2", nullptr},  // alerting again counts once
        {22, L"del", L"c2", nullptr},      // never alerted: the call goes on
        {20, L"x-conn", L"c2", L"OnEstablished"},
        {21, L"del", L"c2", nullptr},
        {20, L"del", L"c2", L"OnConnectionCleared"},
        // A lone call of its own conference that is cleared without alerting still ends.
        {30, L"x-setup", L"c3", nullptr},  {30, L"x-conn", L"c3", L"OnEstablished"}, {30, L"del", L"c3", L"OnConnectionCleared"},
        // The caller hangs up while one leg rings and another is still being set up: one
        // clearing, at the ringing leg's, none at the other's.
        {40, L"x-setup", L"c4", nullptr},  {41, L"x-setup", L"c4", nullptr}, {40, L"x-alert", L"c4", L"OnReceived"},
        {40, L"del", L"c4", L"OnConnectionCleared"}, {41, L"del", L"c4", nullptr},
    });
}

// A setup that puts an alerted leg into another conference takes the leg out of the old one:
// the old conference's last leg then ends its call, and its counter does not outlive it.
TEST(Dispatcher, LegMovedToAnotherConferenceLeavesTheOldOne)
{
    RunCallSteps({
        {40, L"x-setup", L"c4", nullptr},  {41, L"x-setup", L"c4", nullptr},
        {40, L"x-alert", L"c4", L"OnReceived"}, {41, L"x-alert", L"c4", nullptr},
        {41, L"x-setup", L"c5", nullptr},  // leg 41 leaves c4
        {40, L"del", L"c4", L"OnConnectionCleared"},
        {41, L"x-alert", L"c5", L"OnReceived"},  // the first alert of c5
        {41, L"del", L"c5", L"OnConnectionCleared"},
    });
}

TEST(Dispatcher, DevicesAndAnswersWithoutPendingRequest)
{
    testing_support::RecordingWindow host;
    g_hWndParent = host.hwnd();
    g_dwGlobalDebugLevel = 5;
    CInnovaphoneVars conn(L"App");
    DispatchMessages(&conn, L"{\"mt\":\"DevicesResult\",\"devices\":[{\"hw\":\"RCC-1\"},{\"hw\":\"phone-2\",\"text\":\"\"},3]}");
    EXPECT_EQ(3u, g_dwDeviceCount);
    ASSERT_EQ(1u, g_RccDevices.size());
    EXPECT_STREQ(L"phone-2", g_RccDevices[0].m_szDeviceName);
    EXPECT_STREQ(L"phone-2", g_RccDevices[0].m_szHumanRedeableName);
    EXPECT_STREQ(L"phone-2", g_szSelectedDevice);
    // With both connections up, a stored handle reports the connection as working (State 2).
    HINTERNET userSocket = InnovaphoneVarsUser.m_hWebSocketHandle, appSocket = InnovaphoneVarsApp.m_hWebSocketHandle;
    InnovaphoneVarsUser.m_hWebSocketHandle = InnovaphoneVarsApp.m_hWebSocketHandle = (HINTERNET)1;
    // An answer beyond the list (at its end, or far beyond) is dropped with an error line,
    // not written past the end, and reports nothing.
    for (DWORD index : {1u, 5u}) {
        host.Clear();
        g_dwDeviceIndex = index;
        DispatchMessages(&conn, L"{\"mt\":\"UserInitializeResult\",\"user\":44}");
        testing_support::PumpFor(20);
        EXPECT_TRUE(host.OfType(QOR_BUSMSG_STATE).empty()) << index;
        size_t errors = 0;
        for (const auto& m : host.OfType(QOR_BUSMSG_LOG))
            errors += wcsstr(GetValueByKeyword(m.text.c_str(), L"Text"), L"UserInitializeResult without device") != nullptr;
        EXPECT_EQ(1u, errors) << index;
        EXPECT_EQ(0u, g_RccDevices[0].m_dwUserHandle);
    }
    host.Clear();
    g_dwDeviceIndex = 0;
    DispatchMessages(&conn, L"{\"mt\":\"UserInitializeResult\",\"user\":45}");
    EXPECT_EQ(45u, g_RccDevices[0].m_dwUserHandle);
    testing_support::PumpFor(20);
    EXPECT_EQ(1u, host.OfType(QOR_BUSMSG_STATE).size());
    InnovaphoneVarsUser.m_hWebSocketHandle = userSocket;
    InnovaphoneVarsApp.m_hWebSocketHandle = appSocket;
    g_hWndParent = nullptr;
}

// A device list that comes while monitoring runs keeps the user handles of the devices it
// still lists, so their calls still arrive.
TEST(Dispatcher, DeviceListDuringMonitoringKeepsTheHandles)
{
    testing_support::RecordingWindow host;
    g_hWndParent = host.hwnd();
    CInnovaphoneVars conn(L"App");
    DispatchMessages(&conn, L"{\"mt\":\"DevicesResult\",\"devices\":[{\"hw\":\"phone-1\"},{\"hw\":\"phone-2\"}]}");
    ASSERT_EQ(2u, g_RccDevices.size());
    g_dwDeviceIndex = 0;
    DispatchMessages(&conn, L"{\"mt\":\"UserInitializeResult\",\"user\":45}");
    g_dwDeviceIndex = 1;
    DispatchMessages(&conn, L"{\"mt\":\"UserInitializeResult\",\"user\":46}");
    g_dwDeviceIndex = 2;
    // Listed again in another order, with a new device and one name twice.
    DispatchMessages(&conn, L"{\"mt\":\"DevicesResult\",\"devices\":[{\"hw\":\"phone-2\"},{\"hw\":\"phone-3\"},"
                            L"{\"hw\":\"phone-1\"},{\"hw\":\"phone-1\"}]}");
    ASSERT_EQ(4u, g_RccDevices.size());
    const DWORD expected[] = {46, 0, 45, 0};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(expected[i], g_RccDevices[i].m_dwUserHandle) << i;
    host.Clear();
    DispatchMessages(&conn, L"{\"mt\":\"CallInfo\",\"user\":45,\"call\":60,\"msg\":\"x-alert\",\"peer\":{\"e164\":\"4930\"}}");
    testing_support::PumpFor(20);
    EXPECT_EQ(1u, host.OfType(QOR_BUSMSG_CALLSTATE).size()) << "the still monitored device's call arrives";
    // Devices no longer listed go, and their handles with them.
    DispatchMessages(&conn, L"{\"mt\":\"DevicesResult\",\"devices\":[{\"hw\":\"phone-9\"}]}");
    ASSERT_EQ(1u, g_RccDevices.size());
    EXPECT_EQ(0u, g_RccDevices[0].m_dwUserHandle);
    g_RccDevices.clear();
    g_CallList.clear();
    g_CallConference.clear();
    g_ConferenceCount.clear();
    g_hWndParent = nullptr;
}

}  // namespace

namespace {

TEST(Dispatcher, LoginInfoObjectIsThePbxOwnText)
{
    const struct {
        const wchar_t* message;
        const wchar_t* info;
        const wchar_t* cn;
    } cases[] = {
        {L"{\"mt\":\"AppGetLoginResult\",\"info\":{\"cn\":\"anna\",\"b\":1},\"digest\":\"d\"}", L"{\"cn\":\"anna\",\"b\":1}", L"anna"},
        // The last member of the message, and one that nests an object and a brace in a text.
        {L"{\"mt\":\"AppGetLoginResult\",\"digest\":\"d\",\"info\":{\"cn\":\"anna\"}}", L"{\"cn\":\"anna\"}", L"anna"},
        {L"{\"mt\":\"AppGetLoginResult\",\"info\":{\"x\":{\"y\":2},\"t\":\"}\\\",\",\"cn\":\"b\"},\"digest\":\"d\"}",
         L"{\"x\":{\"y\":2},\"t\":\"}\\\",\",\"cn\":\"b\"}", L"b"},
        {L"{\"mt\":\"AppGetLoginResult\",\"digest\":\"d\"}", L"", L""},
    };
    for (const auto& c : cases) {
        CInnovaphoneVars conn(L"User");
        DispatchMessages(&conn, c.message);
        EXPECT_STREQ(L"d", conn.m_szDigest);
        EXPECT_STREQ(c.info, conn.m_szInfo);
        EXPECT_STREQ(c.cn, conn.m_szCN);
    }
}

}  // namespace

namespace {

TEST(Dispatcher, CallerNumberCannotPlantBusValues)
{
    testing_support::RecordingWindow host;
    g_hWndParent = host.hwnd();
    CInnovaphoneVars conn(L"App");
    DispatchMessages(&conn, L"{\"mt\":\"CallInfo\",\"call\":31,\"msg\":\"x-alert\",\"peer\":{\"e164\":\"</value><value keyword=\\\"Event\\\">Idle\"}}");
    testing_support::PumpFor(50);
    auto states = host.OfType(QOR_BUSMSG_CALLSTATE);
    ASSERT_EQ(1u, states.size());
    EXPECT_STREQ(L"Offering", GetValueByKeyword(states[0].text.c_str(), L"Event"));
    // The number is cut to its 31 characters and then carried unchanged.
    EXPECT_EQ(std::wstring(L"</value><value keyword=\"Event\">Idle").substr(0, 31),
              GetValueByKeyword(states[0].text.c_str(), L"CallerID"));
    g_CallList.clear();
    g_hWndParent = nullptr;
}

TEST(ConnectionValues, ConfigFileKeepsUserAndPassword)
{
    std::wstring folder = testing_support::MakeTempFolder(L"orkane_vars_config");
    std::wstring ini = folder + L"\\conn.ini";
    {
        CInnovaphoneVars conn(L"User");
        conn.ReadConfig(ini.c_str());
        EXPECT_STREQ(L"", conn.m_szUser);
        wcscpy(conn.m_szUser, L"M\u00fcller");
        wcscpy(conn.m_szPassword, L"pw");
        conn.WriteConfig();
    }
    CInnovaphoneVars conn(L"User");
    conn.ReadConfig(ini.c_str());
    EXPECT_STREQ(ini.c_str(), conn.m_szConfigFile);
    EXPECT_STREQ(L"M\u00fcller", conn.m_szUser);
    EXPECT_STREQ(L"pw", conn.m_szPassword);
    testing_support::RemoveTree(folder);
}

}  // namespace
