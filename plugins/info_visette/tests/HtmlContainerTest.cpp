// The WebBrowser container: the site objects' answers, embedding the real control into a
// window (Wine has no HTML engine: it embeds, but there is never a document), and the page's
// links reaching the host.
#include "plugins/info_visette/HtmlContainer.h"

#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/TextUtils.h"
#include "plugins/info_visette/VisetteState.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <exdisp.h>
#include <mshtmhst.h>

#include <string>

using testing_support::RecordingWindow;

namespace {

const wchar_t kTestHostClass[] = L"VisetteContainerTestPopup";

HWND MakePopupWindow()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kTestHostClass;
    RegisterClassW(&wc);
    return CreateWindowExW(0, kTestHostClass, L"", WS_POPUP | WS_VISIBLE, 10, 10, 300, 200, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

class HtmlContainer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        InitModuleState(GetModuleHandleW(nullptr));
    }
    void TearDown() override { OleUninitialize(); }
};

}  // namespace

TEST_F(HtmlContainer, SiteObjectsAnswerAsTheControlExpects)
{
    const LONG before = GetSiteReferenceBalance();
    struct Case {
        int object;
        REFIID iid;
        int expected;  // object index given, or -1 for none
        HRESULT result;
    } cases[] = {
        {2, IID_IUnknown, 2, S_OK},          {2, IID_IOleClientSite, 2, S_OK},
        {3, IID_IOleInPlaceSite, 1, S_OK},   {1, IID_IDocHostUIHandler, 3, S_OK},
        {2, IID_IDispatch, -1, E_NOINTERFACE}, {0, IID_IUnknown, -1, E_NOTIMPL},
    };
    for (const Case& c : cases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.result, GetHtmlObject(c.object)->QueryInterface(c.iid, &out)) << c.object;
        if (c.expected < 0) {
            EXPECT_EQ(nullptr, out);
        } else {
            IUnknown* given = static_cast<IUnknown*>(out);
            // Each object is reached through its own interface pointer; compare by identity.
            IUnknown* wanted = GetHtmlObject(c.expected);
            EXPECT_EQ(1u, given->AddRef());
            given->Release();
            void* again = nullptr;
            wanted->QueryInterface(c.iid, &again);
            EXPECT_EQ(again, out);
            static_cast<IUnknown*>(again)->Release();
            given->Release();
        }
    }
    EXPECT_EQ(before, GetSiteReferenceBalance());

    IDocHostUIHandler* ui = nullptr;
    ASSERT_EQ(S_OK, GetHtmlObject(3)->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&ui)));
    DOCHOSTUIINFO info = {};
    EXPECT_EQ(S_OK, ui->GetHostInfo(&info));
    // The record's size as the control knows it: three DWORDs and two pointers, aligned.
    EXPECT_EQ(sizeof(void*) == 8 ? 32u : 20u, info.cbSize);
    EXPECT_EQ(static_cast<DWORD>(DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO), info.dwFlags);
    POINT pt = {1, 1};
    EXPECT_EQ(S_OK, ui->ShowContextMenu(0, &pt, nullptr, nullptr));  // handled: no menu
    EXPECT_EQ(S_FALSE, ui->TranslateAccelerator(nullptr, nullptr, 0));
    IDispatch* external = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(S_FALSE, ui->GetExternal(&external));
    EXPECT_EQ(nullptr, external);
    ui->Release();

    IOleClientSite* site = GetHtmlClientSite();
    IOleContainer* container = reinterpret_cast<IOleContainer*>(1);
    EXPECT_EQ(E_NOINTERFACE, site->GetContainer(&container));
    EXPECT_EQ(nullptr, container);
    EXPECT_EQ(S_OK, site->ShowObject());
    EXPECT_EQ(before, GetSiteReferenceBalance());
}

TEST_F(HtmlContainer, EmbedsSizesNavigatesAndReleasesEverything)
{
    const LONG before = GetSiteReferenceBalance();
    HWND popup = MakePopupWindow();
    ASSERT_NE(nullptr, popup);
    g_hPopup = popup;
    ASSERT_EQ(0, EmbedBrowserObject(popup));
    ASSERT_NE(nullptr, g_pBrowserObject);

    IOleInPlaceSite* inplace = nullptr;
    ASSERT_EQ(S_OK, GetHtmlObject(1)->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inplace)));
    HWND window = nullptr;
    EXPECT_EQ(S_OK, inplace->GetWindow(&window));
    EXPECT_EQ(popup, window);
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* doc = reinterpret_cast<IOleInPlaceUIWindow*>(1);
    RECT pos = {}, clip = {};
    OLEINPLACEFRAMEINFO frameInfo = {sizeof(frameInfo)};
    EXPECT_EQ(S_OK, inplace->GetWindowContext(&frame, &doc, &pos, &clip, &frameInfo));
    EXPECT_NE(nullptr, frame);
    EXPECT_EQ(nullptr, doc);
    EXPECT_EQ(popup, frameInfo.hwndFrame);
    EXPECT_FALSE(frameInfo.fMDIApp);
    RECT client;
    GetClientRect(popup, &client);
    EXPECT_EQ(client.right, pos.right - pos.left);
    HWND frameWindow = nullptr;
    EXPECT_EQ(S_OK, frame->GetWindow(&frameWindow));
    EXPECT_EQ(popup, frameWindow);
    frame->Release();
    RECT moved = {0, 0, 250, 120};
    EXPECT_EQ(S_OK, inplace->OnPosRectChange(&moved));
    inplace->Release();

    ResizeBrowser(280, 180);
    testing_support::PumpFor(50);

    // A local file: the control may or may not load it, but nothing crashes or hangs.
    std::wstring folder = testing_support::MakeTempFolder(L"visette_navigate");
    std::wstring file = folder + L"page.html";
    const char html[] = "<html><body><div id=\"BusinessCard_1\">x</div></body></html>";
    testing_support::WriteFileBytes(file, html, sizeof(html) - 1);
    NavigateBrowser(file.c_str());
    testing_support::PumpFor(200);

    // The page is written when the control has a document, else refused with the height
    // left as it was (Wine has no HTML engine). The control itself says which case this is.
    DWORD height = 150;
    int shown = DisplayHTMLStr(L"<html><body><div id=\"BusinessCard_1\">x</div></body></html>", &height);
    IWebBrowser2* web = nullptr;
    ASSERT_EQ(S_OK, g_pBrowserObject->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&web)));
    IDispatch* document = nullptr;
    web->get_Document(&document);
    web->Release();
    if (document) {
        document->Release();
        EXPECT_EQ(0, shown);
    } else {
        EXPECT_EQ(-1, shown);
        EXPECT_EQ(150u, height);
    }

    UnEmbedBrowserObject();
    EXPECT_EQ(nullptr, g_pBrowserObject);
    testing_support::PumpFor(50);
    DestroyWindow(popup);
    g_hPopup = nullptr;
    testing_support::RemoveTree(folder);
    // The control gave back every reference it took on the site objects.
    EXPECT_EQ(before, GetSiteReferenceBalance());

    // Without a browser every operation is refused quietly.
    DWORD untouched = 150;
    EXPECT_EQ(-1, DisplayHTMLStr(L"<html></html>", &untouched));
    EXPECT_EQ(150u, untouched);
    EXPECT_EQ(-1, NavigateBrowser(L"about:blank"));
    ResizeBrowser(10, 10);
    UnEmbedBrowserObject();
}

TEST_F(HtmlContainer, EmbeddingTwiceAfterReleaseWorks)
{
    for (int round = 0; round < 2; ++round) {
        HWND popup = MakePopupWindow();
        g_hPopup = popup;
        EXPECT_EQ(0, EmbedBrowserObject(popup)) << round;
        UnEmbedBrowserObject();
        DestroyWindow(popup);
        g_hPopup = nullptr;
    }
}

TEST_F(HtmlContainer, LinksCloseThePopupOrOpenTheContact)
{
    RecordingWindow host;
    g_hWndParent = host.hwnd();
    g_CallStruct.Reset();
    CopyText(g_CallStruct.PartnerNumber, _countof(g_CallStruct.PartnerNumber), L"+4930123456");
    g_CallStruct.SetResult(L"Outlook", 42, L"Name:Jane;", L"", L"", L"");

    IDocHostUIHandler* ui = nullptr;
    ASSERT_EQ(S_OK, GetHtmlObject(3)->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&ui)));
    struct Case {
        const wchar_t* address;
        bool translated;    // "null" handed back
        bool closes;
        int openContactId;  // -1: nothing posted
    } cases[] = {
        {L"about:close", true, true, -1},
        {L"ABOUT:CLOSE", true, true, -1},
        {L"about:blank", true, false, -1},
        {L"about:opencontact2", true, false, 2},
        {L"about:3", true, false, 3},
        {L"about:x", true, false, 0},
        {L"about:OpenContact1", true, false, 1},
        {L"http://example.invalid/about:close", false, false, -1},
        {L"C:\\page.html", false, false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::wstring(c.address).c_str());
        host.Clear();
        g_bPopupClosed = 0;
        g_dwRestLoopCount = 7;
        wchar_t address[64];
        CopyText(address, _countof(address), c.address);
        LPWSTR out = reinterpret_cast<LPWSTR>(1);
        EXPECT_EQ(S_OK, ui->TranslateUrl(0, address, &out));
        if (c.translated) {
            ASSERT_NE(nullptr, out);
            EXPECT_STREQ(L"null", out);
            CoTaskMemFree(out);
        } else {
            EXPECT_EQ(nullptr, out);
        }
        EXPECT_EQ(c.closes ? 1 : 0, g_bPopupClosed);
        EXPECT_EQ(c.closes ? 0 : 7, g_dwRestLoopCount);
        testing_support::PumpFor(30);
        auto records = host.OfType(QOR_BUSMSG_CALLRECORD);
        if (c.openContactId < 0) {
            EXPECT_TRUE(records.empty());
        } else {
            ASSERT_EQ(1u, records.size());
            CQorCallStruct back(records[0].text.c_str());
            EXPECT_EQ(static_cast<DWORD>(c.openContactId), back.OpenContactID);
            EXPECT_STREQ(L"+4930123456", back.PartnerNumber);
            EXPECT_EQ(42u, back.Results[0].OpenContact);
            EXPECT_NE(std::wstring::npos, records[0].text.find(L"PLUGININFOVISETTE"));
        }
    }
    ui->Release();
    g_hWndParent = nullptr;
}

TEST(HtmlContainerLinks, LongAddressesAreComparedBounded)
{
    std::wstring longAddress = L"about:opencontact" + std::wstring(5000, L'9');
    DWORD id = 123;
    EXPECT_EQ(LinkAction::OpenContact, ClassifyLink(longAddress.c_str(), &id));
    EXPECT_EQ(LinkAction::None, ClassifyLink(nullptr, &id));
    EXPECT_EQ(0u, id);
}
