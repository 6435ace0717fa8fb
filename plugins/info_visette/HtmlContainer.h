// The container side of the WebBrowser control in the business-card popup: the OLE site
// objects the control talks to, its creation, sizing and release, and the page's links.
//
// There is exactly one popup, so the site objects are static and not reference counted
// (AddRef and Release answer 1); they do count the calls so that a test can see that the
// control gave back every reference it took.
#pragma once

#include <windows.h>
#include <ole2.h>

// The popup window the control lives in, and the control (null when none).
extern HWND g_hPopup;
extern IOleObject* g_pBrowserObject;

// 0 on success; -2 no class factory, -3 no object, -4 embedding failed (nothing left).
int EmbedBrowserObject(HWND popup);
void UnEmbedBrowserObject();
void ResizeBrowser(DWORD width, DWORD height);
// Shows the page: 0, or -1 without popup, browser or document (the height stays).
int DisplayHTMLStr(const wchar_t* page, DWORD* popupHeight);
// Navigates the control to an address (a local file, say): 0, or -1.
int NavigateBrowser(const wchar_t* address);

// What a link of the page does: the address the control is to load instead, or null to let
// it load the given one. "about:close" closes the popup, "about:blank" does nothing,
// "about:opencontact<N>" and "about:<N>" post the call record with OpenContactID N.
enum class LinkAction { None, Close, Blank, OpenContact };
LinkAction ClassifyLink(const wchar_t* address, DWORD* openContactId);

// The site objects as the control sees them.
IOleClientSite* GetHtmlClientSite();
IUnknown* GetHtmlObject(int which);  // 0 frame, 1 in-place site, 2 client site, 3 UI handler

// AddRef calls minus Release calls on the site objects since the process started.
LONG GetSiteReferenceBalance();
