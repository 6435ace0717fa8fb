#include "foundation/RegTool.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::GuardedBuffer;

namespace {

const wchar_t kBase[] = L"Software\\OrvixTest\\RegToolTest";

std::wstring TestKey(const wchar_t* leaf) { return std::wstring(kBase) + L"\\" + leaf; }

class RegTool : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kBase); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kBase); }
};

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

TEST_F(RegTool, ReadStringTable)
{
    CRegTool reg;
    ASSERT_EQ(ERROR_SUCCESS, reg.OpenKey(HKEY_CURRENT_USER, TestKey(L"Read").c_str()));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), reg.GetDisposition());
    const std::wstring long300(300, L'L');
    ASSERT_EQ(ERROR_SUCCESS, reg.WriteString(L"Empty", L""));
    ASSERT_EQ(ERROR_SUCCESS, reg.WriteString(L"Long300", long300.c_str()));
    ASSERT_EQ(ERROR_SUCCESS, reg.WriteString(L"Nine", L"123456789"));
    ASSERT_EQ(ERROR_SUCCESS, reg.WriteString(L"Twenty", L"abcdefghijklmnopqrst"));

    struct Case {
        const wchar_t* name;
        DWORD size;
        const wchar_t* defaultText;
        int result;
        std::wstring text;
    } cases[] = {
        {L"Missing", 32, L"dflt", REGREAD_MISSING, L"dflt"},
        {L"Missing", 32, nullptr, REGREAD_MISSING, L""},
        {L"Missing", 3, L"dflt", REGREAD_MISSING, L"df"},
        {L"Empty", 32, L"dflt", REGREAD_OK, L"dflt"},
        {L"Empty", 32, nullptr, REGREAD_OK, L""},
        // 602 bytes with the terminator in a buffer of 511 characters: read whole.
        {L"Long300", 511, L"dflt", REGREAD_OK, long300},
        {L"Nine", 10, L"dflt", REGREAD_OK, L"123456789"},
        // Too long: its start, marked as cut, never the default.
        {L"Twenty", 10, L"dflt", REGREAD_CUT, L"abcdefghi"},
        {L"Twenty", 20, L"dflt", REGREAD_CUT, L"abcdefghijklmnopqrs"},
        {L"Twenty", 21, L"dflt", REGREAD_OK, L"abcdefghijklmnopqrst"},
    };
    for (const Case& c : cases) {
        // The buffer ends at a guard page: a write past its size crashes.
        GuardedBuffer guard(c.size * sizeof(wchar_t));
        wchar_t* buffer = static_cast<wchar_t*>(guard.data());
        wmemset(buffer, L'#', c.size);
        EXPECT_EQ(c.result, reg.ReadString(c.name, buffer, c.size, c.defaultText)) << c.name << " " << c.size;
        EXPECT_EQ(c.text, std::wstring(buffer)) << c.name << " " << c.size;
    }
    reg.CloseKey();
    EXPECT_EQ(nullptr, reg.GetOpenKey());
}

TEST_F(RegTool, ValuesOfEveryKind)
{
    CRegTool reg;
    ASSERT_EQ(ERROR_SUCCESS, reg.OpenKey(HKEY_CURRENT_USER, TestKey(L"Kinds").c_str()));
    EXPECT_EQ(ERROR_SUCCESS, reg.WriteDword(L"D", 0xDEADBEEF));
    EXPECT_EQ(ERROR_SUCCESS, reg.WriteNumberString(L"N", -2147483647 - 1));
    const BYTE blob[5] = {1, 2, 0, 4, 5};
    EXPECT_EQ(ERROR_SUCCESS, reg.WriteBinary(L"B", blob, sizeof(blob)));
    // Reopening the same object closes the first handle and sees the same values.
    ASSERT_EQ(ERROR_SUCCESS, reg.OpenExistingKey(HKEY_CURRENT_USER, TestKey(L"Kinds").c_str()));

    DWORD d = 0;
    EXPECT_EQ(1, reg.ReadDword(L"D", &d, 7));
    EXPECT_EQ(0xDEADBEEFu, d);
    EXPECT_EQ(0, reg.ReadDword(L"Missing", &d, 7));
    EXPECT_EQ(7u, d);
    wchar_t text[16];
    EXPECT_EQ(REGREAD_OK, reg.ReadString(L"N", text, _countof(text), nullptr));
    EXPECT_STREQ(L"-2147483648", text);

    BYTE read[8] = {};
    EXPECT_EQ(ERROR_SUCCESS, reg.ReadBinary(L"B", read, sizeof(read)));
    EXPECT_EQ(0, memcmp(blob, read, sizeof(blob)));
    EXPECT_EQ(ERROR_MORE_DATA, reg.ReadBinary(L"B", read, 4));
    BYTE clamp[8] = {};
    EXPECT_EQ(ERROR_MORE_DATA, RegReadValue(reg.GetOpenKey(), L"B", clamp, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegReadValue(reg.GetOpenKey(), L"B", clamp, sizeof(clamp)));
    EXPECT_EQ(0, memcmp(blob, clamp, sizeof(blob)));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegReadValue(reg.GetOpenKey(), L"Missing", clamp, sizeof(clamp)));

    EXPECT_EQ(1, reg.ValueExists(L"B"));
    EXPECT_EQ(ERROR_SUCCESS, reg.DeleteValue(L"B"));
    EXPECT_EQ(0, reg.ValueExists(L"B"));
    EXPECT_NE(ERROR_SUCCESS, reg.DeleteValue(L"B"));

    EXPECT_EQ(ERROR_SUCCESS, reg.CreateSubKey(L"Second"));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), reg.GetDisposition());
    EXPECT_EQ(ERROR_SUCCESS, reg.CreateSubKey(L"Second"));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), reg.GetDisposition());
    EXPECT_STREQ(L"Second", reg.EnumSubKey(0));
    EXPECT_STREQ(L"", reg.EnumSubKey(1));
}

TEST_F(RegTool, OpenExistingKeyNeverCreates)
{
    CRegTool reg;
    EXPECT_NE(ERROR_SUCCESS, reg.OpenExistingKey(HKEY_CURRENT_USER, TestKey(L"Absent").c_str()));
    EXPECT_EQ(nullptr, reg.GetOpenKey());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TestKey(L"Absent")));
}

TEST_F(RegTool, DeleteKeyReportsTheDeleteItself)
{
    CRegTool reg;
    ASSERT_EQ(ERROR_SUCCESS, reg.OpenKey(HKEY_CURRENT_USER, TestKey(L"Parent\\Child").c_str()));
    reg.CloseKey();
    EXPECT_EQ(ERROR_SUCCESS, reg.DeleteKey(HKEY_CURRENT_USER, TestKey(L"Parent").c_str(), L"Child"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, TestKey(L"Parent\\Child")));
    // A second delete has nothing to delete: a failure, not success.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.DeleteKey(HKEY_CURRENT_USER, TestKey(L"Parent").c_str(), L"Child"));
}

TEST_F(RegTool, ViewFlags)
{
    CRegTool reg;
    EXPECT_EQ(0u, reg.GetViewFlags());
    reg.Use64BitView();
    EXPECT_EQ(static_cast<DWORD>(KEY_WOW64_64KEY), reg.GetViewFlags());
    reg.Use32BitView();
    EXPECT_EQ(static_cast<DWORD>(KEY_WOW64_32KEY), reg.GetViewFlags());
    reg.UseDefaultView();
    EXPECT_EQ(0u, reg.GetViewFlags());
}

TEST(RegToolTree, DeleteKeyTreeThreeLevelsIn32BitView)
{
    const std::wstring root = L"Software\\OrvixTest\\RegToolTree";
    const std::wstring longName(255, L'k');
    CRegTool reg;
    reg.Use32BitView();
    const wchar_t* leaves[] = {L"A\\B\\C", L"A\\B\\D", L"A\\E", L"F"};
    for (const wchar_t* leaf : leaves) {
        ASSERT_EQ(ERROR_SUCCESS, reg.OpenKey(HKEY_LOCAL_MACHINE, (root + L"\\Top\\" + leaf).c_str()));
        reg.WriteDword(L"V", 1);
    }
    // A 255-character name (the longest the registry allows) at the third level.
    ASSERT_EQ(ERROR_SUCCESS, reg.OpenKey(HKEY_LOCAL_MACHINE, (root + L"\\Top\\A\\B\\" + longName).c_str()));
    reg.CloseKey();
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, root + L"\\Top\\A\\B\\" + longName, KEY_WOW64_32KEY));

    HKEY parent;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, root.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &parent));
    EXPECT_EQ(ERROR_SUCCESS, reg.DeleteKeyTree(parent, L"Top"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, root + L"\\Top", KEY_WOW64_32KEY));
    EXPECT_NE(ERROR_SUCCESS, reg.DeleteKeyTree(parent, L"Top"));
    RegCloseKey(parent);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, root.c_str(), KEY_WOW64_32KEY, 0);
}

TEST(RunningState, SumOfTheThreeCounters)
{
    const wchar_t kKey[] = L"SOFTWARE\\ORVIX\\TEST";
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY, 0);
    EXPECT_EQ(0u, GetRunningState());

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                             nullptr, &key, nullptr));
    DWORD one = 1, two = 2;
    RegSetValueExW(key, L"RunningState", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4);
    RegSetValueExW(key, L"RunningState64", 0, REG_DWORD, reinterpret_cast<BYTE*>(&two), 4);
    EXPECT_EQ(3u, GetRunningState());

    SetRunningState(5);
    DWORD state32 = 0, size = 4;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"RunningState32", nullptr, nullptr, reinterpret_cast<BYTE*>(&state32), &size));
    EXPECT_EQ(5u, state32);
    EXPECT_EQ(12u, GetRunningState());
    RegCloseKey(key);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY, 0);
}

namespace {

class WindowPositions : public RegTool {
protected:
    void SetUp() override
    {
        RegTool::SetUp();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OrvixRegToolTestWindow";
        RegisterClassW(&wc);
    }
    HWND Make(const wchar_t* title, HWND parent, int x, int y, int w, int h)
    {
        DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_POPUP | WS_VISIBLE;
        return CreateWindowExW(0, L"OrvixRegToolTestWindow", title, style, x, y, w, h, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }
    static RECT Rect(HWND window)
    {
        RECT r;
        GetWindowRect(window, &r);
        return r;
    }
};

void ExpectRect(const RECT& expected, const RECT& actual)
{
    EXPECT_EQ(expected.left, actual.left);
    EXPECT_EQ(expected.top, actual.top);
    EXPECT_EQ(expected.right, actual.right);
    EXPECT_EQ(expected.bottom, actual.bottom);
}

}  // namespace

TEST_F(WindowPositions, SavedAndRestoredWithChildren)
{
    HWND main = Make(L"RegToolMain", nullptr, 40, 50, 300, 200);
    HWND child = Make(L"RegToolChild", main, 10, 20, 60, 30);
    ASSERT_TRUE(main && child);
    const RECT mainRect = Rect(main), childRect = Rect(child);

    CRegTool reg;
    reg.SaveWindowPositions(main, kBase, TRUE);
    DWORD left = 0;
    ASSERT_EQ(ERROR_SUCCESS, reg.OpenExistingKey(HKEY_CURRENT_USER, TestKey(L"Windows\\RegToolMain").c_str()));
    EXPECT_EQ(1, reg.ReadDword(L"WndLeft", &left, 0));
    EXPECT_EQ(static_cast<DWORD>(mainRect.left), left);
    reg.CloseKey();

    SetWindowPos(main, nullptr, 200, 210, 120, 90, SWP_NOZORDER);
    SetWindowPos(child, nullptr, 0, 0, 10, 10, SWP_NOZORDER);
    reg.RestoreWindowPositions(main, kBase, TRUE);
    ExpectRect(mainRect, Rect(main));
    // The child comes back to the same place on the screen, inside its restored parent.
    ExpectRect(childRect, Rect(child));
    POINT corner = {0, 0};
    MapWindowPoints(child, main, &corner, 1);
    EXPECT_EQ(10, corner.x);
    EXPECT_EQ(20, corner.y);
    DestroyWindow(main);
}

TEST_F(WindowPositions, NothingStoredLeavesTheWindow)
{
    HWND window = Make(L"RegToolFresh", nullptr, 70, 80, 150, 100);
    const RECT before = Rect(window);
    CRegTool reg;
    EXPECT_EQ(1, reg.RestoreWindowPosition(window, kBase));
    ExpectRect(before, Rect(window));
    // The key was created by the restore.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TestKey(L"Windows\\RegToolFresh")));
    DestroyWindow(window);
}

TEST_F(WindowPositions, WindowWithoutTextIsCentred)
{
    HWND window = Make(L"", nullptr, 0, 0, 200, 100);
    CRegTool reg;
    EXPECT_EQ(0, reg.SaveWindowPosition(window, kBase));
    EXPECT_EQ(0, reg.RestoreWindowPosition(window, kBase));
    reg.RestoreWindowPositions(window, kBase, FALSE);
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    if (desk.right - desk.left >= 2 * (desk.bottom - desk.top))
        desk.right = desk.left + (desk.right - desk.left) / 2;
    RECT r = Rect(window);
    EXPECT_EQ((desk.left + desk.right) / 2 - 100, r.left);
    EXPECT_EQ((desk.top + desk.bottom) / 2 - 50, r.top);
    EXPECT_EQ(200, r.right - r.left);
    DestroyWindow(window);
}
