// The comparison program for the host's start and end: a hidden top-level window and a
// message loop, nothing else. WM_CLOSE ends it the ordinary way.
#include <windows.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = L"OrvixBenchMinimal";
    if (!RegisterClassW(&wc))
        return 1;
    if (!CreateWindowExW(0, wc.lpszClassName, L"OrvixBenchMinimal", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                         nullptr, instance, nullptr))
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
