// The settings dialog's entry points. The dialog itself comes later; until then the host
// opens no window for them and keeps their state so that callers behave the same.
#include "host/app/ConfigDialog.h"

#include "foundation/HelpTools.h"
#include "foundation/SharedMem.h"
#include "host/PluginBase.h"
#include "host/app/HostGlobals.h"

namespace {

BOOL g_bConfigChanged = FALSE;

}  // namespace

void ShowConfig(DWORD pluginId)
{
    (void)pluginId;
}

void CloseConfig()
{
    // No page is open any more.
    g_pSharedMemView[1] = 0;
}

BOOL IsConfigOpen()
{
    return FALSE;
}

void SelectConfigPage(const wchar_t*, const wchar_t*) {}

void MarkConfigChanged()
{
    g_bConfigChanged = TRUE;
}

void UpdateConfigButtons() {}

void FillModuleList() {}

void ApplyDisableStates()
{
    // Without the dialog's module list the plug-ins keep the states they have.
}

void ConfigKeyUp(HWND, WPARAM) {}

void ShowHelp(DWORD topic, DWORD pageFlag)
{
    (void)pageFlag;
    ShowHelpContext(g_szHelpFile, topic);
}
