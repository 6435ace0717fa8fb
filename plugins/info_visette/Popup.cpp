#include "plugins/info_visette/Popup.h"

#include "bus/LogLine.h"
#include "foundation/DataFolder.h"
#include "foundation/FileTools.h"
#include "foundation/Format.h"
#include "foundation/PathTools.h"
#include "plugins/info_visette/HtmlContainer.h"
#include "plugins/info_visette/PopupPosition.h"
#include "plugins/info_visette/PopupTemplate.h"
#include "plugins/info_visette/VisetteState.h"

#include <cwchar>

namespace {

const wchar_t kPopupClass[] = L"QorHTMLPopup";

wchar_t g_szLastUniqueCallID[63] = L"";
wchar_t g_szInfo[1023] = L"";
wchar_t g_szPartnerNumber[31] = L"";
wchar_t g_szLastCompareKey[1024] = L"";
wchar_t g_szPage[kPageCapacity] = L"";
wchar_t g_szShownPage[kPageCapacity] = L"";

int g_nPopupX = 0;
int g_nPopupY = 0;
DWORD g_dwPopupHeight = 150;
BOOL g_bOleInitialized = FALSE;

HANDLE g_hInfoThread = nullptr;
HANDLE g_hStopEvent = nullptr;
// Set when a display time starts: the idle display thread sleeps on it instead of looking at
// the count every 10 ms, which cost a resting host about 0.4 % of a core.
HANDLE g_hCountEvent = nullptr;
volatile DWORD g_dwInitThID = 0;

LRESULT CALLBACK PopupWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        g_hPopup = window;
        int result = EmbedBrowserObject(window);
        if (result != 0)
            LogLine(0, L"Func.PopupWndProc.Error.EmbedBrowserObject %d", result);
        break;
    }
    case WM_DESTROY:
        UnEmbedBrowserObject();
        break;
    case WM_SIZE:
        ResizeBrowser(LOWORD(lParam), HIWORD(lParam));
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void CreateHTMLPopup()
{
    if (g_hPopup && IsWindow(g_hPopup)) {
        LogLine(3, L"Func.CreateHTMLPopup.Abort");
        return;
    }
    // The control is an apartment object: this thread must be a single-threaded apartment.
    HRESULT hr = OleInitialize(nullptr);
    g_bOleInitialized = SUCCEEDED(hr);
    if (!g_bOleInitialized)
        LogLine(0, L"Func.CreateHTMLPopup.Error.OleInitialize 0x%08X", static_cast<unsigned>(hr));
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = PopupWndProc;
    wc.hInstance = g_hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kPopupClass;
    RegisterClassExW(&wc);
    HWND popup = CreateWindowExW(WS_EX_TOPMOST, kPopupClass, L"", WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_DLGFRAME,
                                 0, 0, 10, 10, g_hWndParent && IsWindow(g_hWndParent) ? g_hWndParent : nullptr,
                                 nullptr, g_hInstance, nullptr);
    if (!popup) {
        LogLine(0, L"Func.CreateHTMLPopup.Error.CreateWindowEx %u", static_cast<unsigned>(GetLastError()));
        g_hPopup = nullptr;
        return;
    }
    g_hPopup = popup;
    ShowWindow(popup, SW_HIDE);
}

void CalculatePosition(DWORD popupHeight)
{
    RECT taskbarRect;
    const RECT* taskbar = nullptr;
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (tray && GetWindowRect(tray, &taskbarRect))
        taskbar = &taskbarRect;
    POINT p = CalculatePopupPosition(g_rcUsedScreen, taskbar, g_Settings.UsedPosition,
                                     static_cast<int>(g_dwPopupWidth), static_cast<int>(popupHeight));
    g_nPopupX = p.x;
    g_nPopupY = p.y;
}

// True when the card is on the screen (shown now, or unchanged and still shown).
bool ShowTeaser()
{
    const QorResultRecord* r = g_CallStruct.Results;
    wchar_t key[_countof(g_szLastCompareKey)];
    FormatW(key, _countof(key), L"Number:%s CallID:%d Call:%d Info0:%s Info1:%s Info2:%s", g_CallStruct.PartnerNumber,
            static_cast<int>(g_CallStruct.CallID), static_cast<int>(g_CallStruct.Call), r[0].IdentInfo,
            r[1].IdentInfo, r[2].IdentInfo);
    // Unchanged data needs nothing new, but only while the card is still on the screen.
    if (wcscmp(key, g_szLastCompareKey) == 0 && g_hPopup && IsWindowVisible(g_hPopup)) {
        LogLine(3, L"Func.ShowTeaser.Info.No changes");
        return true;
    }
    CopyText(g_szLastCompareKey, _countof(g_szLastCompareKey), key);
    g_MonitorPosition.UpdateMonitorRect();
    PrepareHtmlCode_2(g_szPage, _countof(g_szPage));
    if (!g_szPage[0]) {
        LogLine(0, L"Func.ShowTeaser.Error.No pagefile found (%s)", GetTemplatePath());
        g_szLastCompareKey[0] = L'\0';
        return false;
    }
    CopyText(g_szShownPage, _countof(g_szShownPage), g_szPage);
    CreateHTMLPopup();
    if (!g_hPopup)
        return false;
    RECT old = {0, 0, 0, 0};
    GetWindowRect(g_hPopup, &old);
    SetWindowPos(g_hPopup, nullptr, old.left, old.top, static_cast<int>(g_dwPopupWidth),
                 static_cast<int>(g_dwPopupHeight), SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    DisplayHTMLStr(g_szShownPage, &g_dwPopupHeight);
    CalculatePosition(g_dwPopupHeight);
    SetWindowPos(g_hPopup, HWND_TOPMOST, g_nPopupX, g_nPopupY, static_cast<int>(g_dwPopupWidth),
                 static_cast<int>(g_dwPopupHeight), SWP_SHOWWINDOW);
    LogLine(3, L"Func.ShowTeaser.Info.Shown at %d,%d size %u x %u", g_nPopupX, g_nPopupY,
            static_cast<unsigned>(g_dwPopupWidth), static_cast<unsigned>(g_dwPopupHeight));
    return true;
}

bool StopRequested(DWORD milliseconds)
{
    return !g_hStopEvent || WaitForSingleObject(g_hStopEvent, milliseconds) == WAIT_OBJECT_0 || !g_dwInitThID;
}

void CloseEventHandle(HANDLE* event)
{
    if (*event) {
        CloseHandle(*event);
        *event = nullptr;
    }
}

// Waits for a display time to start, the stop request, or a second at most (a count set
// without the event is still seen then); true on the stop request.
bool StopRequestedWhileIdle()
{
    if (!g_hStopEvent || !g_hCountEvent)
        return StopRequested(10);
    HANDLE events[] = {g_hStopEvent, g_hCountEvent};
    return WaitForMultipleObjects(2, events, FALSE, 1000) == WAIT_OBJECT_0 || !g_dwInitThID;
}

// Counts the display time down. It never touches the popup but to hide it without waiting
// for the window thread, which may at that moment be waiting for this thread to end.
DWORD WINAPI InfoLoopThread(void*)
{
    while (!StopRequested(0)) {
        while (g_dwRestLoopCount == 0)
            if (StopRequestedWhileIdle())
                goto leave;
        for (;;) {
            LONG count = g_dwRestLoopCount;
            if (count <= 0)
                break;
            InterlockedCompareExchange(&g_dwRestLoopCount, count - 1, count);
            if (StopRequested(1000))
                goto leave;
        }
        HWND popup = g_hPopup;
        if (popup)
            ShowWindowAsync(popup, SW_HIDE);
        g_bPopupClosed = 1;
        LogLine(3, L"Func.InfoLoopThread.Info.Popup hidden");
        if (StopRequested(25))
            break;
    }
leave:
    return 0;
}

}  // namespace

const wchar_t* GetTemplatePath()
{
    thread_local wchar_t t_path[520];
    FormatW(t_path, _countof(t_path), L"%sLayout\\UsedStyle.html", GetModuleFolderOf(g_hInstance));
    return t_path;
}

void PrepareHtmlCode_2(wchar_t* page, size_t capacity)
{
    g_dwPopupHeight = 150;
    TemplateLoad load = LoadPageTemplate(GetTemplatePath(), page, capacity);
    if (load != TemplateLoad::Ok) {
        LogLine(0, L"Func.PrepareHtmlCode_2.Error.Template %s: %s", GetTemplatePath(),
                load == TemplateLoad::Missing    ? L"missing"
                : load == TemplateLoad::Empty    ? L"empty"
                : load == TemplateLoad::TooLarge ? L"too large"
                                                 : L"unreadable");
        return;
    }
    wchar_t headline[256];
    wchar_t unknown[256];
    CopyText(headline, _countof(headline), g_Resource.GetString(10009, L"Incoming call"));
    CopyText(unknown, _countof(unknown), g_Resource.GetString(10022, L"Unknown number"));
    wchar_t layout[520];
    FormatW(layout, _countof(layout), L"%sLayout\\", GetModuleFolderOf(g_hInstance));
    PageTexts texts = {headline, unknown, layout, g_dwScalePercent};
    FillPage(page, capacity, g_CallStruct, g_szPartnerNumber, texts);
    if (g_dwGlobalDebugLevel >= 5) {
        wchar_t path[520];
        FormatW(path, _countof(path), L"%s\\Popup.html", GetDataFolder(L"LOG"));
        WriteUtf8File(path, page, FALSE, TRUE);
    }
}

void DoInfo(const wchar_t* xml)
{
    g_MonitorPosition.UpdateMonitorRect();
    CQorCallStruct incoming(xml);
    if (lstrcmpiW(incoming.Event, L"OnReceived") != 0) {
        LogLine(3, L"Func.DoInfo.Abort");
        return;
    }
    g_CallStruct = incoming;
    CopyText(g_szInfo, _countof(g_szInfo), g_CallStruct.Results[0].IdentInfo);
    if (wcscmp(g_CallStruct.UniqueCallID, g_szLastUniqueCallID) != 0) {
        LogLine(3, L"Func.DoInfo.Info.New call");
        g_bPopupClosed = 0;
        CopyText(g_szLastUniqueCallID, _countof(g_szLastUniqueCallID), g_CallStruct.UniqueCallID);
    } else if (g_bPopupClosed) {
        LogLine(3, L"Func.DoInfo.Info.Popup of this call closed");
        return;
    }
    CopyText(g_szPartnerNumber, _countof(g_szPartnerNumber), g_CallStruct.PartnerNumber);
    EnterCriticalSection(&g_csPopup);
    LONG count = static_cast<LONG>(g_Settings.Duration);
    if (!g_Settings.UseDuration)
        count += 0xFFFFFF;
    // The time counts from when the card is on the screen: creating the browser can take
    // longer than the whole display time.
    g_dwRestLoopCount = ShowTeaser() ? count : 0;
    if (g_dwRestLoopCount && g_hCountEvent)
        SetEvent(g_hCountEvent);
    LeaveCriticalSection(&g_csPopup);
}

void CloseHTMLPopup()
{
    if (g_hPopup) {
        HWND popup = g_hPopup;
        g_hPopup = nullptr;
        if (IsWindow(popup))
            DestroyWindow(popup);
        // The window is gone; a page shown again later must be built again.
        g_szLastCompareKey[0] = L'\0';
        Sleep(250);
    }
    UnregisterClassW(kPopupClass, g_hInstance);
    if (g_bOleInitialized) {
        OleUninitialize();
        g_bOleInitialized = FALSE;
    }
}

void ResetPopupState()
{
    g_szLastUniqueCallID[0] = L'\0';
    g_szLastCompareKey[0] = L'\0';
    g_dwRestLoopCount = 0;
    g_bPopupClosed = 0;
}

BOOL StartInfoLoopThread()
{
    if (g_hInfoThread)
        return TRUE;
    g_hStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_hStopEvent)
        return FALSE;
    g_hCountEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    DWORD id = 0;
    // Default security: the thread handle is this module's alone.
    g_hInfoThread = CreateThread(nullptr, 65536, InfoLoopThread, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, &id);
    if (!g_hInfoThread) {
        LogLine(0, L"Func.StartInfoLoopThread.Error.CreateThread %u", static_cast<unsigned>(GetLastError()));
        CloseHandle(g_hStopEvent);
        g_hStopEvent = nullptr;
        CloseEventHandle(&g_hCountEvent);
        return FALSE;
    }
    g_dwInitThID = id;
    return TRUE;
}

void StopInfoLoopThread()
{
    if (!g_hInfoThread)
        return;
    g_dwInitThID = 0;
    SetEvent(g_hStopEvent);
    if (WaitForSingleObject(g_hInfoThread, 5000) != WAIT_OBJECT_0) {
        // Last resort: the thread takes no lock, so ending it cannot leave one held.
        LogLine(0, L"Func.StopInfoLoopThread.Error.Thread did not end; terminated");
        TerminateThread(g_hInfoThread, 1);
        WaitForSingleObject(g_hInfoThread, 1000);
    }
    CloseHandle(g_hInfoThread);
    CloseHandle(g_hStopEvent);
    g_hInfoThread = nullptr;
    g_hStopEvent = nullptr;
    CloseEventHandle(&g_hCountEvent);
}

BOOL IsInfoLoopThreadRunning()
{
    return g_hInfoThread && WaitForSingleObject(g_hInfoThread, 0) == WAIT_TIMEOUT;
}

void AbandonInfoLoopThread()
{
    if (!g_hInfoThread)
        return;
    g_dwInitThID = 0;
    TerminateThread(g_hInfoThread, 1);
    CloseHandle(g_hInfoThread);
    CloseHandle(g_hStopEvent);
    g_hInfoThread = nullptr;
    g_hStopEvent = nullptr;
    CloseEventHandle(&g_hCountEvent);
}
