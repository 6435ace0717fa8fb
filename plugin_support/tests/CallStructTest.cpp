#include "plugin_support/CallStruct.h"

#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "foundation/TextUtils.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::wstring kHead = L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n";
const std::wstring kTail = L" <value keyword=\"Sender\">Unknown</value>\r\n</data>\r\n";

std::wstring Line(const wchar_t* keyword, const wchar_t* value, const wchar_t* indent = L" ")
{
    return std::wstring(indent) + L"<value keyword=\"" + keyword + L"\">" + value + L"</value>\r\n";
}

std::wstring Xml(const CQorCallStruct& r)
{
    std::vector<wchar_t> out(kCallXmlCapacity, L'\x7F');
    r.ToXml(out.data());
    return out.data();
}

bool SameFields(const CQorCallStruct& a, const CQorCallStruct& b)
{
    return memcmp(static_cast<const tag_call_struct_normal*>(&a), static_cast<const tag_call_struct_normal*>(&b),
                  sizeof(tag_call_struct_normal)) == 0;
}

template <size_t N>
void Fill(wchar_t (&field)[N], wchar_t ch, size_t count)
{
    wmemset(field, ch, count);
    field[count] = 0;
}

}  // namespace

TEST(CallStructXml, MinimalRecordIsHeadTypeCountEmptyResultsAndTail)
{
    SetBusSenderName(nullptr);
    CQorCallStruct r;
    r.Type = 32;
    EXPECT_EQ(kHead + Line(L"Type", L"32") + Line(L"NumberOfResults", L"0") + L" <Results> </Results>" + kTail, Xml(r));
}

TEST(CallStructXml, SparseResultsKeepTheirPlaceAndValuesAreEscaped)
{
    SetBusSenderName(nullptr);
    CQorCallStruct r;
    r.Type = 44;
    r.Inbound = 1;
    r.CallID = 7;
    r.Call = 3;
    r.OpenContactID = 2;
    r.TimeStart = {2026, 12, 4, 10, 8, 30, 15, 5};
    r.TimeIdle = {1, 2, 3, 4, 5, 6, 7, 8};
    wcscpy(r.PartnerNumber, L"+49711123456");
    wcscpy(r.Event, L"OnReceived");
    wcscpy(r.Value, L"</value><value keyword=\"Type\">1");
    r.NumberOfResults = 3;
    r.Results[0].OpenContact = 12;
    wcscpy(r.Results[0].IdentInfo, L"M\u00fcller & Co");
    wcscpy(r.Results[0].SearchSource, L"CRM");
    wcscpy(r.Results[2].IdentInfo, L"Second");
    wcscpy(r.Results[2].URL, L"http://x/?a=1&b=<2>");
    wcscpy(r.Results[3].IdentInfo, L"beyond the count");
    const std::wstring expected = kHead + Line(L"Type", L"44") + Line(L"Inbound", L"1") + Line(L"CallID", L"7") +
        Line(L"Call", L"3") + Line(L"OpenContactID", L"2") +
        Line(L"TimeStart", L"EA070C0004000A0008001E000F000500") +
        Line(L"TimeConnected", L"00000000000000000000000000000000") +
        Line(L"TimeDisconnected", L"00000000000000000000000000000000") +
        Line(L"TimeIdle", L"01000200030004000500060007000800") +
        Line(L"PartnerNumber", L"+49711123456") + Line(L"Event", L"OnReceived") +
        Line(L"Value", L"&lt;/value&gt;&lt;value keyword=\"Type\"&gt;1") + Line(L"NumberOfResults", L"3") +
        L" <Results>  <ResultRecord>" + Line(L"OpenContact", L"12", L"   ") +
        Line(L"IdentInfo", L"M\u00fcller &amp; Co", L"   ") + Line(L"SearchSource", L"CRM", L"   ") +
        L"  </ResultRecord>  <ResultRecord>  </ResultRecord>  <ResultRecord>" +
        Line(L"IdentInfo", L"Second", L"   ") + Line(L"URL", L"http://x/?a=1&amp;b=&lt;2&gt;", L"   ") +
        L"  </ResultRecord> </Results>" + kTail;
    EXPECT_EQ(expected, Xml(r));
}

TEST(CallStructXml, YearZeroSuppressesAllFourTimes)
{
    CQorCallStruct r;
    r.TimeStart.wMonth = 5;
    r.TimeConnected = {2026, 1, 1, 1, 1, 1, 1, 1};
    r.TimeIdle = {2026, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(std::wstring::npos, Xml(r).find(L"Time"));
}

TEST(CallStructXml, OverlongTextsAreCutAndTheMessageStaysWhole)
{
    CQorCallStruct r;
    r.Type = 32;
    Fill(r.Value, L'&', 2198);  // five characters each once escaped
    r.NumberOfResults = 4;
    for (auto& res : r.Results) {
        Fill(res.IdentInfo, L'<', 1022);
        Fill(res.CustomerID, L'>', 510);
    }
    const std::wstring xml = Xml(r);
    EXPECT_LE(xml.size(), kCallXmlCapacity - 1);
    ASSERT_GE(xml.size(), kTail.size() + 11);
    EXPECT_EQ(L" </Results>" + kTail, xml.substr(xml.size() - kTail.size() - 11));
    CQorCallStruct back(xml.c_str());
    EXPECT_EQ(32u, back.Type);
    EXPECT_EQ(std::wstring(2198, L'&'), back.Value);
    EXPECT_EQ(4u, back.NumberOfResults);
    EXPECT_EQ(std::wstring(1022, L'<'), back.Results[0].IdentInfo);
    for (const auto& res : back.Results)
        EXPECT_EQ(std::wstring::npos, std::wstring(res.IdentInfo).find_first_not_of(L'<'));
}

struct RoundTripCase {
    const char* name;
    void (*fill)(CQorCallStruct&);
};

class CallStructRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(CallStructRoundTrip, FromXmlOfToXmlGivesTheSameRecord)
{
    CQorCallStruct r;
    GetParam().fill(r);
    CQorCallStruct back(Xml(r).c_str());
    EXPECT_TRUE(SameFields(r, back)) << Xml(r).substr(0, 4000);
    CQorCallStruct copy(back);
    EXPECT_TRUE(SameFields(r, copy));
}

INSTANTIATE_TEST_SUITE_P(Table, CallStructRoundTrip, ::testing::Values(
    RoundTripCase{"MaximumLengths", [](CQorCallStruct& r) {
        r.Type = 0xFFFFFFFF;
        r.Inbound = 1;
        r.IsConf = 0x80000000;
        r.LineID = 2;
        r.CallID = 4000000000u;
        r.OpenContactID = 3;
        r.Call = 9;
        r.TimeStart = {0xFFFF, 12, 6, 31, 23, 59, 59, 999};
        r.TimeConnected = {2026, 12, 4, 10, 8, 31, 0, 1};
        r.TimeDisconnected = {2026, 12, 4, 10, 9, 0, 0, 2};
        r.TimeIdle = {2026, 12, 4, 10, 9, 1, 0, 3};
        Fill(r.OwnExtension, L'1', 30);
        Fill(r.PartnerNumber, L'2', 30);
        Fill(r.CalledMSN, L'3', 30);
        Fill(r.RedirectingID, L'4', 30);
        Fill(r.Event, L'E', 30);
        Fill(r.Value, L'v', 2198);
        Fill(r.UniqueCallID, L'u', 62);
        r.NumberOfResults = 4;
        for (DWORD i = 0; i < 4; ++i) {
            auto& res = r.Results[i];
            res.OpenContact = 0xFFFFFFFF - i;
            Fill(res.IdentInfo, L'a' + i, 1022);
            Fill(res.SearchSource, L's', 30);
            Fill(res.CustomerID, L'c', 510);
            Fill(res.Mail, L'm', 126);
            Fill(res.URL, L'w', 254);
        }
    }},
    RoundTripCase{"EmptyMiddleRecord", [](CQorCallStruct& r) {
        r.Type = 32;
        r.OpenContactID = 2;
        r.NumberOfResults = 3;
        wcscpy(r.Results[0].IdentInfo, L"first");
        wcscpy(r.Results[0].SearchSource, L"A");
        wcscpy(r.Results[2].IdentInfo, L"third");
        wcscpy(r.Results[2].SearchSource, L"C");
        r.Results[2].OpenContact = 5;
    }},
    RoundTripCase{"YearZeroAndNoTimes", [](CQorCallStruct& r) {
        r.Type = 17;
        wcscpy(r.Event, L"OnDelivered");
    }},
    RoundTripCase{"EscapedTexts", [](CQorCallStruct& r) {
        wcscpy(r.PartnerNumber, L"<a>&amp;\"'");
        wcscpy(r.Value, L"</value><value keyword=\"Type\">9</value>");
        r.NumberOfResults = 1;
        wcscpy(r.Results[0].IdentInfo, L"</ResultRecord><ResultRecord>");
        wcscpy(r.Results[0].Mail, L"a&b@x");
    }}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

TEST(CallStructRead, NumbersCountsAndRecordBoundaries)
{
    const std::wstring msg = kHead + Line(L"Type", L"  -1") + Line(L"CallID", L"+12") + Line(L"Call", L"x") +
        Line(L"NumberOfResults", L"7") + L" <Results><ResultRecord>" + Line(L"IdentInfo", L"one") +
        L"</ResultRecord><ResultRecord>" + Line(L"SearchSource", L"no ident") +
        L"</ResultRecord><ResultRecord>" + Line(L"IdentInfo", L"three") + L"</ResultRecord></Results>" + kTail;
    CQorCallStruct r(msg.c_str());
    EXPECT_EQ(0xFFFFFFFFu, r.Type);
    EXPECT_EQ(12u, r.CallID);
    EXPECT_EQ(0u, r.Call);
    EXPECT_EQ(4u, r.NumberOfResults) << "more than four reads as four";
    EXPECT_STREQ(L"one", r.Results[0].IdentInfo);
    EXPECT_STREQ(L"", r.Results[1].IdentInfo) << "no value from a later record";
    EXPECT_STREQ(L"no ident", r.Results[1].SearchSource);
    EXPECT_STREQ(L"three", r.Results[2].IdentInfo);
    EXPECT_STREQ(L"", r.Results[3].IdentInfo);

    CQorCallStruct five((kHead + Line(L"NumberOfResults", L"5") + L"<ResultRecord>" + Line(L"IdentInfo", L"x") +
                         L"</ResultRecord>").c_str());
    EXPECT_EQ(4u, five.NumberOfResults) << "five must not become zero";
    EXPECT_STREQ(L"x", five.Results[0].IdentInfo);
    CQorCallStruct none(nullptr);
    EXPECT_EQ(0u, none.GetNumberOfResults());
}

TEST(CallStructRead, LongRecordIsReadWholeAndLongValuesAreCut)
{
    // A full record is far longer than a couple of thousand characters once escaped.
    const std::wstring ident(1500, L'&');
    std::wstring escaped;
    for (size_t i = 0; i < 1500; ++i)
        escaped += L"&amp;";
    const std::wstring msg = kHead + Line(L"NumberOfResults", L"1") + L"<ResultRecord>" +
        Line(L"IdentInfo", escaped.c_str()) + Line(L"SearchSource", std::wstring(40, L's').c_str()) +
        Line(L"URL", L"http://u") + L"</ResultRecord>" + Line(L"PartnerNumber", std::wstring(50, L'9').c_str()) + kTail;
    CQorCallStruct r(msg.c_str());
    EXPECT_EQ(ident.substr(0, 1022), r.Results[0].IdentInfo);
    EXPECT_EQ(30u, wcslen(r.Results[0].SearchSource));
    EXPECT_STREQ(L"http://u", r.Results[0].URL);
    EXPECT_EQ(30u, wcslen(r.PartnerNumber));
}

TEST(CallStructResults, SetResultUpdatesInsertsAndStopsWhenFull)
{
    CQorCallStruct r;
    r.SetResult(L"CRM", 1, L"Alice", L"C1", L"a@x", L"u1");
    EXPECT_EQ(1u, r.NumberOfResults);
    r.SetResult(L"LDAP", 2, L"Bob", L"C2", L"b@x", L"u2");
    EXPECT_EQ(2u, r.NumberOfResults);
    r.SetResult(L"CRM", 9, L"Alice B.", L"C9", L"", L"u9");
    EXPECT_EQ(2u, r.NumberOfResults) << "an update leaves the count";
    EXPECT_EQ(9u, r.Results[0].OpenContact);
    EXPECT_STREQ(L"Alice B.", r.Results[0].IdentInfo);
    EXPECT_STREQ(L"", r.Results[0].Mail);
    r.SetResult(L"crm", 3, L"other case", L"", L"", L"");
    EXPECT_EQ(3u, r.NumberOfResults) << "sources compare case-sensitively";
    r.SetResult(L"", 4, L"unnamed", L"", L"", L"");
    EXPECT_EQ(4u, r.NumberOfResults) << "an unnamed source still counts";
    EXPECT_STREQ(L"unnamed", r.Results[3].IdentInfo);
    CQorCallStruct before(r);
    r.SetResult(L"Fifth", 5, L"no room", L"", L"", L"");
    r.SetResult(L"", 6, L"no room either", L"", L"", L"");
    EXPECT_TRUE(SameFields(before, r));
    r.SetResult(L"LDAP", 7, std::wstring(2000, L'i').c_str(), nullptr, nullptr, nullptr);
    EXPECT_EQ(1022u, wcslen(r.Results[1].IdentInfo));

    // A free record below the count (read from the bus) is filled without shrinking the count.
    CQorCallStruct gap;
    gap.NumberOfResults = 3;
    wcscpy(gap.Results[0].IdentInfo, L"a");
    wcscpy(gap.Results[0].SearchSource, L"A");
    wcscpy(gap.Results[2].IdentInfo, L"c");
    wcscpy(gap.Results[2].SearchSource, L"C");
    gap.SetResult(L"B", 0, L"b", L"", L"", L"");
    EXPECT_STREQ(L"b", gap.Results[1].IdentInfo);
    EXPECT_EQ(3u, gap.NumberOfResults);
}

TEST(CallStructResults, GettersAndComparisons)
{
    CQorCallStruct r;
    EXPECT_EQ(0u, r.GetNumberOfResults());
    wcscpy(r.Results[0].IdentInfo, L"x");
    wcscpy(r.Results[0].SearchSource, L"CRM");
    EXPECT_EQ(1u, r.GetNumberOfResults()) << "a filled first record counts without a count";
    EXPECT_EQ(&r.Results[0], r.GetResult(7));
    EXPECT_EQ(&r.Results[3], r.GetResult(3));
    r.OpenContactID = 9;  // out of range: record 0
    EXPECT_EQ(&r.Results[0], r.GetOpenedResult(L"CRM"));
    EXPECT_EQ(nullptr, r.GetOpenedResult(L"crm"));
    r.OpenContactID = 1;
    EXPECT_EQ(nullptr, r.GetOpenedResult(L"CRM"));

    r.SetUniqueCallID(42, L"0711");
    EXPECT_STREQ(L"00000000420711", r.UniqueCallID);
    EXPECT_TRUE(r.IsSameCall(L"00000000420711"));
    EXPECT_FALSE(r.IsSameCall(L"0000000042071"));
    r.SetUniqueCallID(4294967295u, std::wstring(80, L'z').c_str());
    EXPECT_EQ(62u, wcslen(r.UniqueCallID));
    EXPECT_EQ(0u, std::wstring(r.UniqueCallID).find(L"4294967295zz"));

    wcscpy(r.Event, L"onreceived");
    EXPECT_TRUE(r.IsReceived());
    wcscpy(r.Event, L"OnReceivedX");
    EXPECT_FALSE(r.IsReceived());
}

namespace {

struct Posted {
    UINT type;
    std::wstring text;
};
std::vector<Posted> g_posted;

LRESULT CALLBACK HostProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_QOR_BUSMESSAGE) {
        HGLOBAL block = reinterpret_cast<HGLOBAL>(lp);
        const wchar_t* text = GetBusBlockText(block);
        g_posted.push_back({static_cast<UINT>(wp), text ? text : L"<invalid>"});
        GlobalFree(block);
        return 1;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

HWND MakeHost()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CallStructTestHost";
    RegisterClassW(&wc);
    return CreateWindowW(L"CallStructTestHost", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

}  // namespace

TEST(CallStructSend, PostsToAWindowAndNothingToNoWindow)
{
    g_posted.clear();
    HWND host = MakeHost();
    ASSERT_NE(nullptr, host);
    CQorCallStruct r;
    r.Type = 32;
    wcscpy(r.PartnerNumber, L"0711");
    EXPECT_TRUE(r.SendToHost(host, 32));
    EXPECT_TRUE(r.SendOpenContact(host, 2));
    EXPECT_EQ(2u, r.OpenContactID);
    EXPECT_TRUE(r.SendEvent(host, L"OnDelivered", 42, L"+49711&1"));
    testing_support::PumpFor(50);
    ASSERT_EQ(3u, g_posted.size());
    EXPECT_EQ(32u, g_posted[0].type);
    EXPECT_EQ(Xml(CQorCallStruct(g_posted[0].text.c_str())), g_posted[0].text);
    EXPECT_STREQ(L"0711", GetValueByKeyword(g_posted[0].text.c_str(), L"PartnerNumber"));
    EXPECT_EQ(QOR_BUSMSG_CALLRECORD, g_posted[1].type);
    EXPECT_STREQ(L"2", GetValueByKeyword(g_posted[1].text.c_str(), L"OpenContactID"));
    EXPECT_EQ(QOR_BUSMSG_CALLEVENT, g_posted[2].type);
    CQorCallStruct event(g_posted[2].text.c_str());
    EXPECT_STREQ(L"OnDelivered", event.Event);
    EXPECT_STREQ(L"+49711&1", event.PartnerNumber);
    EXPECT_STREQ(L"+49711&1", event.Value);
    EXPECT_EQ(42u, event.CallID);
    EXPECT_STREQ(L"0000000042+49711&1", event.UniqueCallID);

    g_posted.clear();
    CQorCallStruct untouched;
    EXPECT_FALSE(untouched.SendToHost(nullptr, 32));
    EXPECT_FALSE(untouched.SendEvent(nullptr, L"OnReceived", 1, L"1"));
    EXPECT_STREQ(L"", untouched.Event) << "nothing is set without a window";
    DestroyWindow(host);
    EXPECT_FALSE(r.SendToHost(host, 32));
    EXPECT_FALSE(r.SendOpenContact(host, 1));
    EXPECT_FALSE(r.SendEvent(host, L"OnReceived", 1, L"1"));
    testing_support::PumpFor(20);
    EXPECT_TRUE(g_posted.empty());
}

namespace {

// A bus text's Type is the type it travels as, whatever the record held before.
TEST(CallStructSend, TextCarriesTheTypeItTravelsAs)
{
    g_posted.clear();
    HWND host = MakeHost();
    ASSERT_NE(nullptr, host);
    const struct {
        DWORD held;
        int send;  // 0 SendToHost 44, 1 SendOpenContact, 2 SendEvent
    } cases[] = {{0, 0}, {32, 0}, {0, 1}, {44, 1}, {0, 2}, {32, 2}};
    for (const auto& c : cases) {
        CQorCallStruct r;
        r.Type = c.held;
        wcscpy(r.PartnerNumber, L"0711");
        if (c.send == 0)
            EXPECT_TRUE(r.SendToHost(host, QOR_BUSMSG_CALLEVENT));
        else if (c.send == 1)
            EXPECT_TRUE(r.SendOpenContact(host, 1));
        else
            EXPECT_TRUE(r.SendEvent(host, L"OnReceived", 7, L"0711"));
    }
    testing_support::PumpFor(50);
    ASSERT_EQ(_countof(cases), g_posted.size());
    for (size_t i = 0; i < g_posted.size(); ++i) {
        EXPECT_EQ(std::to_wstring(g_posted[i].type), GetValueByKeyword(g_posted[i].text.c_str(), L"Type")) << i;
        // The business-card plug-in reads the record back with the same type.
        EXPECT_EQ(g_posted[i].type, CQorCallStruct(g_posted[i].text.c_str()).Type) << i;
    }
    DestroyWindow(host);
    g_posted.clear();
}

}  // namespace
