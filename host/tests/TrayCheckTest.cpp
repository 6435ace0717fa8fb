#include "host/HostSeams.h"
#include "host/TrayCheck.h"
#include "host/TrayIcon.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<DWORD> g_messages;
bool g_shellKnowsIcon = true;

BOOL WINAPI RecordShell(DWORD message, PNOTIFYICONDATAW)
{
    g_messages.push_back(message);
    return TRUE;
}

HRESULT WINAPI IconRect(const NOTIFYICONIDENTIFIER*, RECT* rect)
{
    if (!g_shellKnowsIcon)
        return E_FAIL;
    *rect = {100, 1000, 116, 1016};
    return S_OK;
}

class TrayCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_messages.clear();
        g_shellKnowsIcon = true;
        m_shell = g_pfnShell_NotifyIconW;
        m_rect = g_pfnShell_NotifyIconGetRect;
        g_pfnShell_NotifyIconW = RecordShell;
        g_pfnShell_NotifyIconGetRect = IconRect;
        m_window = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        m_icon.Create(nullptr, m_window, 0x469, 2311, 0, 0, 0);
        m_icon.SetEnabled(TRUE);
        m_icon.SetState(1);
        g_messages.clear();
    }
    void TearDown() override
    {
        g_pfnShell_NotifyIconW = m_shell;
        g_pfnShell_NotifyIconGetRect = m_rect;
        DestroyWindow(m_window);
    }
    decltype(g_pfnShell_NotifyIconW) m_shell;
    decltype(g_pfnShell_NotifyIconGetRect) m_rect;
    HWND m_window = nullptr;
    CTrayIcon m_icon;
};

TEST_F(TrayCheck, KnownIconIsOnlyRefreshed)
{
    CheckTrayIconPresent(m_icon);
    EXPECT_EQ(std::vector<DWORD>{NIM_MODIFY}, g_messages);
}

TEST_F(TrayCheck, LostIconComesBack)
{
    g_shellKnowsIcon = false;
    CheckTrayIconPresent(m_icon);
    EXPECT_EQ((std::vector<DWORD>{NIM_DELETE, NIM_ADD}), g_messages);
    EXPECT_TRUE(m_icon.IsShown());
}

TEST_F(TrayCheck, SwitchedOffIconStaysAway)
{
    // The program end: removed and switched off; the next check must not bring it back.
    m_icon.Show(FALSE);
    m_icon.SetEnabled(FALSE);
    g_messages.clear();
    g_shellKnowsIcon = false;
    CheckTrayIconPresent(m_icon);
    EXPECT_TRUE(g_messages.empty());
    EXPECT_FALSE(m_icon.IsShown());
}

}  // namespace
