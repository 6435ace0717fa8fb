// A hidden top-level window that stands in for the host window in tests: it carries the host
// marker (so plug-ins find it), records every bus message that reaches it (0x47F with its
// block, and WM_SETTEXT texts from "other programs") and frees the blocks, or hands them to a
// handler such as the bus router. A sent message is recorded before the sender's call
// returns; a posted one only once the test pumps.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

struct CapturedMessage {
    UINT message;           // WM_QOR_BUSMESSAGE or WM_SETTEXT
    UINT type;              // WPARAM of 0x47F; for WM_SETTEXT the Type in the text
    std::wstring text;      // "<invalid>" when the block was no readable bus block
    SIZE_T blockBytes;      // GlobalSize of the message block
    DWORD senderThread;     // the thread that posted or sent it (from the Thread value when logged)
    std::vector<BYTE> memBlock;  // the bytes of the block named by MemBlock, if any
};

class RecordingWindow {
public:
    RecordingWindow();
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    HWND hwnd() const { return m_hwnd; }
    std::vector<CapturedMessage>& messages() { return m_messages; }
    // The captured messages of one type.
    std::vector<CapturedMessage> OfType(UINT type) const;
    void Clear() { m_messages.clear(); }

    // When set, a 0x47F block (and the MemBlock block it names) goes to the handler, which
    // frees it; its result is the window procedure's result. Unset: recorded and freed here.
    std::function<LRESULT(UINT type, HGLOBAL block)> onBusMessage;
    // The result of a sent 0x47F when no handler is set.
    LRESULT answer = 1;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnBusMessage(UINT type, HGLOBAL block);
    HWND m_hwnd = nullptr;
    std::vector<CapturedMessage> m_messages;
};

}  // namespace testing_support
