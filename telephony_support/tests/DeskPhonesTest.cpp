#include "telephony_support/DeskPhones.h"

#include "telephony_support/DeskPhoneSeams.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Narrow(const wchar_t* text) { return text ? std::string(text, text + wcslen(text)) : "null"; }

}  // namespace

TEST(PhoneVendorNames, BothTables)
{
    struct { int index; const wchar_t* name; const wchar_t* nameEx; } cases[] = {
        {1, L"Snom", L"Snom"},
        {2, L"Aastra/Mitel", L"Aastra/Mitel"},
        {3, L"Panasonic", L"Panasonic"},
        {4, L"Grandstream", L"Grandstream"},
        {5, L"Polycom", L"Polycom"},
        {6, L"Cisco", L"Cisco"},
        {7, L"Yealink", L"Yealink new FW"},
        {8, L"Yealink", L"Yealink Android new FW"},
        {0, L"------------------", L"------------------"},
        {9, L"------------------", L"------------------"},
        {-1, L"------------------", L"------------------"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.name, GetPhoneVendorName(c.index)) << c.index;
        EXPECT_STREQ(c.nameEx, GetPhoneVendorNameEx(c.index)) << c.index;
    }
    EXPECT_EQ(18u, wcslen(GetPhoneVendorName(0)));
}

struct VendorCase {
    const wchar_t* headers;
    const wchar_t* page;
    const wchar_t* mac;
    int expected;
};

class PhoneVendorDetection : public ::testing::TestWithParam<VendorCase> {};

TEST_P(PhoneVendorDetection, Table)
{
    const VendorCase& c = GetParam();
    EXPECT_EQ(c.expected, DetectPhoneVendor(c.headers, c.page, c.mac))
        << Narrow(c.headers) << " | " << Narrow(c.page) << " | " << Narrow(c.mac);
}

const wchar_t kServletPage[] =
    L"<html><script>\r\n\twindow.location =\"/servlet?p=login&q=loginForm\";\r\n</script></html>";
const wchar_t kListenerPage[] = L"<script>window.location =\"/servlet?m=mod_listener&p=login&q=loginForm\";</script>";
const wchar_t kApiPage[] = L"<script>window.location = '/api';</script>";
const wchar_t kDigestHeaders[] = L"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"KX-HDV\", nonce=\"1\"\r\n";

// The vendor part of the MAC address decides first, whatever the texts say.
INSTANTIATE_TEST_SUITE_P(ByMac, PhoneVendorDetection, ::testing::Values(
    VendorCase{L"Server: snom embedded", L"Cisco", L"00085D0A0B0C", 2},
    VendorCase{L"", L"", L"00085d0a0b0c", 2},
    VendorCase{L"", L"", L"000B820A0B0C", 4},
    VendorCase{L"", L"", L"0080F00A0B0C", 3},
    VendorCase{L"", L"", L"F8725A0A0B0C", 6},
    VendorCase{L"", L"", L"000413123456", 1},
    VendorCase{L"", L"<title>Yealink T46U</title>", L"0015650A0B0C", 8},
    VendorCase{L"", kApiPage, L"0015650A0B0C", 8},
    VendorCase{L"", kServletPage, L"0015650A0B0C", 7},
    VendorCase{L"", kListenerPage, L"0015650A0B0C", 7},
    VendorCase{kDigestHeaders, L"<html>login</html>", L"0015650A0B0C", 3},  // undecided: on to the headers
    VendorCase{L"", L"Yealink VP59", L"805EC0123456", 8},
    VendorCase{L"", L"Yealink T33G", L"805EC0123456", 7},
    VendorCase{L"", kApiPage, L"805EC0123456", 8},
    VendorCase{L"", kServletPage, L"805EC0123456", 7},
    VendorCase{L"", L"nothing", L"805EC0123456", 0},
    VendorCase{L"Server: Polycom", L"", L"112233445566", 5},
    VendorCase{L"Server: Polycom", L"", L"00", 5},
    VendorCase{L"Server: Polycom", L"", L"", 5}));

INSTANTIATE_TEST_SUITE_P(ByTexts, PhoneVendorDetection, ::testing::Values(
    VendorCase{L"Server: snom/8.9", L"", nullptr, 0},  // " SNOM " needs a blank on both sides
    VendorCase{L"Server: snom embedded", L"", nullptr, 1},
    VendorCase{L"WWW-Authenticate: Basic realm=\"snom\"", L"", nullptr, 1},
    VendorCase{L"Server:\tsnom\r\n", L"", nullptr, 1},  // tabs and line breaks count as blanks
    VendorCase{L"Server: Aastra 6757i", L"", nullptr, 2},
    VendorCase{L"Server: Mitel", L"", nullptr, 2},
    VendorCase{L"", L"<title>Mitel IP Phone</title>", nullptr, 2},
    VendorCase{L"Server: Polycom SoundPoint", L"", nullptr, 5},
    VendorCase{L"", L"Cisco Systems, Inc.", nullptr, 6},
    VendorCase{L"", L"Yealink T54W", nullptr, 8},
    VendorCase{L"", kApiPage, nullptr, 8},
    VendorCase{L"", kServletPage, nullptr, 7},
    VendorCase{L"", kListenerPage, nullptr, 7},
    VendorCase{kDigestHeaders, L"", nullptr, 3},
    VendorCase{L"", L"Yealink T48U", nullptr, 8},
    VendorCase{L"", L"Yealink T42S", nullptr, 7},
    VendorCase{L"", L"Yealink T31P", nullptr, 7},
    VendorCase{kDigestHeaders, L"Yealink T46U", nullptr, 3},  // the realm is tested before these models
    VendorCase{L"Server: snom embedded", L"Cisco", nullptr, 1},
    VendorCase{L"Server: lighttpd", L"<html></html>", nullptr, 0},
    VendorCase{nullptr, nullptr, nullptr, 0}));

TEST(PhoneVendorDetectionLimits, LongTextsAreSearchedOnTheirBeginning)
{
    std::wstring headers(2040, L'x');
    EXPECT_EQ(1, DetectPhoneVendor((headers + L" snom " + std::wstring(3000, L'y')).c_str(), L"", nullptr));
    headers.resize(2041);
    EXPECT_EQ(0, DetectPhoneVendor((headers + L" snom " + std::wstring(3000, L'y')).c_str(), L"", nullptr))
        << "the name ends past character 2,046";
    std::wstring page(2041, L'x');
    EXPECT_EQ(6, DetectPhoneVendor(L"", (page + L"cisco").c_str(), nullptr));
    page.resize(2042);
    EXPECT_EQ(0, DetectPhoneVendor(L"", (page + L"cisco").c_str(), nullptr));
}

TEST(PhoneVendorDetectionLimits, TextsAtTheEndOfReadableMemory)
{
    testing_support::GuardedBuffer headers(8192);
    testing_support::GuardedBuffer page(8192);
    testing_support::GuardedBuffer mac(4096);
    EXPECT_EQ(0, DetectPhoneVendor(headers.PlaceText(L"Server: x"), page.PlaceText(L"x"), mac.PlaceText(L"0008")));
    EXPECT_EQ(2, DetectPhoneVendor(headers.PlaceText(L""), page.PlaceText(L""), mac.PlaceText(L"00085")));
    EXPECT_EQ(3, DetectPhoneVendor(headers.PlaceText(L""), page.PlaceText(L""), mac.PlaceText(L"008")));
    EXPECT_EQ(0, DetectPhoneVendor(headers.PlaceText(L""), page.PlaceText(L""), mac.PlaceText(L"80")));
    std::wstring big(5000, L'a');
    EXPECT_EQ(0, DetectPhoneVendor(headers.PlaceText(big.substr(0, 4000).c_str()), page.PlaceText(big.substr(0, 4000).c_str()), nullptr));
}

TEST(LoginRedirect, Table)
{
    struct { const wchar_t* page; const wchar_t* expected; } cases[] = {
        {L"<script>window.location = \"/servlet?p=login&q=loginForm\";</script>", L"/servlet?p=login&q=loginForm"},
        {L"<script>\r\n\twindow.location\r\n = \"/servlet?p=login\r\n&q=loginForm\" ;\r\n</script>", L"/servlet?p=login&q=loginForm"},
        {L"window.location=\"/a\"; window.location=\"/b\";", L"/a"},
        {L"window.location=\"\";", L""},
        {L"<html>no redirect</html>", L""},
        {L"window.location=\"/servlet?p=login", L""},  // never closed
        {L"window.location = '/api';", L""},
        {L"Window.Location=\"/x\";", L""},  // case-sensitive
        {L"", L""},
        {nullptr, L""},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.expected, GetLoginRedirect(c.page)) << Narrow(c.page);
}

TEST(LoginRedirect, LongPagesAreReadOnTheirFirst4094Characters)
{
    std::wstring target = L"/servlet?p=login";
    std::wstring redirect = L"window.location=\"" + target + L"\";";
    EXPECT_EQ(target, GetLoginRedirect((std::wstring(4094 - redirect.size(), L'x') + redirect + std::wstring(3000, L'y')).c_str()));
    EXPECT_STREQ(L"", GetLoginRedirect((std::wstring(4095 - redirect.size(), L'x') + redirect).c_str()));
    // Blanks are removed after the cut, so a page full of blanks still ends at the cut.
    EXPECT_STREQ(L"", GetLoginRedirect((std::wstring(5000, L' ') + redirect).c_str()));
    EXPECT_STREQ(L"", GetLoginRedirect((L"window.location=\"" + std::wstring(6000, L'z') + L"\";").c_str()))
        << "the end lies past the cut";

    testing_support::GuardedBuffer guard(4096);
    EXPECT_STREQ(L"", GetLoginRedirect(guard.PlaceText(L"window.location=\"/a\"")));
    EXPECT_STREQ(L"/a", GetLoginRedirect(guard.PlaceText(L"window.location=\"/a\";")));
}

namespace {

// Stands in for the system's ARP command.
struct FakeArp {
    static std::wstring output;
    static std::wstring askedFor;
    static int calls;
    static BOOL started;
    static BOOL Run(const wchar_t* ip, wchar_t* out, size_t capacity)
    {
        ++calls;
        askedFor = ip;
        wcsncpy(out, output.c_str(), capacity - 1);
        out[capacity - 1] = L'\0';
        return started;
    }
};
std::wstring FakeArp::output;
std::wstring FakeArp::askedFor;
int FakeArp::calls = 0;
BOOL FakeArp::started = TRUE;

class MacAddressByArp : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = g_pfnRunArpCommand;
        g_pfnRunArpCommand = FakeArp::Run;
        FakeArp::output.clear();
        FakeArp::askedFor.clear();
        FakeArp::calls = 0;
        FakeArp::started = TRUE;
    }
    void TearDown() override { g_pfnRunArpCommand = m_saved; }

private:
    BOOL (*m_saved)(const wchar_t*, wchar_t*, size_t) = nullptr;
};

// What arp -a prints on Windows for one address.
const wchar_t kArpTable[] =
    L"\r\nInterface: 192.168.1.20 --- 0xb\r\n"
    L"  Internet Address      Physical Address      Type\r\n"
    L"  192.168.1.2           00-08-5d-12-34-56     dynamic   \r\n"
    L"  192.168.1.200         80-5e-c0-0a-0b-0c     dynamic   \r\n";

}  // namespace

TEST_F(MacAddressByArp, FindsTheEntryOfTheAddress)
{
    FakeArp::output = kArpTable;
    EXPECT_STREQ(L"00085D123456", GetMacAddressByArp(L"192.168.1.2"));
    EXPECT_EQ(L"192.168.1.2", FakeArp::askedFor);
    EXPECT_STREQ(L"805EC00A0B0C", GetMacAddressByArp(L"192.168.1.200"));
    // The interface line names this address but holds no MAC address.
    EXPECT_STREQ(L"", GetMacAddressByArp(L"192.168.1.20"));
    EXPECT_STREQ(L"", GetMacAddressByArp(L"192.168.1.3"));
    EXPECT_STREQ(L"", GetMacAddressByArp(L"92.168.1.2"));
}

TEST_F(MacAddressByArp, EmptyAndGarbageOutput)
{
    struct { const wchar_t* output; const wchar_t* expected; } cases[] = {
        {L"", L""},
        {L"No ARP Entries Found.\r\n", L""},
        {L"192.168.1.2", L""},
        {L"192.168.1.2 -", L""},
        {L"192.168.1.2  zz-zz-zz-zz-zz-zz", L""},
        {L"192.168.1.2  00-08-5d-12", L""},  // cut short at the end
        {L"192.168.1.2\r\n00-08-5d-12-34-56", L""},  // not on its line
        {L"192.168.1.2-08-5d-12-34-56-77", L""},
        {L"x192.168.1.2 00-08-5d-12-34-56", L"00085D123456"},
        {L"\x00e4\x00f6 192.168.1.2\t00-08-5D-12-34-56 dynamisch", L"00085D123456"},
        {L"garbage\r\n192.168.1.2  00-08-5d-12-34-5\r\n192.168.1.2  00-08-5d-12-34-57\r\n", L"00085D123457"},
    };
    for (const auto& c : cases) {
        FakeArp::output = c.output;
        EXPECT_STREQ(c.expected, GetMacAddressByArp(L"192.168.1.2")) << Narrow(c.output);
    }
    FakeArp::output = kArpTable;
    FakeArp::started = FALSE;
    EXPECT_STREQ(L"", GetMacAddressByArp(L"192.168.1.2")) << "a command that did not start gives nothing";
}

TEST_F(MacAddressByArp, OnlyDottedDigitsReachTheCommand)
{
    FakeArp::output = kArpTable;
    for (const wchar_t* ip : {L"192.168.1.2 -d", L"192.168.1.2\"", L"", L"1234567890.123456", L"host.local"}) {
        EXPECT_STREQ(L"", GetMacAddressByArp(ip)) << Narrow(ip);
    }
    EXPECT_STREQ(L"", GetMacAddressByArp(nullptr));
    EXPECT_EQ(0, FakeArp::calls);
    testing_support::GuardedBuffer guard(4096);
    EXPECT_STREQ(L"00085D123456", GetMacAddressByArp(guard.PlaceText(L"192.168.1.2")));
    EXPECT_STREQ(L"", GetMacAddressByArp(guard.PlaceText(L"1.1.1.1.1.1.1.1.1")));
}

TEST(CommandOutput, ReadsWhatAProgramPrints)
{
    wchar_t output[1024];
    ASSERT_TRUE(ReadCommandOutput(L"cmd.exe /c echo   192.168.1.2           00-08-5d-12-34-56     dynamic", output,
                                  _countof(output)));
    EXPECT_NE(nullptr, wcsstr(output, L"192.168.1.2           00-08-5d-12-34-56     dynamic")) << Narrow(output);

    // Two writes a while apart, the first one already longer than 50 bytes: the later line is
    // kept too (ping on loopback only waits).
    ASSERT_TRUE(ReadCommandOutput(L"cmd.exe /c echo Interface: 10.0.0.5 --- 0xb padding padding padding padding"
                                  L" & ping -n 2 127.0.0.1 >nul & echo 10.0.0.9 00-04-13-aa-bb-cc dynamic",
                                  output, _countof(output)));
    EXPECT_NE(nullptr, wcsstr(output, L"00-04-13-aa-bb-cc")) << Narrow(output);
}

TEST(CommandOutput, LongOutputIsCutAndShortBuffersAreKept)
{
    wchar_t output[1024];
    ASSERT_TRUE(ReadCommandOutput(L"cmd.exe /c for /l %i in (1,1,400) do @echo line %i", output, _countof(output)));
    EXPECT_EQ(0, wcsncmp(output, L"line 1\r\n", 8)) << Narrow(output);
    EXPECT_LE(wcslen(output), 1023u);
    EXPECT_GT(wcslen(output), 900u);

    wchar_t small[8];
    ASSERT_TRUE(ReadCommandOutput(L"cmd.exe /c echo 0123456789", small, _countof(small)));
    EXPECT_STREQ(L"0123456", small);
}

TEST(CommandOutput, ProgramThatDoesNotExist)
{
    wchar_t output[64] = L"old";
    EXPECT_FALSE(ReadCommandOutput(L"no-such-program-4711.exe", output, _countof(output)));
    EXPECT_STREQ(L"", output);
    EXPECT_FALSE(ReadCommandOutput(nullptr, output, _countof(output)));
}

TEST(CommandOutput, RealArpCommandOnLoopback)
{
    // Wine's arp prints nothing; on Windows loopback has no entry either.
    wchar_t output[1024];
    EXPECT_TRUE(RunArpCommand(L"127.0.0.1", output, _countof(output)));
    EXPECT_FALSE(RunArpCommand(L"127.0.0.1 -d", output, _countof(output)));
    EXPECT_STREQ(L"", GetMacAddressByArp(L"127.0.0.1"));
}
