#include "host/BusRouter.h"

#include "bus/BusBuilders.h"
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/TextUtils.h"
#include "host/HostSeams.h"
#include "tests/hosts/TestHost.h"
#include "tests/plugins/TestPluginRecord.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using testing_support::PluginCallLog;
using testing_support::TestHost;
using Seq = std::vector<std::wstring>;

namespace {

// Slots in this order whatever the file system's order.
const wchar_t kRule[] = L"1;2;3;4;5;901;902;903;904;905;906;11;12;21;22;31;32;941;942;41;51;";

std::wstring Message(UINT type, const wchar_t* action = nullptr, const wchar_t* memBlock = nullptr)
{
    std::wstring s = L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n <value keyword=\"Type\">" +
                     std::to_wstring(type) + L"</value>\r\n";
    if (action)
        s += std::wstring(L" <value keyword=\"TestAction\">") + action + L"</value>\r\n";
    if (memBlock)
        s += std::wstring(L" <value keyword=\"MemBlock\">") + memBlock + L"</value>\r\n";
    return s + L" <value keyword=\"Sender\">Unknown</value>\r\n</data>\r\n";
}

Seq Calls(const PluginCallLog& log)
{
    Seq out;
    for (const std::wstring& s : log.Sequence({L"BusProcess"}))
        out.push_back(s.substr(0, s.find(L'.')));
    return out;
}

class Router : public ::testing::Test {
protected:
    void SetUp() override { CPluginBase::SetLoadSortRule(kRule); }
    void TearDown() override { CPluginBase::SetLoadSortRule(nullptr); }
    PluginCallLog m_log{L"router"};
};

}  // namespace

TEST_F(Router, ScenarioTable)
{
    struct Case {
        const char* name;
        const wchar_t* trees[6];  // Debug, Extra, Info, Save, Search, Telephony
        UINT type;
        Seq calls;
        DWORD result;
    } cases[] = {
        {"call event: Info after each enabled Search slot",
         {L"main", L"main", L"main", L"main", L"main", L"main"}, 44,
         {L"D", L"E", L"I", L"S0", L"I", L"S2", L"I", L"S5", L"I", L"V", L"T"}, 1},
        {"other types reach every Search slot, disabled ones too",
         {L"main", L"main", L"main", L"main", L"main", L"main"}, 5,
         {L"D", L"E", L"I", L"S0", L"S1", L"S2", L"S3", L"S4", L"S5", L"V", L"T"}, 1},
        {"call event without Search plug-ins: Info once",
         {L"main", L"main", L"main", L"main", L"empty", L"main"}, 44, {L"D", L"E", L"I", L"V", L"T"}, 1},
        {"no plug-ins at all", {L"empty", L"empty", L"empty", L"empty", L"empty", L"empty"}, 44, {}, 1},
        {"Extra answering 0 stops its category, the rest still gets it, result 0",
         {L"main", L"zero", L"main", L"main", L"empty", L"main"}, 5, {L"D", L"EZ", L"I", L"V", L"T"}, 0},
        {"Debug and Info answering 0 change no result",
         {L"zero", L"main", L"zero", L"main", L"empty", L"main"}, 5, {L"DZ", L"E", L"IZ", L"V", L"T"}, 1},
        {"Info answering 0 on the call route is still called after each search",
         {L"main", L"main", L"zero", L"main", L"main", L"main"}, 44,
         {L"D", L"E", L"IZ", L"S0", L"IZ", L"S2", L"IZ", L"S5", L"IZ", L"V", L"T"}, 1},
        {"Save answering 0", {L"empty", L"empty", L"empty", L"zero", L"empty", L"main"}, 5, {L"VZ", L"T"}, 0},
        {"Telephony answering 0", {L"empty", L"empty", L"empty", L"empty", L"empty", L"zero"}, 5, {L"TZ"}, 0},
        {"a Search plug-in answering 0 does not stop the call route",
         {L"empty", L"empty", L"main", L"empty", L"zero", L"empty"}, 44, {L"I", L"SZ", L"I", L"S9", L"I"}, 1},
        {"but it stops its category on other routes",
         {L"empty", L"empty", L"main", L"empty", L"zero", L"empty"}, 5, {L"I", L"SZ"}, 1},
    };
    for (const Case& c : cases) {
        TestHost host(c.trees[0], c.trees[1], c.trees[2], c.trees[3], c.trees[4], c.trees[5]);
        host.LoadAll();
        m_log.Clear();
        EXPECT_EQ(c.result, host.Route(c.type, Message(c.type))) << c.name;
        EXPECT_EQ(c.calls, Calls(m_log)) << c.name;
    }
}

TEST_F(Router, MemBlockFreesTheSecondBlockOnlyWhenItIsOurs)
{
    TestHost host(L"empty");
    // Posted by a module of this process: both blocks are freed.
    BYTE data[64] = {1, 2, 3};
    ASSERT_EQ(1, SendBusMemBlock(host.window.hwnd(), 80, data, sizeof(data)));
    testing_support::PumpFor(30);
    ASSERT_EQ(1u, host.window.messages().size());
    const auto& m = host.window.messages()[0];
    ASSERT_EQ(64u, m.memBlock.size());
    EXPECT_EQ(2, m.memBlock[1]);
    struct Case {
        const char* name;
        bool foreign;
        int named;  // 0: none, 1: a live block, 2: the message block itself, 3: no block
        bool freed;
    } cases[] = {
        {"own message naming a block", false, 1, true},
        {"own message without MemBlock", false, 0, false},
        {"own message naming itself", false, 2, false},
        {"own message naming garbage", false, 3, false},
        {"text from another program", true, 1, false},
    };
    for (const Case& c : cases) {
        HGLOBAL second = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 100);
        std::wstring text = Message(80);
        HGLOBAL block = nullptr;
        auto build = [&](const std::wstring& value) {
            std::wstring t = Message(80, nullptr, value.empty() ? nullptr : value.c_str());
            if (c.foreign)
                return host.router.MakeForeignBlock(t.c_str());
            HGLOBAL b = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, BusBlockBytes(t.size()));
            wcscpy(static_cast<wchar_t*>(b), t.c_str());
            return b;
        };
        switch (c.named) {
        case 0: block = build(L""); break;
        case 1: block = build(std::to_wstring(reinterpret_cast<INT_PTR>(second))); break;
        case 2:
            block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, BusBlockBytes(0));
            wcscpy(static_cast<wchar_t*>(block),
                   Message(80, nullptr, std::to_wstring(reinterpret_cast<INT_PTR>(block)).c_str()).c_str());
            break;
        case 3: block = build(L"12345"); break;
        }
        EXPECT_EQ(1u, host.router.DistributeBusMessage(80, block)) << c.name;
        EXPECT_EQ(c.freed, GlobalSize(second) == 0) << c.name;
        if (!c.freed)
            GlobalFree(second);
    }
    // A type the host keeps for itself is not delivered, but its blocks go by the same rule.
    for (const Case& c : cases) {
        HGLOBAL second = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 100);
        std::wstring value = c.named == 1 ? std::to_wstring(reinterpret_cast<INT_PTR>(second))
                             : c.named == 3 ? L"12345" : L"";
        std::wstring t = Message(QOR_BUSMSG_MENUCHECK, nullptr, value.empty() ? nullptr : value.c_str());
        HGLOBAL block = c.foreign ? host.router.MakeForeignBlock(t.c_str()) : AllocBusBlock(t.c_str(), t.size());
        if (c.named == 2) {
            GlobalFree(block);
            block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, BusBlockBytes(0));
            wcscpy(static_cast<wchar_t*>(block),
                   Message(QOR_BUSMSG_MENUCHECK, nullptr, std::to_wstring(reinterpret_cast<INT_PTR>(block)).c_str())
                       .c_str());
        }
        host.router.ReleaseBlock(block);
        EXPECT_EQ(c.freed, GlobalSize(second) == 0) << "host-only: " << c.name;
        if (!c.freed)
            GlobalFree(second);
    }
}

namespace {

HGLOBAL g_refusedBlock = nullptr;

// A full queue: the post is refused.
BOOL WINAPI RefusePost(HWND, UINT, WPARAM, LPARAM lParam)
{
    g_refusedBlock = reinterpret_cast<HGLOBAL>(lParam);
    return FALSE;
}

}  // namespace

// Another program's text whose post the queue refused: its block is freed and forgotten as a
// foreign block, so that a block of our own that later gets the same address is ours again.
TEST_F(Router, ForeignTextWhosePostFailsLeavesNoForeignBlockBehind)
{
    TestHost host(L"empty");
    const std::wstring text = Message(17);
    auto saved = g_pfnPostMessageW;
    g_pfnPostMessageW = RefusePost;
    g_refusedBlock = nullptr;
    EXPECT_TRUE(host.router.PassForeignText(host.window.hwnd(), false, 17, text.c_str()));
    g_pfnPostMessageW = saved;
    ASSERT_NE(nullptr, g_refusedBlock);
    EXPECT_FALSE(host.router.IsForeign(g_refusedBlock));
    EXPECT_EQ(0u, GlobalSize(g_refusedBlock));
    // A message of our own in a block of the same size (the heap tends to give the freed
    // address again), naming a second block.
    HGLOBAL second = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 100);
    std::wstring own = Message(17, nullptr, std::to_wstring(reinterpret_cast<INT_PTR>(second)).c_str());
    HGLOBAL block = AllocBusBlock(own.c_str(), kBusValueMax + 1);
    EXPECT_EQ(1u, host.router.DistributeBusMessage(17, block));
    EXPECT_EQ(0u, GlobalSize(second)) << "the block its MemBlock names is freed";
}

TEST_F(Router, BadBlocksAreDroppedWithoutCallingAnyPlugin)
{
    TestHost host(L"main");
    host.LoadAll();
    m_log.Clear();
    HGLOBAL tiny = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 16);
    EXPECT_EQ(0u, host.router.DistributeBusMessage(5, nullptr));
    EXPECT_EQ(0u, host.router.DistributeBusMessage(5, tiny));
    EXPECT_EQ(0u, host.router.DistributeBusMessage(5, reinterpret_cast<HGLOBAL>(0x10)));
    EXPECT_TRUE(Calls(m_log).empty());
    GlobalFree(tiny);
}

TEST_F(Router, NestedRemoveDuringTheCallRoute)
{
    struct Case {
        const char* name;
        const wchar_t* action;
        Seq expected;
    } cases[] = {
        // Posted, then handled in the router's own pump after slot 0: later slots are gone.
        {"posted", L"S0:post:REMOVEALLSEARCHMODULES",
         {L"D.BusProcess", L"E.BusProcess", L"I.BusProcess", L"S0.BusProcess", L"S0.Posted", L"S0.ActionDone",
          L"I.BusProcess", L"S0.BeforeClose", L"S1.BeforeClose", L"S2.BeforeClose", L"S3.BeforeClose",
          L"S4.BeforeClose", L"S5.BeforeClose", L"V.BusProcess", L"T.BusProcess"}},
        // Handled while S0 pumps inside its own call: kept until S0 has returned.
        {"pumped by the plug-in", L"S0:postpump:REMOVEALLSEARCHMODULES",
         {L"D.BusProcess", L"E.BusProcess", L"I.BusProcess", L"S0.BusProcess", L"S0.Posted", L"S0.ActionDone",
          L"S0.BeforeClose", L"S1.BeforeClose", L"S2.BeforeClose", L"S3.BeforeClose", L"S4.BeforeClose",
          L"S5.BeforeClose", L"I.BusProcess", L"V.BusProcess", L"T.BusProcess"}},
    };
    for (const Case& c : cases) {
        TestHost host(L"main");
        host.LoadAll();
        m_log.Clear();
        EXPECT_EQ(1u, host.Route(44, Message(44, c.action))) << c.name;
        EXPECT_EQ(c.expected, m_log.Sequence({L"BusProcess", L"Posted", L"ActionDone", L"BeforeClose"})) << c.name;
        EXPECT_EQ(nullptr, host.search.GetModule(0)) << c.name;
        auto detach = m_log.Sequence({L"Detach"});
        EXPECT_EQ(6u, detach.size()) << c.name;
        for (const auto& call : m_log.Calls())
            if (std::wstring(call.function) == L"Detach") {
                EXPECT_EQ(0u, call.type) << c.name << ": every plug-in was closed before its unload";
            }
    }
}

TEST_F(Router, CommandsByExactName)
{
    struct Case {
        const wchar_t* command;
        const wchar_t* argument;
        Seq expected;  // BeforeClose, Detach, Attach, AfterLoad of the test plug-ins
    } cases[] = {
        {L"loadallsearchmodules", L"", {}},
        {L"REMOVEALLSEARCHMODULEs", L"", {}},
        {L"UNKNOWN", L"", {}},
        {L"REMOVEALLSAVEMODULES", L"", {L"V.BeforeClose", L"V.Detach"}},
        {L"LOADALLSAVEMODULES", L"", {L"V.Attach", L"V.AfterLoad"}},  // nothing left to close
        {L"LOADALLSAVEMODULES", L"", {L"V.BeforeClose", L"V.Detach", L"V.Attach", L"V.AfterLoad"}},
        {L"LOADALLEXTRAMODULES", L"", {L"E.BeforeClose", L"E.Detach", L"E.Attach", L"E.AfterLoad"}},
        {L"REMOVEALLEXTRAMODULES", L"", {L"E.BeforeClose", L"E.Detach"}},
        {L"LOADALLPHONEMODULES", L"", {L"T.BeforeClose", L"T.Detach", L"T.Attach", L"T.AfterLoad"}},
        {L"REMOVEALLPHONEMODULES", L"", {L"T.BeforeClose", L"T.Detach"}},
        {L"PLUGINREMOVE", L"PluginSearchS2", {L"S2.BeforeClose", L"S2.Detach"}},
        {L"PLUGINREMOVE", L"PluginSearchS2", {}},
        {L"PLUGINADD", L"PluginSearchS2.dll", {L"S2.Attach"}},
        {L"PLUGINADD", L"", {}},
        {L"PLUGINADD", L"..\\PluginDebug\\PluginTraceD.dll", {}},
        {L"PLUGINADD", L"PluginTraceD", {}},
        {L"REMOVEALLSEARCHMODULES", L"",
         {L"S0.BeforeClose", L"S1.BeforeClose", L"S2.BeforeClose", L"S3.BeforeClose", L"S4.BeforeClose",
          L"S5.BeforeClose", L"S0.Detach", L"S1.Detach", L"S2.Detach", L"S3.Detach", L"S4.Detach", L"S5.Detach"}},
    };
    TestHost host(L"main");
    host.LoadAll();
    for (const Case& c : cases) {
        m_log.Clear();
        host.router.ExecuteBusCommand(c.command, c.argument);
        Seq got = m_log.Sequence({L"BeforeClose", L"Detach", L"Attach", L"AfterLoad"});
        // Within one step of a category the slot order follows the load rule; keep the test
        // independent of the order of the search-all lines by comparing sorted groups.
        EXPECT_EQ(c.expected.size(), got.size()) << std::string(c.command, c.command + wcslen(c.command));
        for (const auto& e : c.expected)
            EXPECT_NE(got.end(), std::find(got.begin(), got.end(), e)) << std::string(e.begin(), e.end());
        if (!c.expected.empty() && !got.empty()) {
            EXPECT_EQ(c.expected.front(), got.front());
        }
    }
    // The commands also arrive as bus messages to the host window.
    host.LoadAll();
    m_log.Clear();
    SendBusCommand(host.window.hwnd(), L"PLUGINREMOVE", L"PluginSearchS5");
    testing_support::PumpFor(30);
    EXPECT_EQ((Seq{L"S5.BeforeClose", L"S5.Detach"}), m_log.Sequence({L"BeforeClose", L"Detach"}));
}

TEST_F(Router, PluginThreadMessagesAreRoutedToEveryCategory)
{
    TestHost host(L"main");
    host.LoadAll();
    m_log.Clear();
    host.Route(80, Message(80, L"S2:threadlog:5"));
    for (int i = 0; i < 100 && host.window.OfType(QOR_BUSMSG_LOG).size() < 5; ++i)
        testing_support::PumpFor(20);
    EXPECT_EQ(5u, host.window.OfType(QOR_BUSMSG_LOG).size());
    size_t logsAtD = 0;
    for (const auto& call : m_log.Calls())
        logsAtD += (std::wstring(call.tag) == L"D" && std::wstring(call.function) == L"BusProcess" && call.type == 4);
    EXPECT_EQ(5u, logsAtD) << "the trace plug-in saw each line";
}

// A queue full of call events: each route pumps, and what it pumps is routed inside it. The
// routes nest only a few levels deep (unbounded, a long enough queue exhausts the thread's
// stack, or under Wine its window-procedure depth), and every message is delivered whole.
TEST_F(Router, QueuedCallEventsNestOnlyAFewLevels)
{
    TestHost host(L"empty", L"empty", L"main", L"empty", L"main", L"empty");
    host.LoadAll();
    int depth = 0, deepest = 0;
    host.window.onBusMessage = [&](UINT type, HGLOBAL block) -> LRESULT {
        deepest = std::max(deepest, ++depth);
        LRESULT result = host.router.DistributeBusMessage(type, block);
        --depth;
        return result;
    };
    const int queued = 300;
    for (int i = 0; i < queued; ++i) {
        std::wstring text = Message(44);
        ASSERT_EQ(1, SendBusMessage(host.window.hwnd(), FALSE, 44, text.c_str()));
    }
    m_log.Clear();
    ASSERT_EQ(1, SendBusMessage(host.window.hwnd(), TRUE, 44, Message(44).c_str()));
    testing_support::PumpFor(100);
    EXPECT_LE(deepest, 6);
    // The Info plug-in once before the searches and after each of the three enabled ones.
    int info = 0;
    const std::vector<TestPluginCall> calls = m_log.Calls();
    for (const TestPluginCall& c : calls)
        info += wcscmp(c.tag, L"I") == 0 && wcscmp(c.function, L"BusProcess") == 0 && c.type == 44;
    EXPECT_EQ((queued + 1) * 4, info);
    host.window.onBusMessage = nullptr;
}
