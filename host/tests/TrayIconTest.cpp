#include "host/InfoIcon.h"
#include "host/HostSeams.h"

#include "foundation/Seams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ShellCall {
    DWORD message;
    HICON icon;
    std::wstring tip;
};
std::vector<ShellCall> g_calls;
BOOL WINAPI RecordShell(DWORD message, PNOTIFYICONDATAW data)
{
    g_calls.push_back({message, data->hIcon, data->szTip});
    return TRUE;
}

class TrayIconStates : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        m_shell = g_pfnShell_NotifyIconW;
        g_pfnShell_NotifyIconW = RecordShell;
        m_window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        g_pfnShell_NotifyIconW = m_shell;
        DestroyWindow(m_window);
    }
    decltype(g_pfnShell_NotifyIconW) m_shell;
    HWND m_window = nullptr;
};

}  // namespace

TEST_F(TrayIconStates, AddThenModifyThenDelete)
{
    CTrayIcon icon;
    // Icons of the system stand in for the host's own (the test program has none).
    icon.Create(nullptr, m_window, 0x469, 2311, 0, 0, 0);
    icon.SetEnabled(TRUE);
    icon.SetTip(L"%s", L"Orvix 100% Telvane");
    icon.SetState(0);
    icon.SetState(1);
    icon.Show(FALSE);
    icon.SetState(2);
    ASSERT_EQ(4u, g_calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), g_calls[0].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), g_calls[1].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), g_calls[2].message);
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), g_calls[3].message) << "after a delete the icon is added again";
    EXPECT_EQ(L"Orvix 100% Telvane", g_calls[0].tip) << "the tip is a text, not a format";
    EXPECT_EQ(nullptr, g_calls[3].icon) << "no icon for state 2: an empty icon";
}

TEST_F(TrayIconStates, DisabledIconMakesNoCalls)
{
    {
        CTrayIcon icon;
        icon.Create(nullptr, m_window, 0x469, 2311, 0, 0, 0);
        icon.SetState(1);
        icon.Update();
        icon.Show(TRUE);
        icon.Show(FALSE);
        EXPECT_FALSE(icon.IsShown());
    }
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(TrayIconStates, UnknownIconHasNoRectangle)
{
    CTrayIcon icon;
    icon.Create(nullptr, m_window, 0x469, 2311, 0, 0, 0);
    // Never added: the shell knows no rectangle (0), or cannot locate icons at all (-1, Wine).
    EXPECT_LE(icon.GetIconRect(), 0);
}

TEST(TrayIconShell, RealNotificationAreaAcceptsAddModifyDelete)
{
    HWND window = CreateWindowW(L"STATIC", L"tray", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    NOTIFYICONDATAW nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = window;
    nid.uID = 2311;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = 0x469;
    nid.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wcscpy(nid.szTip, L"test");
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &nid));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &nid));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &nid));
    DestroyWindow(window);
}

namespace {

// The tray menu as the resource lays it out.
HMENU MakeTrayMenu()
{
    HMENU m = CreatePopupMenu();
    AppendMenuW(m, MF_STRING, IDM_TRAY_SETTINGS, L"Einstellungen");
    AppendMenuW(m, MF_STRING, IDM_TRAY_HELP, L"Hilfe");
    AppendMenuW(m, MF_STRING, IDM_TRAY_INFO, L"Info");
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(m, MF_STRING, IDM_TRAY_PAUSE, L"Stop");
    AppendMenuW(m, MF_STRING, IDM_TRAY_CONTINUE, L"Fortsetzen");
    AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(m, MF_STRING, IDM_TRAY_END, L"Beenden");
    return m;
}

std::wstring Layout(HMENU m)
{
    std::wstring out;
    for (int i = 0; i < GetMenuItemCount(m); ++i) {
        UINT state = GetMenuState(m, i, MF_BYPOSITION);
        if (state & MF_SEPARATOR) {
            out += L"|-";
            continue;
        }
        wchar_t text[64] = L"";
        GetMenuStringW(m, i, text, 64, MF_BYPOSITION);
        out += L"|";
        out += text;
        if (state & MF_GRAYED)
            out += L"(grey)";
        if (state & MF_CHECKED)
            out += L"(x)";
    }
    return out;
}

}  // namespace

TEST(TrayMenu, OperationsTable)
{
    struct Case {
        const char* name;
        void (*run)(CInfoIcon&);
        const wchar_t* layout;
    } cases[] = {
        {"untouched", [](CInfoIcon&) {}, L"|Einstellungen|Hilfe|Info|-|Stop|Fortsetzen|-|Beenden"},
        {"remove service items", [](CInfoIcon& i) { i.RemoveServiceItems(); }, L"|Einstellungen|Hilfe|Info|-|Beenden"},
        {"append separator", [](CInfoIcon& i) { i.AppendMenuItem(1, L"ignored"); },
         L"|Einstellungen|Hilfe|Info|-|Stop|Fortsetzen|-|Beenden|-"},
        {"append item", [](CInfoIcon& i) { i.AppendMenuItem(12000, L"Dial"); },
         L"|Einstellungen|Hilfe|Info|-|Stop|Fortsetzen|-|Beenden|Dial"},
        {"show new with separator", [](CInfoIcon& i) { i.ShowMenuItem(12001, TRUE, TRUE, L"Phone"); },
         L"|Einstellungen|Hilfe|Info|-|Stop|Fortsetzen|-|Beenden|-|Phone"},
        {"show present changes nothing", [](CInfoIcon& i) { i.ShowMenuItem(IDM_TRAY_INFO, TRUE, TRUE, L"X"); },
         L"|Einstellungen|Hilfe|Info|-|Stop|Fortsetzen|-|Beenden"},
        {"hide with separator takes the separator",
         [](CInfoIcon& i) {
             i.ShowMenuItem(12001, TRUE, TRUE, L"Phone");
             i.ShowMenuItem(12001, FALSE, TRUE, nullptr);
         },
         L"|Einstellungen|Hilfe|Info|-|Stop|Fortsetzen|-|Beenden"},
        {"hide after an item keeps the item", [](CInfoIcon& i) { i.ShowMenuItem(IDM_TRAY_HELP, FALSE, TRUE, nullptr); },
         L"|Einstellungen|Info|-|Stop|Fortsetzen|-|Beenden"},
        {"hide absent changes nothing", [](CInfoIcon& i) { i.ShowMenuItem(12005, FALSE, TRUE, nullptr); },
         L"|Einstellungen|Hilfe|Info|-|Stop|Fortsetzen|-|Beenden"},
        {"text, grey and check",
         [](CInfoIcon& i) {
             i.SetMenuItemText(IDM_TRAY_PAUSE, L"Pause");
             i.EnableMenuItem(IDM_TRAY_CONTINUE, FALSE);
             i.CheckMenuItem(IDM_TRAY_INFO, TRUE);
         },
         L"|Einstellungen|Hilfe|Info(x)|-|Pause|Fortsetzen(grey)|-|Beenden"},
        {"delete", [](CInfoIcon& i) { i.DeleteMenuItem(IDM_TRAY_END); }, L"|Einstellungen|Hilfe|Info|-|Stop|Fortsetzen|-"},
    };
    for (const Case& c : cases) {
        CInfoIcon icon;
        icon.SetPopupMenu(MakeTrayMenu());
        c.run(icon);
        EXPECT_EQ(c.layout, Layout(icon.GetPopupMenu())) << c.name;
    }
    CInfoIcon icon;
    icon.SetPopupMenu(MakeTrayMenu());
    EXPECT_EQ(5, icon.GetMenuItemPosition(IDM_TRAY_CONTINUE));
    EXPECT_EQ(-1, icon.GetMenuItemPosition(4242));
    EXPECT_EQ(-1, icon.GetMenuItemPosition(0)) << "separators are no items";
}

namespace {
int g_tracked = 0;
BOOL WINAPI FakeTrack(HMENU, UINT, int, int, HWND, LPTPMPARAMS) { ++g_tracked; return TRUE; }
}  // namespace

TEST(TrayMenu, PopupIsFollowedByTheNullMessage)
{
    auto saved = g_pfnTrackPopupMenuEx;
    g_pfnTrackPopupMenuEx = FakeTrack;
    HWND window = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CInfoIcon icon;
    icon.Create(nullptr, window, 0x469, 2311, 0, 0, 0);
    icon.SetPopupMenu(MakeTrayMenu());
    icon.ShowPopupMenu();
    g_pfnTrackPopupMenuEx = saved;
    EXPECT_EQ(1, g_tracked);
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, window, WM_NULL, WM_NULL, PM_REMOVE));
    DestroyWindow(window);
}

#include "foundation/ResourceAccess.h"

TEST(TrayMenu, BuildMenuUsesDefaultTextsWithoutALibrary)
{
    CResourceAccess resources;  // no library loaded: the built-in texts
    CInfoIcon icon;
    icon.SetPopupMenu(MakeTrayMenu());
    icon.BuildMenu(resources, FALSE);
    EXPECT_EQ(L"|Einstellungen|Hilfe(grey)|Info|-|Pause|Fortsetzen(grey)|-|Beenden", Layout(icon.GetPopupMenu()));
    icon.BuildMenu(resources, TRUE);
    EXPECT_EQ(L"|Einstellungen|Hilfe|Info|-|Pause|Fortsetzen(grey)|-|Beenden", Layout(icon.GetPopupMenu()));
}

// The end hands the icon to another thread for its removal: the copy names the icon, and
// nothing on this side adds it again afterwards.
TEST_F(TrayIconStates, TakenForRemovalStaysGone)
{
    CTrayIcon icon;
    icon.Create(nullptr, m_window, 0x469, 2311, 0, 0, 0);
    icon.SetEnabled(TRUE);
    icon.SetState(1);
    ASSERT_EQ(1u, g_calls.size());
    NOTIFYICONDATAW nid = {};
    EXPECT_TRUE(icon.TakeForRemoval(&nid));
    EXPECT_EQ(m_window, nid.hWnd);
    EXPECT_EQ(2311u, nid.uID);
    EXPECT_FALSE(icon.IsShown());
    EXPECT_FALSE(icon.IsEnabled());
    icon.SetState(0);
    icon.Update();
    icon.Show(TRUE);
    EXPECT_EQ(1u, g_calls.size()) << "no shell call after the hand-over";
    EXPECT_FALSE(icon.TakeForRemoval(&nid)) << "nothing left to remove";
}
