#include "foundation/WindowSearch.h"

#include "foundation/KillProcess.h"
#include "foundation/tests/ChildProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr DWORD kMarker = 0x48AD1124;  // unique to this test program

HWND MakeTopWindow(const wchar_t* text, DWORD style = WS_POPUP, DWORD exStyle = 0)
{
    return CreateWindowExW(exStyle, L"STATIC", text, style, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
}

HWND MakeChild(HWND parent, const wchar_t* cls, const wchar_t* text, int id, DWORD style = 0, DWORD exStyle = 0)
{
    return CreateWindowExW(exStyle, cls, text, WS_CHILD | style, 0, 0, 20, 20, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

}  // namespace

TEST(MarkerSearch, OwnWindowIsFoundPastAnotherProcesssMarkedWindow)
{
    HWND own = MakeTopWindow(L"own");
    ASSERT_TRUE(own);
    SetWindowLongW(own, GWLP_USERDATA, static_cast<LONG>(kMarker));

    // The child's window is newer, so it comes first in the walk: the situation of a second
    // instance that has marked its window before its single-instance check.
    ChildProcess child;
    ASSERT_TRUE(child.StartMarkedWindow(kMarker));
    HWND first = FindWindowByUserData(GetDesktopWindow(), kMarker);
    ASSERT_TRUE(first);
    DWORD firstPid = 0;
    GetWindowThreadProcessId(first, &firstPid);
    EXPECT_EQ(child.Id(), firstPid) << "the fixture wants the other process's window first";

    EXPECT_EQ(own, FindOwnWindowByUserData(kMarker));
    HWND theirs = FindProcessWindowByUserData(GetDesktopWindow(), kMarker, child.Id());
    ASSERT_TRUE(theirs);
    GetWindowThreadProcessId(theirs, &firstPid);
    EXPECT_EQ(child.Id(), firstPid);
    EXPECT_EQ(own, FindProcessWindowByUserData(GetDesktopWindow(), kMarker, GetCurrentProcessId()));
    EXPECT_EQ(own, FindProcessWindowByUserData(own, kMarker, 12345)) << "a matching start window is taken as it is";

    DestroyWindow(own);
    EXPECT_EQ(nullptr, FindOwnWindowByUserData(kMarker)) << "only the other process's window is left";
    EXPECT_EQ(0u, child.Stop());
    EXPECT_EQ(nullptr, FindWindowByUserData(GetDesktopWindow(), kMarker));
}

TEST(MarkerSearch, ChildWindowsAreSearchedDepthFirst)
{
    HWND top = MakeTopWindow(L"tree");
    HWND a = MakeChild(top, L"STATIC", L"a", 1);
    HWND a1 = MakeChild(a, L"STATIC", L"a1", 2);
    HWND b = MakeChild(top, L"STATIC", L"b", 3);
    SetWindowLongW(a1, GWLP_USERDATA, static_cast<LONG>(kMarker + 1));
    SetWindowLongW(b, GWLP_USERDATA, static_cast<LONG>(kMarker + 1));
    HWND found = FindWindowByUserData(top, kMarker + 1);
    // a and b are siblings: whichever comes first in GW_HWNDNEXT order is searched whole first.
    HWND firstChild = GetWindow(top, GW_CHILD);
    EXPECT_EQ(firstChild == a ? a1 : b, found);
    EXPECT_EQ(nullptr, FindWindowByUserData(nullptr, 0));
    EXPECT_EQ(nullptr, FindWindowByUserData(top, kMarker + 2));
    if (sizeof(LONG_PTR) == 8) {
        // A pointer in the user data whose low half equals a marker is no marker.
        SetWindowLongPtrW(a1, GWLP_USERDATA, static_cast<LONG_PTR>(0x0000000500000000ll) | (kMarker + 2));
        EXPECT_EQ(nullptr, FindWindowByUserData(top, kMarker + 2));
    }
    DestroyWindow(top);
}

TEST(TreeSearch, MatchRules)
{
    HWND top = MakeTopWindow(L"Search root");
    ASSERT_TRUE(top);
    std::wstring longText(200, L'x');
    HWND edit = MakeChild(top, L"EDIT", L"Hello World", 101, WS_TABSTOP);
    HWND button = MakeChild(top, L"BUTTON", L"Press me", 102, WS_VISIBLE, WS_EX_CLIENTEDGE);
    HWND group = MakeChild(top, L"STATIC", L"", 103);
    HWND nested = MakeChild(group, L"Button", L"Deep one", 104);
    HWND longOne = MakeChild(top, L"STATIC", longText.c_str(), 105);
    ASSERT_TRUE(edit && button && group && nested && longOne);

    EXPECT_EQ(nested, FindWindowById(top, 104));
    EXPECT_EQ(nullptr, FindWindowById(top, 999));

    EXPECT_EQ(edit, FindWindowByClass(top, L"Edit")) << "class names compare as the system reports them";
    EXPECT_EQ(nullptr, FindWindowByClass(top, L"EDIT")) << "case-sensitive";

    EXPECT_EQ(edit, FindWindowByText(top, L"Hello", 0));
    EXPECT_EQ(nullptr, FindWindowByText(top, L"World", 0)) << "without the flag the text must begin with it";
    EXPECT_EQ(edit, FindWindowByText(top, L"World", 1));
    EXPECT_EQ(nested, FindWindowByText(top, L"Deep", 0));
    // Only the first 127 characters count: a search text that differs at character 150 still
    // matches a window text that agrees over 127.
    std::wstring probe = std::wstring(150, L'x') + L"DIFFERENT" + std::wstring(41, L'x');
    EXPECT_EQ(longOne, FindWindowByText(top, probe.c_str(), 0));
    EXPECT_EQ(nullptr, FindWindowByText(top, (std::wstring(126, L'x') + L"y").c_str(), 0));

    EXPECT_EQ(edit, FindWindowByTextAndStyle(top, L"Hel", WS_TABSTOP));
    EXPECT_EQ(nullptr, FindWindowByTextAndStyle(top, L"Press", WS_TABSTOP));
    EXPECT_EQ(button, FindWindowByTextAndExStyle(top, L"Press", WS_EX_CLIENTEDGE));
    EXPECT_EQ(nullptr, FindWindowByTextAndExStyle(top, L"Hello", WS_EX_CLIENTEDGE));

    EXPECT_EQ(nested, FindWindowByClassAndText(top, L"Deep", L"BUTTON", 0, 2)) << "class ignoring case";
    EXPECT_EQ(nullptr, FindWindowByClassAndText(top, L"Deep", L"BUTTON", 0, 1)) << "one level does not reach it";
    EXPECT_EQ(button, FindWindowByClassAndText(top, L"me", L"button", 1, 1));
    EXPECT_EQ(button, FindWindowByClassAndText(button, L"me", L"button", 1, 0)) << "depth 0: this window only";

    ShowWindow(top, SW_SHOWNA);
    EXPECT_EQ(top, FindVisibleProcessWindow(top, GetCurrentProcessId()));
    EXPECT_EQ(nullptr, FindVisibleProcessWindow(top, GetCurrentProcessId() + 4));

    EXPECT_EQ(top, GetRootWindow(nested));
    EXPECT_EQ(top, GetRootWindow(top));
    EXPECT_EQ(top, GetOwnTopLevelWindow(nested));

    std::wstring texts = CollectChildTexts(top);
    EXPECT_NE(std::wstring::npos, texts.find(L"Hello World;"));
    EXPECT_NE(std::wstring::npos, texts.find(L"Press me;"));
    EXPECT_EQ(std::wstring::npos, texts.find(L"Deep one")) << "direct children only";
    EXPECT_EQ(std::wstring::npos, texts.find(L";;")) << "empty texts are left out";
    DestroyWindow(top);
}

TEST(TreeSearch, CollectChildTextsStaysInItsBuffer)
{
    HWND top = MakeTopWindow(L"many");
    std::wstring text(500, L'k');
    for (int i = 0; i < 6; ++i)
        MakeChild(top, L"STATIC", text.c_str(), 200 + i);
    std::wstring all = CollectChildTexts(top);
    EXPECT_LE(all.size(), 2047u);
    EXPECT_EQ(0u, all.find(text + L";"));
    DestroyWindow(top);
}

TEST(KillProcess, EndsTheProcessWithExitCodeZero)
{
    ChildProcess child;
    ASSERT_TRUE(child.Start(L"kill"));
    EXPECT_EQ(0u, child.Wait());
}
