// How a connection's URL becomes host, port, path and the secure flag, seen through the log
// lines of attempts to loopback ports where nothing listens.
#include <gtest/gtest.h>

#include <string>

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

TEST(WebsocketUrl, SchemeHostPortAndPath)
{
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
        // A port written into the URL is the port, not part of the host name.
        {L"ws://127.0.0.1:9", L"APPS/websocket", L"ws://127.0.0.1:9/PBX0/APPS/websocket", L"0", L"127.0.0.1", L"9", L"/PBX0/APPS/websocket"},
        {L"wss://127.0.0.1:99999", L"x", L"wss://127.0.0.1:99999/PBX0/x", L"1", L"127.0.0.1:99999", L"443", L"/PBX0/x"},
    };
    testing_support::RecordingWindow host;
    g_hWndParent = host.hwnd();
    g_dwGlobalDebugLevel = 5;
    for (const auto& c : cases) {
        testing_support::PumpFor(20);  // the last case's posted lines
        host.Clear();
        CInnovaphoneVars conn(L"App");
        CopyText(g_szBaseURL, _countof(g_szBaseURL), c.baseUrl);
        BuildWebsocketURL(&conn, c.path);
        EXPECT_STREQ(c.url, conn.m_szURL);
        EXPECT_EQ(c.secure, Logged(host, L"Func.CreateWebsocket.Var.bIsSSL ")) << conn.m_szURL;
        EXPECT_EQ(c.host, Logged(host, L"Func.CreateWebsocket.Var.szHost ")) << conn.m_szURL;
        EXPECT_EQ(c.port, Logged(host, L"Func.CreateWebsocket.Var.nPort ")) << conn.m_szURL;
        EXPECT_EQ(c.requestPath, Logged(host, L"Func.CreateWebsocket.Var.szPath ")) << conn.m_szURL;
        EXPECT_EQ(L"failed", Logged(host, L"Func.CreateWebsocket.Info.Login "));
        EXPECT_EQ(nullptr, conn.m_hWebSocketHandle);
        EXPECT_EQ(nullptr, conn.m_hMonitorThread);
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
    std::wstring base = L"ws://127.0.0.1:9/";
    base.append(600, L'a');
    CopyText(g_szBaseURL, _countof(g_szBaseURL), base.c_str());
    CInnovaphoneVars conn(L"App");
    BuildWebsocketURL(&conn, L"APPS/websocket");
    EXPECT_EQ(511u, wcslen(conn.m_szURL));
    EXPECT_EQ(nullptr, conn.m_hWebSocketHandle);
    CloseWebSocket(&conn, TRUE);
    g_szBaseURL[0] = L'\0';
}

}  // namespace
