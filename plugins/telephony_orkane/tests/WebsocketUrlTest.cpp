// How a connection's URL becomes host, port, path and the secure flag, seen through the log
// lines of its connection attempts; the base URL is read whole while the settings write it.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"
#include "plugins/telephony_orkane/PbxWebsocket.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring Logged(testing_support::RecordingWindow& host, const wchar_t* prefix)
{
    testing_support::PumpFor(20);
    for (const auto& m : host.OfType(QOR_BUSMSG_LOG)) {
        std::wstring text = GetValueByKeyword(m.text.c_str(), L"Text");
        size_t at = text.find(prefix);
        if (at != std::wstring::npos)
            return text.substr(at + wcslen(prefix));
    }
    return L"<none>";
}

// A loopback port that the test holds: bound, not listening, so a connection is refused.
class HeldPort {
public:
    HeldPort()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~HeldPort()
    {
        closesocket(m_socket);
        WSACleanup();
    }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;
    std::wstring Text() const { return std::to_wstring(m_port); }

private:
    SOCKET m_socket;
    unsigned m_port = 0;
};

std::wstring Replace(std::wstring text, const std::wstring& port)
{
    for (size_t at; (at = text.find(L"$P")) != std::wstring::npos;)
        text.replace(at, 2, port);
    return text;
}

TEST(WebsocketUrl, SchemeHostPortAndPath)
{
    HeldPort held;
    ASSERT_NE(L"0", held.Text());
    const struct {
        const wchar_t* baseUrl;
        const wchar_t* path;
        const wchar_t* url;
        const wchar_t* secure;
        const wchar_t* host;
        const wchar_t* port;
        const wchar_t* requestPath;
    } cases[] = {
        {L"https://127.0.0.1", L"APPS/websocket", L"https://127.0.0.1/PBX0/APPS/websocket", L"1", L"127.0.0.1", L"443", L"/PBX0/APPS/websocket"},
        {L"wss://127.0.0.1/", L"APPS/websocket", L"wss://127.0.0.1/PBX0/APPS/websocket", L"1", L"127.0.0.1", L"443", L"/PBX0/APPS/websocket"},
        {L"http://127.0.0.1", L"APPCLIENT/websocket", L"http://127.0.0.1/PBX0/APPCLIENT/websocket", L"0", L"127.0.0.1", L"80", L"/PBX0/APPCLIENT/websocket"},
        {L"127.0.0.1", L"APPS/websocket", L"127.0.0.1/PBX0/APPS/websocket", L"1", L"127.0.0.1", L"443", L"/PBX0/APPS/websocket"},
        // A port written into the URL is the port, not part of the host name ($P: the held port).
        {L"ws://127.0.0.1:$P", L"APPS/websocket", L"ws://127.0.0.1:$P/PBX0/APPS/websocket", L"0", L"127.0.0.1", L"$P", L"/PBX0/APPS/websocket"},
        {L"wss://127.0.0.1:$P/", L"APPS/websocket", L"wss://127.0.0.1:$P/PBX0/APPS/websocket", L"1", L"127.0.0.1", L"$P", L"/PBX0/APPS/websocket"},
        {L"wss://127.0.0.1:99999", L"x", L"wss://127.0.0.1:99999/PBX0/x", L"1", L"127.0.0.1:99999", L"443", L"/PBX0/x"},
    };
    testing_support::RecordingWindow host;
    g_hWndParent = host.hwnd();
    g_dwGlobalDebugLevel = 5;
    for (const auto& c : cases) {
        testing_support::PumpFor(20);  // the last case's posted lines
        host.Clear();
        CInnovaphoneVars conn(L"App");
        CopyText(g_szBaseURL, _countof(g_szBaseURL), Replace(c.baseUrl, held.Text()).c_str());
        BuildWebsocketURL(&conn, c.path);
        EXPECT_EQ(Replace(c.url, held.Text()), conn.m_szURL);
        EXPECT_EQ(c.secure, Logged(host, L"Func.CreateWebsocket.Var.bIsSSL ")) << conn.m_szURL;
        EXPECT_EQ(c.host, Logged(host, L"Func.CreateWebsocket.Var.szHost ")) << conn.m_szURL;
        EXPECT_EQ(Replace(c.port, held.Text()), Logged(host, L"Func.CreateWebsocket.Var.nPort ")) << conn.m_szURL;
        EXPECT_EQ(c.requestPath, Logged(host, L"Func.CreateWebsocket.Var.szPath ")) << conn.m_szURL;
        // Only the held port is known to refuse; at 80 or 443 anything may listen.
        if (Replace(c.port, held.Text()) == held.Text()) {
            EXPECT_EQ(L"failed", Logged(host, L"Func.CreateWebsocket.Info.Login ")) << conn.m_szURL;
            EXPECT_EQ(nullptr, conn.m_hWebSocketHandle);
            EXPECT_EQ(nullptr, conn.m_hMonitorThread);
        }
        // A second attempt on the half-open connection, then the close, leave nothing open.
        CreateWebsocket(&conn);
        CloseWebSocket(&conn, TRUE);
        EXPECT_EQ(nullptr, conn.m_hSessionHandle);
        EXPECT_EQ(nullptr, conn.m_hConnectionHandle);
    }
    g_szBaseURL[0] = L'\0';
    g_hWndParent = nullptr;
}

TEST(WebsocketUrl, LongBaseUrlStaysInsideTheUrlField)
{
    HeldPort held;
    std::wstring base = L"ws://127.0.0.1:" + held.Text() + L"/";
    base.append(600, L'a');
    CopyText(g_szBaseURL, _countof(g_szBaseURL), base.c_str());
    CInnovaphoneVars conn(L"App");
    BuildWebsocketURL(&conn, L"APPS/websocket");
    EXPECT_EQ(511u, wcslen(conn.m_szURL));
    EXPECT_EQ(nullptr, conn.m_hWebSocketHandle);
    CloseWebSocket(&conn, TRUE);
    g_szBaseURL[0] = L'\0';
}

// The settings write the base URL under the dispatch lock while the login thread builds a
// connection's URL from it: the copy is always one whole URL, never half of each.
TEST(WebsocketUrl, BaseUrlIsReadWholeWhileItIsWritten)
{
    const std::wstring urls[2] = {L"ws://127.0.0.1:1/" + std::wstring(400, L'a'),
                                  L"wss://127.0.0.2:2/" + std::wstring(300, L'b')};
    CopyText(g_szBaseURL, _countof(g_szBaseURL), urls[0].c_str());
    volatile bool stop = false;
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            EnterCriticalSection(&g_csDispatch);
            CopyText(g_szBaseURL, _countof(g_szBaseURL), urls[i % 2].c_str());
            LeaveCriticalSection(&g_csDispatch);
        }
    });
    int torn = 0;
    for (int i = 0; i < 20000; ++i) {
        wchar_t copy[512];
        CopyBaseURL(copy, _countof(copy));
        if (urls[0] != copy && urls[1] != copy)
            ++torn;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(0, torn);
    g_szBaseURL[0] = L'\0';
}

}  // namespace
