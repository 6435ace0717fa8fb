#include "bench/BenchSocket.h"

#include <vector>

namespace bench {

BenchSocket::~BenchSocket()
{
    if (m_socket) {
        // Ends the pending receive once the server answers the close.
        WinHttpWebSocketShutdown(m_socket, WINHTTP_WEB_SOCKET_SUCCESS_CLOSE_STATUS, nullptr, 0);
        if (m_thread)
            WaitForSingleObject(m_thread, 3000);
        WinHttpCloseHandle(m_socket);
    }
    if (m_thread)
        CloseHandle(m_thread);
    if (m_request)
        WinHttpCloseHandle(m_request);
    if (m_connect)
        WinHttpCloseHandle(m_connect);
    if (m_session)
        WinHttpCloseHandle(m_session);
    DeleteCriticalSection(&m_lock);
}

bool BenchSocket::Connect(int port, const wchar_t* path, HWND notify, UINT message)
{
    m_notify = notify;
    m_message = message;
    m_session = WinHttpOpen(L"OrvixBench", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
    if (!m_session)
        return false;
    m_connect = WinHttpConnect(m_session, L"127.0.0.1", static_cast<INTERNET_PORT>(port), 0);
    if (!m_connect)
        return false;
    m_request = WinHttpOpenRequest(m_connect, L"GET", path, nullptr, nullptr, nullptr, 0);
    if (!m_request || !WinHttpSetOption(m_request, WINHTTP_OPTION_UPGRADE_TO_WEB_SOCKET, nullptr, 0) ||
        !WinHttpSendRequest(m_request, nullptr, 0, nullptr, 0, 0, 0) || !WinHttpReceiveResponse(m_request, nullptr))
        return false;
    m_socket = WinHttpWebSocketCompleteUpgrade(m_request, 0);
    if (!m_socket)
        return false;
    m_thread = CreateThread(nullptr, 0, ReceiveThread, this, 0, nullptr);
    return m_thread != nullptr;
}

bool BenchSocket::Send(const std::string& utf8)
{
    return m_socket && WinHttpWebSocketSend(m_socket, WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE,
                                            const_cast<char*>(utf8.data()), static_cast<DWORD>(utf8.size())) == 0;
}

bool BenchSocket::Take(std::string* text)
{
    EnterCriticalSection(&m_lock);
    bool any = !m_received.empty();
    if (any) {
        *text = m_received.front();
        m_received.pop_front();
    }
    LeaveCriticalSection(&m_lock);
    return any;
}

bool BenchSocket::WaitFor(const std::string& marker, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        std::string text;
        while (Take(&text))
            if (text.find(marker) != std::string::npos)
                return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(1);
    }
    return false;
}

DWORD WINAPI BenchSocket::ReceiveThread(void* param)
{
    auto* self = static_cast<BenchSocket*>(param);
    std::vector<char> buffer(1 << 16);
    std::string message;
    for (;;) {
        DWORD read = 0;
        WINHTTP_WEB_SOCKET_BUFFER_TYPE type;
        if (WinHttpWebSocketReceive(self->m_socket, buffer.data(), static_cast<DWORD>(buffer.size()), &read, &type) != 0)
            return 0;
        if (type == WINHTTP_WEB_SOCKET_CLOSE_BUFFER_TYPE)
            return 0;
        message.append(buffer.data(), read);
        if (type == WINHTTP_WEB_SOCKET_UTF8_FRAGMENT_BUFFER_TYPE || type == WINHTTP_WEB_SOCKET_BINARY_FRAGMENT_BUFFER_TYPE)
            continue;
        EnterCriticalSection(&self->m_lock);
        self->m_received.push_back(message);
        LeaveCriticalSection(&self->m_lock);
        message.clear();
        if (self->m_notify)
            PostMessageW(self->m_notify, self->m_message, 0, 0);
    }
}

}  // namespace bench
