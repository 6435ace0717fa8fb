#include "foundation/MessagePump.h"

#include "foundation/Format.h"
#include "foundation/RegTool.h"

#include <cwchar>

void (WINAPI* g_pfnPumpSleep)(DWORD) = Sleep;

namespace {

void PumpRange(UINT first, UINT last)
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, first, last, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void SleepWith(void (*pump)(), DWORD milliseconds)
{
    for (DWORD round = 0; round < milliseconds / 100; ++round) {
        pump();
        g_pfnPumpSleep(100);
    }
}

void MouseButton(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    // No MOUSEEVENTF_MOVE: the button acts where the cursor is.
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &input, sizeof(input));
}

void ClickWith(int x, int y, BOOL restore, DWORD down, DWORD up)
{
    POINT saved = {};
    if (restore)
        GetCursorPos(&saved);
    SetCursorPos(x, y);
    MouseButton(down);
    MouseButton(up);
    if (restore)
        SetCursorPos(saved.x, saved.y);
}

HWND SendClickTo(int x, int y, UINT down, UINT up, WPARAM keys)
{
    POINT pt = {x, y};
    HWND window = WindowFromPoint(pt);
    if (!window)
        return nullptr;
    ScreenToClient(window, &pt);
    LPARAM at = MAKELPARAM(pt.x, pt.y);
    SendMessageW(window, down, keys, at);
    SendMessageW(window, up, keys, at);
    PumpMessages();
    return window;
}

}  // namespace

void PumpMessages()
{
    PumpRange(0, 0);
}

void PumpInputMessages()
{
    PumpRange(WM_COMMAND, WM_COMMAND);
    PumpRange(0x200, 0x20E);
    PumpRange(0x100, 0x109);
}

void SleepPumping(DWORD milliseconds)
{
    SleepWith(PumpMessages, milliseconds);
}

void SleepPumpingInput(DWORD milliseconds)
{
    SleepWith(PumpInputMessages, milliseconds);
}

void NudgeCursor()
{
    POINT pt;
    if (!GetCursorPos(&pt))
        return;
    SetCursorPos(pt.x + 1, pt.y + 1);
    SetCursorPos(pt.x, pt.y);
}

void SendVirtualKey(WORD virtualKey, int direction)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = direction < 0 ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof(input));
}

void TypeText(const wchar_t* text, DWORD pauseMs)
{
    if (!text)
        return;
    for (const wchar_t* p = text; *p; ++p) {
        // A character in the scan-code field reaches the target only as Unicode input.
        INPUT keys[2] = {};
        for (int i = 0; i < 2; ++i) {
            keys[i].type = INPUT_KEYBOARD;
            keys[i].ki.wScan = *p;
            keys[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
            keys[i].ki.dwExtraInfo = GetMessageExtraInfo();
        }
        SendInput(2, keys, sizeof(INPUT));
        if (pauseMs)
            Sleep(pauseMs);
    }
}

void ClickAt(int x, int y, BOOL restore)
{
    ClickWith(x, y, restore, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
}

void ClickAtClient(HWND window, int x, int y, BOOL restore)
{
    POINT pt = {x, y};
    ClientToScreen(window, &pt);
    ClickAt(pt.x, pt.y, restore);
}

void DoubleClickAt(int x, int y)
{
    SetCursorPos(x, y);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseButton(MOUSEEVENTF_LEFTUP);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseButton(MOUSEEVENTF_LEFTUP);
}

void MiddleClickAt(int x, int y, BOOL restore)
{
    ClickWith(x, y, restore, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP);
}

void RightClickAt(int x, int y, BOOL restore)
{
    ClickWith(x, y, restore, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
}

HWND PostClickAt(int x, int y)
{
    return SendClickTo(x, y, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON);
}

HWND PostRightClickAt(int x, int y)
{
    return SendClickTo(x, y, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON);
}

int GetOfficeBitness()
{
    CRegTool reg;
    reg.Use64BitView();
    wchar_t bitness[16] = L"";
    // Newest first: an uninstalled older version often leaves its keys behind.
    for (int version = 19; version >= 10 && !bitness[0]; --version) {
        wchar_t key[128];
        FormatW(key, _countof(key), L"SOFTWARE\\Microsoft\\Office\\%d.0\\Outlook", version);
        if (reg.OpenExistingKey(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS) {
            reg.ReadString(L"Bitness", bitness, _countof(bitness), L"");
            reg.CloseKey();
        }
    }
    for (int version = 19; version >= 10 && !bitness[0]; --version) {
        wchar_t key[128];
        FormatW(key, _countof(key), L"SOFTWARE\\Microsoft\\Office\\%d.0", version);
        if (reg.OpenExistingKey(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS) {
            CopyText(bitness, _countof(bitness), L"x86");
            reg.CloseKey();
        }
    }
    if (lstrcmpW(bitness, L"x86") == 0)
        return 1;
    if (lstrcmpW(bitness, L"x64") == 0)
        return 2;
    return 0;
}
