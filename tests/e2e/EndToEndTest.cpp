// The product's main road end to end: the real OrvixTelvane.exe from a copy of the installed
// layout, with the real plug-ins of that layout, a recording trace plug-in and a recording
// contact search on the call-event route (the directory test plug-in, which knows the
// caller), and the telephony plug-in pointed at the fake PBX that scripts/with-fake-pbx
// starts. The test acts only as the PBX and as the other programs of a desktop do: it rings
// the phone on the PBX, writes bus texts to the host window, and reads what the product
// leaves behind (the bus as the recording plug-ins saw it, the popup window, the page the
// business card built, the PBX's message log, the report files).
//
// The steps run in order on one host (the suite's tests are its steps); each step builds on
// the ones before it.
#include "foundation/Credentials.h"
#include "plugin_support/JsonParserBase.h"
#include "tests/e2e/PbxControl.h"
#include "tests/plugins/TestPluginRecord.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <tlhelp32.h>
#include <wincred.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using e2e::JsonString;
using e2e::PbxControl;
using testing_support::PluginCallLog;

namespace {

// The caller as a person writes the number, as the PBX presents it in its call events (the
// outside-line digit, then the national number), and as the telephony plug-in hands it on
// (without the outside-line digit).
const wchar_t kCallerNumber[] = L"+49 30 1234567";
const wchar_t kCallerE164[] = L"00301234567";
const wchar_t kCallerOnTheBus[] = L"0301234567";
// The directory's entry for the caller: name, then two details.
const wchar_t kCallerIdentInfo[] = L"Name: M\u00fcller & S\u00f6hne <GmbH>;Contact: Jana M\u00fcller;City: Berlin;";
const wchar_t kCallerNameInPage[] = L"> M\u00fcller &amp; S\u00f6hne &lt;GmbH&gt;<";

// The fake PBX's account and device (tests/fake_pbx/fake_pbx.py).
const wchar_t kPbxUser[] = L"Anna Test";
const wchar_t kPbxPassword[] = L"geheim";
const wchar_t kPbxDevice[] = L"phone-1";
const wchar_t kPbxIntlPrefix[] = L"000";

// The card: shown for this many seconds in the top right corner; long enough that the call's
// release (step 4) comes while it is still up however slow the machine.
constexpr DWORD kCardSeconds = 30;
constexpr int kCardCorner = 1;
constexpr int kCardWidth = 450;
constexpr int kCardMargin = 20;

const wchar_t* const kCategories[] = {L"PluginDebug", L"PluginSearch", L"PluginInfo",
                                      L"PluginSave",  L"PluginExtra",  L"PluginTelephony"};

std::wstring DataFolder(const wchar_t* sub)
{
    wchar_t appData[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, appData);
    // The data folder names drop the blanks of the product name and description.
    return std::wstring(appData) + L"\\Orvix\\OrvixTelvane\\OrvixTelvanehost\\" + sub;
}

std::wstring ReportValue(const wchar_t* section, const wchar_t* key)
{
    wchar_t value[512] = L"";
    GetPrivateProfileStringW(section, key, L"", value, _countof(value), (DataFolder(L"LOG") + L"\\StatusReport.ini").c_str());
    return value;
}

std::wstring PageFile()
{
    return DataFolder(L"LOG") + L"\\Popup.html";
}

// A copy of a folder with everything below it.
void CopyTree(const std::wstring& from, const std::wstring& to)
{
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + L"\\" + name, to + L"\\" + name);
        else
            CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

std::wstring ReadUtf8(const std::wstring& path)
{
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(path);
    size_t skip = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
    if (bytes.size() <= skip)
        return L"";
    const char* text = reinterpret_cast<const char*>(bytes.data()) + skip;
    int length = static_cast<int>(bytes.size() - skip);
    int n = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, length, &out[0], n);
    return out;
}

// A bus text as other programs write it; values are escaped as the bus requires.
std::wstring BusText(int type, const std::vector<std::pair<std::wstring, std::wstring>>& values)
{
    std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n";
    text += L" <value keyword=\"Type\">" + std::to_wstring(type) + L"</value>\r\n";
    for (const auto& v : values) {
        std::wstring escaped;
        for (wchar_t c : v.second)
            escaped += c == L'&' ? L"&amp;" : c == L'<' ? L"&lt;" : c == L'>' ? L"&gt;" : std::wstring(1, c);
        text += L" <value keyword=\"" + v.first + L"\">" + escaped + L"</value>\r\n";
    }
    text += L" <value keyword=\"Sender\">ENDTOENDTEST</value>\r\n</data>\r\n";
    return text;
}

template <typename F>
bool WaitFor(F condition, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(50);
    }
    return true;
}

struct PopupState {
    HWND window = nullptr;
    bool visible = false;
    RECT rect = {};
};

// The business-card popup of the host process (class "QorHTMLPopup").
PopupState FindPopup(DWORD hostPid)
{
    PopupState state;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"QorHTMLPopup", nullptr); w;
         w = FindWindowExW(nullptr, w, L"QorHTMLPopup", nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process != hostPid)
            continue;
        state.window = w;
        state.visible = IsWindowVisible(w) != FALSE;
        GetWindowRect(w, &state.rect);
        break;
    }
    return state;
}

// One member of a line of the PBX's message log ("path", "event", or a member of "msg").
struct PbxRecord {
    std::wstring path, event, mt;
    bool verified = false;
    int closeCode = 0;  // of a "closed" event: the close frame's code (none: 1006)
    bool violation = false;  // the request broke the PBX's protocol ("violations")
    std::wstring msg;   // the request, compact ("hw":"phone-1")
};

std::vector<PbxRecord> PbxRecords(const PbxControl& pbx)
{
    std::vector<PbxRecord> records;
    for (const std::wstring& line : pbx.LogLines()) {
        CJsonParserBase json;
        if (!json.Parse(line.c_str()))
            continue;
        PbxRecord r;
        wchar_t text[256];
        json.GetString(text, _countof(text), L"path");
        r.path = text;
        json.GetString(text, _countof(text), L"event");
        r.event = text;
        r.verified = json.GetBool(L"verified") != FALSE;
        r.closeCode = json.GetInt(L"code");
        r.violation = !json.GetArray(L"violations").empty();
        r.msg = json.GetObjectText(L"msg");
        CJsonParserBase msg;
        if (msg.Parse(r.msg.c_str())) {
            msg.GetString(text, _countof(text), L"mt");
            r.mt = text;
        }
        records.push_back(r);
    }
    return records;
}

// The telephony plug-in's Credential Manager entries for the PBX user.
void ForgetCredentials()
{
    for (const wchar_t* entry : {L"Password", L"Session", L"ExSession"})
        CredDeleteW((std::wstring(L"PLUGINTELEPHONYORKANE") + kPbxUser + entry).c_str(), CRED_TYPE_GENERIC, 0);
}

// The one run of the product that the steps share.
struct ProductRun {
    std::unique_ptr<PluginCallLog> log;
    std::unique_ptr<PbxControl> pbx;
    std::wstring folder;
    PROCESS_INFORMATION process = {};
    HWND host = nullptr;
    DWORD cardShownAt = 0;
    std::wstring callId;  // the ringing call's id, as the bus carries it
};

ProductRun* g_run = nullptr;

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    void SetUp() override
    {
        ASSERT_NE(nullptr, g_run);
        ASSERT_NE(nullptr, g_run->host) << "the host did not start";
        ASSERT_TRUE(g_run->pbx->ok()) << "run under scripts/with-fake-pbx";
    }

    ProductRun& product() { return *g_run; }

    // Writes a bus text to the host window, as any program of the desktop can.
    static void Tell(int type, const std::vector<std::pair<std::wstring, std::wstring>>& values = {})
    {
        std::wstring text = BusText(type, values);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(g_run->host, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK, 20000,
                            &result);
    }

    // The calls the recording plug-in of that tag saw: bus texts of that type (all when -1).
    std::vector<TestPluginCall> Seen(const wchar_t* tag, const wchar_t* function, long type = -1) const
    {
        std::vector<TestPluginCall> out;
        for (const TestPluginCall& c : g_run->log->Calls())
            if (wcscmp(c.tag, tag) == 0 && wcscmp(c.function, function) == 0 && (type < 0 || c.type == DWORD(type)))
                out.push_back(c);
        return out;
    }
    // A bus text of that type holding every part.
    bool SeenText(const wchar_t* tag, long type, const std::wstring& part, const std::wstring& part2 = L"") const
    {
        for (const TestPluginCall& c : Seen(tag, L"BusProcess", type))
            if (wcsstr(c.text, part.c_str()) && wcsstr(c.text, part2.c_str()))
                return true;
        return false;
    }
    bool WaitSeen(const wchar_t* tag, long type, const std::wstring& part, DWORD milliseconds = 20000) const
    {
        return WaitFor([&] { return SeenText(tag, type, part); }, milliseconds);
    }

    // The PBX rings the user's device: an incoming call on the plug-in's own connection.
    static bool PbxRing(const wchar_t* e164)
    {
        return g_run->pbx->Send(L"{\"mt\":\"FakePbx\",\"run\":[{\"to\":\"app\",\"ring\":" + JsonString(e164) + L"}]}");
    }

    // The value of a ";Key=" in a recorded text, up to its ";".
    static std::wstring ValueIn(const wchar_t* text, const wchar_t* key)
    {
        const wchar_t* at = wcsstr(text, key);
        if (!at)
            return L"";
        at += wcslen(key);
        return std::wstring(at, wcscspn(at, L";"));
    }

    // Waits for a request of that kind on that connection, holding the part, that the PBX
    // found right in every member ("verified").
    static bool WaitPbx(const std::wstring& path, const std::wstring& mt, const std::wstring& part = L"",
                        DWORD milliseconds = 30000)
    {
        return WaitFor(
            [&] {
                for (const PbxRecord& r : PbxRecords(*g_run->pbx))
                    if (r.path == path && r.mt == mt && r.verified && r.msg.find(part) != std::wstring::npos)
                        return true;
                return false;
            },
            milliseconds);
    }
};

void EndToEnd::SetUpTestSuite()
{
    g_run = new ProductRun;
    ProductRun& r = *g_run;
    r.log = std::make_unique<PluginCallLog>(L"e2e");
    r.pbx = std::make_unique<PbxControl>();

    // The installed layout, and beside its plug-ins the recording ones of the e2e tree.
    r.folder = testing_support::MakeTempFolder(L"e2e");
    CopyTree(testing_support::DistFolder(), r.folder);
    std::wstring tree = testing_support::ProgramFolder() + L"..\\testtree\\e2e";
    for (const wchar_t* category : kCategories)
        testing_support::CopyFolderFiles(tree + L"\\" + category, r.folder + L"\\" + category, L"*.dll");

    // Settings in the INI files beside each module only ("QorConfig" 1: no per-user files),
    // so that the run neither reads nor leaves anything in the user's own settings.
    SetEnvironmentVariableW(L"QorConfig", L"1");
    // The program's registry key, when some earlier run left it, would switch every module of
    // the host to the registry store.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Orvix\\OrvixTelvane");
    std::wstring card = r.folder + L"\\PluginInfo\\PluginInfoVisette.INI";
    WritePrivateProfileStringW(L"General", L"Duration", std::to_wstring(kCardSeconds).c_str(), card.c_str());
    WritePrivateProfileStringW(L"General", L"UseDuration", L"1", card.c_str());
    WritePrivateProfileStringW(L"General", L"UsedPosition", std::to_wstring(kCardCorner).c_str(), card.c_str());
    WritePrivateProfileStringW(L"General", L"ScaleIndex", L"0", card.c_str());
    std::wstring phone = r.folder + L"\\PluginTelephony\\PluginTelephonyOrkane.INI";
    WritePrivateProfileStringW(L"General", L"BaseURL", r.pbx->BaseUrl().c_str(), phone.c_str());
    WritePrivateProfileStringW(L"General", L"User", kPbxUser, phone.c_str());
    WritePrivateProfileStringW(L"General", L"SelectedDevice", kPbxDevice, phone.c_str());
    // The password only: a stored session of an earlier run means nothing to this PBX.
    ForgetCredentials();
    WriteCredential(L"PLUGINTELEPHONYORKANE", kPbxUser, L"Password", kPbxPassword);
    // The directory search knows the caller.
    std::wstring contact = std::wstring(kCallerNumber) + L"|" + kCallerIdentInfo + L"\r\n";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, contact.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, contact.c_str(), -1, &utf8[0], bytes, nullptr, nullptr);
    testing_support::WriteFileBytes(r.folder + L"\\PluginSearch\\Directory.txt", utf8.data(), utf8.size() - 1);
    DeleteFileW(PageFile().c_str());
    // An earlier host's report may name a process id that Wine gives out again.
    DeleteFileW((DataFolder(L"LOG") + L"\\StatusReport.ini").c_str());

    std::wstring exe = r.folder + L"\\OrvixTelvane.exe";
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW si = {sizeof(si)};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, r.folder.c_str(), &si,
                        &r.process))
        return;
    // The host window, once the start-up has ended ("OK" in the report).
    for (int i = 0; i < 600 && !r.host; ++i) {
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, L"CorvallExpress", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == r.process.dwProcessId && ReportValue(L"ProgramStatus", L"Status") == L"OK" &&
                ReportValue(L"ProgramStatus", L"ProcID") == std::to_wstring(r.process.dwProcessId))
                r.host = window;
        }
        if (WaitForSingleObject(r.process.hProcess, 100) == WAIT_OBJECT_0)
            break;
    }
}

void EndToEnd::TearDownTestSuite()
{
    ProductRun& r = *g_run;
    if (r.process.hProcess) {
        if (WaitForSingleObject(r.process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(r.process.hProcess, 99);
            WaitForSingleObject(r.process.hProcess, 10000);
        }
        CloseHandle(r.process.hProcess);
        CloseHandle(r.process.hThread);
    }
    ForgetCredentials();
    SetEnvironmentVariableW(L"QorConfig", nullptr);
    testing_support::RemoveTree(r.folder);
    delete g_run;
    g_run = nullptr;
}

}  // namespace

// 1. The host starts with the real plug-ins; the telephony plug-in logs in to the PBX and
//    monitors the user's device.
TEST_F(EndToEnd, Step1_HostStartsAndTheTelephonyPluginLogsIn)
{
    // The start-up ended with "OK" in the report (the fixture waits for it); the telephony
    // plug-in's state, "STOPPED" until it is logged in, is written there after it.
    ASSERT_NE(nullptr, product().host) << "the host never reported OK";
    EXPECT_FALSE(Seen(L"Trc", L"AfterLoad").empty());
    EXPECT_FALSE(Seen(L"Dir", L"AfterLoad").empty());
    // Everything the steps read: every log line of every module, and the copy of the page the
    // card builds (written beside the logs from debug level 5 on).
    Tell(26, {{L"Level", L"5"}});
    // Password login on the user connection, application login on the other.
    EXPECT_TRUE(WaitPbx(L"user", L"Login", L"\"response\":"));
    EXPECT_TRUE(WaitPbx(L"app", L"AppLogin"));
    // Monitoring of the user's device, and the program state "logged in" on the bus.
    EXPECT_TRUE(WaitPbx(L"app", L"UserInitialize", std::wstring(L"\"hw\":\"") + kPbxDevice + L"\""));
    EXPECT_TRUE(WaitSeen(L"Trc", 11, L"State=2;"));
    // The report holds the logged-in state: the host writes it before it passes the message on.
    EXPECT_EQ(L"OK", ReportValue(L"ProgramStatus", L"Status"));
}

// 2. The PBX rings the phone: a caller with a name that HTML would take for markup.
TEST_F(EndToEnd, Step2_ThePbxRingsThePhone)
{
    ASSERT_TRUE(PbxRing(kCallerE164));
    ASSERT_TRUE(WaitSeen(L"Trc", 17, L"Event=Offering;"));
    for (const TestPluginCall& c : Seen(L"Trc", L"BusProcess", 17))
        if (wcsstr(c.text, L"Event=Offering;"))
            product().callId = ValueIn(c.text, L";CallID=");
    EXPECT_TRUE(SeenText(L"Trc", 17, L"Event=Offering;", std::wstring(L"CallerID=") + kCallerOnTheBus + L";"));
    // The call record on the call-event route.
    EXPECT_TRUE(WaitSeen(L"Trc", 44, L"Event=OnReceived;"));
}

// 3. The call record passes the search, which finds the caller, and reaches the business
//    card: its popup shows in the configured corner, filled with the escaped name and the
//    number.
TEST_F(EndToEnd, Step3_TheCardShowsTheCallerInItsCorner)
{
    ASSERT_TRUE(WaitFor([&] { return !Seen(L"Dir", L"Found", 44).empty(); }, 20000))
        << "the directory search never saw the caller's call record";

    // Shown twice: with the bare call record, then again with the search result (the route
    // hands the record to the card before and after each search plug-in).
    auto shows = [&] {
        size_t n = 0;
        for (const TestPluginCall& c : Seen(L"Trc", L"BusProcess", 4))
            n += wcsstr(c.text, L"PLUGININFOVISETTE.Func.ShowTeaser.Info.Shown at ") != nullptr;
        return n;
    };
    ASSERT_TRUE(WaitFor([&] { return shows() >= 2; }, 30000)) << shows() << " shows";
    product().cardShownAt = GetTickCount();
    PopupState popup = FindPopup(product().process.dwProcessId);
    ASSERT_TRUE(popup.visible);
    EXPECT_TRUE(GetWindowLongW(popup.window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(product().host, GetWindow(popup.window, GW_OWNER));
    EXPECT_EQ(kCardWidth, popup.rect.right - popup.rect.left);
    // Top right, 20 pixels in from the corner (further in only by a task bar on that side).
    MONITORINFO monitor = {sizeof(monitor)};
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& m = monitor.rcMonitor;
    if (!FindWindowW(L"Shell_TrayWnd", nullptr)) {
        EXPECT_EQ(m.right - kCardMargin, popup.rect.right);
        EXPECT_EQ(m.top + kCardMargin, popup.rect.top);
    } else {
        EXPECT_LE(popup.rect.right, m.right - kCardMargin);
        EXPECT_GE(popup.rect.top, m.top + kCardMargin);
        EXPECT_GT(popup.rect.left, (m.left + m.right) / 2);
        EXPECT_LT(popup.rect.bottom, (m.top + m.bottom) / 2);
    }

    // The page the card built last: the one with the search result. This is the copy the card
    // writes beside its logs before it hands the page to the browser control, whose document
    // Wine does not have; that the page reaches the document is info_visette_container_test's.
    std::wstring page = ReadUtf8(PageFile());
    EXPECT_NE(std::wstring::npos, page.find(kCallerNameInPage)) << "page: " << std::string(page.begin(), page.end());
    EXPECT_NE(std::wstring::npos, page.find(std::wstring(L">") + kCallerOnTheBus + L"<"));
    EXPECT_NE(std::wstring::npos, page.find(L"> Jana M\u00fcller<"));
    EXPECT_NE(std::wstring::npos, page.find(L"> Berlin<"));
    // Nothing of the name became markup; the unused details are gone, the contact link stays.
    EXPECT_EQ(std::wstring::npos, page.find(L"<GmbH>"));
    EXPECT_EQ(std::wstring::npos, page.find(L"BUSINESSCARD_"));
    EXPECT_NE(std::wstring::npos, page.find(L"<a href=\"opencontact0\""));
    EXPECT_EQ(std::wstring::npos, page.find(L"<!--a href"));
}

// 4. The call is answered and released on the PBX: the bus carries its states in order; the
//    card stays for its set time whatever the call does, then goes.
TEST_F(EndToEnd, Step4_AnswerAndReleaseOnThePbx)
{
    ASSERT_NE(0u, product().cardShownAt) << "the card was not shown";
    // Answered and then cleared by another program's call actions, which the PBX carries
    // out on the ringing call.
    Tell(3, {{L"Command", L"AnswerCall"}});
    EXPECT_TRUE(WaitPbx(L"app", L"UserConnect", L"\"call\":" + product().callId));
    EXPECT_TRUE(WaitSeen(L"Trc", 17, L"Event=Connected;"));
    Tell(3, {{L"Command", L"ClearConnection"}});
    EXPECT_TRUE(WaitPbx(L"app", L"UserClear", L"\"call\":" + product().callId));
    EXPECT_TRUE(WaitSeen(L"Trc", 17, L"Event=Idle;"));
    // The call record is posted after the call state: wait for it too.
    EXPECT_TRUE(WaitSeen(L"Trc", 44, L"Event=OnConnectionCleared;"));

    std::vector<std::wstring> states, events;
    for (const TestPluginCall& c : Seen(L"Trc", L"BusProcess")) {
        const wchar_t* event = wcsstr(c.text, L"Event=");
        if (!event || ValueIn(c.text, L";CallID=") != product().callId)
            continue;
        std::wstring value(event + 6, wcscspn(event + 6, L";"));
        if (c.type == 17)
            states.push_back(value);
        else if (c.type == 44)
            events.push_back(value);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Offering", L"Connected", L"Idle"}), states);
    EXPECT_EQ((std::vector<std::wstring>{L"OnReceived", L"OnEstablished", L"OnConnectionCleared"}), events);
    // Released before its time is up: the card is still there.
    const wchar_t kHidden[] = L"PLUGININFOVISETTE.Func.InfoLoopThread.Info.Popup hidden";
    EXPECT_FALSE(SeenText(L"Trc", 4, kHidden, L"")) << "hidden already";
    EXPECT_TRUE(FindPopup(product().process.dwProcessId).visible)
        << "gone " << GetTickCount() - product().cardShownAt << " ms after it was shown";
    // It goes when its time is up, not before.
    ASSERT_TRUE(WaitSeen(L"Trc", 4, kHidden, (kCardSeconds + 10) * 1000));
    EXPECT_GE(GetTickCount() - product().cardShownAt, (kCardSeconds - 1) * 1000);
    EXPECT_TRUE(WaitFor([&] { return !FindPopup(product().process.dwProcessId).visible; }, 5000));
}

// 5. Another program asks for a call by WM_SETTEXT; it reaches the PBX as UserCall from the
//    selected device with the canonical number behind the PBX's international prefix.
TEST_F(EndToEnd, Step5_MakeCallFromAnotherProgramReachesThePbx)
{
    Tell(3, {{L"Command", L"MakeCall"}, {L"Partner", kCallerNumber}});
    std::wstring dial = std::wstring(kPbxIntlPrefix) + L"49301234567";
    ASSERT_TRUE(WaitPbx(L"app", L"UserCall", dial));
    for (const PbxRecord& p : PbxRecords(*product().pbx)) {
        if (p.path != L"app" || p.mt != L"UserCall")
            continue;
        CJsonParserBase msg;
        ASSERT_TRUE(msg.Parse(p.msg.c_str()));
        wchar_t text[128];
        for (const wchar_t* member : {L"e164", L"cn", L"h323"}) {
            msg.GetString(text, _countof(text), member);
            EXPECT_EQ(dial, text) << member;
        }
        EXPECT_NE(0, msg.GetInt(L"user"));
    }
    // The PBX rings the other side; the bus hears of it, and the call is cleared again.
    EXPECT_TRUE(WaitSeen(L"Trc", 17, L"Event=Ringback;"));
    Tell(3, {{L"Command", L"ClearConnection"}});
    EXPECT_TRUE(WaitFor([&] {
        size_t idle = 0;
        for (const TestPluginCall& c : Seen(L"Trc", L"BusProcess", 17))
            idle += wcsstr(c.text, L"Event=Idle;") != nullptr;
        return idle >= 2;
    }, 20000));
}

// 6. The program-end message ends everything: the plug-ins are closed, the PBX connections
//    are closed cleanly, no process is left.
TEST_F(EndToEnd, Step6_ProgramEndEndsEverything)
{
    DWORD pid = product().process.dwProcessId;
    Tell(10);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(product().process.hProcess, 30000));
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(product().process.hProcess, &code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(L"ENDED", ReportValue(L"ProgramStatus", L"Status"));

    // Each plug-in was closed: the recorders say so, the card's closing reached the trace
    // plug-in (closed last) and saved its settings beside it.
    EXPECT_FALSE(Seen(L"Dir", L"BeforeClose").empty());
    EXPECT_FALSE(Seen(L"Trc", L"BeforeClose").empty());
    EXPECT_TRUE(SeenText(L"Trc", 4, L"Func.DLL_PluginBeforeClose.End;", L"Sender=PLUGININFOVISETTE;"));
    // The telephony plug-in's closing: the program state "not connected", its settings saved.
    EXPECT_TRUE(SeenText(L"Trc", 11, L"State=0;", L"Sender=PLUGINTELEPHONYORKANE;"));
    wchar_t ignore[32] = L"";
    GetPrivateProfileStringW(L"General", L"IgnoreModule", L"", ignore, _countof(ignore),
                             (product().folder + L"\\PluginTelephony\\PluginTelephonyOrkane.INI").c_str());
    EXPECT_STREQ(L"0", ignore);
    wchar_t saved[32] = L"";
    GetPrivateProfileStringW(L"General", L"UsedScreen", L"", saved, _countof(saved),
                             (product().folder + L"\\PluginInfo\\PluginInfoVisette.INI").c_str());
    EXPECT_STREQ(L"0", saved);
    EXPECT_EQ(nullptr, FindPopup(pid).window);

    // Monitoring ended first; then every connection the plug-in opened was closed with
    // a close frame (the test's own control socket on the user path is still open).
    std::vector<PbxRecord> records;
    auto count = [&](const wchar_t* path, const wchar_t* event) {
        return std::count_if(records.begin(), records.end(),
                             [&](const PbxRecord& p) { return p.path == path && p.event == event; });
    };
    EXPECT_TRUE(WaitFor(
        [&] {
            records = PbxRecords(*product().pbx);
            return count(L"app", L"closed") == count(L"app", L"open") &&
                   count(L"user", L"closed") + 1 == count(L"user", L"open");
        },
        10000));
    size_t userEnd = records.size(), lastClosed = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].path == L"app" && records[i].mt == L"UserEnd" && userEnd == records.size())
            userEnd = i;
        if (records[i].event == L"closed") {
            lastClosed = i;
            EXPECT_EQ(1000, records[i].closeCode) << records[i].path;
        }
    }
    EXPECT_LT(userEnd, lastClosed);
    // Nothing the plug-in sent in the whole run broke the PBX's protocol.
    for (const PbxRecord& p : records)
        EXPECT_FALSE(p.violation) << std::string(p.msg.begin(), p.msg.end());

    // No process of the run is left: neither the host nor anything it started (but Wine's
    // desktop shell, which Wine starts for the first program of a desktop that needs it).
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, snapshot);
    PROCESSENTRY32W entry = {sizeof(entry)};
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        EXPECT_NE(pid, entry.th32ProcessID) << "the host is still there";
        if (_wcsicmp(entry.szExeFile, L"explorer.exe") == 0)
            continue;
        EXPECT_NE(pid, entry.th32ParentProcessID) << "left behind: " << entry.th32ProcessID << " "
                                                  << std::string(entry.szExeFile, entry.szExeFile + wcslen(entry.szExeFile));
    }
    CloseHandle(snapshot);
}
