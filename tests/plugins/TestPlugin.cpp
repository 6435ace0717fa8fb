// One test plug-in, built into many libraries: compile definitions choose its tag, ID, the
// answer of DLL_PluginBusProcess, the beta flag, the initial disable state, and (through each
// library's .def file) which exports exist. It records every call into the shared block of
// TestPluginRecord.h. A message may carry a value "TestAction" of the form
// "<tag or *>:<verb>:<argument>[:<argument 2>]" that makes it act during the call:
//   post:<CMD>[:<Arg>]      posts a bus command to the host window
//   postpump:<CMD>[:<Arg>]  posts it and pumps this thread's messages before returning
//   threadlog:<count>       starts a thread that writes count log lines (stopped by BeforeClose)
//   crash:                  raises an access violation (the host's crash guard writes a dump)
//   msgbox:<caption>        shows a message box with that caption and waits for its answer
//   memblock:<type>         sends a message of that type naming a second block of its own, and
//                           records "MemBlockFreed" with type 1 when the host freed that block
//   closeerror:<text>       posts that text as the last error when the plug-in is closed
// Built with TEST_PLUGIN_DIRECTORY it is also a contact search: a call event of the caller in
// its directory entry gets that contact as a result record (DirectoryLookup.h).
#include "bus/BusBlockNumber.h"
#include "bus/BusBuilders.h"
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"
#include "tests/plugins/TestPluginRecord.h"
#ifdef TEST_PLUGIN_DIRECTORY
#include "tests/plugins/DirectoryLookup.h"
#endif

#include <windows.h>

#include <cwchar>

#define TP_WIDE2(x) L##x
#define TP_WIDE(x) TP_WIDE2(x)
#define TP_STR2(x) #x
#define TP_STR(x) TP_WIDE(TP_STR2(x))

#ifndef TEST_PLUGIN_TAG
#define TEST_PLUGIN_TAG X
#endif
#ifndef TEST_PLUGIN_ID
#define TEST_PLUGIN_ID 0
#endif
#ifndef TEST_PLUGIN_ANSWER
#define TEST_PLUGIN_ANSWER 1
#endif
#ifndef TEST_PLUGIN_BETA
#define TEST_PLUGIN_BETA 0
#endif
#ifndef TEST_PLUGIN_DISABLED
#define TEST_PLUGIN_DISABLED 0
#endif

extern "C" const wchar_t* DLL_GetPluginName();

#ifdef TEST_PLUGIN_NEEDS_DEP
extern "C" __declspec(dllimport) int TestDepHelperValue();
#endif

namespace {

const wchar_t* const kTag = TP_STR(TEST_PLUGIN_TAG);
DWORD g_disabled = TEST_PLUGIN_DISABLED;

TestPluginRecord* g_record = nullptr;
HANDLE g_recordMap = nullptr;

HANDLE g_thread = nullptr;
wchar_t g_closeError[256] = L"";
HANDLE g_stop = nullptr;
LONG g_threadLines = 0;

// A bus text as "Key=Value;" pairs (values undecoded), so that the head of the record holds
// the values rather than the XML header; any other text is copied as it is.
void CompactText(wchar_t* dst, size_t capacity, const wchar_t* text)
{
    dst[0] = L'\0';
    if (!text)
        return;
    static const wchar_t kOpen[] = L"<value keyword=\"";
    const wchar_t* p = wcsstr(text, kOpen);
    if (!p) {
        CopyText(dst, capacity, text);
        return;
    }
    while (p) {
        p += wcslen(kOpen);
        const wchar_t* keyEnd = wcsstr(p, L"\">");
        if (!keyEnd)
            break;
        const wchar_t* value = keyEnd + 2;
        const wchar_t* valueEnd = wcsstr(value, L"</value>");
        if (!valueEnd)
            break;
        size_t length = wcslen(dst);
        CopyTextN(dst + length, capacity - length, p, static_cast<size_t>(keyEnd - p));
        AppendText(dst, capacity, L"=");
        length = wcslen(dst);
        CopyTextN(dst + length, capacity - length, value, static_cast<size_t>(valueEnd - value));
        AppendText(dst, capacity, L";");
        p = wcsstr(valueEnd, kOpen);
    }
}

void Record(const wchar_t* function, DWORD type, const wchar_t* text = nullptr)
{
    if (!g_record) {
        wchar_t name[128] = L"";
        if (!GetEnvironmentVariableW(kTestRecordVariable, name, _countof(name)))
            return;
        g_recordMap = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name);
        if (!g_recordMap)
            return;
        g_record = static_cast<TestPluginRecord*>(MapViewOfFile(g_recordMap, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (!g_record)
            return;
    }
    LONG at = InterlockedIncrement(&g_record->count) - 1;
    if (at >= LONG(_countof(g_record->calls)))
        return;
    TestPluginCall& c = g_record->calls[at];
    c.pluginId = TEST_PLUGIN_ID;
    CopyText(c.tag, _countof(c.tag), kTag);
    CopyText(c.function, _countof(c.function), function);
    c.type = type;
    c.thread = GetCurrentThreadId();
    CompactText(c.text, _countof(c.text), text);
}

BOOL CALLBACK FindHost(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && GetWindowLongPtrW(window, GWLP_USERDATA) == HOST_WINDOW_MAGIC) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND HostWindow()
{
    if (!g_hWndParent || !IsWindow(g_hWndParent)) {
        HWND found = nullptr;
        EnumWindows(FindHost, reinterpret_cast<LPARAM>(&found));
        g_hWndParent = found;
    }
    return g_hWndParent;
}

DWORD WINAPI LogThread(void* param)
{
    LONG count = static_cast<LONG>(reinterpret_cast<INT_PTR>(param));
    for (LONG i = 0; i < count; ++i) {
        if (WaitForSingleObject(g_stop, 0) == WAIT_OBJECT_0)
            break;
        LogLine(0, L"Func.LogThread.Info.line %d", static_cast<int>(i));
        InterlockedIncrement(&g_threadLines);
    }
    // Stay until told to stop, so that unloading without BeforeClose would pull the code away.
    WaitForSingleObject(g_stop, INFINITE);
    return 0;
}

void StopThread()
{
    if (!g_thread)
        return;
    SetEvent(g_stop);
    WaitForSingleObject(g_thread, 10000);
    CloseHandle(g_thread);
    CloseHandle(g_stop);
    g_thread = nullptr;
    g_stop = nullptr;
}

void PumpHere()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Act(const wchar_t* text)
{
    wchar_t action[512];
    CopyText(action, _countof(action), GetValueByKeyword(text, L"TestAction"));
    wchar_t* parts[4] = {};
    int n = 0;
    for (wchar_t* p = action; n < 4;) {
        parts[n++] = p;
        wchar_t* colon = wcschr(p, L':');
        if (!colon)
            break;
        *colon = L'\0';
        p = colon + 1;
    }
    if (n < 2 || (wcscmp(parts[0], L"*") != 0 && wcscmp(parts[0], kTag) != 0))
        return;
    const wchar_t* verb = parts[1];
    const wchar_t* arg = n > 2 ? parts[2] : L"";
    const wchar_t* arg2 = n > 3 ? parts[3] : nullptr;
    if (wcscmp(verb, L"post") == 0 || wcscmp(verb, L"postpump") == 0) {
        SendBusCommand(HostWindow(), arg, arg2);
        Record(L"Posted", 0, arg);
        if (wcscmp(verb, L"postpump") == 0)
            PumpHere();
        Record(L"ActionDone", 0, arg);
    } else if (wcscmp(verb, L"msgbox") == 0) {
        Record(L"MessageBox", 0, arg);
        MessageBoxW(nullptr, L"A test plug-in asks.", arg, MB_OK | MB_ICONINFORMATION);
        Record(L"ActionDone", 0, arg);
    } else if (wcscmp(verb, L"memblock") == 0) {
        HGLOBAL second = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 64);
        UINT type = static_cast<UINT>(_wtoi(arg));
        wchar_t message[1024];
        BusMsgBegin(message, _countof(message));
        BusMsgAppendUInt(message, _countof(message), L"Type", type);
        wchar_t number[24];
        FormatBusBlockNumber(number, _countof(number), second);
        BusMsgAppendText(message, _countof(message), L"MemBlock", number);
        BusMsgEnd(message, _countof(message));
        // Sent: the host has handled the message when the call returns.
        SendBusMessage(HostWindow(), TRUE, type, message);
        Record(L"MemBlockFreed", GlobalSize(second) == 0 ? 1 : 0, arg);
    } else if (wcscmp(verb, L"closeerror") == 0) {
        HostWindow();
        CopyText(g_closeError, _countof(g_closeError), arg);
    } else if (wcscmp(verb, L"crash") == 0) {
        Record(L"Crash", 0, arg);
        *static_cast<volatile int*>(nullptr) = 1;
    } else if (wcscmp(verb, L"threadlog") == 0 && !g_thread) {
        HostWindow();
        g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        g_thread = CreateThread(nullptr, 0, LogThread, reinterpret_cast<void*>(static_cast<INT_PTR>(_wtoi(arg))), 0, nullptr);
    }
}

// The settings page: a modeless child dialog with a label and one edit field. Like real
// plug-in pages it ends with EndDialog on IDOK, which only hides a modeless dialog; the host
// has to destroy it.
HINSTANCE g_instance = nullptr;
constexpr int kPageTextId = 100;
constexpr int kPageEditId = 101;

#pragma pack(push, 4)
struct PageTemplate {
    DLGTEMPLATE dialog;
    WORD menu, windowClass, title;
    struct Item {
        DLGITEMTEMPLATE item;
        WORD classMarker, classAtom, text, extra;
    } label;
    WORD pad1;
    Item edit;
};
#pragma pack(pop)

const PageTemplate g_pageTemplate = {
    {WS_CHILD | DS_CONTROL, WS_EX_CONTROLPARENT, 2, 0, 0, 200, 100},
    0, 0, 0,
    {{WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 5, 5, 180, 10, kPageTextId}, 0xFFFF, 0x0082, 0, 0},
    0,
    {{WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 5, 20, 120, 12, kPageEditId}, 0xFFFF,
     0x0081, 0, 0},
};

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            Record(L"PageOk", LOWORD(wParam));
            EndDialog(page, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_HELP:
        Record(L"PageHelp", 0);
        return TRUE;
    case WM_DESTROY:
        Record(L"PageDestroyed", 0);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

extern "C" {

DWORD WINAPI DLL_PluginBusProcess(DWORD type, wchar_t* text)
{
    Record(L"BusProcess", type, text);
    if (text)
        Act(text);
#ifdef TEST_PLUGIN_DIRECTORY
    if (type == QOR_BUSMSG_CALLEVENT && text && AttachDirectoryEntry(text))
        Record(L"Found", type, text);
#endif
    return TEST_PLUGIN_ANSWER;
}

DWORD DLL_GetPluginID()
{
    Record(L"GetPluginID", 0);
    return TEST_PLUGIN_ID;
}

void DLL_PluginAfterLoad()
{
    Record(L"AfterLoad", 0);
    HostWindow();
}

DWORD DLL_IsBetaVersion()
{
    Record(L"IsBeta", 0);
    return TEST_PLUGIN_BETA;
}

void DLL_PluginBeforeClose()
{
    Record(L"BeforeClose", 0);
    StopThread();
    if (g_closeError[0])
        SendBusLastError(HostWindow(), g_closeError);
}

const wchar_t* DLL_GetPluginName()
{
    static wchar_t name[64];
    FormatW(name, _countof(name), L"Test plug-in %s", kTag);
    return name;
}

DWORD DLL_GetDisableState()
{
    Record(L"GetDisableState", g_disabled);
    return g_disabled;
}

DWORD DLL_IsUnicode()
{
    Record(L"IsUnicode", 0);
#ifdef TEST_PLUGIN_NEEDS_DEP
    return TestDepHelperValue() == 4711;
#else
    return 1;
#endif
}

DWORD DLL_CanDisable()
{
    Record(L"CanDisable", 0);
    return 1;
}

void WINAPI DLL_SetDisableState(DWORD disabled)
{
    Record(L"SetDisableState", disabled);
    g_disabled = disabled;
}

HWND WINAPI DLL_ShowConfig(HWND parent)
{
    Record(L"ShowConfig", 0);
    if (!parent)
        return nullptr;
    HWND page = CreateDialogIndirectParamW(g_instance, reinterpret_cast<const DLGTEMPLATE*>(&g_pageTemplate), parent,
                                           PageProc, 0);
    if (page)
        SetDlgItemTextW(page, kPageTextId, DLL_GetPluginName());
    return page;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        wchar_t module[64];
        FormatW(module, _countof(module), L"PLUGINTEST%s", kTag);
        SetLogModuleName(module);
        SetBusSenderName(module);
        Record(L"Attach", 0);
    } else if (reason == DLL_PROCESS_DETACH) {
        // A thread still running here means the host unloaded without BeforeClose.
        Record(L"Detach", g_thread ? 1 : 0);
        if (g_record)
            UnmapViewOfFile(g_record);
        if (g_recordMap)
            CloseHandle(g_recordMap);
    }
    return TRUE;
}

}  // extern "C"
