#include "host/HostSeams.h"
#include "host/TrayCheck.h"
#include "host/TrayIcon.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<DWORD> g_messages;
bool g_shellKnowsIcon = true;
bool g_shellCannotLocate = false;
bool g_modifyFails = false;

BOOL WINAPI RecordShell(DWORD message, PNOTIFYICONDATAW)
{
    g_messages.push_back(message);
    return !(message == NIM_MODIFY && g_modifyFails);
}

HRESULT WINAPI IconRect(const NOTIFYICONIDENTIFIER*, RECT* rect)
{
    if (g_shellCannotLocate)
        return E_NOTIMPL;
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
        g_shellCannotLocate = false;
        g_modifyFails = false;
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

TEST_F(TrayCheck, ShellThatCannotLocateIconsIsNotAskedToReAddEveryCycle)
{
    // Wine's shell answers E_NOTIMPL: the icon is refreshed, not deleted and added again.
    g_shellCannotLocate = true;
    CheckTrayIconPresent(m_icon);
    CheckTrayIconPresent(m_icon);
    EXPECT_EQ((std::vector<DWORD>{NIM_MODIFY, NIM_MODIFY}), g_messages);
    // A refresh the shell refuses means the icon is gone: it comes back.
    g_messages.clear();
    g_modifyFails = true;
    CheckTrayIconPresent(m_icon);
    EXPECT_EQ((std::vector<DWORD>{NIM_MODIFY, NIM_DELETE, NIM_ADD}), g_messages);
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
