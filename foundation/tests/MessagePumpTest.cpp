#include "foundation/MessagePump.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<DWORD> g_sleeps;
void WINAPI CountingSleep(DWORD ms)
{
    g_sleeps.push_back(ms);
}

std::vector<UINT> g_seen;
std::vector<LPARAM> g_points;

LRESULT CALLBACK SeenProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_COMMAND || msg == WM_USER + 5 || (msg >= 0x100 && msg <= 0x109) || (msg >= 0x200 && msg <= 0x20E)) {
        g_seen.push_back(msg);
        if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP || msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP)
            g_points.push_back(lp);
    }
    return DefWindowProcW(w, msg, wp, lp);
}

const wchar_t* ClassName()
{
    static std::wstring name = L"OrvixPumpTest" + std::to_wstring(GetCurrentProcessId());
    return name.c_str();
}

HWND MakeWindow(bool visible)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = SeenProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = ClassName();
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(WS_EX_TOPMOST, ClassName(), L"pump", WS_POPUP | (visible ? WS_VISIBLE : 0), 100, 100, 200,
                             200, nullptr, nullptr, wc.hInstance, nullptr);
    if (visible) {
        SetForegroundWindow(w);
        UpdateWindow(w);
        testing_support::PumpFor(100);
    }
    return w;
}

std::vector<UINT> Only(const std::vector<UINT>& seen, std::vector<UINT> keep)
{
    std::vector<UINT> out;
    for (UINT m : seen)
        for (UINT k : keep)
            if (m == k)
                out.push_back(m);
    return out;
}

}  // namespace

TEST(MessagePump, SleepPumpingRounds)
{
    HWND w = MakeWindow(false);
    g_pfnPumpSleep = CountingSleep;
    struct Case {
        DWORD ms;
        size_t rounds;
    } cases[] = {{250, 2}, {99, 0}, {100, 1}, {0, 0}, {1050, 10}};
    for (const Case& c : cases) {
        g_sleeps.clear();
        g_seen.clear();
        PostMessageW(w, WM_USER + 5, 0, 0);
        SleepPumping(c.ms);
        EXPECT_EQ(std::vector<DWORD>(c.rounds, 100), g_sleeps) << c.ms;
        EXPECT_EQ(c.rounds ? 1u : 0u, g_seen.size()) << c.ms << ": pumped only when a round ran";
        testing_support::PumpFor(5);
    }
    g_sleeps.clear();
    SleepPumpingInput(250);
    EXPECT_EQ(2u, g_sleeps.size());
    g_pfnPumpSleep = Sleep;
    DestroyWindow(w);
}

TEST(MessagePump, InputPumpTakesCommandsThenMouseThenKeysAndLeavesTheRest)
{
    HWND w = MakeWindow(false);
    g_seen.clear();
    PostMessageW(w, WM_KEYDOWN, 'A', 0);
    PostMessageW(w, WM_USER + 5, 0, 0);
    PostMessageW(w, WM_MOUSEMOVE, 0, 0);
    PostMessageW(w, WM_COMMAND, 1, 0);
    PumpInputMessages();
    EXPECT_EQ((std::vector<UINT>{WM_COMMAND, WM_MOUSEMOVE, WM_KEYDOWN}), Only(g_seen, {WM_COMMAND, WM_MOUSEMOVE, WM_KEYDOWN, WM_USER + 5}));
    g_seen.clear();
    PumpMessages();
    EXPECT_EQ((std::vector<UINT>{WM_USER + 5}), Only(g_seen, {WM_USER + 5}));
    DestroyWindow(w);
}

TEST(MessagePump, ClicksReachTheWindowUnderTheCursor)
{
    HWND w = MakeWindow(true);
    POINT before = {};
    SetCursorPos(5, 5);
    GetCursorPos(&before);
    g_seen.clear();
    g_points.clear();
    ClickAt(150, 160, TRUE);
    testing_support::PumpFor(200);
    EXPECT_EQ((std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}), Only(g_seen, {WM_LBUTTONDOWN, WM_LBUTTONUP}));
    ASSERT_FALSE(g_points.empty());
    EXPECT_EQ(MAKELPARAM(50, 60), g_points[0]);
    POINT after = {};
    GetCursorPos(&after);
    EXPECT_EQ(before.x, after.x);
    EXPECT_EQ(before.y, after.y);

    g_seen.clear();
    g_points.clear();
    ClickAtClient(w, 20, 30, FALSE);
    testing_support::PumpFor(200);
    ASSERT_EQ(2u, g_points.size());
    EXPECT_EQ(MAKELPARAM(20, 30), g_points[0]);

    g_seen.clear();
    g_points.clear();
    EXPECT_EQ(w, PostRightClickAt(110, 120));
    EXPECT_EQ((std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP}), Only(g_seen, {WM_RBUTTONDOWN, WM_RBUTTONUP}));
    EXPECT_EQ(MAKELPARAM(10, 20), g_points[0]);
    DestroyWindow(w);
}

TEST(MessagePump, TypeTextTypesUnicodeCharacters)
{
    HWND frame = MakeWindow(true);
    HWND edit = CreateWindowW(L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 190, 30, frame, nullptr, nullptr, nullptr);
    SetFocus(edit);
    testing_support::PumpFor(50);
    TypeText(L"Hé\u20ac1", 0);
    testing_support::PumpFor(200);
    wchar_t text[64] = L"";
    GetWindowTextW(edit, text, 64);
    EXPECT_STREQ(L"Hé\u20ac1", text);
    SendVirtualKey(VK_BACK, 1);
    SendVirtualKey(VK_BACK, -1);
    testing_support::PumpFor(200);
    GetWindowTextW(edit, text, 64);
    EXPECT_STREQ(L"Hé\u20ac", text);
    DestroyWindow(frame);
}

TEST(OfficeBitness, RegistryTable)
{
    const wchar_t* base = L"SOFTWARE\\Microsoft\\Office\\";
    for (int v = 10; v <= 19; ++v) {
        HKEY k;
        std::wstring path = base + std::to_wstring(v) + L".0";
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &k) == ERROR_SUCCESS) {
            RegCloseKey(k);
            GTEST_SKIP() << "this prefix has Office keys of its own";
        }
    }
    struct Key {
        int version;
        const wchar_t* bitness;  // null: the version key alone; "": Outlook without Bitness
    };
    struct Case {
        std::vector<Key> keys;
        int expected;
    } cases[] = {
        {{}, 0},
        {{{16, L"x64"}}, 2},
        {{{16, L"x86"}}, 1},
        {{{16, nullptr}}, 1},
        {{{14, L"x86"}, {16, L"x64"}}, 2},  // a leftover older version does not win
        {{{16, L"arm"}}, 0},
        {{{15, L""}, {12, nullptr}}, 1},
    };
    auto removeAll = [&] {
        for (int v = 10; v <= 19; ++v) {
            std::wstring path = base + std::to_wstring(v) + L".0";
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (path + L"\\Outlook").c_str(), KEY_WOW64_64KEY, 0);
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);
        }
    };
    for (const Case& c : cases) {
        removeAll();
        for (const Key& key : c.keys) {
            std::wstring path = base + std::to_wstring(key.version) + L".0";
            if (key.bitness)
                path += L"\\Outlook";
            HKEY k;
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                                     KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &k, nullptr));
            if (key.bitness && key.bitness[0])
                RegSetValueExW(k, L"Bitness", 0, REG_SZ, reinterpret_cast<const BYTE*>(key.bitness),
                               static_cast<DWORD>((wcslen(key.bitness) + 1) * 2));
            RegCloseKey(k);
        }
        EXPECT_EQ(c.expected, GetOfficeBitness()) << c.keys.size();
    }
    removeAll();
}
