#include "bus/BusBuilders.h"
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "foundation/DataFolder.h"
#include "foundation/TextUtils.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using testing_support::CapturedMessage;
using testing_support::RecordingWindow;

namespace {

using Values = std::vector<std::pair<std::wstring, std::wstring>>;

// The whole text a host module writes: header, Type, the values in order, host footer.
std::wstring Expected(UINT type, const Values& values)
{
    std::wstring s = L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n";
    s += L" <value keyword=\"Type\">" + std::to_wstring(type) + L"</value>\r\n";
    for (const auto& v : values)
        s += L" <value keyword=\"" + v.first + L"\">" + v.second + L"</value>\r\n";
    s += L" <value keyword=\"Sender\">Unknown</value>\r\n</data>\r\n";
    return s;
}

enum Delivery { Post, Send, SetText };

struct BuilderCase {
    const char* name;
    std::function<LRESULT(HWND)> call;
    Delivery delivery;
    UINT type;
    Values values;
};

std::wstring Tid()
{
    return std::to_wstring(GetCurrentThreadId());
}

std::vector<BuilderCase> Cases(HWND self)
{
    const std::wstring selfNumber = std::to_wstring(static_cast<unsigned>(reinterpret_cast<UINT_PTR>(self)));
    return {
        {"SendBusType send", [](HWND w) { return SendBusType(w, TRUE, 2); }, Send, 2, {}},
        {"SendBusType post", [](HWND w) { return SendBusType(w, FALSE, 14); }, Post, 14, {}},
        {"SendBusKeyValue escapes", [](HWND w) { SendBusKeyValue(w, FALSE, 80, L"Foo", L"a<b&c"); return 1; }, Post, 80,
         {{L"Foo", L"a&lt;b&amp;c"}}},
        {"SendBusKeyValue send", [](HWND w) { SendBusKeyValue(w, TRUE, 5, L"K", nullptr); return 1; }, Send, 5, {{L"K", L""}}},
        {"SendBusDebugLevel", [](HWND w) { SendBusDebugLevel(w, 3); return 1; }, Post, 26, {{L"Level", L"3"}}},
        {"SendBusPluginRestart", [](HWND w) { SendBusPluginRestart(w, 615, 0); return 1; }, Post, 33,
         {{L"PluginID", L"615"}, {L"PluginInitiated", L"0"}}},
        {"SendBusShowConfig", [](HWND w) { SendBusShowConfig(w, 103); return 1; }, Post, 9, {{L"Module", L"103"}}},
        {"SendBusMenuCommand send", [](HWND w) { return SendBusMenuCommand(TRUE, w, 12001, 0); }, Send, 1,
         {{L"WParam", L"12001"}, {L"LParam", L"0"}}},
        {"SendBusMenuCommand post", [](HWND w) { return SendBusMenuCommand(FALSE, w, 4000000000u, 7); }, Post, 1,
         {{L"WParam", L"4000000000"}, {L"LParam", L"7"}}},
        {"SetTextCallAction", [](HWND w) { SetTextCallAction(w, L"MakeCall", nullptr, L"+4930"); return 1; }, SetText, 3,
         {{L"Command", L"MakeCall"}, {L"OrgCmdId", L"1"}, {L"Partner", L"+4930"}}},
        {"SetTextCallAction all", [](HWND w) { SetTextCallAction(w, L"Dial", L"21", L"0301"); return 1; }, SetText, 3,
         {{L"Command", L"Dial"}, {L"OrgCmdId", L"1"}, {L"Extension", L"21"}, {L"Partner", L"0301"}}},
        {"SetTextSendCommand", [](HWND w) { SetTextSendCommand(w, L"Show"); return 1; }, SetText, 71, {{L"Command", L"Show"}}},
        {"SetTextCallTo no partner", [](HWND w) { SetTextCallTo(w, nullptr); return 1; }, SetText, 3, {{L"Command", L"CallTo"}}},
        {"SetTextCallTo", [](HWND w) { SetTextCallTo(w, L"+49 30"); return 1; }, SetText, 3,
         {{L"Command", L"CallTo"}, {L"Partner", L"+49 30"}}},
        {"SendBusCallAction minimal", [](HWND w) { SendBusCallAction(w, L"hangup", nullptr, nullptr, 5, nullptr); return 1; },
         Post, 3, {{L"Command", L"hangup"}, {L"OrgCmdId", L"1"}, {L"Socket", L"5"}}},
        {"SendBusCallAction all", [](HWND w) { SendBusCallAction(w, L"MakeCall", L"21", L"030", -1, L"x>y"); return 1; },
         Post, 3,
         {{L"Command", L"MakeCall"}, {L"OrgCmdId", L"1"}, {L"Socket", L"-1"}, {L"Extension", L"21"}, {L"Partner", L"030"},
          {L"Extra", L"x&gt;y"}}},
        {"SendBusCallAction null command", [](HWND w) { SendBusCallAction(w, nullptr, nullptr, nullptr, 0, nullptr); return 1; },
         Post, 3, {{L"Command", L""}, {L"OrgCmdId", L"1"}, {L"Socket", L"0"}}},
        {"SendBusCmdResult", [](HWND w) { SendBusCmdResult(w, L"21", L"MakeCall", L"1", 1, nullptr, 4); return 1; }, Post, 18,
         {{L"Ext", L"21"}, {L"Command", L"MakeCall"}, {L"OrgCmdId", L"1"}, {L"Success", L"1"}, {L"Socket", L"4"}}},
        {"SendBusCmdResult info", [](HWND w) { SendBusCmdResult(w, nullptr, L"C", L"2", -3, L"done", 0); return 1; }, Post, 18,
         {{L"Ext", L""}, {L"Command", L"C"}, {L"OrgCmdId", L"2"}, {L"Success", L"-3"}, {L"Socket", L"0"}, {L"Info", L"done"}}},
        {"SendBusCmdInfo", [](HWND w) { SendBusCmdInfo(w, L"C", L"1", nullptr); return 1; }, Post, 21,
         {{L"Command", L"C"}, {L"OrgCmdId", L"1"}}},
        {"SendBusDeleteInfo null info", [](HWND w) { SendBusDeleteInfo(w, 1, L"C", L"1", nullptr); return 1; }, Post, 24,
         {{L"Command", L"C"}, {L"OrgCmdId", L"1"}, {L"Delete", L"1"}, {L"Info", L""}}},
        {"SendBusDeleteInfo2", [](HWND w) { SendBusDeleteInfo2(w, 0, L"C", L"9", L"i"); return 1; }, Post, 25,
         {{L"Command", L"C"}, {L"OrgCmdId", L"9"}, {L"Delete", L"0"}, {L"Info", L"i"}}},
        {"SetTextLog", [](HWND w) { SetTextLog(w, 3, L"x %d %s", 5, L"<y>"); return 1; }, SetText, 4,
         {{L"Level", L"3"}, {L"Text", L"x 5 &lt;y&gt;"}}},
        {"SendBusLogPrintf", [](HWND w) { SendBusLogPrintf(w, 2, L"%s-%d", L"a", 7); return 1; }, Post, 4,
         {{L"Level", L"2"}, {L"Text", L"a-7"}, {L"Thread", Tid()}}},
        {"SendBusLog", [](HWND w) { SendBusLog(w, 0, L"t&"); return 1; }, Post, 4,
         {{L"Level", L"0"}, {L"Text", L"t&amp;"}, {L"Thread", Tid()}}},
        {"SendBusScheme", [](HWND w) { SendBusScheme(w, 2, L"Segoe UI", L"DEU"); return 1; }, Post, 76,
         {{L"SchemeIndex", L"2"}, {L"UsedFont", L"Segoe UI"}, {L"UsedLanguage", L"DEU"}}},
        {"SendBusJsonRecord", [](HWND w) { SendBusJsonRecord(w, L"{\"a\":1}", 77); return 1; }, Post, 77,
         {{L"PluginID", L"77"}, {L"JSONRecord", L"{\"a\":1}"}}},
        {"SendBusMenuEnable", [](HWND w) { SendBusMenuEnable(w, 5, 1); return 1; }, Post, 7, {{L"ID", L"5"}, {L"Enable", L"1"}}},
        {"SendBusMenuShow", [](HWND w) { SendBusMenuShow(w, 5, 1, 0, L"Item"); return 1; }, Send, 60,
         {{L"ID", L"5"}, {L"Visible", L"1"}, {L"Separator", L"0"}, {L"Text", L"Item"}}},
        {"SendBusMenuText", [](HWND w) { SendBusMenuText(w, 6, nullptr); return 1; }, Send, 61, {{L"ID", L"6"}, {L"Text", L""}}},
        {"SendBusSetIcon", [self](HWND w) { SendBusSetIcon(w, self); return 1; }, Post, 19, {{L"Window", selfNumber}}},
        {"SendBusCommand", [](HWND w) { SendBusCommand(w, L"PLUGINADD", nullptr); return 1; }, Post, 8, {{L"CMD", L"PLUGINADD"}}},
        {"SendBusCommand arg", [](HWND w) { SendBusCommand(w, L"PLUGINADD", L"PluginX.dll"); return 1; }, Post, 8,
         {{L"CMD", L"PLUGINADD"}, {L"Arg", L"PluginX.dll"}}},
        {"SendBusState", [](HWND w) { SendBusState(w, -1); return 1; }, Post, 11, {{L"State", L"-1"}}},
        {"SendBusConnected", [](HWND w) { SendBusConnected(w, 1); return 1; }, Post, 37, {{L"Connected", L"1"}}},
        {"SendBusEnabled", [](HWND w) { SendBusEnabled(w, 0); return 1; }, Post, 43, {{L"Enabled", L"0"}}},
        {"SendBusButtons", [](HWND w) { SendBusButtons(w, 3); return 1; }, Post, 48, {{L"Buttons", L"3"}}},
        {"SendBusMenuAppend separator", [](HWND w) { SendBusMenuAppend(w, 1, nullptr); return 1; }, Post, 12, {{L"ID", L"1"}}},
        {"SendBusMenuAppend", [](HWND w) { SendBusMenuAppend(w, 12001, L"Dial"); return 1; }, Post, 12,
         {{L"ID", L"12001"}, {L"Text", L"Dial"}}},
        {"SendBusMenuDelete", [](HWND w) { SendBusMenuDelete(w, 9); return 1; }, Post, 78, {{L"ID", L"9"}}},
        {"SendBusMenuCheck", [](HWND w) { SendBusMenuCheck(w, 9, 1); return 1; }, Post, 79, {{L"ID", L"9"}, {L"Enable", L"1"}}},
        {"SendBusCallEvent", [](HWND w) { SendBusCallEvent(w, L"OnReceived", 42, L"+4930"); return 1; }, Post, 44,
         {{L"Event", L"OnReceived"}, {L"PartnerNumber", L"+4930"}, {L"CallID", L"42"}, {L"Value", L"+4930"},
          {L"UniqueCallID", L"0000000042+4930"}}},
        {"SendBusCallEvent largest id", [](HWND w) { SendBusCallEvent(w, L"E", 4294967295u, nullptr); return 1; }, Post, 44,
         {{L"Event", L"E"}, {L"PartnerNumber", L""}, {L"CallID", L"4294967295"}, {L"Value", L""},
          {L"UniqueCallID", L"4294967295"}}},
        {"SendBusLastError", [](HWND w) { SendBusLastError(w, L"MAIN.Func.X.Error.y"); return 1; }, Post, 66,
         {{L"LastErr", L"MAIN.Func.X.Error.y"}}},
        {"SendBusParam", [](HWND w) { SendBusParam(w, L"p=1"); return 1; }, Post, 80, {{L"Param", L"p=1"}}},
    };
}

class Builders : public ::testing::Test {
protected:
    void SetUp() override { SetBusSenderName(nullptr); }
    RecordingWindow m_host;
};

}  // namespace

TEST_F(Builders, EachWritesItsTypeValuesInOrderAndDeliversAsItShould)
{
    for (const BuilderCase& c : Cases(m_host.hwnd())) {
        m_host.Clear();
        m_host.answer = 4321;
        LRESULT result = c.call(m_host.hwnd());
        // A sent message (and WM_SETTEXT) has arrived when the call returns; a post has not.
        ASSERT_EQ(c.delivery == Post ? 0u : 1u, m_host.messages().size()) << c.name;
        testing_support::PumpFor(20);
        ASSERT_EQ(1u, m_host.messages().size()) << c.name;
        const CapturedMessage& m = m_host.messages()[0];
        EXPECT_EQ(c.delivery == SetText ? UINT(WM_SETTEXT) : WM_QOR_BUSMESSAGE, m.message) << c.name;
        EXPECT_EQ(c.type, m.type) << c.name << ": WPARAM (or the text's Type) is the builder's Type";
        EXPECT_EQ(Expected(c.type, c.values), m.text) << c.name;
        if (c.delivery == Send && std::string(c.name).find("SendBusType") == 0) {
            EXPECT_EQ(4321, result) << c.name << ": the receiver's result comes back";
        }
    }
}

TEST_F(Builders, NoWindowSendsNothing)
{
    HWND gone = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    for (HWND target : {HWND(nullptr), gone}) {
        for (const BuilderCase& c : Cases(m_host.hwnd())) {
            m_host.Clear();
            LRESULT result = c.call(target);
            if (std::string(c.name).find("SendBusType") == 0 || std::string(c.name).find("SendBusMenuCommand") == 0) {
                EXPECT_EQ(0, result) << c.name;
            }
            testing_support::PumpFor(5);
            EXPECT_TRUE(m_host.messages().empty()) << c.name;
        }
    }
    EXPECT_EQ(0, SendBusMemBlock(nullptr, 5, "x", 1));
}

TEST_F(Builders, LongValuesAreCutAtTheBuilderCapacityKeepingTheFooter)
{
    std::wstring big(70000, L'v');
    struct Cut {
        const char* name;
        std::function<void(HWND)> call;
        size_t capacity;
        const wchar_t* keyword;
    } cuts[] = {
        {"SendBusCallAction", [&](HWND w) { SendBusCallAction(w, L"MakeCall", nullptr, big.c_str(), 1, L"tail"); },
         kBusMsgSmallCapacity, L"Partner"},
        {"SendBusCmdInfo", [&](HWND w) { SendBusCmdInfo(w, L"C", L"1", big.c_str()); }, kBusMsgLargeCapacity, L"Info"},
        {"SendBusParam", [&](HWND w) { SendBusParam(w, big.c_str()); }, kBusMsgCapacity, L"Param"},
        {"SendBusLog", [&](HWND w) { SendBusLog(w, 1, big.c_str()); }, kBusMsgCapacity, L"Text"},
    };
    for (const Cut& c : cuts) {
        m_host.Clear();
        c.call(m_host.hwnd());
        testing_support::PumpFor(20);
        ASSERT_EQ(1u, m_host.messages().size()) << c.name;
        const std::wstring& text = m_host.messages()[0].text;
        EXPECT_EQ(c.capacity - 1, text.size()) << c.name;
        const std::wstring footer = L"</value>\r\n <value keyword=\"Sender\">Unknown</value>\r\n</data>\r\n";
        EXPECT_EQ(footer, text.substr(text.size() - footer.size())) << c.name;
        size_t value = wcslen(GetValueByKeyword(text.c_str(), c.keyword));
        EXPECT_GT(value, c.capacity - 400) << c.name;
    }
    // A long Info fits the large builder whole.
    m_host.Clear();
    std::wstring info(60000, L'i');
    SendBusCmdInfo(m_host.hwnd(), L"C", L"1", info.c_str());
    testing_support::PumpFor(20);
    ASSERT_EQ(1u, m_host.messages().size());
    EXPECT_EQ(info, GetValueByKeyword(m_host.messages()[0].text.c_str(), L"Info"));
}

TEST_F(Builders, MemBlockCopiesTheDataIntoABlockOfItsOwn)
{
    BYTE data[300];
    for (size_t i = 0; i < sizeof(data); ++i)
        data[i] = static_cast<BYTE>(i * 7);
    EXPECT_EQ(1, SendBusMemBlock(m_host.hwnd(), 32, data, sizeof(data)));
    memset(data, 0, sizeof(data));  // the sender's data may go away at once
    testing_support::PumpFor(20);
    ASSERT_EQ(1u, m_host.messages().size());
    const CapturedMessage& m = m_host.messages()[0];
    EXPECT_EQ(32u, m.type);
    ASSERT_EQ(300u, m.memBlock.size());
    for (size_t i = 0; i < 300; ++i)
        ASSERT_EQ(static_cast<BYTE>(i * 7), m.memBlock[i]) << i;
    std::wstring handle = GetValueByKeyword(m.text.c_str(), L"MemBlock");
    EXPECT_EQ(Expected(32, {{L"MemBlock", handle}}), m.text);
    EXPECT_NE(L"0", handle);
}

TEST_F(Builders, PluginSenderNameEndsTheMessage)
{
    SetBusSenderName(L"PLUGINTELEPHONYORKANE");
    SendBusState(m_host.hwnd(), 2);
    SetBusSenderName(nullptr);
    testing_support::PumpFor(20);
    ASSERT_EQ(1u, m_host.messages().size());
    EXPECT_STREQ(L"PLUGINTELEPHONYORKANE", GetValueByKeyword(m_host.messages()[0].text.c_str(), L"Sender"));
}

TEST(BuildersWithoutWindow, CopyToGlobalBlockAndFormatBusLog)
{
    std::wstring big(20000, L'b');
    HGLOBAL block = CopyToGlobalBlock(big.c_str());
    ASSERT_NE(nullptr, block);
    // A block by the one rule, which every reader of a bus block accepts.
    EXPECT_EQ(BusBlockBytes(0), GlobalSize(block));
    EXPECT_EQ(block, static_cast<const void*>(GetBusBlockText(block)));
    EXPECT_EQ(kBusMsgCapacity - 1, wcslen(static_cast<const wchar_t*>(block)));
    GlobalFree(block);
    block = CopyToGlobalBlock(nullptr);
    ASSERT_NE(nullptr, block);
    EXPECT_STREQ(L"", static_cast<const wchar_t*>(block));
    EXPECT_NE(nullptr, GetBusBlockText(block));
    GlobalFree(block);

    EXPECT_STREQ(L"level 3: <x>", FormatBusLog(3, L"level %u: %s", 3u, L"<x>"));
    std::wstring longText(9000, L'l');
    EXPECT_EQ(kBusLogTextCapacity - 1, wcslen(FormatBusLog(1, L"%s", longText.c_str())));
}

TEST(BuildersWithoutWindow, SendBusToModuleWithoutTheExportCallsNothing)
{
    EXPECT_EQ(0u, SendBusToModule(nullptr, 5));
    EXPECT_EQ(0u, SendBusToModule(GetModuleHandleW(L"kernel32.dll"), 5));
}

TEST(BuildersWithoutWindow, DataSubFolders)
{
    const wchar_t* names[] = {L"LOG", L"CFG", L"JOB"};
    const wchar_t* (*folders[])() = {GetLogFolder, GetConfigFolder, GetJobFolder};
    for (int i = 0; i < 3; ++i) {
        std::wstring folder = folders[i]();
        EXPECT_EQ(std::wstring(GetDataFolder(names[i])), folder);
        EXPECT_NE(std::wstring::npos, folder.find(names[i]));
    }
    std::wstring log = GetLogFolder();
    GetConfigFolder();
    EXPECT_EQ(log, GetLogFolder()) << "each keeps a text of its own";
}
