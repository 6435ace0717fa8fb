// The settings dialog over the "config" test tree: a telephony plug-in and five Search
// plug-ins (CS1 on, CS2 off, CSB an off beta, CF0 and CF3 without DLL_CanDisable), driven
// through the real dialog, tree and list under Wine. Questions are answered through the
// MessageBoxW seam.
#include "host/QorConfig.h"

#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/ListViewTools.h"
#include "foundation/ResourceAccess.h"
#include "foundation/Seams.h"
#include "foundation/SharedMem.h"
#include "foundation/TreeViewTools.h"
#include "host/BusRouter.h"
#include "host/PluginBase.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/plugins/TestPluginRecord.h"
#include "tests/support/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::PluginCallLog;

namespace {

struct Question {
    std::wstring caption, text;
    UINT type;
};
std::vector<Question> g_questions;
std::vector<int> g_answers;  // taken from the front; IDCANCEL when none is left

int WINAPI AnswerMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT type)
{
    g_questions.push_back({caption ? caption : L"", text ? text : L"", type});
    if (g_answers.empty())
        return IDCANCEL;
    int answer = g_answers.front();
    g_answers.erase(g_answers.begin());
    return answer;
}

CPluginBase* const kAll[] = {&g_PluginDebug, &g_PluginExtra, &g_PluginInfo,
                             &g_PluginSave,  &g_PluginSearch, &g_PluginTelephony};
const wchar_t* const kFolders[] = {L"PluginDebug", L"PluginExtra", L"PluginInfo",
                                   L"PluginSave",  L"PluginSearch", L"PluginTelephony"};

const DWORD kScheme = 0;

class ConfigDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        ASSERT_TRUE(log.ok());
        std::wstring tree = testing_support::ProgramFolder() + L"..\\testtree\\config";
        for (int i = 0; i < 6; ++i) {
            kAll[i]->SetFolder(tree.c_str(), kFolders[i]);
            kAll[i]->LoadAllModules();
        }
        for (CPluginBase* p : kAll)
            p->AfterLoad();
        m_savedBox = g_pfnMessageBoxW;
        g_pfnMessageBoxW = AnswerMessageBox;
        g_questions.clear();
        g_answers.clear();
        m_savedView = g_pSharedMemView;
        g_pSharedMemView = m_shared;
        g_hWndParent = host.hwnd();
        Use(nullptr);
        g_rcConfigPosition = {40, 40, 760, 560};
        log.Clear();
    }
    void TearDown() override
    {
        CloseConfigBeforeUnload();
        for (CPluginBase* p : kAll) {
            p->BeforeClose();
            p->UnloadAllModules();
        }
        g_pfnMessageBoxW = m_savedBox;
        g_pSharedMemView = m_savedView;
        g_hWndParent = nullptr;
        DropPosted();
    }
    void Use(CResourceAccess* resources)
    {
        ConfigHostInfo info = {GetModuleHandleW(nullptr), host.hwnd(), L"Orvix Telvane", L"", L"https://www.orvix.example/help", L"", &kScheme, resources};
        SetConfigHostInfo(info);
    }
    HMODULE Module(CPluginBase& plugins, DWORD id)
    {
        for (int i = 0; i < kPluginSlots; ++i)
            if (plugins.GetModule(i) && plugins.GetPluginId(i) == id)
                return plugins.GetModule(i);
        return nullptr;
    }
    HMODULE Search(DWORD id) { return Module(g_PluginSearch, id); }
    HTREEITEM Item(HMODULE module)
    {
        HWND tree = GetConfigTree();
        for (HTREEITEM root = TreeView_GetRoot(tree); root; root = TreeView_GetNextSibling(tree, root))
            if (HTREEITEM found = FindTreeViewItemByData(tree, root, reinterpret_cast<LPARAM>(module)))
                return found;
        return nullptr;
    }
    std::wstring Selected()
    {
        HWND tree = GetConfigTree();
        wchar_t text[128] = L"";
        GetTreeViewItemText(tree, TreeView_GetSelection(tree), text, _countof(text));
        return text;
    }
    void Select(HTREEITEM item) { TreeView_SelectItem(GetConfigTree(), item); }
    // WM_QOR_CONFIGCHANGED posted to the host window since the last call.
    int TakePosted()
    {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, host.hwnd(), WM_QOR_CONFIGCHANGED, WM_QOR_CONFIGCHANGED, PM_REMOVE))
            ++n;
        return n;
    }
    void DropPosted() { TakePosted(); }
    // A left click on the row's image, as the mouse gives it.
    static void ClickImage(HWND list, int row)
    {
        RECT icon = {};
        ListView_GetItemRect(list, row, &icon, LVIR_ICON);
        LPARAM at = MAKELPARAM((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);
        PostMessageW(list, WM_LBUTTONUP, 0, at);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    }
    int Count(const wchar_t* tag, const wchar_t* function, DWORD type = DWORD(-1))
    {
        int n = 0;
        for (const TestPluginCall& c : log.Calls())
            n += wcscmp(c.tag, tag) == 0 && wcscmp(c.function, function) == 0 && (type == DWORD(-1) || c.type == type);
        return n;
    }

    PluginCallLog log{L"host_config"};
    testing_support::RecordingWindow host;
    DWORD m_shared[4] = {};
    volatile DWORD* m_savedView = nullptr;
    decltype(g_pfnMessageBoxW) m_savedBox = nullptr;
};

std::vector<std::wstring> RootTexts(HWND tree)
{
    std::vector<std::wstring> out;
    for (HTREEITEM i = TreeView_GetRoot(tree); i; i = TreeView_GetNextSibling(tree, i)) {
        wchar_t text[128] = L"";
        GetTreeViewItemText(tree, i, text, _countof(text));
        out.push_back(text);
    }
    return out;
}

}  // namespace

TEST_F(ConfigDialog, TreeHasOnlyCategoriesWithPluginsAndPagesFollowTheSelection)
{
    ShowConfig(0);
    HWND dialog = GetConfigDialog();
    ASSERT_NE(nullptr, dialog);
    HWND tree = GetConfigTree();
    EXPECT_EQ((std::vector<std::wstring>{L"Module info", L"Telephony", L"Search"}), RootTexts(tree));
    HTREEITEM search = FindTreeViewChildByText(tree, nullptr, L"Search");
    ASSERT_NE(nullptr, search);
    EXPECT_EQ(5, CountTreeViewChildren(tree, search));
    EXPECT_STREQ(L"Test plug-in CF0", GetTreeViewChildTextAt(tree, search, 0));  // sorted by name
    wchar_t title[128] = L"";
    GetWindowTextW(dialog, title, _countof(title));
    EXPECT_STREQ(L"Orvix Telvane - Settings", title);

    // Opened at "Module info": the host's page with every module.
    EXPECT_EQ(L"Module info", Selected());
    EXPECT_EQ(GetModuleHandleW(nullptr), GetConfigSelectedModule());
    ASSERT_NE(nullptr, GetConfigModuleList());
    EXPECT_EQ(7, ListView_GetItemCount(GetConfigModuleList()));
    EXPECT_EQ(0u, m_shared[1]);

    // A plug-in: its own page, its ID in the shared block.
    HMODULE cs1 = Search(911);
    Select(Item(cs1));
    EXPECT_EQ(cs1, GetConfigSelectedModule());
    HWND page = GetConfigPage();
    ASSERT_NE(nullptr, page);
    EXPECT_EQ(dialog, GetParent(page));
    EXPECT_TRUE(IsWindowVisible(page));
    EXPECT_EQ(911u, m_shared[1]);
    EXPECT_EQ(nullptr, GetConfigModuleList());  // the host's page went with the change

    // A category node: no page; the plug-in's page was told IDOK and destroyed (its EndDialog
    // would only have hidden it).
    Select(search);
    EXPECT_EQ(nullptr, GetConfigPage());
    EXPECT_FALSE(IsWindow(page));
    EXPECT_EQ(1, Count(L"CS1", L"PageOk", IDOK));
    EXPECT_EQ(1, Count(L"CS1", L"PageDestroyed"));
    EXPECT_EQ(0u, m_shared[1]);
    EXPECT_EQ(nullptr, GetConfigSelectedModule());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 1009)));

    // A second ShowConfig keeps the one dialog.
    ShowConfig(0);
    EXPECT_EQ(dialog, GetConfigDialog());
    CloseConfig();
    EXPECT_EQ(nullptr, GetConfigDialog());
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(ConfigDialog, PageRequestByModuleOrPluginIdSelectsThatPlugin)
{
    const struct {
        DWORD_PTR page;
        const wchar_t* expected;
    } cases[] = {
        {913, L"Test plug-in CSB"},  // a plug-in ID, as QOR_BUSMSG_SHOWCONFIG passes it
        {501, L"Test plug-in CT"},
        {reinterpret_cast<DWORD_PTR>(Module(g_PluginSearch, 914)), L"Test plug-in CF0"},
        {0, L"Module info"},
        {4711, L"Module info"},  // names no plug-in
    };
    for (const auto& c : cases) {
        log.Clear();
        ShowConfig(c.page);
        ASSERT_NE(nullptr, GetConfigDialog());
        EXPECT_EQ(c.expected, Selected()) << c.page;
        bool pluginPage = GetConfigSelectedModule() != GetModuleHandleW(nullptr);
        CloseConfig();
        EXPECT_EQ(nullptr, GetConfigDialog());
        // A plug-in's page is told IDOK once, then destroyed.
        EXPECT_EQ(pluginPage ? 1u : 0u, log.Sequence({L"PageOk"}).size()) << c.page;
        EXPECT_EQ(pluginPage ? 1u : 0u, log.Sequence({L"PageDestroyed"}).size()) << c.page;
    }
    EXPECT_TRUE(g_questions.empty());
}

TEST_F(ConfigDialog, PendingChangeAsksOnSelectionChangeAndOnClose)
{
    HMODULE cs1 = Search(911), cs2 = Search(912);
    ShowConfig(reinterpret_cast<DWORD_PTR>(cs1));
    HWND dialog = GetConfigDialog();
    ASSERT_NE(nullptr, dialog);
    HWND apply = GetDlgItem(dialog, 1006);
    EXPECT_FALSE(IsWindowEnabled(apply));

    // Cancel: the old page stays, the change stays pending.
    SetConfigChangePending();
    EXPECT_TRUE(IsWindowEnabled(apply));
    g_answers = {IDCANCEL};
    Select(Item(cs2));
    ASSERT_EQ(1u, g_questions.size());
    EXPECT_EQ(L"Apply changes", g_questions[0].caption);
    EXPECT_EQ(UINT(MB_YESNOCANCEL | MB_ICONWARNING | MB_TOPMOST), g_questions[0].type);
    EXPECT_EQ(cs1, GetConfigSelectedModule());
    EXPECT_TRUE(IsConfigChangePending());

    // No: moves on without applying.
    g_answers = {IDNO};
    Select(Item(cs2));
    EXPECT_EQ(cs2, GetConfigSelectedModule());
    EXPECT_FALSE(IsConfigChangePending());
    EXPECT_EQ(0, Count(L"CS1", L"BusProcess", QOR_BUSMSG_APPLY));

    // Yes: the old page's plug-in gets Apply (Type 5) before the page changes.
    SetConfigChangePending();
    g_answers = {IDYES};
    Select(Item(cs1));
    EXPECT_EQ(1, Count(L"CS2", L"BusProcess", QOR_BUSMSG_APPLY));
    EXPECT_EQ(0, Count(L"CS1", L"BusProcess", QOR_BUSMSG_APPLY));
    EXPECT_EQ(cs1, GetConfigSelectedModule());

    // No change pending: no question.
    g_questions.clear();
    Select(Item(cs2));
    EXPECT_TRUE(g_questions.empty());

    // Closing: Cancel stays open, No closes without applying.
    SetConfigChangePending();
    g_answers = {IDCANCEL};
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(dialog, GetConfigDialog());
    EXPECT_TRUE(IsWindow(dialog));
    g_answers = {IDNO};
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(nullptr, GetConfigDialog());
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(1, Count(L"CS2", L"BusProcess", QOR_BUSMSG_APPLY));
    EXPECT_EQ(0u, m_shared[1]);

    // Yes on closing applies first.
    ShowConfig(reinterpret_cast<DWORD_PTR>(cs2));
    SetConfigChangePending();
    g_answers = {IDYES};
    CloseConfig();
    EXPECT_EQ(nullptr, GetConfigDialog());
    EXPECT_EQ(2, Count(L"CS2", L"BusProcess", QOR_BUSMSG_APPLY));
}

TEST_F(ConfigDialog, ApplyOnModuleInfoGoesToTheHostWindow)
{
    ShowConfig(0);
    SetConfigChangePending();
    host.Clear();
    SendMessageW(GetConfigDialog(), WM_COMMAND, 1006, 0);
    EXPECT_EQ(1u, host.OfType(QOR_BUSMSG_APPLYALL).size());
    EXPECT_FALSE(IsConfigChangePending());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(GetConfigDialog(), 1006)));
}

TEST_F(ConfigDialog, ImageClicksSwitchRowsAndApplyReachesOnlySwitchablePlugins)
{
    ShowConfig(0);
    HWND list = GetConfigModuleList();
    ASSERT_NE(nullptr, list);
    DropPosted();
    auto row = [&](DWORD id) { return FindListViewItemByData(list, reinterpret_cast<LPARAM>(Search(id))); };
    auto image = [&](DWORD id) { return GetListViewItemImage(list, row(id), 0); };

    const struct {
        DWORD id;
        int before;
    } rows[] = {{911, kImageOn}, {912, kImageOff}, {913, kImageOff}, {914, kImageFixedOn}, {915, kImageFixedOff}};
    for (const auto& r : rows)
        EXPECT_EQ(r.before, image(r.id)) << r.id;
    EXPECT_EQ(kImageFixedOn, GetListViewItemImage(list, 0, 0));  // " Main program"

    const struct {
        DWORD id;
        std::vector<int> answers;
        int after;
        int posted;
        size_t questions;
    } clicks[] = {
        {911, {}, kImageOff, 1, 0},
        {912, {}, kImageOn, 1, 0},
        {913, {IDCANCEL}, kImageOff, 0, 1},  // the beta question, cancelled
        {913, {IDOK}, kImageOn, 1, 1},
        {914, {}, kImageFixedOn, 0, 0},
        {915, {}, kImageFixedOff, 0, 0},
    };
    for (const auto& c : clicks) {
        g_questions.clear();
        g_answers = c.answers;
        ClickImage(list, row(c.id));
        EXPECT_EQ(c.after, image(c.id)) << c.id;
        EXPECT_EQ(c.posted, TakePosted()) << c.id;
        testing_support::PumpFor(20);
        ASSERT_EQ(c.questions, g_questions.size()) << c.id;
        if (c.questions) {
            EXPECT_EQ(L"Beta version", g_questions[0].caption);
            EXPECT_EQ(UINT(MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONWARNING | MB_TOPMOST), g_questions[0].type);
        }
    }
    // Nothing reaches a plug-in before Apply, and a refresh of the list (as the bus's
    // forced-ignore and allow-disable messages make) keeps the choices.
    EXPECT_EQ(0, int(log.Sequence({L"SetDisableState"}).size()));
    FillModuleList();
    ASSERT_EQ(list, GetConfigModuleList());
    for (const auto& r : {std::make_pair(911u, kImageOff), std::make_pair(912u, kImageOn),
                          std::make_pair(913u, kImageOn), std::make_pair(914u, kImageFixedOn)})
        EXPECT_EQ(r.second, image(r.first)) << "after the refresh " << r.first;

    ApplyDisableStates();
    EXPECT_EQ(1, Count(L"CS1", L"SetDisableState", 1));
    EXPECT_EQ(1, Count(L"CS2", L"SetDisableState", 0));
    EXPECT_EQ(1, Count(L"CSB", L"SetDisableState", 0));
    EXPECT_EQ(0, Count(L"CF0", L"SetDisableState"));
    EXPECT_EQ(0, Count(L"CF3", L"SetDisableState"));
    EXPECT_EQ(1u, CPluginBase::GetDisableStateOf(Search(911)));
    EXPECT_EQ(0u, CPluginBase::GetDisableStateOf(Search(913)));
}

TEST_F(ConfigDialog, BetaQuestionUsesTheLanguageLibrary)
{
    CResourceAccess german;
    wcscpy(german.m_szPath, testing_support::DistFolder().c_str());
    ASSERT_EQ(1, german.LoadResourceDll(L"De"));
    Use(&german);
    ShowConfig(0);
    HWND list = GetConfigModuleList();
    ASSERT_NE(nullptr, list);
    int row = FindListViewItemByData(list, reinterpret_cast<LPARAM>(Search(913)));
    g_answers = {IDOK};
    ClickImage(list, row);
    ASSERT_EQ(1u, g_questions.size());
    EXPECT_EQ(L"Beta-Version", g_questions[0].caption);
    EXPECT_EQ(kImageOn, GetListViewItemImage(list, row, 0));
    CloseConfig();
    Use(nullptr);
}

TEST_F(ConfigDialog, ClosingBeforeUnloadLeavesNoPageOfTheUnloadedPlugin)
{
    ShowConfig(501);
    HWND dialog = GetConfigDialog();
    HWND page = GetConfigPage();
    ASSERT_NE(nullptr, page);
    SetConfigChangePending();
    CloseConfigBeforeUnload();
    EXPECT_TRUE(g_questions.empty());  // nothing to ask: the plug-ins are about to go
    EXPECT_FALSE(IsWindow(page));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(nullptr, GetConfigDialog());
    EXPECT_FALSE(IsConfigChangePending());
    g_PluginTelephony.BeforeClose();
    g_PluginTelephony.UnloadAllModules();
    testing_support::PumpFor(50);  // no message reaches a freed page
    ShowConfig(0);
    EXPECT_EQ((std::vector<std::wstring>{L"Module info", L"Search"}), RootTexts(GetConfigTree()));
}

TEST_F(ConfigDialog, UnloadCommandsCloseTheDialogFirst)
{
    CBusRouter router(g_PluginDebug, g_PluginExtra, g_PluginInfo, g_PluginSave, g_PluginSearch, g_PluginTelephony);
    const struct {
        const wchar_t* command;
        const wchar_t* argument;
        DWORD page;
    } commands[] = {
        {L"PLUGINREMOVE", L"PluginSearchCS2", 912},
        {L"REMOVEALLPHONEMODULES", nullptr, 501},
        {L"LOADALLSEARCHMODULES", nullptr, 911},
    };
    for (const auto& c : commands) {
        ShowConfig(c.page);
        HWND dialog = GetConfigDialog();
        HWND page = GetConfigPage();
        ASSERT_NE(nullptr, page) << c.command;
        router.ExecuteBusCommand(c.command, c.argument);
        EXPECT_FALSE(IsWindow(page)) << c.command;
        EXPECT_FALSE(IsWindow(dialog)) << c.command;
        EXPECT_EQ(nullptr, GetConfigDialog()) << c.command;
        testing_support::PumpFor(20);
    }
    // Opened again, the dialog shows what is loaded now.
    ShowConfig(0);
    HWND tree = GetConfigTree();
    EXPECT_EQ((std::vector<std::wstring>{L"Module info", L"Search"}), RootTexts(tree));
    EXPECT_EQ(5, CountTreeViewChildren(tree, FindTreeViewChildByText(tree, nullptr, L"Search")));
}

TEST_F(ConfigDialog, KeyUpMovesTheFocusRound)
{
    ShowConfig(reinterpret_cast<DWORD_PTR>(Search(911)));
    HWND dialog = GetConfigDialog();
    HWND page = GetConfigPage();
    ASSERT_NE(nullptr, page);
    HWND edit = GetDlgItem(page, 101);
    const struct {
        HWND from;
        HWND to;
    } moves[] = {
        {GetConfigTree(), GetDlgItem(dialog, 1009)},
        {GetDlgItem(dialog, 1009), edit},
        {edit, GetDlgItem(dialog, IDCANCEL)},
        {GetDlgItem(dialog, IDCANCEL), GetDlgItem(dialog, 9)},  // Apply is greyed
        {GetDlgItem(dialog, 9), GetConfigTree()},
    };
    for (const auto& m : moves) {
        MSG msg = {m.from, WM_KEYUP, VK_TAB, 0};
        EXPECT_TRUE(HandleConfigKeyUp(&msg));
        testing_support::PumpFor(20);
        EXPECT_EQ(m.to, GetFocus());
    }
    MSG other = {GetConfigTree(), WM_KEYUP, 'A', 0};
    EXPECT_FALSE(HandleConfigKeyUp(&other));
}

namespace {

// The window's screen area as a 24-bit BMP file.
bool SaveWindowBitmap(HWND window, const std::wstring& path)
{
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info = {sizeof(info), w, h, 1, 24, BI_RGB};
    const int rowBytes = (w * 3 + 3) & ~3;
    std::vector<BYTE> pixels(static_cast<size_t>(rowBytes) * h);
    int lines = GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (lines != h)
        return false;
    BITMAPFILEHEADER file = {0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof(info) + pixels.size()), 0, 0,
                             DWORD(sizeof(BITMAPFILEHEADER) + sizeof(info))};
    std::vector<BYTE> bytes(reinterpret_cast<BYTE*>(&file), reinterpret_cast<BYTE*>(&file) + sizeof(file));
    bytes.insert(bytes.end(), reinterpret_cast<BYTE*>(&info), reinterpret_cast<BYTE*>(&info) + sizeof(info));
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    testing_support::WriteFileBytes(path, bytes.data(), bytes.size());
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

// Pictures of the dialog for the documentation (docs/make_config_screenshots.sh turns them
// into docs/SettingsDialog_<language>.png); the test checks the texts they show.
TEST_F(ConfigDialog, ScreenshotInBothLanguages)
{
    const struct {
        const wchar_t* code;
        const wchar_t* title;
        const wchar_t* moduleInfo;
    } languages[] = {
        {L"En", L"Orvix Telvane - Settings", L"Module info"},
        {L"De", L"Orvix Telvane - Einstellungen", L"Modulinfo"},
    };
    for (const auto& l : languages) {
        CResourceAccess language;
        wcscpy(language.m_szPath, testing_support::DistFolder().c_str());
        ASSERT_EQ(1, language.LoadResourceDll(l.code));
        Use(&language);
        ShowConfig(0);
        HWND dialog = GetConfigDialog();
        ASSERT_NE(nullptr, dialog);
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        testing_support::PumpFor(300);
        wchar_t title[128] = L"";
        GetWindowTextW(dialog, title, _countof(title));
        EXPECT_STREQ(l.title, title);
        EXPECT_EQ(l.moduleInfo, Selected());
        EXPECT_TRUE(SaveWindowBitmap(dialog, testing_support::ProgramFolder() + L"SettingsDialog_" + l.code + L".bmp"));
        CloseConfig();
        Use(nullptr);
    }
}

namespace {

int g_nestedCloses = 0;

// The question while it is open: more close requests arrive (as other programs can send
// any number of them), then the user answers No.
int WINAPI AnswerAfterMoreCloses(HWND, LPCWSTR, LPCWSTR caption, UINT type)
{
    g_questions.push_back({caption ? caption : L"", L"", type});
    for (int i = 0; i < 3; ++i) {
        ++g_nestedCloses;
        CloseConfig();
    }
    return IDNO;
}

}  // namespace

TEST_F(ConfigDialog, CloseRequestsWhileTheQuestionIsOpenAskNoMore)
{
    ShowConfig(reinterpret_cast<DWORD_PTR>(Search(911)));
    ASSERT_NE(nullptr, GetConfigDialog());
    SetConfigChangePending();
    g_pfnMessageBoxW = AnswerAfterMoreCloses;
    g_nestedCloses = 0;
    CloseConfig();
    EXPECT_EQ(3, g_nestedCloses);
    EXPECT_EQ(1u, g_questions.size()) << "one question on the screen at a time";
    EXPECT_EQ(nullptr, GetConfigDialog()) << "the answer No closes the dialog";
    EXPECT_EQ(0, Count(L"CS1", L"BusProcess", QOR_BUSMSG_APPLY));
}

// The program end asks nothing and drops the unapplied change; the plug-in's page is closed.
TEST_F(ConfigDialog, ReleaseForTheEndAsksNothing)
{
    HMODULE cs1 = Search(911);
    ShowConfig(reinterpret_cast<DWORD_PTR>(cs1));
    HWND dialog = GetConfigDialog();
    ASSERT_NE(nullptr, dialog);
    ASSERT_NE(nullptr, GetConfigPage());
    SetConfigChangePending();
    m_shared[1] = 911;
    ReleaseConfigForEnd();
    EXPECT_TRUE(g_questions.empty());
    EXPECT_FALSE(IsConfigChangePending());
    EXPECT_EQ(0, Count(L"CS1", L"BusProcess", QOR_BUSMSG_APPLY));
    EXPECT_EQ(0u, m_shared[1]) << "no settings page open any more";
    EXPECT_EQ(nullptr, GetConfigPage());
    CloseConfigBeforeUnload();
}
