// The real PluginInfoVisette.DLL from the installed layout, driven as the host drives it: a
// recording host window, the exports bound by their plain names, settings in the registry
// store, and the popup as a real window.
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/PluginContract.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"
#include "plugin_support/CallStruct.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <map>
#include <string>

using testing_support::DistFolder;
using testing_support::PumpFor;
using testing_support::RecordingWindow;

namespace {

// The store is the registry while the program's key exists; the program is this test.
const wchar_t kProgramKey[] = L"SOFTWARE\\Orvix\\info_visette_plugin_test";

std::wstring GeneralKey(const wchar_t* module = L"PluginInfoVisette")
{
    return std::wstring(kProgramKey) + L"\\" + module + L"\\General";
}

void WriteSettings(const std::map<std::wstring, std::wstring>& values, const wchar_t* module = L"PluginInfoVisette")
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, GeneralKey(module).c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    for (const auto& v : values)
        RegSetValueExW(key, v.first.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.c_str()),
                       static_cast<DWORD>((v.second.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::wstring ReadSetting(const wchar_t* name, const wchar_t* module = L"PluginInfoVisette")
{
    wchar_t text[64] = L"";
    DWORD bytes = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, GeneralKey(module).c_str(), name, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

struct Plugin {
    HMODULE module = nullptr;
    PFN_DLL_PluginBusProcess busProcess = nullptr;
    PFN_DLL_GetPluginID getId = nullptr;
    PFN_DLL_PluginAfterLoad afterLoad = nullptr;
    PFN_DLL_PluginBeforeClose beforeClose = nullptr;
    PFN_DLL_GetPluginName getName = nullptr;
    PFN_DLL_GetDisableState getDisable = nullptr;
    PFN_DLL_IsUnicode isUnicode = nullptr;
    PFN_DLL_CanDisable canDisable = nullptr;
    PFN_DLL_SetDisableState setDisable = nullptr;
    PFN_DLL_ShowConfig showConfig = nullptr;
    int* ignore = nullptr;

    explicit Plugin(const std::wstring& path)
    {
        module = LoadLibraryW(path.c_str());
        if (!module)
            return;
        busProcess = reinterpret_cast<PFN_DLL_PluginBusProcess>(GetProcAddress(module, "DLL_PluginBusProcess"));
        getId = reinterpret_cast<PFN_DLL_GetPluginID>(GetProcAddress(module, "DLL_GetPluginID"));
        afterLoad = reinterpret_cast<PFN_DLL_PluginAfterLoad>(GetProcAddress(module, "DLL_PluginAfterLoad"));
        beforeClose = reinterpret_cast<PFN_DLL_PluginBeforeClose>(GetProcAddress(module, "DLL_PluginBeforeClose"));
        getName = reinterpret_cast<PFN_DLL_GetPluginName>(GetProcAddress(module, "DLL_GetPluginName"));
        getDisable = reinterpret_cast<PFN_DLL_GetDisableState>(GetProcAddress(module, "DLL_GetDisableState"));
        isUnicode = reinterpret_cast<PFN_DLL_IsUnicode>(GetProcAddress(module, "DLL_IsUnicode"));
        canDisable = reinterpret_cast<PFN_DLL_CanDisable>(GetProcAddress(module, "DLL_CanDisable"));
        setDisable = reinterpret_cast<PFN_DLL_SetDisableState>(GetProcAddress(module, "DLL_SetDisableState"));
        showConfig = reinterpret_cast<PFN_DLL_ShowConfig>(GetProcAddress(module, "DLL_ShowConfig"));
        ignore = reinterpret_cast<int*>(GetProcAddress(module, "g_bIgnoreModule"));
    }
    ~Plugin()
    {
        if (module) {
            if (beforeClose)
                beforeClose();
            FreeLibrary(module);
        }
    }
    DWORD Bus(DWORD type, const std::wstring& body = L"")
    {
        wchar_t text[kBusMsgCapacity];
        BusMsgBegin(text, _countof(text));
        BusMsgAppendUInt(text, _countof(text), L"Type", type);
        if (!body.empty())
            AppendText(text, _countof(text), body.c_str());
        BusMsgEnd(text, _countof(text));
        return busProcess(type, text);
    }
};

std::wstring DistPlugin()
{
    return DistFolder() + L"PluginInfo\\PluginInfoVisette.DLL";
}

std::wstring Value(const wchar_t* keyword, const std::wstring& value)
{
    return std::wstring(L" <value keyword=\"") + keyword + L"\">" + value + L"</value>\r\n";
}

std::wstring CallEvent(const wchar_t* event, DWORD callId, const wchar_t* number, const wchar_t* identInfo)
{
    CQorCallStruct call;
    call.Type = QOR_BUSMSG_CALLEVENT;
    call.Inbound = 1;
    call.CallID = callId;
    CopyText(call.Event, _countof(call.Event), event);
    CopyText(call.PartnerNumber, _countof(call.PartnerNumber), number);
    call.SetUniqueCallID(callId, number);
    if (identInfo)
        call.SetResult(L"Outlook", 5, identInfo, L"", L"", L"");
    std::wstring xml(kCallXmlCapacity, L'\0');
    call.ToXml(&xml[0]);
    return xml.c_str();
}

HWND FindPopup()
{
    for (HWND w = FindWindowExW(nullptr, nullptr, L"QorHTMLPopup", nullptr); w;
         w = FindWindowExW(nullptr, w, L"QorHTMLPopup", nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId())
            return w;
    }
    return nullptr;
}

// Pumps until the condition holds or the time is up.
template <typename F>
bool PumpUntil(F condition, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        PumpFor(20);
    }
    return true;
}

bool Logged(RecordingWindow& host, const wchar_t* text)
{
    for (const auto& m : host.OfType(QOR_BUSMSG_LOG))
        if (m.text.find(text) != std::wstring::npos)
            return true;
    return false;
}

int Count(RecordingWindow& host, const wchar_t* text)
{
    int n = 0;
    for (const auto& m : host.OfType(QOR_BUSMSG_LOG))
        n += m.text.find(text) != std::wstring::npos;
    return n;
}

// The threads of this process now.
// Threads of this process that started in the plug-in's own code: other threads come and go
// under Wine (its own helpers), so a count of all of them is no measure of the plug-in's.
struct CodeRange {
    explicit CodeRange(HMODULE module) : base(reinterpret_cast<const BYTE*>(module))
    {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        end = base + reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew)->OptionalHeader.SizeOfImage;
    }
    const BYTE* base;
    const BYTE* end;
};

size_t PluginThreads(const CodeRange& code)
{
    using QueryThread = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    const int kThreadQuerySetWin32StartAddress = 9;
    size_t n = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {sizeof(entry)};
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId())
            continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread)
            continue;
        PVOID start = nullptr;
        if (query && query(thread, kThreadQuerySetWin32StartAddress, &start, sizeof start, nullptr) == 0)
            n += static_cast<const BYTE*>(start) >= code.base && static_cast<const BYTE*>(start) < code.end;
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return n;
}

class VisetteDll : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey); }
    RecordingWindow host;  // before the plug-in is loaded: it looks for the host window then
};

}  // namespace

TEST_F(VisetteDll, ExportsResolveByPlainNameAndIdentifyThePlugin)
{
    WriteSettings({});
    Plugin p(DistPlugin());
    ASSERT_NE(nullptr, p.module) << GetLastError();
    ASSERT_TRUE(p.busProcess && p.getId && p.afterLoad && p.beforeClose && p.getName && p.getDisable &&
                p.isUnicode && p.canDisable && p.setDisable && p.showConfig && p.ignore);
    EXPECT_EQ(nullptr, GetProcAddress(p.module, "DLL_IsBetaVersion"));
    EXPECT_EQ(507u, p.getId());
    EXPECT_STREQ(L"Visette", p.getName());
    EXPECT_EQ(1u, p.isUnicode());
    EXPECT_EQ(1u, p.canDisable());
    EXPECT_EQ(0u, p.getDisable());
    p.setDisable(1);
    EXPECT_EQ(1, *p.ignore);
    EXPECT_EQ(1u, p.getDisable());
    p.setDisable(0);

    // Start runs the display thread and stop ends it and saves the settings; a second stop
    // does nothing, and a restart after it works.
    p.Bus(QOR_BUSMSG_DEBUGLEVEL, Value(L"Level", L"2"));
    auto saves = [&] { return Count(host, L"Write Settings OK! (Duration)"); };
    const struct {
        const char* step;
        bool start;
        size_t threads;
        int saves;
    } steps[] = {
        {"start", true, 1, 0},
        {"stop", false, 0, 1},
        {"second stop", false, 0, 1},
        {"restart", true, 1, 1},
        {"stop after restart", false, 0, 2},
    };
    for (const auto& s : steps) {
        if (s.start)
            p.afterLoad();
        else
            p.beforeClose();
        PumpFor(30);
        EXPECT_EQ(s.threads, PluginThreads(CodeRange(p.module))) << s.step;
        EXPECT_EQ(s.saves, saves()) << s.step;
    }
}

// The bus types every module handles: forced ignore takes the user's switch away until
// allow-disable gives it back; the flag exports follow; debug level and scheme are taken
// even while the plug-in is switched off.
TEST_F(VisetteDll, CommonBusTypesDriveTheModuleFlags)
{
    WriteSettings({});
    Plugin p(DistPlugin());
    ASSERT_NE(nullptr, p.module);
    p.afterLoad();
    const struct {
        const char* step;
        DWORD type;      // 0: DLL_SetDisableState(1) instead of a message
        DWORD canDisable;
        DWORD disableState;
        int ignore;
    } steps[] = {
        {"at start", QOR_BUSMSG_LOG, 1, 0, 0},
        {"forced ignore", QOR_BUSMSG_FORCEIGNORE, 0, 1, 1},
        {"user switches on while forced", 0, 0, 1, 0},
        {"allow disable", QOR_BUSMSG_ALLOWDISABLE, 1, 0, 0},
        {"forced again", QOR_BUSMSG_FORCEIGNORE, 0, 1, 1},
        {"allowed again: still off until switched on", QOR_BUSMSG_ALLOWDISABLE, 1, 1, 1},
    };
    for (const auto& s : steps) {
        if (s.type)
            EXPECT_EQ(1u, p.Bus(s.type)) << s.step;
        else
            p.setDisable(0);
        EXPECT_EQ(s.canDisable, p.canDisable()) << s.step;
        EXPECT_EQ(s.disableState, p.getDisable()) << s.step;
        EXPECT_EQ(s.ignore, *p.ignore) << s.step;
    }
    // Switched off, the debug level still reaches the module: once on again, it logs.
    p.Bus(QOR_BUSMSG_DEBUGLEVEL, Value(L"Level", L"3"));
    p.setDisable(0);
    host.Clear();
    p.beforeClose();
    PumpFor(50);
    EXPECT_TRUE(Logged(host, L"Func.DLL_PluginBeforeClose.Begin"));
}

TEST_F(VisetteDll, NumberedCopyShowsItsNumber)
{
    std::wstring folder = testing_support::MakeTempFolder(L"visette_copy");
    std::wstring copy = folder + L"PluginInfoVisette3.DLL";
    ASSERT_TRUE(CopyFileW(DistPlugin().c_str(), copy.c_str(), FALSE));
    WriteSettings({}, L"PluginInfoVisette3");
    {
        Plugin p(copy);
        ASSERT_NE(nullptr, p.module);
        EXPECT_STREQ(L"Visette #3", p.getName());

        // This copy has no template beside it: a call shows nothing and says why.
        p.afterLoad();
        p.Bus(QOR_BUSMSG_DEBUGLEVEL, Value(L"Level", L"3"));
        EXPECT_EQ(1u, p.busProcess(QOR_BUSMSG_CALLEVENT,
                                   &CallEvent(L"OnReceived", 9, L"+4930999", L"Name:X;")[0]));
        PumpFor(100);
        EXPECT_EQ(nullptr, FindPopup());
        EXPECT_TRUE(Logged(host, L"No pagefile found"));
        EXPECT_FALSE(host.OfType(QOR_BUSMSG_LASTERROR).empty());
    }
    testing_support::RemoveTree(folder);
}

TEST_F(VisetteDll, StoredSettingsAreReadWithTheirRulesAndSavedBack)
{
    WriteSettings({{L"Duration", L"0"}, {L"UsedPosition", L"6"}, {L"ScaleIndex", L"5"}, {L"UsePictures", L"1"},
                   {L"UsedScreen", L"3"}});
    {
        Plugin p(DistPlugin());
        ASSERT_NE(nullptr, p.module);
        p.afterLoad();
    }  // BeforeClose saves
    struct Case {
        const wchar_t* key;
        const wchar_t* value;
    } cases[] = {{L"IgnoreModule", L"0"}, {L"UsedScreen", L"0"}, {L"PreferredMonitor", L"0"}, {L"UsePictures", L"1"},
                 {L"Duration", L"10"},    {L"UseDuration", L"1"}, {L"UsedPosition", L"2"},    {L"ScaleIndex", L"0"}};
    for (const Case& c : cases)
        EXPECT_EQ(c.value, ReadSetting(c.key)) << std::wstring(c.key).c_str();
}

TEST_F(VisetteDll, SettingsPageAppliesOnlyWhileOpen)
{
    WriteSettings({{L"Duration", L"7"}});
    Plugin p(DistPlugin());
    ASSERT_NE(nullptr, p.module);
    p.afterLoad();
    EXPECT_EQ(1u, p.Bus(QOR_BUSMSG_APPLYALL));
    EXPECT_EQ(1u, p.Bus(QOR_BUSMSG_APPLY));

    HWND page = p.showConfig(host.hwnd());
    ASSERT_NE(nullptr, page);
    // Shown (its parent, the recording window, is hidden itself).
    EXPECT_TRUE(GetWindowLongW(page, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(host.hwnd(), GetParent(page));
    EXPECT_EQ(7u, GetDlgItemInt(page, 1011, nullptr, FALSE));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, 1010));
    EXPECT_EQ(4, SendDlgItemMessageW(page, 1007, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(3, SendDlgItemMessageW(page, 1013, CB_GETCOUNT, 0, 0));
    EXPECT_GE(SendDlgItemMessageW(page, 1005, CB_GETCOUNT, 0, 0), 1);
    host.Clear();
    SetDlgItemTextW(page, 1011, L"0");
    SendDlgItemMessageW(page, 1007, CB_SETCURSEL, 3, 0);
    PumpFor(50);
    EXPECT_EQ(0u, p.Bus(QOR_BUSMSG_APPLYALL));
    EXPECT_EQ(10u, GetDlgItemInt(page, 1011, nullptr, FALSE));  // 0 is written back as 10
    EXPECT_EQ(L"10", ReadSetting(L"Duration"));
    EXPECT_EQ(L"3", ReadSetting(L"UsedPosition"));
    EXPECT_EQ(0u, p.Bus(QOR_BUSMSG_APPLY));  // with a restart

    // A restart for another plug-in does nothing; switched off, every type answers 1.
    EXPECT_EQ(1u, p.Bus(QOR_BUSMSG_PLUGINRESTART, Value(L"PluginID", L"222")));
    p.setDisable(1);
    EXPECT_EQ(1u, p.Bus(QOR_BUSMSG_APPLYALL));
    EXPECT_EQ(L"1", ReadSetting(L"IgnoreModule"));  // type 34 still stores the switch
    EXPECT_EQ(1u, p.Bus(QOR_BUSMSG_APPLY));
    p.setDisable(0);
    DestroyWindow(page);
    EXPECT_EQ(1u, p.Bus(QOR_BUSMSG_APPLYALL));
}

TEST_F(VisetteDll, IncomingCallShowsTheCardUntilItsTimeIsUp)
{
    WriteSettings({{L"Duration", L"2"}, {L"UsedPosition", L"0"}});
    Plugin p(DistPlugin());
    ASSERT_NE(nullptr, p.module);
    p.afterLoad();
    p.Bus(QOR_BUSMSG_DEBUGLEVEL, Value(L"Level", L"3"));

    // Another event of the call shows nothing.
    EXPECT_EQ(1u, p.busProcess(QOR_BUSMSG_CALLEVENT, &CallEvent(L"OnDelivered", 1, L"+4930111", nullptr)[0]));
    EXPECT_EQ(nullptr, FindPopup());

    std::wstring received = CallEvent(L"OnReceived", 1, L"+4930111", L"Name: Jane <b>Roe</b>;Company: A&B;");
    EXPECT_EQ(1u, p.busProcess(QOR_BUSMSG_CALLEVENT, &received[0]));
    HWND popup = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (popup = FindPopup()) != nullptr && IsWindowVisible(popup); }, 5000));
    EXPECT_TRUE(GetWindowLongW(popup, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(host.hwnd(), GetWindow(popup, GW_OWNER));
    RECT r;
    GetWindowRect(popup, &r);
    EXPECT_EQ(450, r.right - r.left);
    MONITORINFO info = {sizeof(info)};
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    EXPECT_LE(r.right, info.rcMonitor.right - 20);
    EXPECT_LE(r.bottom, info.rcMonitor.bottom - 20);
    EXPECT_GT(r.left, info.rcMonitor.left);

    // The same data again while it is shown changes nothing.
    EXPECT_EQ(1u, p.busProcess(QOR_BUSMSG_CALLEVENT, &received[0]));
    EXPECT_TRUE(Logged(host, L"No changes") || PumpUntil([&] { return Logged(host, L"No changes"); }, 1000));
    EXPECT_EQ(popup, FindPopup());

    // Hidden after its two seconds, by the display thread.
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(popup); }, 6000));
    EXPECT_TRUE(Logged(host, L"Popup hidden"));

    // The same call again stays closed; a new call shows again.
    EXPECT_EQ(1u, p.busProcess(QOR_BUSMSG_CALLEVENT, &received[0]));
    PumpFor(100);
    EXPECT_FALSE(IsWindowVisible(popup));
    std::wstring next = CallEvent(L"OnReceived", 2, L"+4930111", L"Name: Jane <b>Roe</b>;Company: A&B;");
    EXPECT_EQ(1u, p.busProcess(QOR_BUSMSG_CALLEVENT, &next[0]));
    ASSERT_TRUE(PumpUntil([&] { return (popup = FindPopup()) != nullptr && IsWindowVisible(popup); }, 5000));

    // The bus closes it.
    EXPECT_EQ(1u, p.Bus(QOR_BUSMSG_CLOSEPOPUP));
    EXPECT_EQ(nullptr, FindPopup());
    PumpFor(1200);
    EXPECT_EQ(nullptr, FindPopup());  // the display thread does not bring it back
}

TEST_F(VisetteDll, WithoutTimeLimitTheCardStaysUntilClosed)
{
    WriteSettings({{L"Duration", L"1"}, {L"UseDuration", L"0"}});
    Plugin p(DistPlugin());
    ASSERT_NE(nullptr, p.module);
    p.afterLoad();
    EXPECT_EQ(1u, p.busProcess(QOR_BUSMSG_CALLEVENT, &CallEvent(L"onreceived", 3, L"", nullptr)[0]));
    HWND popup = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (popup = FindPopup()) != nullptr && IsWindowVisible(popup); }, 5000));
    PumpFor(2500);
    EXPECT_TRUE(IsWindowVisible(popup));
    // Stopping the plug-in with the card shown ends the display thread and the window.
    p.beforeClose();
    EXPECT_EQ(nullptr, FindPopup());
    p.beforeClose();
}

TEST_F(VisetteDll, UnloadWithoutStopLeavesNoThreadBehind)
{
    WriteSettings({});
    HMODULE module = LoadLibraryW(DistPlugin().c_str());
    ASSERT_NE(nullptr, module);
    auto afterLoad = reinterpret_cast<PFN_DLL_PluginAfterLoad>(GetProcAddress(module, "DLL_PluginAfterLoad"));
    ASSERT_NE(nullptr, afterLoad);
    const CodeRange code(module);  // kept: the thread's start address is matched after the unload
    afterLoad();
    EXPECT_EQ(1u, PluginThreads(code)) << "the display thread runs";
    EXPECT_TRUE(FreeLibrary(module));
    // The unload ended the thread (it would otherwise wake in unmapped code) and said why.
    EXPECT_EQ(0u, PluginThreads(code));
    PumpFor(100);
    EXPECT_TRUE(Logged(host, L"Unloaded while the display thread runs"));
}
