#include "tests/e2e/PbxControl.h"

#include "foundation/Format.h"

#include <winhttp.h>

#include <cwchar>

namespace e2e {

namespace {

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[1024] = L"";
    DWORD n = GetEnvironmentVariableW(name, value, _countof(value));
    return n && n < _countof(value) ? value : L"";
}

std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

}  // namespace

std::wstring JsonString(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c < 0x20) {
            wchar_t escape[8];
            FormatW(escape, _countof(escape), L"\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

PbxControl::PbxControl()
{
    m_port = _wtoi(Environment(L"FAKE_PBX_PORT").c_str());
    m_log = Environment(L"FAKE_PBX_LOG");
}

PbxControl::~PbxControl()
{
    Close();
}

std::wstring PbxControl::BaseUrl() const
{
    return L"ws://127.0.0.1:" + std::to_wstring(m_port);
}

bool PbxControl::Open()
{
    if (m_socket)
        return true;
    if (!m_port)
        return false;
    m_session = WinHttpOpen(L"e2e-control", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
    if (m_session)
        m_connect = WinHttpConnect(m_session, L"127.0.0.1", static_cast<INTERNET_PORT>(m_port), 0);
    HINTERNET request = nullptr;
    if (m_connect)
        request = WinHttpOpenRequest(m_connect, L"GET", L"/PBX0/APPCLIENT/websocket", nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    if (request && WinHttpSetOption(request, WINHTTP_OPTION_UPGRADE_TO_WEB_SOCKET, nullptr, 0) &&
        WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
        WinHttpReceiveResponse(request, nullptr))
        m_socket = WinHttpWebSocketCompleteUpgrade(request, 0);
    if (request)
        WinHttpCloseHandle(request);
    if (!m_socket)
        Close();
    return m_socket != nullptr;
}

void PbxControl::Close()
{
    if (m_socket) {
        WinHttpWebSocketClose(m_socket, WINHTTP_WEB_SOCKET_SUCCESS_CLOSE_STATUS, nullptr, 0);
        WinHttpCloseHandle(m_socket);
    }
    if (m_connect)
        WinHttpCloseHandle(m_connect);
    if (m_session)
        WinHttpCloseHandle(m_session);
    m_socket = m_connect = m_session = nullptr;
}

bool PbxControl::Send(const std::wstring& json)
{
    if (!Open())
        return false;
    std::string bytes = Utf8(json);
    return WinHttpWebSocketSend(m_socket, WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE, &bytes[0],
                                static_cast<DWORD>(bytes.size())) == NO_ERROR;
}

std::vector<std::wstring> PbxControl::LogLines() const
{
    std::vector<std::wstring> lines;
    if (m_log.empty())
        return lines;
    HANDLE file = CreateFileW(m_log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read)
        bytes.append(buffer, read);
    CloseHandle(file);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        // A line still being written has no end yet: it is read next time.
        if (end == std::string::npos)
            break;
        lines.push_back(FromUtf8(bytes.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

}  // namespace e2e
