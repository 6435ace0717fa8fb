// The host's entry points on the settings dialog, and what the dialog reads of the host.
#include "host/app/ConfigDialog.h"

#include "foundation/ResourceAccess.h"
#include "foundation/TreeViewTools.h"
#include "host/app/HostGlobals.h"

#include <commctrl.h>

#include <cwchar>

namespace {

// The dialog reads these globals where they are each time; registering them needs no other
// object to exist yet.
const bool s_hostInfoSet = [] {
    ConfigHostInfo info = {};
    info.helpFile = g_szHelpFile;
    info.helpLink = g_szHelpLink;
    info.fontName = g_szUsedFont;
    info.schemeIndex = &g_dwSchemeIndex;
    info.resources = &g_ResourceAccess;
    SetConfigHostInfo(info);
    return true;
}();

}  // namespace

BOOL IsConfigOpen()
{
    return GetConfigDialog() != nullptr;
}

void SelectConfigPage(const wchar_t* topText, const wchar_t* pageText)
{
    HWND tree = GetConfigTree();
    if (!tree || !topText || !pageText)
        return;
    for (HTREEITEM top = TreeView_GetRoot(tree); top; top = TreeView_GetNextSibling(tree, top)) {
        wchar_t text[260] = L"";
        GetTreeViewItemText(tree, top, text, _countof(text));
        if (!wcsstr(text, topText))
            continue;
        if (HTREEITEM page = FindTreeViewChildByText(tree, top, pageText)) {
            TreeView_SelectItem(tree, page);
            return;
        }
    }
}

void MarkConfigChanged()
{
    SetConfigChangePending();
}

void ConfigKeyUp(HWND window, WPARAM key)
{
    MSG msg = {};
    msg.hwnd = window;
    msg.message = WM_KEYUP;
    msg.wParam = key;
    HandleConfigKeyUp(&msg);
}
