// The real PluginTelephonyOrkane.DLL loaded by the in-process test host (the host's own plug-in
// manager and bus router over the "orkane" test tree, beside a recording Info plug-in), logging
// in to the fake PBX that scripts/with-fake-pbx runs: exports, settings and page, the device
// box and tray menu, switching off and on, incoming, forked and outgoing calls, call control
// from the bus, and bad input from the PBX.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/PluginContract.h"
#include "foundation/Credentials.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"
#include "plugins/telephony_orkane/InnovaphoneVars.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "tests/hosts/TestHost.h"
#include "tests/plugins/TestPluginRecord.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::CapturedMessage;
using testing_support::TestHost;

const wchar_t kProgramKey[] = L"SOFTWARE\\Orvix\\orkane_plugin_test";
const wchar_t kModuleId[] = L"PLUGINTELEPHONYORKANE";
// The user and password this program's fake PBX is set to. The user is this program's own:
// the Credential Manager entries are named by it, and the login test program, running beside
// this one in the same Wine prefix, stores its own user's session there.
const wchar_t kUser[] = L"Paul Plugin";
const wchar_t kPbxSetUp[] = L"\"reset\":true,\"set\":{\"user\":\"Paul Plugin\"}";
const wchar_t kPassword[] = L"geheim";

std::wstring Port()
{
    wchar_t port[16] = L"";
    GetEnvironmentVariableW(L"FAKE_PBX_PORT", port, _countof(port));
    return port;
}

std::wstring GeneralKey()
{
    return std::wstring(kProgramKey) + L"\\PluginTelephonyOrkane\\General";
}

void WriteSettings(const std::map<std::wstring, std::wstring>& values)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, GeneralKey().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    for (const auto& v : values)
        RegSetValueExW(key, v.first.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.c_str()),
                       static_cast<DWORD>((v.second.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::wstring ReadSetting(const wchar_t* name)
{
    wchar_t text[512] = L"";
    DWORD bytes = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, GeneralKey().c_str(), name, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

// Settings of a plug-in that logs in to the fake PBX.
void WriteLoginSettings()
{
    WriteSettings({{L"BaseURL", L"ws://127.0.0.1:" + Port()}, {L"User", kUser}});
    ASSERT_TRUE(WriteCredential(kModuleId, kUser, L"Password", kPassword));
}

// Pumps until the condition holds or the time (ms) is up.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds = 20000)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        testing_support::PumpFor(20);
    }
    return true;
}

// The fake PBX's record of what it received, one JSON line each, from the current test on.
size_t g_logStart = 0;

std::vector<std::string> PbxLog()
{
    wchar_t path[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"FAKE_PBX_LOG", path, _countof(path));
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(path);
    std::vector<std::string> lines;
    std::string all(bytes.begin(), bytes.end());
    size_t at = 0;
    while (at < all.size()) {
        size_t end = all.find('\n', at);
        if (end == std::string::npos)
            end = all.size();
        lines.push_back(all.substr(at, end - at));
        at = end + 1;
    }
    lines.erase(lines.begin(), lines.begin() + (ptrdiff_t)std::min(g_logStart, lines.size()));
    return lines;
}

// The PBX log lines that hold every one of the texts.
std::vector<std::string> PbxLines(std::initializer_list<const char*> texts)
{
    std::vector<std::string> out;
    for (const std::string& line : PbxLog()) {
        bool all = true;
        for (const char* t : texts)
            all = all && line.find(t) != std::string::npos;
        if (all)
            out.push_back(line);
    }
    return out;
}

// A connection of the test's own that steers the fake PBX ({"mt":"FakePbx",...}); its steps
// may act on the plug-in's connections ("to":"app").
class PbxControl {
public:
    PbxControl() : m_conn(L"Control")
    {
        FormatW(m_conn.m_szURL, _countof(m_conn.m_szURL), L"ws://127.0.0.1:%s/PBX0/APPS/websocket", Port().c_str());
        CreateWebsocket(&m_conn);
    }
    ~PbxControl() { CloseWebSocket(&m_conn, TRUE); }
    bool ok() const { return m_conn.m_hWebSocketHandle != nullptr; }
    // Runs the steps and waits until the PBX has done them (a marker it sends back last).
    bool Run(const std::wstring& steps, const std::wstring& members = L"")
    {
        m_conn.m_szBuild[0] = L'\0';
        std::wstring text = L"{\"mt\":\"FakePbx\"" + (members.empty() ? L"" : L"," + members) + L",\"run\":[" + steps +
                            (steps.empty() ? L"" : L",") + L"{\"send\":{\"mt\":\"CheckBuildResult\",\"build\":\"done\"}}]}";
        SendRequest(&m_conn, text.c_str(), 0);
        return WaitUntil([this] { return !wcscmp(m_conn.m_szBuild, L"done"); }, 10000);
    }

private:
    CInnovaphoneVars m_conn;
};

std::wstring Value(const wchar_t* keyword, const std::wstring& value)
{
    return std::wstring(L" <value keyword=\"") + keyword + L"\">" + value + L"</value>\r\n";
}

std::wstring BusText(UINT type, const std::wstring& body)
{
    wchar_t text[kBusMsgCapacity];
    BusMsgBegin(text, _countof(text));
    BusMsgAppendUInt(text, _countof(text), L"Type", type);
    AppendText(text, _countof(text), body.c_str());
    BusMsgEnd(text, _countof(text));
    return text;
}

std::wstring Get(const CapturedMessage& m, const wchar_t* keyword)
{
    return GetValueByKeyword(m.text.c_str(), keyword);
}

class OrkanePlugin : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Port().empty()) << "run through scripts/with-fake-pbx";
        ASSERT_TRUE(m_control.ok());
        ASSERT_TRUE(m_control.Run(L"", kPbxSetUp));
        g_logStart = 0;
        g_logStart = PbxLog().size();
    }
    void TearDown() override
    {
        m_host.reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey);
        // Everything the plug-in sent, its stop included, kept the PBX's protocol rules
        // (connection, members, order, handles).
        for (const std::string& line : PbxLines({"\"violations\""}))
            ADD_FAILURE() << "the PBX found a request against its rules: " << line;
    }

    // Loads the test tree's plug-ins (the real telephony plug-in among them) and starts them.
    void Load()
    {
        m_host.reset(new TestHost(L"orkane"));
        m_host->LoadAll();
        m_module = m_host->telephony.GetModule(0);
        ASSERT_NE(nullptr, m_module);
    }
    template <typename T>
    T Export(const char* name)
    {
        return reinterpret_cast<T>(GetProcAddress(m_module, name));
    }
    std::vector<CapturedMessage> Messages(UINT type) { return m_host->window.OfType(type); }
    // Waits for the login: a device is monitored (State 2 on the bus).
    bool WaitForMonitoring()
    {
        return WaitUntil([this] {
            for (const auto& m : Messages(QOR_BUSMSG_STATE))
                if (Get(m, L"State") == L"2")
                    return true;
            return false;
        });
    }
    void Route(UINT type, const std::wstring& body) { m_host->Route(type, BusText(type, body)); }
    // The Event values of the call-state messages and of the call records, in order.
    std::vector<std::wstring> Events(UINT type)
    {
        std::vector<std::wstring> out;
        for (const auto& m : Messages(type))
            out.push_back(Get(m, L"Event"));
        return out;
    }

    testing_support::PluginCallLog m_log{L"orkane"};
    PbxControl m_control;
    std::unique_ptr<TestHost> m_host;
    HMODULE m_module = nullptr;
};

using Strings = std::vector<std::wstring>;

}  // namespace

// Exports by plain name, the plug-in's identity and the bus types it handles whatever its state.
TEST_F(OrkanePlugin, ExportsIdentityAndCommonTypes)
{
    WriteSettings({});
    Load();
    for (const char* name : {"DLL_PluginBusProcess", "DLL_GetPluginID", "DLL_PluginAfterLoad", "DLL_PluginBeforeClose",
                             "DLL_GetPluginName", "DLL_GetDisableState", "DLL_IsUnicode", "DLL_CanDisable",
                             "DLL_SetDisableState", "DLL_ShowConfig", "g_bIgnoreModule"})
        EXPECT_NE(nullptr, GetProcAddress(m_module, name)) << name;
    EXPECT_EQ(nullptr, GetProcAddress(m_module, "DLL_IsBetaVersion"));
    EXPECT_EQ(222u, Export<PFN_DLL_GetPluginID>("DLL_GetPluginID")());
    EXPECT_STREQ(L"Innovaphone", Export<PFN_DLL_GetPluginName>("DLL_GetPluginName")());
    EXPECT_EQ(1u, Export<PFN_DLL_IsUnicode>("DLL_IsUnicode")());
    // Its own resources hold the settings page and the two-factor confirmation dialog, which
    // the confirmation thread loads from the plug-in's module.
    for (int dialog : {101, 104})
        EXPECT_NE(nullptr, FindResourceW(m_module, MAKEINTRESOURCEW(dialog), RT_DIALOG)) << dialog;
    // No URL, user or password: no connection is tried.
    testing_support::PumpFor(300);
    EXPECT_TRUE(PbxLines({"\"event\": \"open\""}).empty());

    // A numbered copy of the library names itself with its number.
    HMODULE copy = LoadLibraryW((testing_support::TestTreeFolder(L"orkane2") +
                                 L"PluginTelephony\\PluginTelephonyOrkane2.DLL").c_str());
    ASSERT_NE(nullptr, copy);
    auto name = reinterpret_cast<PFN_DLL_GetPluginName>(GetProcAddress(copy, "DLL_GetPluginName"));
    EXPECT_STREQ(L"Innovaphone #2", name());
    FreeLibrary(copy);

    // Forced off (51): the user cannot switch it, and it reports itself off; 53 allows it again.
    auto getDisable = Export<PFN_DLL_GetDisableState>("DLL_GetDisableState");
    auto canDisable = Export<PFN_DLL_CanDisable>("DLL_CanDisable");
    EXPECT_EQ(1u, canDisable());
    EXPECT_EQ(0u, getDisable());
    Route(QOR_BUSMSG_FORCEIGNORE, L"");
    EXPECT_EQ(0u, canDisable());
    EXPECT_EQ(1u, getDisable());
    Route(QOR_BUSMSG_ALLOWDISABLE, L"");
    EXPECT_EQ(1u, canDisable());
    EXPECT_EQ(1u, getDisable()) << "still switched off";
    Export<PFN_DLL_SetDisableState>("DLL_SetDisableState")(0);
    EXPECT_EQ(0u, getDisable());
    // Only the common types reach a switched-off plug-in: a debug level does (seen in the log
    // lines once it is on again; a switched-off plug-in writes none), an apply not (the page's
    // URL is not saved).
    int* ignore = Export<int*>("g_bIgnoreModule");
    auto applyLogged = [&] {
        for (const auto& m : Messages(QOR_BUSMSG_LOG))
            if (Get(m, L"Text").find(L"Event.QOR_BUSMSG_APPLY.Begin") != std::wstring::npos)
                return true;
        return false;
    };
    HWND page = Export<PFN_DLL_ShowConfig>("DLL_ShowConfig")(m_host->window.hwnd());
    ASSERT_NE(nullptr, page);
    SetDlgItemTextW(page, 1011, L"ws://pbx.example.test");
    for (const wchar_t* level : {L"0", L"5"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(level)));
        *ignore = 1;
        Route(QOR_BUSMSG_DEBUGLEVEL, Value(L"Level", level));
        Route(QOR_BUSMSG_APPLY, L"");
        EXPECT_EQ(L"<missing>", ReadSetting(L"BaseURL")) << "an apply reached the switched-off plug-in";
        *ignore = 0;
        m_host->window.Clear();
        Route(QOR_BUSMSG_APPLY, L"");
        testing_support::PumpFor(100);  // the log lines come as posted messages
        EXPECT_EQ(L"ws://pbx.example.test", ReadSetting(L"BaseURL"));
        EXPECT_EQ(level[0] != L'0', applyLogged()) << "the debug level sent while off";
        RegDeleteKeyValueW(HKEY_CURRENT_USER, GeneralKey().c_str(), L"BaseURL");
    }
    DestroyWindow(page);
    testing_support::PumpFor(100);
    m_host->window.Clear();
    Route(QOR_BUSMSG_PLUGINRESTART, Value(L"PluginID", L"223"));
    testing_support::PumpFor(200);
    EXPECT_TRUE(Messages(QOR_BUSMSG_STATE).empty()) << "a restart for another plug-in does nothing";
}

// Without its own settings the plug-in takes the myApps client's server and user; a bare host
// name gets "http://" in front. With no password it tries no connection.
TEST_F(OrkanePlugin, MyAppsDefaults)
{
    const wchar_t kMyApps[] = L"SOFTWARE\\innovaphone\\myApps";
    struct MyAppsValue {
        HKEY root;
        const wchar_t* name;
        const wchar_t* value;
    } values[] = {{HKEY_LOCAL_MACHINE, L"server", L"pbx.example.test"}, {HKEY_CURRENT_USER, L"currentUser", L"Bernd"}};
    for (const auto& v : values)
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(v.root, kMyApps, v.name, REG_SZ, v.value,
                                                 static_cast<DWORD>((wcslen(v.value) + 1) * sizeof(wchar_t))));
    WriteSettings({});
    Load();
    HWND page = Export<PFN_DLL_ShowConfig>("DLL_ShowConfig")(m_host->window.hwnd());
    ASSERT_NE(nullptr, page);
    wchar_t text[256] = L"";
    GetDlgItemTextW(page, 1011, text, _countof(text));
    EXPECT_STREQ(L"http://pbx.example.test", text);
    GetDlgItemTextW(page, 1012, text, _countof(text));
    EXPECT_STREQ(L"Bernd", text);
    DestroyWindow(page);
    for (const auto& v : values)
        RegDeleteKeyValueW(v.root, kMyApps, v.name);
    testing_support::PumpFor(300);
    EXPECT_TRUE(PbxLines({"\"event\": \"open\""}).empty());
}

// Login, device monitoring, then "DevicesResult" refreshing the page's device box and the tray
// menu; a choice in the tray menu; the page's apply through the settings store and the
// Credential Manager, restarting only for a changed login.
TEST_F(OrkanePlugin, SettingsPageDevicesAndTrayMenu)
{
    WriteLoginSettings();
    Load();
    ASSERT_TRUE(WaitForMonitoring());
    EXPECT_EQ(1u, PbxLines({"\"UserInitialize\"", "\"hw\": \"phone-1\"", "\"verified\": true"}).size());
    // The separator once, then the one device with its check mark.
    auto separators = [&] {
        size_t n = 0;
        for (const auto& m : Messages(QOR_BUSMSG_MENUAPPEND))
            n += Get(m, L"ID") == L"1";
        return n;
    };
    EXPECT_EQ(1u, separators());

    auto showConfig = Export<PFN_DLL_ShowConfig>("DLL_ShowConfig");
    HWND page = showConfig(m_host->window.hwnd());
    ASSERT_NE(nullptr, page);
    wchar_t text[256] = L"";
    GetDlgItemTextW(page, 1011, text, _countof(text));
    EXPECT_EQ(L"ws://127.0.0.1:" + Port(), text);
    GetDlgItemTextW(page, 1012, text, _countof(text));
    EXPECT_STREQ(kUser, text);
    GetDlgItemTextW(page, 1013, text, _countof(text));
    EXPECT_STREQ(kPassword, text);
    HWND box = GetDlgItem(page, 1015);
    // Enabled once the login thread has ended (it tells the page from its own thread).
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(box) != FALSE; }));

    // The PBX's new device list reaches the box and the tray menu (the first ten devices).
    m_host->window.Clear();
    std::wstring devices = L"[{\"hw\":\"phone-1\",\"text\":\"Desk phone\"},{\"hw\":\"RCC-x\"},{\"hw\":\"phone-2\"}";
    for (int i = 3; i <= 11; ++i)
        devices += L",{\"hw\":\"extra-" + std::to_wstring(i) + L"\"}";
    devices += L"]";
    ASSERT_TRUE(m_control.Run(L"{\"to\":\"app\",\"send\":{\"mt\":\"DevicesResult\",\"api\":\"RCC\",\"devices\":" +
                              devices + L"}}"));
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(box, CB_GETCOUNT, 0, 0) == 11; }));
    SendMessageW(box, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(L"Desk phone", text);
    SendMessageW(box, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(L"phone-2", text) << "the display text is the hw name when the PBX gives none";
    EXPECT_EQ(0, SendMessageW(box, CB_GETCURSEL, 0, 0));
    ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_MENUAPPEND).size() == 10; }));
    auto appended = Messages(QOR_BUSMSG_MENUAPPEND);
    EXPECT_EQ(L"12000", Get(appended[0], L"ID"));
    EXPECT_EQ(L"Desk phone", Get(appended[0], L"Text"));
    EXPECT_EQ(L"12009", Get(appended[9], L"ID"));
    EXPECT_EQ(10u, Messages(QOR_BUSMSG_MENUDELETE).size());
    // The ids whose last check message set the mark.
    auto Checked = [&] {
        std::map<std::wstring, std::wstring> last;
        for (const auto& m : Messages(QOR_BUSMSG_MENUCHECK))
            last[Get(m, L"ID")] = Get(m, L"Enable");
        Strings out;
        for (const auto& l : last)
            if (l.second == L"1")
                out.push_back(l.first);
        return out;
    };
    EXPECT_EQ(Strings{L"12000"}, Checked());

    // The tray menu chooses the second device; ids from 12010 up do nothing.
    m_host->window.Clear();
    Route(QOR_BUSMSG_MENUCOMMAND, Value(L"WParam", L"12010"));
    testing_support::PumpFor(100);
    EXPECT_TRUE(Messages(QOR_BUSMSG_MENUCHECK).empty());
    Route(QOR_BUSMSG_MENUCOMMAND, Value(L"WParam", L"12001"));
    ASSERT_TRUE(WaitUntil([&] { return !Checked().empty(); }));
    EXPECT_EQ(Strings{L"12001"}, Checked());
    EXPECT_EQ(1, SendMessageW(box, CB_GETCURSEL, 0, 0));

    // Apply with a device chosen in the box: saved as its hw name, no restart.
    size_t logins = PbxLines({"\"mt\": \"Login\""}).size();
    SendMessageW(box, CB_SETCURSEL, 2, 0);
    Route(QOR_BUSMSG_APPLY, L"");
    EXPECT_EQ(L"extra-3", ReadSetting(L"SelectedDevice"));
    EXPECT_EQ(L"ws://127.0.0.1:" + Port(), ReadSetting(L"BaseURL"));
    EXPECT_EQ(kUser, ReadSetting(L"User"));
    EXPECT_EQ(L"0", ReadSetting(L"IgnoreModule"));
    testing_support::PumpFor(500);
    EXPECT_EQ(logins, PbxLines({"\"mt\": \"Login\""}).size());

    // A new password: stored in the Credential Manager, and the plug-in logs in again with it.
    SetDlgItemTextW(page, 1013, L"neu");
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(1013, EN_CHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page, 1013)));
    Route(QOR_BUSMSG_APPLY, L"");
    EXPECT_STREQ(L"neu", ReadCredential(kModuleId, kUser, L"Password"));
    ASSERT_TRUE(WaitUntil([&] { return PbxLines({"\"mt\": \"Login\"", "\"verified\": false"}).size() == 1; }));
    // And back: the right password logs in and monitors again.
    m_host->window.Clear();
    SetDlgItemTextW(page, 1013, kPassword);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(1013, EN_CHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page, 1013)));
    Route(QOR_BUSMSG_APPLY, L"");
    ASSERT_TRUE(WaitForMonitoring());
    EXPECT_EQ(0u, separators()) << "the separator once per load, not per restart";
    SendMessageW(page, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(IsWindow(page));

    // A new load reads it all back.
    m_host.reset();
    Load();
    page = Export<PFN_DLL_ShowConfig>("DLL_ShowConfig")(m_host->window.hwnd());
    ASSERT_NE(nullptr, page);
    GetDlgItemTextW(page, 1013, text, _countof(text));
    EXPECT_STREQ(kPassword, text);
    DestroyWindow(page);
}

// Switched off in the settings dialog (the disable state, then "apply all") the plug-in ends
// its monitoring and closes its connections; switched on it logs in again. Forced off by the
// host (51) it logs out the same way.
TEST_F(OrkanePlugin, SwitchedOffLogsOutAndComesBackOn)
{
    WriteLoginSettings();
    Load();
    ASSERT_TRUE(WaitForMonitoring());
    auto setDisable = Export<PFN_DLL_SetDisableState>("DLL_SetDisableState");
    size_t closed = PbxLines({"\"event\": \"closed\""}).size();
    setDisable(1);
    // While off, a call action does nothing, even with the connections still open (before the
    // "apply all").
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"MakeCall") + Value(L"Partner", L"2345"));
    EXPECT_EQ(closed, PbxLines({"\"event\": \"closed\""}).size()) << "the connections still stood";
    Route(QOR_BUSMSG_APPLYALL, L"");
    EXPECT_EQ(L"1", ReadSetting(L"IgnoreModule"));
    EXPECT_EQ(1u, PbxLines({"\"UserEnd\"", "\"verified\": true"}).size());
    ASSERT_TRUE(WaitUntil([&] { return PbxLines({"\"event\": \"closed\""}).size() == closed + 2; }));
    m_host->window.Clear();
    // Every log line on: the login is logged, its password never.
    Route(QOR_BUSMSG_DEBUGLEVEL, Value(L"Level", L"9"));
    setDisable(0);
    Route(QOR_BUSMSG_APPLYALL, L"");
    EXPECT_EQ(L"0", ReadSetting(L"IgnoreModule"));
    ASSERT_TRUE(WaitForMonitoring());
    EXPECT_TRUE(PbxLines({"\"UserCall\""}).empty());
    testing_support::PumpFor(300);
    // The first login handed out a stored session; coming back on, the plug-in logs in with it.
    auto handedOut = PbxLines({"\"type\": \"user\", \"method\"", "\"session\": {"});
    ASSERT_EQ(1u, handedOut.size());
    EXPECT_EQ(1u, PbxLines({"\"type\": \"session\", \"method\"", "\"verified\": true"}).size());
    // The session's deciphered secret (the PBX's record of what it handed out) stays out of
    // the log as the password does.
    std::string secret = handedOut[0].substr(handedOut[0].find("\"pwd\": \"") + 8);
    secret = secret.substr(0, secret.find('"'));
    ASSERT_FALSE(secret.empty());
    std::wstring wideSecret(secret.begin(), secret.end());
    bool loginLogged = false;
    for (const auto& m : Messages(QOR_BUSMSG_LOG)) {
        loginLogged = loginLogged || m.text.find(L"\"type\":\"session\",\"method\"") != std::wstring::npos;
        EXPECT_EQ(std::wstring::npos, m.text.find(kPassword)) << Get(m, L"Text");
        EXPECT_EQ(std::wstring::npos, m.text.find(wideSecret)) << Get(m, L"Text");
    }
    EXPECT_TRUE(loginLogged);

    // Forced off by the host: it says it is off, and it is logged out too.
    closed = PbxLines({"\"event\": \"closed\""}).size();
    Route(QOR_BUSMSG_FORCEIGNORE, L"");
    EXPECT_EQ(1u, Export<PFN_DLL_GetDisableState>("DLL_GetDisableState")());
    EXPECT_EQ(2u, PbxLines({"\"UserEnd\"", "\"verified\": true"}).size()) << "monitoring ended";
    ASSERT_TRUE(WaitUntil([&] { return PbxLines({"\"event\": \"closed\""}).size() == closed + 2; }));
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"MakeCall") + Value(L"Partner", L"2345"));
    EXPECT_TRUE(PbxLines({"\"UserCall\""}).empty());
    // Allowed again and switched on, it logs in again.
    m_host->window.Clear();
    Route(QOR_BUSMSG_ALLOWDISABLE, L"");
    setDisable(0);
    Route(QOR_BUSMSG_APPLYALL, L"");
    ASSERT_TRUE(WaitForMonitoring());
}

// A changed user name takes the old user's stored session out of the Credential Manager; an
// apply that keeps the name keeps it.
TEST_F(OrkanePlugin, ChangedUserDropsTheOldUsersStoredSession)
{
    const wchar_t kOther[] = L"Olga Other";
    const wchar_t* const entries[] = {L"Session", L"ExSession", L"SessionNonce"};
    WriteSettings({{L"BaseURL", L"ws://127.0.0.1:" + Port()}, {L"User", kUser}});
    // No password: no login; only the stored session is looked at.
    DeleteCredential(kModuleId, kUser, L"Password");
    for (const wchar_t* entry : entries)
        ASSERT_TRUE(WriteCredential(kModuleId, kUser, entry, (std::wstring(L"stored-") + entry).c_str()));
    Load();
    HWND page = Export<PFN_DLL_ShowConfig>("DLL_ShowConfig")(m_host->window.hwnd());
    ASSERT_NE(nullptr, page);
    Route(QOR_BUSMSG_APPLY, L"");
    for (const wchar_t* entry : entries)
        EXPECT_EQ(std::wstring(L"stored-") + entry, ReadCredential(kModuleId, kUser, entry)) << "kept: " << entry;
    SetDlgItemTextW(page, 1012, kOther);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(1012, EN_CHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page, 1012)));
    Route(QOR_BUSMSG_APPLY, L"");
    EXPECT_EQ(kOther, ReadSetting(L"User"));
    for (const wchar_t* entry : entries)
        EXPECT_STREQ(L"", ReadCredential(kModuleId, kUser, entry)) << "left behind: " << entry;
    DestroyWindow(page);
}

// The Credential Manager is read once the host starts the plug-in, not while the loader runs
// its entry point (under the loader lock): a password stored between the two is the one used.
TEST_F(OrkanePlugin, SecretsAreReadWhenTheHostStartsThePlugin)
{
    WriteSettings({{L"BaseURL", L"ws://127.0.0.1:" + Port()}, {L"User", kUser}});
    for (const wchar_t* entry : {L"Session", L"ExSession", L"SessionNonce"})
        DeleteCredential(kModuleId, kUser, entry);
    ASSERT_TRUE(WriteCredential(kModuleId, kUser, L"Password", L"alt"));
    HMODULE module = LoadLibraryW(
        (testing_support::TestTreeFolder(L"orkane") + L"PluginTelephony\\PluginTelephonyOrkane.DLL").c_str());
    ASSERT_NE(nullptr, module);
    ASSERT_TRUE(WriteCredential(kModuleId, kUser, L"Password", kPassword));
    auto afterLoad = reinterpret_cast<PFN_DLL_PluginAfterLoad>(GetProcAddress(module, "DLL_PluginAfterLoad"));
    auto beforeClose = reinterpret_cast<PFN_DLL_PluginBeforeClose>(GetProcAddress(module, "DLL_PluginBeforeClose"));
    ASSERT_TRUE(afterLoad && beforeClose);
    afterLoad();
    EXPECT_TRUE(WaitUntil([] { return !PbxLines({"\"UserInitialize\"", "\"verified\": true"}).empty(); }, 30000));
    EXPECT_EQ(1u, PbxLines({"\"type\": \"user\", \"method\"", "\"verified\": true"}).size());
    EXPECT_TRUE(PbxLines({"\"mt\": \"Login\"", "\"verified\": false"}).empty()) << "logged in with the old password";
    beforeClose();
    FreeLibrary(module);
}

// An incoming call (setup, alert, connect, release): call states and call records in order,
// routed on to the Info category.
TEST_F(OrkanePlugin, IncomingCallGivesStatesAndRecordsInOrder)
{
    WriteLoginSettings();
    Load();
    ASSERT_TRUE(WaitForMonitoring());
    m_host->window.Clear();
    m_log.Clear();
    ASSERT_TRUE(m_control.Run(L"{\"to\":\"app\",\"call\":\"+4930123456\"}"));
    ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLEVENT).size() == 3; }));
    testing_support::PumpFor(200);
    EXPECT_EQ((Strings{L"Offering", L"Connected", L"Idle"}), Events(QOR_BUSMSG_CALLSTATE));
    EXPECT_EQ((Strings{L"OnReceived", L"OnEstablished", L"OnConnectionCleared"}), Events(QOR_BUSMSG_CALLEVENT));
    for (const auto& m : Messages(QOR_BUSMSG_CALLEVENT)) {
        EXPECT_EQ(L"+4930123456", Get(m, L"PartnerNumber"));
        // The clearing carries no direction.
        EXPECT_EQ(Get(m, L"Event") == L"OnConnectionCleared" ? L"" : L"1", Get(m, L"Inbound")) << Get(m, L"Event");
        EXPECT_EQ(Get(Messages(QOR_BUSMSG_CALLSTATE)[0], L"CallID"), Get(m, L"CallID"));
        EXPECT_EQ(L"PLUGINTELEPHONYORKANE", Get(m, L"Sender"));
    }
    // The router handed each record to the Info category's recording plug-in.
    int seen = 0;
    for (const TestPluginCall& c : m_log.Calls())
        if (!wcscmp(c.tag, L"Rec") && !wcscmp(c.function, L"BusProcess") && c.type == QOR_BUSMSG_CALLEVENT)
            ++seen;
    EXPECT_EQ(3, seen);

    // A restart request for this plug-in reads the settings again and logs in anew.
    size_t logins = PbxLines({"\"type\": \"user\", \"method\"", "\"verified\": true"}).size();
    m_host->window.Clear();
    Route(QOR_BUSMSG_PLUGINRESTART, Value(L"PluginID", L"222"));
    ASSERT_TRUE(WaitForMonitoring());
    EXPECT_EQ(logins + 1, PbxLines({"\"type\": \"user\", \"method\"", "\"verified\": true"}).size());
}

// The PBX ends a connection while a call rings: the plug-in tells the bus it is down (State 0),
// logs in again with its stored session and monitors again (State 2); the ringing call gets no
// made-up clearing, and the calls after it come through whole. Ended by a close frame or by a
// dropped TCP connection, on either connection. Nothing it sends breaks the PBX's rules
// (TearDown).
TEST_F(OrkanePlugin, ConnectionEndedByThePbxIsLoggedInAgain)
{
    const wchar_t* const steps[] = {
        L"{\"to\":\"app\",\"drop\":true}",
        L"{\"to\":\"user\",\"drop\":true}",
        L"{\"to\":\"app\",\"close\":1001}",
        L"{\"to\":\"user\",\"close\":1001}",
    };
    WriteLoginSettings();
    Load();
    ASSERT_TRUE(WaitForMonitoring());
    int number = 0;
    for (const wchar_t* step : steps) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(step)));
        size_t sessionLogins = PbxLines({"\"type\": \"session\", \"method\"", "\"verified\": true"}).size();
        m_host->window.Clear();
        std::wstring ringing = L"+4930777" + std::to_wstring(number++);
        ASSERT_TRUE(m_control.Run(L"{\"to\":\"app\",\"ring\":\"" + ringing + L"\",\"legs\":1}"));
        ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLEVENT).size() == 1; }));
        ASSERT_TRUE(m_control.Run(step));
        ASSERT_TRUE(WaitUntil(
            [&] {
                std::vector<std::wstring> states;
                for (const auto& m : Messages(QOR_BUSMSG_STATE))
                    states.push_back(Get(m, L"State"));
                return states.size() >= 2 && states.front() == L"0" && states.back() == L"2";
            },
            30000))
            << "down, then monitoring again";
        EXPECT_EQ(sessionLogins + 1, PbxLines({"\"type\": \"session\", \"method\"", "\"verified\": true"}).size());
        // Monitoring that died with its connection is not ended by a request naming nobody.
        EXPECT_TRUE(PbxLines({"\"UserEnd\"", "\"verified\": false"}).empty());
        testing_support::PumpFor(300);
        EXPECT_EQ((Strings{L"OnReceived"}), Events(QOR_BUSMSG_CALLEVENT)) << "no made-up event for the lost call";

        std::wstring next = L"+4930888" + std::to_wstring(number);
        ASSERT_TRUE(m_control.Run(L"{\"to\":\"app\",\"call\":\"" + next + L"\"}"));
        ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLEVENT).size() == 4; }));
        EXPECT_EQ((Strings{L"OnReceived", L"OnReceived", L"OnEstablished", L"OnConnectionCleared"}),
                  Events(QOR_BUSMSG_CALLEVENT));
        EXPECT_EQ(next, Get(Messages(QOR_BUSMSG_CALLEVENT)[3], L"PartnerNumber"));
    }
}

// A forked call rings two legs; answering takes the newest, the PBX clears the other leg, and
// that leg's "del" does not end the call; clearing it then does.
TEST_F(OrkanePlugin, ForkedCallAnswerAndClear)
{
    WriteLoginSettings();
    Load();
    ASSERT_TRUE(WaitForMonitoring());
    m_host->window.Clear();
    ASSERT_TRUE(m_control.Run(L"{\"to\":\"app\",\"ring\":\"+4930555\",\"legs\":2}"));
    ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLSTATE).size() == 2; }));
    testing_support::PumpFor(200);
    EXPECT_EQ((Strings{L"OnReceived"}), Events(QOR_BUSMSG_CALLEVENT));
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"answercall"));
    ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLSTATE).size() == 4; }));
    auto answered = PbxLines({"\"UserConnect\"", "\"verified\": true"});
    ASSERT_EQ(1u, answered.size());
    std::string newest = std::to_string(std::stoi(
        std::string(Get(Messages(QOR_BUSMSG_CALLSTATE)[1], L"CallID").begin(),
                    Get(Messages(QOR_BUSMSG_CALLSTATE)[1], L"CallID").end())));
    EXPECT_NE(std::string::npos, answered[0].find("\"call\": " + newest));
    testing_support::PumpFor(200);
    EXPECT_EQ((Strings{L"Offering", L"Offering", L"Connected", L"Idle"}), Events(QOR_BUSMSG_CALLSTATE));
    EXPECT_EQ((Strings{L"OnReceived", L"OnEstablished"}), Events(QOR_BUSMSG_CALLEVENT));
    // Answering a connected call sends the request again but changes nothing.
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"AnswerCall"));
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"ClearConnection"));
    ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLEVENT).size() == 3; }));
    EXPECT_EQ((Strings{L"OnReceived", L"OnEstablished", L"OnConnectionCleared"}), Events(QOR_BUSMSG_CALLEVENT));
    EXPECT_EQ(1u, PbxLines({"\"UserClear\"", "\"vause\": \"0\"", "\"verified\": true"}).size());

    // A ringing call cleared from the bus.
    m_host->window.Clear();
    ASSERT_TRUE(m_control.Run(L"{\"to\":\"app\",\"ring\":\"+4930556\",\"legs\":1}"));
    ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLEVENT).size() == 1; }));
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"hangup"));
    ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLEVENT).size() == 2; }));
    EXPECT_EQ((Strings{L"OnReceived", L"OnConnectionCleared"}), Events(QOR_BUSMSG_CALLEVENT));
    // No call left: answer and clear send nothing.
    size_t requests = PbxLines({"\"path\": \"app\""}).size();
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"AnswerCall"));
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"ClearConnection"));
    testing_support::PumpFor(300);
    EXPECT_EQ(requests, PbxLines({"\"path\": \"app\""}).size());
}

// A dial request from the bus reaches the PBX as UserCall from the selected device with the
// canonical number dialled through the PBX's international prefix; an extension as it stands.
TEST_F(OrkanePlugin, MakeCallReachesThePbxWithTheCanonicalNumber)
{
    WriteLoginSettings();
    Load();
    ASSERT_TRUE(WaitForMonitoring());
    m_host->window.Clear();
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"MAKECALL") + Value(L"Partner", L"+49 (30) 123-4567"));
    auto calls = PbxLines({"\"UserCall\""});
    ASSERT_EQ(1u, calls.size());
    // The fake PBX's "intl" prefix is "000".
    EXPECT_NE(std::string::npos, calls[0].find("\"e164\": \"00049301234567\"")) << calls[0];
    EXPECT_NE(std::string::npos, calls[0].find("\"verified\": true")) << calls[0];
    ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLEVENT).size() == 1; }));
    EXPECT_EQ((Strings{L"OnDelivered"}), Events(QOR_BUSMSG_CALLEVENT));
    EXPECT_EQ(L"", Get(Messages(QOR_BUSMSG_CALLEVENT)[0], L"Inbound")) << "outbound";
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"ClearConnection"));
    ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLEVENT).size() == 2; }));

    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"Tel") + Value(L"Partner", L"2345"));
    calls = PbxLines({"\"UserCall\""});
    ASSERT_EQ(2u, calls.size());
    EXPECT_NE(std::string::npos, calls[1].find("\"e164\": \"2345\"")) << calls[1];
    // A partner text cannot plant JSON members in the request.
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"callto") + Value(L"Partner", L"12\",\"x\":\"1"));
    calls = PbxLines({"\"UserCall\""});
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(std::string::npos, calls[2].find("\"x\"")) << calls[2];
    // An unknown command does nothing.
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"Dial") + Value(L"Partner", L"2345"));
    EXPECT_EQ(3u, PbxLines({"\"UserCall\""}).size());
}

// A real PBX sends events between a request and its result: here a CallInfo of the device
// just monitored after each UserInitializeResult (an indication of the new subscription, with
// its src). Every device still gets the handle the PBX gave it, and a call placed from the
// third device rings the third device.
TEST_F(OrkanePlugin, EveryDeviceIsMonitoredUnderItsOwnHandle)
{
    ASSERT_TRUE(m_control.Run(
        L"", L"\"reset\":true,\"set\":{\"user\":\"Paul Plugin\",\"devices\":[{\"hw\":\"phone-1\"},{\"hw\":\"phone-2\"},"
             L"{\"hw\":\"phone-3\"}],\"interleave\":{\"*\":[{\"mt\":\"UpdateOwnPresence\",\"presence\":[]}]},"
             L"\"trail\":{\"UserInitialize\":[{\"mt\":\"CallInfo\",\"api\":\"RCC\",\"user\":\"$user\",\"src\":\"$src\","
             L"\"call\":900,\"msg\":\"x-setup\",\"conf\":\"c-900\"}]}}"));
    WriteSettings({{L"BaseURL", L"ws://127.0.0.1:" + Port()}, {L"User", kUser}, {L"SelectedDevice", L"phone-3"}});
    ASSERT_TRUE(WriteCredential(kModuleId, kUser, L"Password", kPassword));
    Load();
    ASSERT_TRUE(WaitForMonitoring());
    ASSERT_TRUE(WaitUntil([] { return PbxLines({"\"UserInitialize\"", "\"verified\": true"}).size() == 3; }));
    testing_support::PumpFor(300);  // the last result on its way in
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"MakeCall") + Value(L"Partner", L"+4930123456"));
    auto calls = PbxLines({"\"UserCall\""});
    ASSERT_EQ(1u, calls.size());
    EXPECT_NE(std::string::npos, calls[0].find("\"hw\": \"phone-3\"")) << calls[0];
    EXPECT_NE(std::string::npos, calls[0].find("\"verified\": true")) << calls[0];
}

// Bad input from the PBX is logged and dropped; the plug-in goes on working, and nothing on the
// bus carries a value that a caller name planted.
TEST_F(OrkanePlugin, BadPbxInputIsDropped)
{
    WriteLoginSettings();
    Load();
    ASSERT_TRUE(WaitForMonitoring());
    m_host->window.Clear();
    ASSERT_TRUE(m_control.Run(
        L"{\"to\":\"app\",\"raw\":\"{\\\"mt\\\":\\\"CallInfo\\\",\\\"call\\\":\"},"
        L"{\"to\":\"app\",\"send\":{\"mt\":\"CallInfo\",\"call\":\"x\",\"msg\":5,\"peer\":\"p\"}},"
        L"{\"to\":\"app\",\"send\":{\"mt\":7}},"
        L"{\"to\":\"app\",\"send\":{\"mt\":\"NoSuchMessage\",\"call\":1}},"
        L"{\"to\":\"app\",\"send\":{\"mt\":\"DevicesResult\",\"devices\":\"none\"}},"
        L"{\"to\":\"app\",\"huge\":1000000},"
        L"{\"to\":\"app\",\"send\":{\"mt\":\"CallInfo\",\"api\":\"RCC\",\"user\":999999,\"call\":77,\"msg\":\"x-alert\","
        L"\"peer\":{\"e164\":\"1\"}}},"
        L"{\"to\":\"app\",\"call\":\"</value><value keyword=\\\"Event\\\">Idle\"}"));
    // Only the last call gives states and records, and its events are its own.
    ASSERT_TRUE(WaitUntil([&] { return Messages(QOR_BUSMSG_CALLEVENT).size() == 3; }));
    testing_support::PumpFor(300);
    EXPECT_EQ((Strings{L"Offering", L"Connected", L"Idle"}), Events(QOR_BUSMSG_CALLSTATE));
    EXPECT_EQ((Strings{L"OnReceived", L"OnEstablished", L"OnConnectionCleared"}), Events(QOR_BUSMSG_CALLEVENT));
    for (const auto& m : Messages(QOR_BUSMSG_CALLEVENT))
        EXPECT_EQ(std::wstring::npos, m.text.find(L"<value keyword=\"Event\">Idle")) << "planted value";
    // The device list survived the broken "DevicesResult" well enough to go on calling.
    Route(QOR_BUSMSG_CALLACTION, Value(L"Command", L"MakeCall") + Value(L"Partner", L"2345"));
    EXPECT_EQ(1u, PbxLines({"\"UserCall\"", "\"verified\": true"}).size());
}

namespace {

// The real host program, from a folder of its own shaped like the installed layout, with the
// "orkane" tree's plug-ins.
class RealHost {
public:
    RealHost()
    {
        m_folder = testing_support::MakeTempFolder(L"orkane_host");
        CopyFileW((testing_support::DistFolder() + L"OrvixTelvane.exe").c_str(), (m_folder + L"\\OrvixTelvane.exe").c_str(),
                  FALSE);
        CreateDirectoryW((m_folder + L"\\Resource").c_str(), nullptr);
        for (const wchar_t* language : {L"De", L"En"})
            testing_support::CopyFolderFiles(testing_support::DistFolder() + L"Resource\\" + language,
                                             m_folder + L"\\Resource\\" + language, L"*.DLL");
        std::wstring tree = testing_support::TestTreeFolder(L"orkane");
        for (const wchar_t* category : {L"PluginDebug", L"PluginSearch", L"PluginInfo", L"PluginSave", L"PluginExtra",
                                        L"PluginTelephony"})
            testing_support::CopyFolderFiles(tree + category, m_folder + L"\\" + category, L"*.dll");
    }
    ~RealHost()
    {
        if (m_process.hProcess) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_process.hProcess, 99);
                WaitForSingleObject(m_process.hProcess, 10000);
            }
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
        testing_support::RemoveTree(m_folder);
    }
    bool Start()
    {
        std::wstring exe = m_folder + L"\\OrvixTelvane.exe";
        std::wstring command = L"\"" + exe + L"\"";
        STARTUPINFOW si = {sizeof(si)};
        return CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, m_folder.c_str(), &si,
                              &m_process) != FALSE;
    }
    HWND Window() const
    {
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, L"CorvallExpress", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == m_process.dwProcessId)
                return window;
        }
        return nullptr;
    }
    // Ends the host as another program would (Type 10 as WM_SETTEXT); its exit code.
    DWORD End()
    {
        std::wstring text = BusText(10, L"");
        DWORD_PTR result = 0;
        SendMessageTimeoutW(Window(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK, 20000, &result);
        WaitForSingleObject(m_process.hProcess, 30000);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }

private:
    std::wstring m_folder;
    PROCESS_INFORMATION m_process = {};
};

}  // namespace

// The real OrvixTelvane.exe loads the plug-in from its PluginTelephony folder; the plug-in logs
// in, monitors, puts an incoming call on the bus for the Info category, and logs out at the end.
TEST(OrkaneRealHost, LoadsLogsInAndPutsCallsOnTheBus)
{
    ASSERT_FALSE(Port().empty()) << "run through scripts/with-fake-pbx";
    PbxControl control;
    ASSERT_TRUE(control.ok());
    ASSERT_TRUE(control.Run(L"", kPbxSetUp));
    g_logStart = 0;
    g_logStart = PbxLog().size();
    testing_support::PluginCallLog log(L"orkanehost");
    // The host's settings store: the registry under its program name. What the test adds there
    // goes again on every way out: a left-over program key would steer every later host run.
    struct StoreCleanup {
        bool existed;
        ~StoreCleanup()
        {
            RegDeleteTreeW(HKEY_CURRENT_USER, existed ? L"SOFTWARE\\Orvix\\OrvixTelvane\\PluginTelephonyOrkane"
                                                      : L"SOFTWARE\\Orvix\\OrvixTelvane");
        }
    };
    HKEY key = nullptr;
    StoreCleanup cleanup{RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Orvix\\OrvixTelvane", 0, KEY_READ, &key) ==
                         ERROR_SUCCESS};
    if (key)
        RegCloseKey(key);
    key = nullptr;
    const wchar_t kHostKey[] = L"SOFTWARE\\Orvix\\OrvixTelvane\\PluginTelephonyOrkane\\General";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kHostKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                             nullptr));
    const std::wstring url = L"ws://127.0.0.1:" + Port();
    RegSetValueExW(key, L"BaseURL", 0, REG_SZ, reinterpret_cast<const BYTE*>(url.c_str()),
                   static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t)));
    RegSetValueExW(key, L"User", 0, REG_SZ, reinterpret_cast<const BYTE*>(kUser), sizeof(kUser));
    RegSetValueExW(key, L"IgnoreModule", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"0"), 2 * sizeof(wchar_t));
    RegCloseKey(key);
    ASSERT_TRUE(WriteCredential(kModuleId, kUser, L"Password", kPassword));

    {
        RealHost host;
        ASSERT_TRUE(host.Start());
        auto monitored = [] { return !PbxLines({"\"UserInitialize\"", "\"verified\": true"}).empty(); };
        for (int i = 0; i < 300 && !monitored(); ++i)
            Sleep(100);
        ASSERT_TRUE(monitored());
        ASSERT_NE(nullptr, host.Window());
        ASSERT_TRUE(control.Run(L"{\"to\":\"app\",\"call\":\"+4930123456\"}"));
        auto records = [&] {
            int n = 0;
            for (const TestPluginCall& c : log.Calls())
                if (!wcscmp(c.tag, L"Rec") && !wcscmp(c.function, L"BusProcess") && c.type == QOR_BUSMSG_CALLEVENT)
                    ++n;
            return n;
        };
        for (int i = 0; i < 100 && records() < 3; ++i)
            Sleep(100);
        EXPECT_EQ(3, records());
        EXPECT_EQ(0u, host.End());
    }
    EXPECT_EQ(1u, PbxLines({"\"UserEnd\"", "\"verified\": true"}).size());
    EXPECT_EQ(2u, PbxLines({"\"event\": \"closed\""}).size());
}
