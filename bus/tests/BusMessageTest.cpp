#include "bus/BusBlockNumber.h"
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "foundation/TextUtils.h"
#include "tests/support/TestSupport.h"

#include "golden/GoldenMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// A real hidden window that receives 0x47F like the host does: it records each message and
// frees the block.
struct Received {
    UINT type;
    std::wstring text;
    SIZE_T blockBytes;
};
std::vector<Received> g_received;
LRESULT g_answer = 77;

LRESULT CALLBACK ReceiverProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_QOR_BUSMESSAGE) {
        HGLOBAL block = reinterpret_cast<HGLOBAL>(lp);
        const wchar_t* text = GetBusBlockText(block);
        g_received.push_back({static_cast<UINT>(wp), text ? text : L"<invalid>", GlobalSize(block)});
        GlobalFree(block);
        return g_answer;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

HWND MakeReceiver()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ReceiverProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BusTestReceiver";
    RegisterClassW(&wc);
    return CreateWindowW(L"BusTestReceiver", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

std::wstring FromGolden(const unsigned char* bytes, size_t size)
{
    std::wstring s(size / 2, L'\0');
    memcpy(&s[0], bytes, size);
    return s;
}

class BusTransport : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_received.clear();
        SetBusSenderName(nullptr);
        m_window = MakeReceiver();
        ASSERT_NE(nullptr, m_window);
    }
    void TearDown() override
    {
        DestroyWindow(m_window);
        SetBusSenderName(nullptr);
    }
    HWND m_window = nullptr;
};

}  // namespace

TEST(BusText, GoldenMessagesByteForByte)
{
    wchar_t msg[kBusMsgCapacity];
    struct Case {
        const char* name;
        const wchar_t* sender;
        const unsigned char* golden;
        size_t size;
        int kind;
    } cases[] = {
        {"host type 5", nullptr, kGoldenHostType5, sizeof(kGoldenHostType5), 0},
        {"plug-in type 5", L"PLUGINTELEPHONYORKANE", kGoldenPluginType5, sizeof(kGoldenPluginType5), 0},
        {"optional values", nullptr, kGoldenOptional, sizeof(kGoldenOptional), 1},
    };
    for (const Case& c : cases) {
        SetBusSenderName(c.sender);
        BusMsgBegin(msg, kBusMsgCapacity);
        if (c.kind == 0) {
            BusMsgAppend(msg, kBusMsgCapacity, L" <value keyword=\"Type\">%u</value>\r\n", 5u);
        } else {
            BusMsgAppendUInt(msg, kBusMsgCapacity, L"Type", 3);
            BusMsgAppendOptional(msg, kBusMsgCapacity, L"Command", L"MakeCall");
            BusMsgAppendOptional(msg, kBusMsgCapacity, L"Extension", nullptr);  // left out
            BusMsgAppendOptional(msg, kBusMsgCapacity, L"Partner", L"+49 (30) <1> & \u20ac");
        }
        BusMsgEnd(msg, kBusMsgCapacity);
        auto bytes = testing_support::Utf16LeBytes(msg);
        ASSERT_EQ(c.size, bytes.size()) << c.name;
        EXPECT_EQ(0, memcmp(c.golden, bytes.data(), c.size)) << c.name;
    }
    SetBusSenderName(nullptr);
}

TEST(BusText, EscapedValuesCannotCutOrPlantValues)
{
    const wchar_t* hostile = L"</value><value keyword=\"Command\">hangup</value> &amp; & <x>";
    wchar_t msg[kBusMsgCapacity];
    BusMsgBegin(msg, kBusMsgCapacity);
    BusMsgAppendUInt(msg, kBusMsgCapacity, L"Type", 3);
    BusMsgAppendText(msg, kBusMsgCapacity, L"Partner", hostile);
    BusMsgAppendText(msg, kBusMsgCapacity, L"Command", L"MakeCall");
    BusMsgEnd(msg, kBusMsgCapacity);
    EXPECT_STREQ(hostile, GetValueByKeyword(msg, L"Partner"));
    EXPECT_STREQ(L"MakeCall", GetValueByKeyword(msg, L"Command"));
}

TEST(BusText, OverlongValueIsCutAndTheFooterKept)
{
    std::wstring big(20000, L'a');
    big[14000] = L'&';  // escaped near the cut
    for (size_t capacity : {size_t(2047), size_t(kBusMsgCapacity)}) {
        std::vector<wchar_t> msg(capacity);
        SetBusSenderName(L"PLUGININFOVISETTE");
        BusMsgBegin(msg.data(), capacity);
        BusMsgAppendUInt(msg.data(), capacity, L"Type", 4);
        BusMsgAppendText(msg.data(), capacity, L"Text", big.c_str());
        BusMsgAppendUInt(msg.data(), capacity, L"Thread", 12);  // no room left: left out
        BusMsgEnd(msg.data(), capacity);
        std::wstring text(msg.data());
        EXPECT_EQ(capacity - 1, text.size()) << "the buffer is used to its last character";
        EXPECT_NE(std::wstring::npos, text.rfind(L"</value>\r\n <value keyword=\"Sender\">PLUGININFOVISETTE</value>\r\n</data>\r\n"));
        std::wstring value = GetValueByKeyword(msg.data(), L"Text");
        EXPECT_GT(value.size(), capacity - 200);
        EXPECT_EQ(std::wstring::npos, value.find(L"&am")) << "an entity is never split";
        EXPECT_STREQ(L"PLUGININFOVISETTE", GetValueByKeyword(msg.data(), L"Sender"));
    }
    SetBusSenderName(nullptr);
}

TEST(BusText, SurrogatePairIsNotSplitByTheCut)
{
    std::wstring pairs;
    for (int i = 0; i < 600; ++i)
        pairs += L"\U0001F600";
    for (size_t capacity = 1100; capacity < 1104; ++capacity) {
        std::vector<wchar_t> msg(capacity);
        BusMsgBegin(msg.data(), capacity);
        BusMsgAppendText(msg.data(), capacity, L"Text", pairs.c_str());
        BusMsgEnd(msg.data(), capacity);
        std::wstring value = GetValueByKeyword(msg.data(), L"Text");
        ASSERT_FALSE(value.empty());
        EXPECT_EQ(0u, value.size() % 2) << capacity;
    }
}

TEST(CallCommand, BuildWritesTheTypeArgumentAndEveryText)
{
    QorCallCommand record = {};
    record.Type = 99;
    record.OrgCmdId = 7;
    wcscpy(record.Command, L"Dial");
    wcscpy(record.Partner, L"0301234");
    record.Socket = 9;
    const wchar_t* text = BuildCallCommand(3, &record);
    auto bytes = testing_support::Utf16LeBytes(text);
    ASSERT_EQ(sizeof(kGoldenCallCommand), bytes.size());
    EXPECT_EQ(0, memcmp(kGoldenCallCommand, bytes.data(), bytes.size()));
}

TEST(CallCommand, ParseRoundTripAndLimits)
{
    std::wstring longPartner(40, L'9');
    std::wstring longExtra(300, L'e');
    std::wstring msg = FromGolden(kGoldenCallCommand, sizeof(kGoldenCallCommand));
    QorCallCommand r;
    ParseCallCommand(&r, msg.c_str());
    EXPECT_EQ(3u, r.Type);
    EXPECT_EQ(7u, r.OrgCmdId);
    EXPECT_STREQ(L"Dial", r.Command);
    EXPECT_STREQ(L"0301234", r.Partner);
    EXPECT_EQ(9u, r.Socket);
    std::wstring overlong = L"<value keyword=\"Partner\">" + longPartner + L"</value><value keyword=\"Extra\">" + longExtra +
                            L"</value><value keyword=\"Socket\">abc</value>";
    ParseCallCommand(&r, overlong.c_str());
    EXPECT_EQ(30u, wcslen(r.Partner));
    EXPECT_EQ(254u, wcslen(r.Extra));
    EXPECT_EQ(0u, r.Socket);
    EXPECT_EQ(0u, r.Type);
    wchar_t copy[kBusMsgCapacity];
    CopyCallCommand(3, &r, copy);
    EXPECT_EQ(30u, wcslen(GetValueByKeyword(copy, L"Partner")));
}

TEST_F(BusTransport, BlockSizeFollowsTheOneRule)
{
    for (size_t len : {size_t(10), size_t(16384), size_t(20000)}) {
        std::wstring text = L"<" + std::wstring(len - 1, L'x');
        EXPECT_EQ(1, SendBusMessage(m_window, FALSE, 5, text.c_str()));
        testing_support::PumpFor(50);
        ASSERT_EQ(1u, g_received.size());
        EXPECT_EQ(BusBlockBytes(len), g_received[0].blockBytes);
        EXPECT_EQ((len < 16384 ? 16384 : len) * 2 + 4, g_received[0].blockBytes);
        EXPECT_EQ(text, g_received[0].text);
        g_received.clear();
    }
    EXPECT_EQ(32772u, BusBlockBytes(10));
    EXPECT_EQ(40004u, BusBlockBytes(20000));
}

TEST_F(BusTransport, SendReturnsTheReceiversResultAndPostReturnsOne)
{
    g_answer = 12345;
    EXPECT_EQ(12345, SendBusMessage(m_window, TRUE, 2, L"<sent/>"));
    ASSERT_EQ(1u, g_received.size());
    EXPECT_EQ(2u, g_received[0].type);
    EXPECT_EQ(L"<sent/>", g_received[0].text);
    EXPECT_EQ(1, SendBusMessage(m_window, FALSE, 14, L"<posted/>"));
    EXPECT_EQ(1u, g_received.size()) << "a post arrives only when the queue is pumped";
    testing_support::PumpFor(50);
    ASSERT_EQ(2u, g_received.size());
    EXPECT_EQ(14u, g_received[1].type);
}

TEST_F(BusTransport, NoWindowGetsNoBlock)
{
    EXPECT_EQ(0, SendBusMessage(nullptr, FALSE, 5, L"<x/>"));
    HWND dead = MakeReceiver();
    DestroyWindow(dead);
    EXPECT_EQ(0, SendBusMessage(dead, TRUE, 5, L"<x/>"));
    EXPECT_EQ(0, SendBusMessage(dead, FALSE, 5, L"<x/>"));
    testing_support::PumpFor(20);
    EXPECT_TRUE(g_received.empty());
}

TEST_F(BusTransport, PostFromManyThreadsKeepsEveryMessageWhole)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 25; ++i) {
                wchar_t msg[kBusMsgCapacity];
                wchar_t value[64];
                wsprintfW(value, L"thread%d-%d", t, i);
                BusMsgBegin(msg, kBusMsgCapacity);
                BusMsgAppendUInt(msg, kBusMsgCapacity, L"Type", 4);
                BusMsgAppendText(msg, kBusMsgCapacity, L"Text", value);
                BusMsgEnd(msg, kBusMsgCapacity);
                SendBusMessage(m_window, FALSE, 4, msg);
            }
        });
    }
    for (auto& th : threads)
        th.join();
    testing_support::PumpFor(200);
    ASSERT_EQ(200u, g_received.size());
    for (const auto& r : g_received) {
        std::wstring v = GetValueByKeyword(r.text.c_str(), L"Text");
        EXPECT_EQ(0u, v.find(L"thread"));
        EXPECT_STREQ(L"Unknown", GetValueByKeyword(r.text.c_str(), L"Sender"));
    }
}

TEST(BusBlock, ReceiverRejectsWhatIsNoBusBlock)
{
    EXPECT_EQ(nullptr, GetBusBlockText(nullptr));
    HGLOBAL small = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 100);
    EXPECT_EQ(nullptr, GetBusBlockText(small)) << "smaller than the rule gives";
    GlobalFree(small);
    HGLOBAL full = GlobalAlloc(GMEM_FIXED, BusBlockBytes(0));
    memset(full, 'A', BusBlockBytes(0));
    EXPECT_EQ(nullptr, GetBusBlockText(full)) << "no terminator inside the block";
    static_cast<wchar_t*>(full)[5] = 0;
    EXPECT_NE(nullptr, GetBusBlockText(full));
    GlobalFree(full);
    EXPECT_EQ(nullptr, GetBusBlockText(reinterpret_cast<HGLOBAL>(0x10)));
}

TEST(BusTypeNames, Table)
{
    EXPECT_STREQ(L"QOR_BUSMSG_CALLACTION", GetBusTypeName(3));
    EXPECT_STREQ(L"QOR_BUSMSG_CALLEVENT", GetBusTypeName(44));
    EXPECT_STREQ(L"QOR_BUSMSG_PARAM", GetBusTypeName(80));
    EXPECT_EQ(nullptr, GetBusTypeName(13));
}

TEST(BusBlockNumber, AddressesSurviveTheirDecimalForm)
{
    struct Case {
        UINT_PTR address;
        const wchar_t* text;  // the form written for it
    };
    std::vector<Case> cases = {
        {0x00A51230u, L"10818096"},
        {0x7FFF0000u, L"2147418112"},
    };
    if (sizeof(void*) == 4) {
        // The 32-bit form is the signed int other modules write: from 2 GB up it is negative.
        cases.push_back({0x80001000u, L"-2147479552"});
    } else {
        cases.push_back({static_cast<UINT_PTR>(0x00007FF612345678ull), L"140694844102264"});
        cases.push_back({static_cast<UINT_PTR>(0x0000000123456780ull), L"4886718336"});
    }
    for (const Case& c : cases) {
        wchar_t text[24];
        FormatBusBlockNumber(text, _countof(text), reinterpret_cast<HGLOBAL>(c.address));
        EXPECT_STREQ(c.text, text);
        EXPECT_EQ(reinterpret_cast<HGLOBAL>(c.address), BusBlockFromNumber(c.text)) << c.text;
    }
    for (const wchar_t* bad : {L"", L"0", L"12ab", L"x", L" "})
        EXPECT_EQ(nullptr, BusBlockFromNumber(bad)) << bad;
    EXPECT_EQ(nullptr, BusBlockFromNumber(nullptr));
}
