// Replaceable entries for what the business-card plug-in gets from the platform (the shared
// ones are in foundation/Seams.h). Each defaults to the real call; tests swap the pointer.
#pragma once

#include <windows.h>
#include <exdisp.h>

// The WebBrowser control's document, once the control has gone to "about:blank" (by default
// IWebBrowser2::get_Document). Wine's control never has one, so a test hands in its own.
extern HRESULT (*g_pfnGetBrowserDocument)(IWebBrowser2* browser, IDispatch** document);
