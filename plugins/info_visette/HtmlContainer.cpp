#include "plugins/info_visette/HtmlContainer.h"

#include "bus/LogLine.h"
#include "foundation/Format.h"
#include "plugins/info_visette/VisetteSeams.h"
#include "plugins/info_visette/VisetteState.h"

#include <exdisp.h>
#include <mshtml.h>
#include <mshtmhst.h>
#include <oleidl.h>

#include <cwchar>
#include <cwctype>

HWND g_hPopup = nullptr;
IOleObject* g_pBrowserObject = nullptr;

namespace {

volatile LONG g_siteRefs = 0;

ULONG CountAddRef()
{
    InterlockedIncrement(&g_siteRefs);
    return 1;
}

ULONG CountRelease()
{
    InterlockedDecrement(&g_siteRefs);
    return 1;
}

HRESULT SharedQueryInterface(REFIID riid, void** object);

class CHtmlFrame : public IOleInPlaceFrame {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        if (object)
            *object = nullptr;
        return E_NOTIMPL;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return CountAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return CountRelease(); }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return E_NOTIMPL; }
    virtual ~CHtmlFrame() = default;
};

class CHtmlFramePopup : public CHtmlFrame {
public:
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        if (!window)
            return E_POINTER;
        *window = g_hPopup;
        return S_OK;
    }
};

class CHtmlInplace : public IOleInPlaceSite {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        return SharedQueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return CountAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return CountRelease(); }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
    virtual ~CHtmlInplace() = default;
};

class CHtmlInplacePopup : public CHtmlInplace {
public:
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override
    {
        if (!window)
            return E_POINTER;
        *window = g_hPopup;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override
    {
        if (!g_pBrowserObject)
            return S_FALSE;
        IOleInPlaceObject* inplace = nullptr;
        if (SUCCEEDED(g_pBrowserObject->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inplace))) &&
            inplace) {
            inplace->SetObjectRects(rect, rect);
            inplace->Release();
        }
        return S_OK;
    }
};

class CHtmlSite : public IOleClientSite {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        return SharedQueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return CountAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return CountRelease(); }
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override
    {
        if (moniker)
            *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override
    {
        if (container)
            *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    virtual ~CHtmlSite() = default;
};

class CHtmlUI : public IDocHostUIHandler {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        return SharedQueryInterface(riid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return CountAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return CountRelease(); }
    // S_OK: the container "showed" the menu, so the control shows none.
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override
    {
        if (!info)
            return E_POINTER;
        info->cbSize = sizeof(DOCHOSTUIINFO);
        info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                     IOleInPlaceUIWindow*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HideUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD) override
    {
        if (key)
            *key = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** target) override
    {
        if (target)
            *target = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** dispatch) override
    {
        if (dispatch)
            *dispatch = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override
    {
        if (out)
            *out = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override
    {
        if (out)
            *out = nullptr;
        return S_FALSE;
    }
    virtual ~CHtmlUI() = default;
};

class CHtmlUIPopup : public CHtmlUI {
public:
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR address, LPWSTR* out) override;
};

CHtmlFramePopup g_HtmlFrame;
CHtmlInplacePopup g_HtmlInplace;
CHtmlSite g_HtmlSite;
CHtmlUIPopup g_HtmlUI;

HRESULT SharedQueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *object = static_cast<IOleClientSite*>(&g_HtmlSite);
    else if (IsEqualIID(riid, IID_IOleInPlaceSite))
        *object = static_cast<IOleInPlaceSite*>(&g_HtmlInplace);
    else if (IsEqualIID(riid, IID_IDocHostUIHandler))
        *object = static_cast<IDocHostUIHandler*>(&g_HtmlUI);
    else
        return E_NOINTERFACE;
    // The caller releases what it was given.
    CountAddRef();
    return S_OK;
}

HRESULT CHtmlInplace::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                       LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    if (frame) {
        *frame = &g_HtmlFrame;
        g_HtmlFrame.AddRef();
    }
    if (document)
        *document = nullptr;
    if (position && g_hPopup)
        GetClientRect(g_hPopup, position);
    (void)clip;
    if (info) {
        info->fMDIApp = FALSE;
        info->hwndFrame = g_hPopup;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

IWebBrowser2* GetWebBrowser()
{
    IWebBrowser2* browser = nullptr;
    if (!g_pBrowserObject ||
        FAILED(g_pBrowserObject->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))))
        return nullptr;
    return browser;
}

}  // namespace

LinkAction ClassifyLink(const wchar_t* address, DWORD* openContactId)
{
    if (openContactId)
        *openContactId = 0;
    if (!address)
        return LinkAction::None;
    wchar_t lower[512];
    CopyText(lower, _countof(lower), address);
    CharLowerW(lower);
    if (wcsncmp(lower, L"about:close", 11) == 0)
        return LinkAction::Close;
    if (wcsncmp(lower, L"about:blank", 11) == 0)
        return LinkAction::Blank;
    const wchar_t* number = nullptr;
    if (wcsncmp(lower, L"about:opencontact", 17) == 0)
        number = lower + 17;
    else if (wcsncmp(lower, L"about:", 6) == 0)
        number = lower + 6;
    else
        return LinkAction::None;
    DWORD n = 0;
    for (const wchar_t* p = number; *p >= L'0' && *p <= L'9' && n < 100000000; ++p)
        n = n * 10 + static_cast<DWORD>(*p - L'0');
    if (openContactId)
        *openContactId = n;
    return LinkAction::OpenContact;
}

HRESULT CHtmlUIPopup::TranslateUrl(DWORD, LPWSTR address, LPWSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    DWORD contact = 0;
    switch (ClassifyLink(address, &contact)) {
    case LinkAction::None:
        return S_OK;
    case LinkAction::Close:
        g_bPopupClosed = 1;
        g_dwRestLoopCount = 0;
        LogLine(3, L"Func.TranslateUrl.Info.Close");
        break;
    case LinkAction::Blank:
        break;
    case LinkAction::OpenContact:
        LogLine(3, L"Func.TranslateUrl.Info.Open contact %u", static_cast<unsigned>(contact));
        if (!g_CallStruct.SendOpenContact(g_hWndParent, contact))
            LogLine(0, L"Func.TranslateUrl.Error.Open contact %u not sent", static_cast<unsigned>(contact));
        break;
    }
    wchar_t* translated = static_cast<wchar_t*>(CoTaskMemAlloc(20));
    if (translated)
        CopyText(translated, 10, L"null");
    *out = translated;
    return S_OK;
}

IOleClientSite* GetHtmlClientSite()
{
    return &g_HtmlSite;
}

IUnknown* GetHtmlObject(int which)
{
    switch (which) {
    case 0: return &g_HtmlFrame;
    case 1: return &g_HtmlInplace;
    case 2: return &g_HtmlSite;
    default: return &g_HtmlUI;
    }
}

LONG GetSiteReferenceBalance()
{
    return InterlockedCompareExchange(&g_siteRefs, 0, 0);
}

int EmbedBrowserObject(HWND popup)
{
    IClassFactory* factory = nullptr;
    if (FAILED(CoGetClassObject(CLSID_WebBrowser, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, nullptr,
                                IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        !factory) {
        LogLine(0, L"Func.EmbedBrowserObject.Error.No class factory");
        return -2;
    }
    IOleObject* browser = nullptr;
    HRESULT hr = factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&browser));
    factory->Release();
    if (FAILED(hr) || !browser) {
        LogLine(0, L"Func.EmbedBrowserObject.Error.No browser object (0x%08X)", static_cast<unsigned>(hr));
        return -3;
    }
    g_pBrowserObject = browser;
    RECT rect = {0, 0, 0, 0};
    GetClientRect(popup, &rect);
    hr = browser->SetClientSite(&g_HtmlSite);
    if (SUCCEEDED(hr))
        browser->SetHostNames(L"My Host Name", nullptr);
    if (SUCCEEDED(hr))
        hr = OleSetContainedObject(browser, TRUE);
    if (SUCCEEDED(hr))
        hr = browser->DoVerb(OLEIVERB_SHOW, nullptr, &g_HtmlSite, -1, popup, &rect);
    IWebBrowser2* web = nullptr;
    if (SUCCEEDED(hr))
        hr = browser->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&web));
    if (FAILED(hr) || !web) {
        LogLine(0, L"Func.EmbedBrowserObject.Error.Embedding failed (0x%08X)", static_cast<unsigned>(hr));
        UnEmbedBrowserObject();
        return -4;
    }
    web->put_Left(0);
    web->put_Top(0);
    web->put_Width(rect.right);
    web->put_Height(rect.bottom);
    web->Release();
    return 0;
}

void UnEmbedBrowserObject()
{
    IOleObject* browser = g_pBrowserObject;
    if (!browser)
        return;
    g_pBrowserObject = nullptr;
    browser->Close(OLECLOSE_NOSAVE);
    // The control keeps its site until told otherwise; without this it would still hold the
    // references it took on our objects.
    browser->SetClientSite(nullptr);
    browser->Release();
}

void ResizeBrowser(DWORD width, DWORD height)
{
    IWebBrowser2* web = GetWebBrowser();
    if (!web)
        return;
    web->put_Width(static_cast<long>(width));
    web->put_Height(static_cast<long>(height));
    web->Release();
}

int NavigateBrowser(const wchar_t* address)
{
    IWebBrowser2* web = GetWebBrowser();
    if (!web)
        return -1;
    VARIANT url;
    VariantInit(&url);
    url.vt = VT_BSTR;
    url.bstrVal = SysAllocString(address);
    VARIANT empty;
    VariantInit(&empty);
    HRESULT hr = web->Navigate2(&url, &empty, &empty, &empty, &empty);
    VariantClear(&url);
    web->Release();
    return SUCCEEDED(hr) ? 0 : -1;
}

int DisplayHTMLStr(const wchar_t* page, DWORD* popupHeight)
{
    if (!g_hPopup || !g_pBrowserObject) {
        LogLine(0, L"Func.DisplayHTMLStr.Error.No popup or browser");
        return -1;
    }
    IWebBrowser2* web = GetWebBrowser();
    if (!web) {
        LogLine(0, L"Func.DisplayHTMLStr.Error.No browser interface");
        return -1;
    }
    NavigateBrowser(L"about:blank");
    IDispatch* dispatch = nullptr;
    if (FAILED(g_pfnGetBrowserDocument(web, &dispatch)))
        dispatch = nullptr;
    web->Release();
    if (!dispatch) {
        // Without an HTML engine the control embeds but never gets a document.
        LogLine(0, L"Func.DisplayHTMLStr.Error.No document: the page is not shown");
        return -1;
    }
    IHTMLDocument2* document = nullptr;
    dispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document));
    if (document) {
        SAFEARRAY* lines = SafeArrayCreateVector(VT_VARIANT, 0, 1);
        if (lines) {
            VARIANT* item = nullptr;
            if (SUCCEEDED(SafeArrayAccessData(lines, reinterpret_cast<void**>(&item)))) {
                item->vt = VT_BSTR;
                item->bstrVal = SysAllocString(page ? page : L"");
                SafeArrayUnaccessData(lines);
                document->write(lines);
                document->close();
            }
            SafeArrayDestroy(lines);  // frees the BSTR with the element
        }
        document->Release();
    }
    IHTMLDocument3* document3 = nullptr;
    dispatch->QueryInterface(IID_IHTMLDocument3, reinterpret_cast<void**>(&document3));
    if (document3) {
        BSTR id = SysAllocString(L"BusinessCard_1");
        IHTMLElement* element = nullptr;
        document3->getElementById(id, &element);
        SysFreeString(id);
        if (element) {
            long height = 0;
            if (SUCCEEDED(element->get_offsetHeight(&height)) && height > 0 && popupHeight)
                *popupHeight = static_cast<DWORD>(height) + 21;
            element->Release();
        }
        document3->Release();
    }
    dispatch->Release();
    return 0;
}
