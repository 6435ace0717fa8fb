// The comparison program for the host's start, end and rest: a hidden top-level window and a
// message loop, nothing else. WM_CLOSE ends it the ordinary way.
//
//   MinimalWindow.exe [list file]
// With a list file (UTF-16LE, one DLL path a line) it first loads each of those DLLs, as the
// host had loaded them: under Wine every loaded DLL costs private memory of its own, so this
// is the host's figure without the host's own work. Its window text then reads
// "loaded <n> of <m>".
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Loads every DLL named in the file; the counts go to loaded and named.
void LoadListed(const wchar_t* listFile, int* loaded, int* named)
{
    HANDLE file = CreateFileW(listFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    static wchar_t text[65536];
    DWORD read = 0;
    ReadFile(file, text, sizeof(text) - sizeof(wchar_t), &read, nullptr);
    CloseHandle(file);
    text[read / sizeof(wchar_t)] = L'\0';
    wchar_t* line = text;
    while (*line) {
        wchar_t* end = wcschr(line, L'\n');
        if (end)
            *end = L'\0';
        if (*line) {
            ++*named;
            *loaded += LoadLibraryW(line) != nullptr;
        }
        if (!end)
            break;
        line = end + 1;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    int loaded = 0, named = 0;
    std::wstring listFile = commandLine ? commandLine : L"";
    while (!listFile.empty() && (listFile.back() == L' ' || listFile.back() == L'"'))
        listFile.pop_back();
    while (!listFile.empty() && (listFile[0] == L' ' || listFile[0] == L'"'))
        listFile.erase(0, 1);
    if (!listFile.empty())
        LoadListed(listFile.c_str(), &loaded, &named);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = L"OrvixBenchMinimal";
    if (!RegisterClassW(&wc))
        return 1;
    std::wstring title = L"OrvixBenchMinimal";
    if (named)
        title = L"loaded " + std::to_wstring(loaded) + L" of " + std::to_wstring(named);
    if (!CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, instance,
                         nullptr))
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
