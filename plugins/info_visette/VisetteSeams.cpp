#include "plugins/info_visette/VisetteSeams.h"

namespace {

HRESULT GetBrowserDocument(IWebBrowser2* browser, IDispatch** document)
{
    return browser->get_Document(document);
}

}  // namespace

HRESULT (*g_pfnGetBrowserDocument)(IWebBrowser2*, IDispatch**) = GetBrowserDocument;
