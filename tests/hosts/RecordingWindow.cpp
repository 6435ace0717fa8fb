#include "tests/hosts/RecordingWindow.h"

#include "bus/BusBlockNumber.h"
#include "bus/BusMessage.h"
#include "bus/BusTypes.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"

#include <cwchar>

namespace testing_support {

namespace {

const wchar_t* ClassName()
{
    // One class per test program: programs run in parallel in one Wine prefix.
    static wchar_t name[64];
    if (!name[0])
        FormatW(name, _countof(name), L"OrvixRecordingWindow%lu", GetCurrentProcessId());
    return name;
}

}  // namespace

RecordingWindow::RecordingWindow()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.cbWndExtra = sizeof(void*);
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = ClassName();
    RegisterClassW(&wc);
    m_hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, ClassName(), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, this);
    SetWindowLongPtrW(m_hwnd, 0, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, HOST_WINDOW_MAGIC);
}

RecordingWindow::~RecordingWindow()
{
    // Free what is still queued so that no block outlives the window.
    MSG msg;
    while (PeekMessageW(&msg, m_hwnd, WM_QOR_BUSMESSAGE, WM_QOR_BUSMESSAGE, PM_REMOVE))
        GlobalFree(reinterpret_cast<HGLOBAL>(msg.lParam));
    SetWindowLongPtrW(m_hwnd, 0, 0);
    DestroyWindow(m_hwnd);
}

std::vector<CapturedMessage> RecordingWindow::OfType(UINT type) const
{
    std::vector<CapturedMessage> out;
    for (const CapturedMessage& m : m_messages)
        if (m.type == type)
            out.push_back(m);
    return out;
}

LRESULT RecordingWindow::OnBusMessage(UINT type, HGLOBAL block)
{
    CapturedMessage m = {};
    m.message = WM_QOR_BUSMESSAGE;
    m.type = type;
    const wchar_t* text = GetBusBlockText(block);
    m.text = text ? text : L"<invalid>";
    m.blockBytes = text ? GlobalSize(block) : 0;
    m.senderThread = text ? wcstoul(GetValueByKeyword(text, L"Thread"), nullptr, 10) : 0;
    HGLOBAL memBlock = nullptr;
    if (text) {
        memBlock = BusBlockFromNumber(GetValueByKeyword(text, L"MemBlock"));
        if (memBlock && GlobalSize(memBlock)) {
            const BYTE* bytes = static_cast<const BYTE*>(memBlock);
            m.memBlock.assign(bytes, bytes + GlobalSize(memBlock));
        } else {
            memBlock = nullptr;
        }
    }
    m_messages.push_back(m);
    if (onBusMessage)
        return onBusMessage(type, block);
    if (memBlock)
        GlobalFree(memBlock);
    if (text)
        GlobalFree(block);
    return answer;
}

LRESULT CALLBACK RecordingWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(hwnd, 0));
    if (self && msg == WM_QOR_BUSMESSAGE)
        return self->OnBusMessage(static_cast<UINT>(wp), reinterpret_cast<HGLOBAL>(lp));
    if (self && msg == WM_SETTEXT && lp) {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(lp);
        CapturedMessage m = {};
        m.message = WM_SETTEXT;
        m.type = wcstoul(GetValueByKeyword(text, L"Type"), nullptr, 10);
        m.text = text;
        self->m_messages.push_back(m);
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace testing_support
