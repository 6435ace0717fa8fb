// A bare WinHTTP websocket client for the benchmarks: one connection to the fake PBX, texts
// sent whole, and a receive thread that queues each complete text and posts a message to a
// window. It is the floor of the call path (a loopback frame into a WinHTTP receiver plus one
// PostMessage hop) and the benchmarks' control connection to the fake PBX.
#pragma once

#include <windows.h>

#include <winhttp.h>

#include <deque>
#include <string>

namespace bench {

class BenchSocket {
public:
    BenchSocket() { InitializeCriticalSection(&m_lock); }
    ~BenchSocket();
    BenchSocket(const BenchSocket&) = delete;
    BenchSocket& operator=(const BenchSocket&) = delete;

    // Connects to ws://127.0.0.1:port<path>; each received text posts (message, 0, 0) to the
    // window when one is given.
    bool Connect(int port, const wchar_t* path, HWND notify = nullptr, UINT message = 0);
    bool Send(const std::string& utf8);
    // The oldest received text; false when none has come.
    bool Take(std::string* text);
    // Waits (pumping this thread's messages) for a received text holding the marker.
    bool WaitFor(const std::string& marker, DWORD milliseconds);

private:
    static DWORD WINAPI ReceiveThread(void* param);

    HINTERNET m_session = nullptr, m_connect = nullptr, m_request = nullptr, m_socket = nullptr;
    HANDLE m_thread = nullptr;
    HWND m_notify = nullptr;
    UINT m_message = 0;
    CRITICAL_SECTION m_lock;
    std::deque<std::string> m_received;
};

}  // namespace bench
