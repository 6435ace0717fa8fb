// A small outside program that talks to a running host as any program of the desktop can:
//   BusSender wait <seconds>             waits until the host window exists (exit 0) or not (1)
//   BusSender send <type> [Key=Value]... puts a bus text on the host window by WM_SETTEXT
//   BusSender traymenu                   opens the tray menu as a right click on the icon does
//   BusSender closemenu                  closes an open menu with the Escape key
//   BusSender rect <window class>        prints "x y width height" of the host process's
//                                        visible top-level window of that class (exit 1: none)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

HWND HostWindow()
{
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"CorvallExpress", nullptr)) != nullptr)
        if (GetWindowLongPtrW(window, GWLP_USERDATA) == 0x4578AD11)
            return window;
    return nullptr;
}

std::wstring Escape(const wchar_t* text)
{
    std::wstring out;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'&')
            out += L"&amp;";
        else if (*p == L'<')
            out += L"&lt;";
        else if (*p == L'>')
            out += L"&gt;";
        else
            out += *p;
    }
    return out;
}

int Send(HWND host, int argc, wchar_t** argv)
{
    std::wstring text = L"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<data>\r\n";
    text += L" <value keyword=\"Type\">" + std::wstring(argv[2]) + L"</value>\r\n";
    for (int i = 3; i < argc; ++i) {
        const wchar_t* eq = wcschr(argv[i], L'=');
        if (!eq)
            continue;
        text += L" <value keyword=\"" + std::wstring(argv[i], eq - argv[i]) + L"\">" + Escape(eq + 1) + L"</value>\r\n";
    }
    text += L" <value keyword=\"Sender\">BUSSENDER</value>\r\n</data>\r\n";
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(host, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 10000,
                             &result)) {
        fwprintf(stderr, L"BusSender: the host did not take the text\n");
        return 1;
    }
    return 0;
}

// The first visible top-level window of that class that belongs to the host's process.
int PrintRect(HWND host, const wchar_t* windowClass)
{
    DWORD hostProcess = 0;
    GetWindowThreadProcessId(host, &hostProcess);
    for (HWND w = FindWindowExW(nullptr, nullptr, windowClass, nullptr); w;
         w = FindWindowExW(nullptr, w, windowClass, nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        RECT r;
        if (process != hostProcess || !IsWindowVisible(w) || !GetWindowRect(w, &r))
            continue;
        wprintf(L"%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: BusSender wait <seconds> | send <type> [Key=Value]... | traymenu | closemenu | "
                         L"rect <window class>\n");
        return 2;
    }
    std::wstring command = argv[1];
    if (command == L"wait") {
        int seconds = argc > 2 ? _wtoi(argv[2]) : 30;
        for (int i = 0; i < seconds * 10; ++i) {
            if (HostWindow())
                return 0;
            Sleep(100);
        }
        return 1;
    }
    HWND host = HostWindow();
    if (!host) {
        fwprintf(stderr, L"BusSender: no host window\n");
        return 1;
    }
    if (command == L"send" && argc > 2)
        return Send(host, argc, argv);
    if (command == L"traymenu") {
        // The icon's callback message: icon id 2311, the mouse message in LPARAM.
        PostMessageW(host, 0x469, 2311, WM_RBUTTONUP);
        return 0;
    }
    if (command == L"closemenu") {
        HWND menu = FindWindowW(L"#32768", nullptr);
        PostMessageW(menu ? menu : host, WM_KEYDOWN, VK_ESCAPE, 0);
        return 0;
    }
    if (command == L"rect" && argc > 2)
        return PrintRect(host, argv[2]);
    fwprintf(stderr, L"BusSender: unknown command\n");
    return 2;
}
