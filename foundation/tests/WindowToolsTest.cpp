#include "foundation/WindowTools.h"

#include <gtest/gtest.h>

#include <string>

namespace {

HWND MakeWindow(HWND parent, int x, int y, int cx, int cy, DWORD style = WS_POPUP)
{
    return CreateWindowExW(0, L"STATIC", L"", style, x, y, cx, cy, parent, nullptr, nullptr, nullptr);
}

RECT Rect(LONG l, LONG t, LONG r, LONG b) { return RECT{l, t, r, b}; }

}  // namespace

TEST(Placing, CenteredPositionTable)
{
    struct Case {
        RECT reference;
        bool halveWide;
        POINT expected;
        const char* what;
    } cases[] = {
        {Rect(0, 0, 3840, 1080), true, {960 - 100, 540 - 50}, "two monitors side by side: the left one"},
        {Rect(0, 0, 2560, 1440), true, {1280 - 100, 720 - 50}, "wide but under twice the height: whole width"},
        {Rect(0, 0, 2000, 1000), true, {500 - 100, 500 - 50}, "exactly twice as wide counts as two"},
        {Rect(0, 0, 3840, 1080), false, {1920 - 100, 540 - 50}, "a parent is never halved"},
        {Rect(100, 0, 1000, 0), true, {550 - 100, 0 - 50}, "height 0: no halving"},
        {Rect(-1920, 0, 0, 1080), true, {-960 - 100, 540 - 50}, "negative coordinates"},
    };
    RECT window = Rect(0, 0, 201, 101);  // odd sizes: half by integer division
    for (const Case& c : cases) {
        POINT p = GetCenteredPosition(c.reference, window, c.halveWide);
        EXPECT_EQ(c.expected.x, p.x) << c.what;
        EXPECT_EQ(c.expected.y, p.y) << c.what;
    }
}

TEST(Placing, CenterWindowAndPlaceNearParentOnARealParent)
{
    HWND parent = MakeWindow(nullptr, 100, 200, 400, 300);
    HWND popup = MakeWindow(parent, 0, 0, 100, 50);  // owned popup: GetParent gives the owner
    ASSERT_TRUE(parent && popup);
    CenterWindow(popup);
    RECT r;
    GetWindowRect(popup, &r);
    EXPECT_EQ(300 - 50, r.left);
    EXPECT_EQ(350 - 25, r.top);
    EXPECT_EQ(100, r.right - r.left) << "size kept";
    PlaceNearParent(popup);
    GetWindowRect(popup, &r);
    EXPECT_EQ(110, r.left);
    EXPECT_EQ(230, r.top);
    DestroyWindow(parent);
}

TEST(Placing, NormaliseRectTable)
{
    struct Case {
        RECT in;
        RECT out;
        const char* what;
    } cases[] = {
        {Rect(10, 20, 300, 200), Rect(10, 20, 300, 200), "a real rectangle stays"},
        {Rect(0, 0, 0, 0), Rect(0, 0, 600, 400), "empty"},
        {Rect(300, 20, 10, 200), Rect(0, 0, 600, 400), "inverted horizontally"},
        {Rect(10, 200, 300, 20), Rect(0, 0, 600, 400), "inverted vertically"},
        {Rect(10, 20, 10, 200), Rect(0, 0, 600, 400), "no width"},
        {Rect(-1800, 100, -1200, 500), Rect(-1800, 100, -1200, 500), "on a monitor left of the primary one"},
        {Rect(100, -900, 700, -500), Rect(100, -900, 700, -500), "on a monitor above the primary one"},
    };
    for (const Case& c : cases) {
        RECT r = c.in;
        NormaliseRect(&r);
        EXPECT_TRUE(EqualRect(&r, &c.out)) << c.what << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
    NormaliseRect(nullptr);
}

TEST(Styles, BitsAndUserDataFlag)
{
    HWND w = MakeWindow(nullptr, 0, 0, 10, 10);
    EXPECT_EQ(0, HasTabStop(w));
    AddWindowStyle(w, WS_TABSTOP);
    EXPECT_EQ(1, HasTabStop(w));
    RemoveWindowStyle(w, WS_TABSTOP);
    EXPECT_EQ(0, HasTabStop(w));
    AddWindowExStyle(w, WS_EX_TOOLWINDOW);
    EXPECT_TRUE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    RemoveWindowExStyle(w, WS_EX_TOOLWINDOW);
    EXPECT_FALSE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

    SetWindowLongW(w, GWLP_USERDATA, 0x100);
    SetUserDataFlag(w, 1);
    EXPECT_EQ(1, GetUserDataFlag(w));
    EXPECT_EQ(0x101, GetWindowLongW(w, GWLP_USERDATA)) << "the other bits stay";
    SetUserDataFlag(w, 0);
    EXPECT_EQ(0, GetUserDataFlag(w));
    EXPECT_EQ(0x100, GetWindowLongW(w, GWLP_USERDATA));
    // User data is pointer-sized: a pointer kept there survives the flag whole.
    const LONG_PTR pointer = sizeof(LONG_PTR) == 8 ? static_cast<LONG_PTR>(0x00007FF612345670ll) : 0x12345670;
    SetWindowLongPtrW(w, GWLP_USERDATA, pointer);
    SetUserDataFlag(w, 1);
    EXPECT_EQ(pointer | 1, GetWindowLongPtrW(w, GWLP_USERDATA));
    SetUserDataFlag(w, 0);
    EXPECT_EQ(pointer, GetWindowLongPtrW(w, GWLP_USERDATA));
    DestroyWindow(w);
}

TEST(Styles, ScreenRectToClient)
{
    HWND w = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 300, 400, 100, 100, nullptr, nullptr, nullptr, nullptr);
    RECT r = Rect(310, 420, 350, 450);
    ScreenRectToClient(w, &r);
    EXPECT_TRUE(EqualRect(&r, &(const RECT&)Rect(10, 20, 50, 50)));
    DestroyWindow(w);
}

TEST(EditLines, SelectEditLine)
{
    HWND edit = CreateWindowExW(0, L"EDIT", L"first\r\nsecond line\r\n\r\nlast", WS_POPUP | ES_MULTILINE, 0, 0, 200,
                                200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(edit);
    struct Case {
        int line;
        DWORD start, end;
    } cases[] = {{1, 0, 5}, {0, 0, 5}, {2, 7, 18}, {4, 22, 26}};
    for (const Case& c : cases) {
        SendMessageW(edit, EM_SETSEL, 0, 0);
        SelectEditLine(edit, c.line);
        DWORD s = 0, e = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
        EXPECT_EQ(c.start, s) << "line " << c.line;
        EXPECT_EQ(c.end, e) << "line " << c.line;
    }
    SendMessageW(edit, EM_SETSEL, 1, 2);
    SelectEditLine(edit, 3);  // an empty line: the selection stays
    SelectEditLine(edit, 40);  // past the end: EM_LINEINDEX gives -1
    DWORD s = 0, e = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    EXPECT_EQ(1u, s);
    EXPECT_EQ(2u, e);
    DestroyWindow(edit);
}

namespace {
// The icons a test window answers WM_GETICON with, by kind (ICON_SMALL 0, ICON_BIG 1,
// ICON_SMALL2 2); null for a kind it has none of.
HICON g_answers[3];
LRESULT CALLBACK AnswerIcons(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_GETICON)
        return wp < 3 ? reinterpret_cast<LRESULT>(g_answers[wp]) : 0;
    return DefWindowProcW(w, msg, wp, lp);
}
}  // namespace

TEST(Icons, WindowIconThenClassIcon)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = AnswerIcons;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(nullptr, IDI_WARNING);
    wc.lpszClassName = L"FoundationWindowsTestIcon";
    ASSERT_TRUE(RegisterClassW(&wc));
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr);
    ASSERT_TRUE(w);
    const HICON small = LoadIconW(nullptr, IDI_INFORMATION), small2 = LoadIconW(nullptr, IDI_QUESTION),
                big = LoadIconW(nullptr, IDI_ERROR);
    ASSERT_TRUE(small && small2 && big && small != small2 && small2 != big && small != big);
    struct Case {
        HICON small, big, small2;
        HICON expected;
        const char* why;
    } cases[] = {
        {small, big, small2, small, "the small icon first"},
        {nullptr, big, small2, small2, "then the system's small one"},
        {nullptr, big, nullptr, big, "then the big one"},
        {nullptr, nullptr, nullptr, wc.hIcon, "no answer: the class icon"},
    };
    for (const Case& c : cases) {
        g_answers[ICON_SMALL] = c.small;
        g_answers[ICON_BIG] = c.big;
        g_answers[ICON_SMALL2] = c.small2;
        EXPECT_EQ(c.expected, GetWindowIcon(w, instance)) << c.why;
    }
    EXPECT_EQ(nullptr, GetWindowIcon(nullptr, instance));
    DestroyWindow(w);
    UnregisterClassW(wc.lpszClassName, instance);
}

namespace {
int g_cancels = 0;
LRESULT CALLBACK CountCancel(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL)
        ++g_cancels;
    return DefWindowProcW(w, msg, wp, lp);
}
}  // namespace

TEST(Topmost, CancelOwnTopmostWindows)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CountCancel;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FoundationWindowsTestCancel";
    RegisterClassW(&wc);
    auto make = [&](DWORD ex, bool visible) {
        return CreateWindowExW(ex, wc.lpszClassName, L"", WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, 10, 10,
                               nullptr, nullptr, wc.hInstance, nullptr);
    };
    HWND topmost = make(WS_EX_TOPMOST, true);
    HWND hiddenTopmost = make(WS_EX_TOPMOST, false);
    HWND normal = make(0, true);
    g_cancels = 0;
    CancelOwnTopmostWindows();
    EXPECT_EQ(1, g_cancels) << "only the visible top-most one";
    DestroyWindow(topmost);
    DestroyWindow(hiddenTopmost);
    DestroyWindow(normal);
}

TEST(Fonts, FacesWeightsAndUnderline)
{
    struct Case {
        HFONT (*make)(int);
        const wchar_t* face;
        LONG weight;
        BYTE underline;
    } cases[] = {
        {CreateCourierFont, L"Courier new", 400, 0},
        {CreateNormalFont, L"", 400, 0},
        {CreateBoldFont, L"", 600, 0},
        {CreateUnderlineFont, L"", 400, 1},
    };
    for (const Case& c : cases) {
        HFONT font = c.make(-13);
        ASSERT_TRUE(font);
        LOGFONTW lf = {};
        ASSERT_EQ(static_cast<int>(sizeof(lf)), GetObjectW(font, sizeof(lf), &lf));
        EXPECT_EQ(-13, lf.lfHeight);
        EXPECT_STREQ(c.face, lf.lfFaceName);
        EXPECT_EQ(c.weight, lf.lfWeight);
        EXPECT_EQ(c.underline, lf.lfUnderline);
        DeleteObject(font);
    }
}

TEST(Cursor, GlideReachesTheTarget)
{
    MoveCursorGlide(100, 120, 5, 0);  // first call: at once
    POINT p;
    GetCursorPos(&p);
    EXPECT_EQ(100, p.x);
    EXPECT_EQ(120, p.y);
    MoveCursorGlide(200, 60, 4, 1);
    GetCursorPos(&p);
    EXPECT_EQ(200, p.x);
    EXPECT_EQ(60, p.y);
    SetCursorPos(5, 5);
    MoveCursorGlide(201, 61, 4, 0);  // within a pixel of the last target: ignored
    GetCursorPos(&p);
    EXPECT_EQ(5, p.x);
}
