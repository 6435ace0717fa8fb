// The WebBrowser container: the site objects' answers, embedding the real control into a
// window (Wine has no HTML engine: it embeds, but there is never a document), the page handed
// to a document of the test's own in its place, and the page's links reaching the host.
#include "plugins/info_visette/HtmlContainer.h"

#include "bus/BusTypes.h"
#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "foundation/Seams.h"
#include "foundation/TextUtils.h"
#include "plugin_support/CallStruct.h"
#include "plugins/info_visette/Popup.h"
#include "plugins/info_visette/PopupPosition.h"
#include "plugins/info_visette/VisetteSeams.h"
#include "plugins/info_visette/VisetteState.h"
#include "plugins/info_visette/tests/FakeHtmlDocument.h"
#include "tests/hosts/RecordingWindow.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <exdisp.h>
#include <mshtmhst.h>

#include <string>
#include <vector>

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

// While it lives, the control's document is one of the test's own (FakeHtmlDocument.h), made
// anew for each time the container asks; without "present" the control has none.
class TestDocument {
public:
    TestDocument(bool present, long cardHeight) : m_real(g_pfnGetBrowserDocument)
    {
        m_record.cardHeight = cardHeight;
        s_current = this;
        m_present = present;
        g_pfnGetBrowserDocument = Give;
    }
    ~TestDocument()
    {
        g_pfnGetBrowserDocument = m_real;
        s_current = nullptr;
    }
    const FakeDocumentRecord& record() const { return m_record; }
    int asked() const { return m_asked; }

private:
    static HRESULT Give(IWebBrowser2* browser, IDispatch** document)
    {
        TestDocument* self = s_current;
        ++self->m_asked;
        *document = nullptr;
        if (!browser)
            return E_POINTER;
        if (self->m_present)
            *document = static_cast<IDispatch*>(NewFakeDocument(&self->m_record));
        return S_OK;
    }

    inline static TestDocument* s_current = nullptr;
    HRESULT (*m_real)(IWebBrowser2*, IDispatch**);
    FakeDocumentRecord m_record;
    bool m_present = true;
    int m_asked = 0;
};

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

    // What the page does in the control's own document is not seen here (Wine's control has
    // none); the hand-off to a document is the next test's.

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

// The page goes to the control's document as one string, whole, then the document is closed
// and the card's height read from it: the popup is that height plus 21 pixels.
TEST_F(HtmlContainer, PageIsWrittenIntoTheDocumentAndTheCardHeightRead)
{
    HWND popup = MakePopupWindow();
    ASSERT_NE(nullptr, popup);
    g_hPopup = popup;
    ASSERT_EQ(0, EmbedBrowserObject(popup));

    const std::wstring card = L"<html><body><div id=\"BusinessCard_1\"><p> M\u00fcller &amp; S\u00f6hne</p>\n"
                              L"<img src=\"C:\\Orvix\\Layout\\chevron.png\"></div></body></html>";
    // A page of the popup's whole capacity (8191 characters).
    const std::wstring head = L"<html><body><div id=\"BusinessCard_1\">", tail = L"</div></body></html>";
    const std::wstring full = head + std::wstring(8191 - head.size() - tail.size(), L'\u20AC') + tail;
    const std::vector<std::wstring> shownAndMeasured = {L"write", L"close", L"getElementById BusinessCard_1",
                                                        L"offsetHeight"};
    struct Case {
        const char* what;
        const std::wstring& page;
        bool document;
        long cardHeight;  // 0: the page has no card element
        int result;
        DWORD height;
        std::vector<std::wstring> calls;
    } cases[] = {
        {"the card's height", card, true, 97, 0, 118, shownAndMeasured},
        {"a page of full length", full, true, 400, 0, 421, shownAndMeasured},
        {"no card element: the height stays", card, true, 0, 0, 150,
         {L"write", L"close", L"getElementById BusinessCard_1"}},
        {"no document: nothing shown, the height stays", card, false, 97, -1, 150, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDocument document(c.document, c.cardHeight);
        DWORD height = 150;
        EXPECT_EQ(c.result, DisplayHTMLStr(c.page.c_str(), &height));
        EXPECT_EQ(1, document.asked());
        EXPECT_EQ(c.height, height);
        EXPECT_EQ(c.calls, document.record().calls);
        if (c.document) {
            EXPECT_EQ(std::vector<std::vector<std::wstring>>{{c.page}}, document.record().writes);
        } else {
            EXPECT_TRUE(document.record().writes.empty());
        }
        EXPECT_EQ(0, document.record().references) << "the container keeps no reference";
    }

    UnEmbedBrowserObject();
    DestroyWindow(popup);
    g_hPopup = nullptr;
}

namespace {

// One monitor, away from the real screen, so that no task bar lies on it.
const RECT kCardMonitor = {4000, 100, 5600, 1000};

BOOL WINAPI OneMonitor(HDC, LPCRECT, MONITORENUMPROC proc, LPARAM param)
{
    RECT copy = kCardMonitor;
    proc(nullptr, nullptr, &copy, param);
    return TRUE;
}

std::wstring IncomingCall(DWORD callId, const wchar_t* number, const wchar_t* identInfo)
{
    CQorCallStruct call;
    call.Type = QOR_BUSMSG_CALLEVENT;
    call.Inbound = 1;
    call.CallID = callId;
    CopyText(call.Event, _countof(call.Event), L"OnReceived");
    CopyText(call.PartnerNumber, _countof(call.PartnerNumber), number);
    call.SetUniqueCallID(callId, number);
    call.SetResult(L"Outlook", 5, identInfo, L"", L"", L"");
    std::wstring xml(kCallXmlCapacity, L'\0');
    call.ToXml(&xml[0]);
    return xml.c_str();
}

}  // namespace

// An incoming call end to end inside the plug-in: the template beside the module, filled from
// the call record, is what the control's document is given, and the card's height sizes the
// popup and places it in its corner.
TEST_F(HtmlContainer, TheCardsPageReachesTheDocumentAndItsHeightSizesThePopup)
{
    // The plug-in's module: a library in a folder of its own, the template in its Layout folder.
    const std::wstring folder = testing_support::MakeTempFolder(L"visette_card");
    const std::wstring library = folder + L"CardModule.dll";
    ASSERT_TRUE(CopyFileW(L"C:\\windows\\system32\\version.dll", library.c_str(), FALSE));
    HMODULE module = LoadLibraryW(library.c_str());
    ASSERT_NE(nullptr, module);
    CreateDirectoryW((folder + L"Layout").c_str(), nullptr);
    const char templ[] = "<html><body><div id=\"BusinessCard_1\">\r\n<p>BUSINESSCARD_PARAM_HEADLINE</p>"
                         "<p>BUSINESSCARD_PARAM_NUMBER</p><p>BUSINESSCARD_PARAM_NAME</p>"
                         "<p>BUSINESSCARD_PARAM_DETAIL1</p><p>BUSINESSCARD_PARAM_DETAIL2</p>"
                         "<p>BUSINESSCARD_PARAM_DETAIL3</p><img src=\"chevron.png\"></div></body></html>\r\n"
                         "after the page";
    testing_support::WriteFileBytes(folder + L"Layout\\UsedStyle.html", templ, sizeof(templ) - 1);
    wchar_t modulePath[MAX_PATH] = L"";
    GetModuleFileNameW(module, modulePath, MAX_PATH);
    const std::wstring layout = std::wstring(modulePath, wcsrchr(modulePath, L'\\') + 1) + L"Layout\\";
    const std::wstring filled = L"<html><body><div id=\"BusinessCard_1\">\n<p>Incoming call</p><p>+4930111</p>"
                                L"<p> Jane Roe</p><p> Bonn</p><p>&nbsp;</p><img src=\"" +
                                layout + L"chevron.png\"></div></body></html>";

    g_hInstance = module;
    auto realMonitors = g_pfnEnumDisplayMonitors;
    g_pfnEnumDisplayMonitors = OneMonitor;
    g_dwPreferredMonitor = 0;
    g_Settings.UsedPosition = 0;  // bottom right: the height moves the card
    g_Settings.Duration = 10;
    g_Settings.UseDuration = 1;
    g_dwScalePercent = 100;
    g_dwPopupWidth = 450;

    struct Case {
        const char* what;
        bool document;
        long cardHeight;
        int windowHeight;
    } cases[] = {
        {"the card's height plus 21", true, 97, 118},
        {"no document: 150, and the popup still shows", false, 0, 150},
    };
    DWORD callId = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetPopupState();
        TestDocument document(c.document, c.cardHeight);
        DoInfo(IncomingCall(callId++, L"+4930111", L"Name: Jane Roe;City: Bonn;").c_str());
        ASSERT_NE(nullptr, g_hPopup);
        EXPECT_EQ(c.document ? std::vector<std::vector<std::wstring>>{{filled}}
                             : std::vector<std::vector<std::wstring>>{},
                  document.record().writes);
        EXPECT_EQ(0, document.record().references);
        EXPECT_TRUE(IsWindowVisible(g_hPopup));
        RECT r = {};
        GetWindowRect(g_hPopup, &r);
        EXPECT_EQ(450, r.right - r.left);
        EXPECT_EQ(c.windowHeight, r.bottom - r.top);
        EXPECT_EQ(kCardMonitor.right - 20, r.right);
        EXPECT_EQ(kCardMonitor.bottom - 20, r.bottom);
        CloseHTMLPopup();
    }

    ResetPopupState();
    g_pfnEnumDisplayMonitors = realMonitors;
    g_MonitorPosition.UpdateMonitorRect();
    g_hInstance = GetModuleHandleW(nullptr);
    FreeLibrary(module);
    testing_support::RemoveTree(folder);
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
